// The main menu, the help window, the about box, the window registry and the program's end,
// driven through their real widgets offscreen.

#include "app/ApplicationSetup.h"
#include "app/MAINM.h"
#include "app/frmAbout.h"
#include "base/Failure.h"
#include "core/AppState.h"
#include "core/HelpContext.h"
#include "core/SystemInformation.h"
#include "db/Connection.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "widgets/HelpWindow.h"
#include "widgets/ProgramEnd.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

template <class Control = QWidget> Control *control(QWidget *form, const QString &name) {
    auto *found = form->findChild<Control *>(name);
    if (!found)
        qWarning("no control %s", qPrintable(name));
    return found;
}

void click(QWidget *form, const QString &name) {
    QPushButton *button = control<QPushButton>(form, name);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

HelpWindow *helpWindow() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == HelpWindow::Name && widget->isVisible())
            return static_cast<HelpWindow *>(widget);
    }
    return nullptr;
}

QList<QWidget *> visibleWindows() {
    QList<QWidget *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            shown << widget;
    }
    return shown;
}

void registerShellFactories() {
    WindowRegistry &registry = WindowRegistry::instance();
    registry.registerFactory(MAINM::Name, [] { return new MAINM; });
    registry.registerFactory(frmAbout::Name, [] { return new frmAbout; });
}

} // namespace

class tst_Shell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(*qApp); }
    void init();
    void cleanup();

    void speaksAndWritesJapanese_data();
    void speaksAndWritesJapanese();
    void mainMenuLayout_data();
    void mainMenuLayout();
    void mainMenuOpensScreensInItsPlace_data();
    void mainMenuOpensScreensInItsPlace();
    void helpOpensMappedTopic();
    void helpReportsWhatIsMissing_data();
    void helpReportsWhatIsMissing();
    void quitEndsWithAboutBoxOpen();
    void aboutBoxShowsVersionAndIsOneInstance();
    void systemInformation_data();
    void systemInformation();

private:
    std::unique_ptr<DataFolder> m_folder;
};

void tst_Shell::init() {
    m_folder = std::make_unique<DataFolder>();
    AppState::instance().reset();
    AppState::instance().workingDirectory = QDir::currentPath();
    setEventLoopExit([] {});
    registerShellFactories();
}

void tst_Shell::cleanup() {
    for (QWidget *window : QApplication::topLevelWidgets()) {
        window->hide();
        window->deleteLater();
    }
    finishProgram();
    m_folder.reset();
}

void tst_Shell::speaksAndWritesJapanese_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("rendered");
    QTest::newRow("application default") << QApplication::font().family() << "IPAPGothic";
    QTest::newRow("proportional gothic") << "ＭＳ Ｐゴシック"
                                         << "IPAPGothic";
    QTest::newRow("proportional gothic, latin name") << "MS PGothic"
                                                     << "IPAPGothic";
    QTest::newRow("fixed gothic") << "ＭＳ ゴシック"
                                  << "IPAGothic";
}

void tst_Shell::speaksAndWritesJapanese() {
    QFETCH(QString, family);
    QFETCH(QString, rendered);
    QCOMPARE(QFontInfo(QFont(family)).family(), rendered);
    QVERIFY(QFontMetrics(QFont(family)).inFontUcs4(U'蔵'));
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No);
    QVERIFY2(buttons.button(QDialogButtonBox::Yes)->text().contains(QStringLiteral("はい")),
             qPrintable(buttons.button(QDialogButtonBox::Yes)->text()));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("本棚帖"));
}

void tst_Shell::mainMenuLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twipsRect");
    QTest::newRow("title") << "Label1" << MAINM::ProductTitle << QRect(600, 240, 4332, 492);
    QTest::newRow("version label") << "Label2"
                                   << "ﾊﾞｰｼﾞｮﾝ" << QRect(5430, 960, 900, 225);
    QTest::newRow("version") << "VERDSP"
                             << "1.02" << QRect(5472, 1200, 750, 300);
    QTest::newRow("help") << "Command4"
                          << "?" << QRect(5652, 288, 444, 408);
    QTest::newRow("register") << "Command2"
                              << "蔵書登録" << QRect(1440, 972, 2772, 612);
    QTest::newRow("utilities") << "Command3"
                               << "ユーティリティ" << QRect(1440, 2160, 2772, 612);
    QTest::newRow("quit") << "Command1"
                          << "終了" << QRect(1560, 3360, 2652, 612);
}

