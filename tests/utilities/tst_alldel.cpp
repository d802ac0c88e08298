// The utilities screen driven through its real buttons offscreen, with the message boxes
// answered by a recorder.
#include "app/ApplicationSetup.h"
#include "app/MAINM.h"
#include "app/Shell.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "maintenance/BackupData.h"
#include "maintenance/Snapshots.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"
#include "utilities/ALLDEL.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

constexpr int Books = 40;

QString catalogue() {
    return QDir::current().filePath(files::Catalogue);
}

qint64 books() {
    return SqlFile(catalogue()).value(u8("SELECT count(*) FROM BOOK")).toLongLong();
}

void click(QWidget *form, const QString &name) {
    auto *button = form->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

// The main menu as the user sees it, and the utilities screen opened from it.
QWidget *openUtilities() {
    WindowRegistry::instance().show(windows::MainMenu);
    QWidget *menu = WindowRegistry::instance().existing(windows::MainMenu);
    click(menu, u8("Command3"));
    return WindowRegistry::instance().existing(windows::Utilities);
}

} // namespace

class TestAlldel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(*qApp); }
    void init();
    void cleanup();

    void actions_data();
    void actions();
    void closingBringsTheMainMenuBack_data();
    void closingBringsTheMainMenuBack();
    void everyControlHasAnAccessibleName();

private:
    std::unique_ptr<DataFolder> m_folder;
    std::unique_ptr<MessageRecorder> m_messages;
};

void TestAlldel::init() {
    m_folder = std::make_unique<DataFolder>();
    makeCatalogue(m_folder->path(), Books);
    AppState::instance().reset();
    AppState::instance().admission = AppState::Admission::Yes;
    AppState::instance().workingDirectory = QDir::currentPath();
    setEventLoopExit([] {});
    registerAllWindows();
    m_messages = std::make_unique<MessageRecorder>();
}

void TestAlldel::cleanup() {
    for (QWidget *window : QApplication::topLevelWidgets()) {
        window->hide();
        window->deleteLater();
    }
    finishProgram();
    m_messages.reset();
    m_folder.reset();
}

void TestAlldel::actions_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("shown"); // texts shown; one ending in "…" is a beginning
    QTest::addColumn<int>("booksAfter");
    QTest::addColumn<int>("snapshots");
    QTest::addColumn<bool>("ended");

    QTest::newRow("reset, No") << u8("Command1") << QString() << QList<bool>{false}
                               << QStringList{ALLDEL::ConfirmReset} << Books << 0 << false;
    QTest::newRow("reset, Yes") << u8("Command1") << QString() << QList<bool>{true}
                                << QStringList{ALLDEL::ConfirmReset, ALLDEL::ResetDone} << 0 << 1
                                << false;
    QTest::newRow("reset of an empty catalogue")
        << u8("Command1") << u8("empty") << QList<bool>{true}
        << QStringList{ALLDEL::ConfirmReset, ALLDEL::ResetDone} << 0 << 1 << false;
    QTest::newRow("reset without its data-link file")
        << u8("Command1") << u8("no Karobu.udl") << QList<bool>{true}
        << QStringList{ALLDEL::ConfirmReset, u8("全データの削除ができませんでした…")} << Books << 0
        << false;
    QTest::newRow("backup") << u8("Command4") << QString() << QList<bool>{}
                            << QStringList{ALLDEL::BackupDone} << Books << 0 << false;
    QTest::newRow("restore, No") << u8("Command5") << u8("backed up") << QList<bool>{false}
                                 << QStringList{ALLDEL::ConfirmRestore} << Books + 1 << 0 << false;
    QTest::newRow("restore, Yes") << u8("Command5") << u8("backed up") << QList<bool>{true}
                                  << QStringList{ALLDEL::ConfirmRestore, ALLDEL::RestoreDone}
                                  << Books << 1 << true;
    QTest::newRow("restore without HAKKO.DAT")
        << u8("Command5") << u8("no HAKKO.DAT") << QList<bool>{true}
        << QStringList{ALLDEL::ConfirmRestore, u8("データの復元ができませんでした…")} << Books + 1
        << 0 << false;
}

void TestAlldel::actions() {
    QFETCH(QString, button);
    QFETCH(QString, setup);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, shown);
    QFETCH(int, booksAfter);
    QFETCH(int, snapshots);
    QFETCH(bool, ended);
    if (setup == u8("empty"))
        SqlFile(catalogue()).exec(u8("DELETE FROM BOOK"));
    if (setup == u8("no Karobu.udl"))
        QVERIFY(QFile::remove(files::CatalogueLink));
    if (setup == u8("backed up") || setup == u8("no HAKKO.DAT")) {
        backupData(AppState::instance().mainConnectionString);
        SqlFile(catalogue()).exec(u8("INSERT INTO BOOK (題名) VALUES ('あとから足した本')"));
    }
    if (setup == u8("no HAKKO.DAT"))
        QVERIFY(QFile::remove(u8("HAKKO.DAT")));
    QWidget *screen = openUtilities();
    QVERIFY(screen);
    m_messages->answers = answers;

    click(screen, button);
    QCOMPARE(m_messages->texts.size(), shown.size());
    for (int i = 0; i < shown.size(); ++i) {
        if (shown[i].endsWith(u'…'))
            QVERIFY2(m_messages->texts[i].startsWith(shown[i].chopped(1)),
                     qPrintable(m_messages->texts[i]));
        else
            QCOMPARE(m_messages->texts[i], shown[i]);
        QCOMPARE(m_messages->titles[i], QString()); // the application's title
    }
    if (setup == u8("no HAKKO.DAT") || setup == u8("no Karobu.udl"))
        QVERIFY2(m_messages->texts.last().contains(setup.mid(3)),
                 qPrintable(m_messages->texts.last()));
    if (QFileInfo::exists(files::CatalogueLink))
        QCOMPARE(books(), booksAfter);
    QCOMPARE(snapshots::list(catalogue()).size(), snapshots);
    QCOMPARE(programEnded(), ended);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    if (!ended)
        QVERIFY(WindowRegistry::instance().existing(windows::Utilities)->isVisible());
}

void TestAlldel::closingBringsTheMainMenuBack_data() {
    QTest::addColumn<bool>("titleBar");
    QTest::newRow("閉じる") << false;
    QTest::newRow("title bar") << true;
}

void TestAlldel::closingBringsTheMainMenuBack() {
    QFETCH(bool, titleBar);
    QWidget *screen = openUtilities();
    QVERIFY(screen);
    QCOMPARE(screen->windowTitle(), ALLDEL::Caption);
    QWidget *menu = WindowRegistry::instance().existing(windows::MainMenu);
    QVERIFY(screen->isVisible());
    QVERIFY(!menu->isVisible());

    QPointer<QWidget> watched(screen);
    if (titleBar)
        screen->close();
    else
        click(screen, u8("Command2"));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(watched.isNull());
    QVERIFY(menu->isVisible());
    QVERIFY(!programEnded());
}

void TestAlldel::everyControlHasAnAccessibleName() {
    QWidget *screen = openUtilities();
    QVERIFY(screen);
    const QList<QWidget *> controls = screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    QVERIFY(controls.size() >= 5);
    for (const QWidget *control : controls)
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
}

QTEST_MAIN(TestAlldel)
#include "tst_alldel.moc"