void tst_Shell::mainMenuLayout() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twipsRect);
    MAINM menu;
    QCOMPARE(menu.windowTitle(), QStringLiteral("本棚帖"));
    QCOMPARE(menu.size(), twips::size(6450, 4740));
    QWidget *widget = control(&menu, name);
    QVERIFY(widget);
    QString shown;
    if (auto *label = qobject_cast<QLabel *>(widget))
        shown = label->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        shown = edit->text();
    else if (auto *button = qobject_cast<QPushButton *>(widget))
        shown = button->text();
    QCOMPARE(shown, text);
    QCOMPARE(widget->geometry(),
             twips::rect(twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height()));
    QVERIFY(!widget->accessibleName().isEmpty());
}

void tst_Shell::mainMenuOpensScreensInItsPlace_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<bool>("provided");
    QTest::newRow("register provided") << "Command2"
                                       << "MEISAI" << true;
    QTest::newRow("register not built") << "Command2"
                                        << "MEISAI" << false;
    QTest::newRow("utilities provided") << "Command3"
                                        << "ALLDEL" << true;
    QTest::newRow("utilities not built") << "Command3"
                                         << "ALLDEL" << false;
}

void tst_Shell::mainMenuOpensScreensInItsPlace() {
    QFETCH(QString, button);
    QFETCH(QString, screen);
    QFETCH(bool, provided);
    WindowRegistry &registry = WindowRegistry::instance();
    registry.registerFactory(screen, provided ? WindowRegistry::Factory([] { return new QWidget; })
                                              : WindowRegistry::Factory([] { return nullptr; }));
    QVERIFY(registry.show(MAINM::Name));
    QWidget *menu = registry.existing(MAINM::Name);

    click(menu, button);

    QCOMPARE(menu->isVisible(), !provided);
    QWidget *opened = registry.existing(screen);
    QCOMPARE(opened != nullptr, provided);
    if (provided) {
        QVERIFY(opened->isVisible());
        QCOMPARE(opened->objectName(), screen);
        // Asked again, the registry gives the same window.
        QCOMPARE(registry.window(screen), opened);
    }
    QVERIFY(!programEnded());
}

void tst_Shell::helpOpensMappedTopic() {
    QVERIFY(WindowRegistry::instance().show(MAINM::Name));
    click(WindowRegistry::instance().existing(MAINM::Name), QStringLiteral("Command4"));
    HelpWindow *help = helpWindow();
    QVERIFY(help);
    QCOMPARE(help->browser()->source().fileName(), QStringLiteral("mainmenu.html"));
    QVERIFY(!help->browser()->toPlainText().trimmed().isEmpty());

    // The register's topic opens in the same window.
    showHelp(2);
    QCOMPARE(helpWindow(), help);
    QCOMPARE(help->browser()->source().fileName(), QStringLiteral("register.html"));
}

void tst_Shell::helpReportsWhatIsMissing_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("reported");
    QTest::newRow("no help folder") << "folder" << 1 << "KAROBU.chm";
    QTest::newRow("no context map") << "context.map" << 1 << "context.map";
    QTest::newRow("no page") << "mainmenu.html" << 1 << "mainmenu.html";
    QTest::newRow("unknown id") << "" << 99 << "99";
    QTest::newRow("page outside the help folder") << "escape" << 1 << "../JETDB.VER";
}

void tst_Shell::helpReportsWhatIsMissing() {
    QFETCH(QString, damage);
    QFETCH(int, id);
    QFETCH(QString, reported);
    QDir help(m_folder->filePath(QStringLiteral("KAROBU.chm")));
    if (damage == "folder") {
        QVERIFY(help.removeRecursively());
    } else if (damage == "escape") {
        QFile map(help.filePath("context.map"));
        QVERIFY(map.open(QIODevice::WriteOnly));
        map.write("1 ../JETDB.VER\n");
    } else if (!damage.isEmpty()) {
        QVERIFY(help.remove(damage));
    }
    MessageRecorder messages;

    showHelp(id);

    HelpWindow *window = helpWindow();
    QVERIFY(window);
    const QString shown = window->browser()->toPlainText();
    QVERIFY2(shown.contains(reported), qPrintable(shown));
    QVERIFY(messages.texts.isEmpty());
    QVERIFY_THROWS_EXCEPTION(Failure, help::pagePath(id));
}

void tst_Shell::quitEndsWithAboutBoxOpen() {
    WindowRegistry &registry = WindowRegistry::instance();
    QVERIFY(registry.show(MAINM::Name));
    QVERIFY(registry.show(frmAbout::Name));
    showHelp(1);
    QVERIFY(QFile::copy(QStringLiteral("TOSHOINI.MDB"), QStringLiteral("TOSHO.MDB")));
    Connection catalogue(QStringLiteral("Data Source=TOSHO.mdb"));
    catalogue.open();
    QPointer<QWidget> menu = registry.existing(MAINM::Name);
    QPointer<QWidget> about = registry.existing(frmAbout::Name);
    MessageRecorder messages;
    AppState::instance().admission = AppState::Admission::Yes;

    click(menu, QStringLiteral("Command1"));

    QVERIFY(programEnded());
    QVERIFY(visibleWindows().isEmpty());
    QVERIFY(messages.texts.isEmpty());
    QCOMPARE(AppState::instance().admission, AppState::Admission::No);
    finishProgram();
    QVERIFY(!menu);
    QVERIFY(!about);
    QVERIFY(!registry.existing(MAINM::Name));
    QVERIFY(!catalogue.isOpen());
}

void tst_Shell::aboutBoxShowsVersionAndIsOneInstance() {
    WindowRegistry &registry = WindowRegistry::instance();
    QVERIFY(registry.show(frmAbout::Name));
    QWidget *about = registry.existing(frmAbout::Name);
    QCOMPARE(about->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(control<QLabel>(about, "lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.02"));
    QCOMPARE(control<QPushButton>(about, "cmdSysInfo")->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
    for (const char *name : {"picIcon", "lblTitle", "lblDescription", "Line1", "Line2"})
        QVERIFY(control(about, name));
    QVERIFY(registry.show(frmAbout::Name));
    QCOMPARE(registry.existing(frmAbout::Name), about);

    QPointer<QWidget> unloaded = about;
    click(about, QStringLiteral("cmdOK"));
    finishProgram();
    QVERIFY(!unloaded);
    QVERIFY(registry.show(frmAbout::Name));
    QVERIFY(registry.existing(frmAbout::Name)->isVisible());
    QVERIFY(!programEnded());
}

void tst_Shell::systemInformation_data() {
    QTest::addColumn<QString>("installed"); // the candidate the PATH holds, empty for none
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("started");
    QTest::addColumn<bool>("refused");
    QTest::newRow("nothing installed") << "" << true << "" << true;
    QTest::newRow("first candidate") << "hardinfo" << true << "/usr/bin/hardinfo" << false;
    QTest::newRow("later candidate") << "lxtask" << true << "/usr/bin/lxtask" << false;
    QTest::newRow("found but will not start") << "hardinfo" << false << "/usr/bin/hardinfo" << true;
}

void tst_Shell::systemInformation() {
    QFETCH(QString, installed);
    QFETCH(bool, starts);
    QFETCH(QString, started);
    QFETCH(bool, refused);
    QStringList asked;
    QStringList startedPaths;
    SystemInformation stand_in(
        [&](const QString &program) {
            asked << program;
            return program == installed ? QStringLiteral("/usr/bin/") + program : QString();
        },
        [&](const QString &path) {
            startedPaths << path;
            return starts;
        });
    WindowRegistry &registry = WindowRegistry::instance();
    QVERIFY(registry.show(frmAbout::Name));
    auto *about = static_cast<frmAbout *>(registry.existing(frmAbout::Name));
    about->setSystemInformation(stand_in);
    MessageRecorder messages;

    click(about, QStringLiteral("cmdSysInfo"));

    QCOMPARE(startedPaths, started.isEmpty() ? QStringList() : QStringList{started});
    if (installed.isEmpty())
        QCOMPARE(asked, SystemInformation::candidates());
    QCOMPARE(messages.texts, refused
                                 ? QStringList{QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません")}
                                 : QStringList());
    if (refused)
        QCOMPARE(messages.titles, QStringList{QString()});
    QVERIFY(about->isVisible());
}

QTEST_MAIN(tst_Shell)
#include "tst_shell.moc"
