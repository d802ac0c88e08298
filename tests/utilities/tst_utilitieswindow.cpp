// The utilities screen driven through its real buttons offscreen, with the message boxes
// answered by a recorder.
#include "app/ApplicationSetup.h"
#include "app/MainMenu.h"
#include "app/Shell.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "maintenance/BackupData.h"
#include "maintenance/Snapshots.h"
#include "support/Catalogues.h"
#include "support/Controls.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"
#include "support/Windows.h"
#include "utilities/UtilitiesWindow.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
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

// The main menu as the user sees it, and the utilities screen opened from it.
QWidget *openUtilities() {
    WindowRegistry::instance().show(windows::MainMenu);
    QWidget *menu = WindowRegistry::instance().existing(windows::MainMenu);
    click(menu, u8("Command3"));
    return WindowRegistry::instance().existing(windows::Utilities);
}

} // namespace

class TestUtilitiesWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<DataFolder> m_folder;
    std::unique_ptr<MessageRecorder> m_messages;

private Q_SLOTS:
    void initTestCase() { setUpApplication(*qApp); }

    void init() {
        m_folder = std::make_unique<DataFolder>();
        makeCatalogue(m_folder->path(), Books);
        AppState::instance().reset();
        AppState::instance().admission = AppState::Admission::Yes;
        AppState::instance().workingDirectory = QDir::currentPath();
        setEventLoopExit([] {});
        registerAllWindows();
        m_messages = std::make_unique<MessageRecorder>();
    }

    void cleanup() {
        closeEveryWindow();
        m_messages.reset();
        m_folder.reset();
    }

    void actions_data() {
        // `button` "title bar" closes the window there; `shown`: the texts shown, one ending in
        // "…" being a beginning
        columns<QString, QString, QList<bool>, QStringList, int, int, bool>(
            {"button", "setup", "answers", "shown", "booksAfter", "snapshots", "ended"});
        auto row = [](const char *name, const char *button, const char *setup,
                      const QList<bool> &answers, const QStringList &shown, int booksAfter,
                      int snapshots = 0, bool ended = false) {
            test::row(name, button, setup, answers, shown, booksAfter, snapshots, ended);
        };
        const QString cannotReset = u8("全データの削除ができませんでした…");
        const QString cannotRestore = u8("データの復元ができませんでした…");
        row("reset, No", "Command1", "", {false}, {UtilitiesWindow::ConfirmReset}, Books);
        row("reset, Yes", "Command1", "", {true},
            {UtilitiesWindow::ConfirmReset, UtilitiesWindow::ResetDone}, 0, 1);
        row("reset without its data-link file", "Command1", "no Karobu.udl", {true},
            {UtilitiesWindow::ConfirmReset, cannotReset}, Books);
        row("backup", "Command4", "", {}, {UtilitiesWindow::BackupDone}, Books);
        row("restore, No", "Command5", "backed up", {false}, {UtilitiesWindow::ConfirmRestore},
            Books + 1);
        row("restore, Yes", "Command5", "backed up", {true},
            {UtilitiesWindow::ConfirmRestore, UtilitiesWindow::RestoreDone}, Books, 1, true);
        // A damaged set is restored only when the user says so, knowing what was read.
        const QString damaged = u8("バックアップファイルの一部が欠けているか壊れています。…");
        row("damaged restore, No", "Command5", "BOOK.DAT cut", {true, false},
            {UtilitiesWindow::ConfirmRestore, damaged}, Books + 1);
        row("damaged restore, Yes", "Command5", "BOOK.DAT cut", {true, true},
            {UtilitiesWindow::ConfirmRestore, damaged, UtilitiesWindow::RestoreDone}, 30, 1, true);
        row("restore without HAKKO.DAT", "Command5", "no HAKKO.DAT", {true},
            {UtilitiesWindow::ConfirmRestore, cannotRestore}, Books + 1);
        // Closing brings the main menu back.
        row("閉じる", "Command2", "", {}, {}, Books);
        row("title bar", "title bar", "", {}, {}, Books);
    }

    void actions() {
        const QString button = text("button");
        const QString setup = text("setup");
        const QStringList shown = cell<QStringList>("shown");
        const bool ended = cell<bool>("ended");
        if (setup == u8("no Karobu.udl"))
            QVERIFY(QFile::remove(files::CatalogueLink));
        if (setup == u8("backed up") || setup == u8("no HAKKO.DAT") ||
            setup == u8("BOOK.DAT cut")) {
            // The test catalogue's own titles hold signs no reading has; this one is read.
            SqlFile(catalogue()).exec(u8("UPDATE BOOK SET 題名 = 'こころ' WHERE rowid = 1"));
            backupData(AppState::instance().mainConnectionString);
            SqlFile(catalogue()).exec(u8("INSERT INTO BOOK (題名) VALUES ('あとから足した本')"));
        }
        if (setup == u8("no HAKKO.DAT"))
            QVERIFY(QFile::remove(u8("HAKKO.DAT")));
        if (setup == u8("BOOK.DAT cut"))
            QVERIFY(QFile::resize(u8("BOOK.DAT"), 324 * 30 + 50));
        QWidget *screen = openUtilities();
        QVERIFY(screen);
        // A screen reader finds every control by name.
        for (const QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        m_messages->answers = cell<QList<bool>>("answers");

        QPointer<QWidget> watched(screen);
        if (button == u8("title bar"))
            screen->close();
        else
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
        if (setup == u8("BOOK.DAT cut"))
            QVERIFY2(m_messages->texts[1].contains(u8("BOOK.DAT: 30 件、末尾の 50 バイト")),
                     qPrintable(m_messages->texts[1]));
        if (setup == u8("no HAKKO.DAT") || setup == u8("no Karobu.udl"))
            QVERIFY2(m_messages->texts.last().contains(setup.mid(3)),
                     qPrintable(m_messages->texts.last()));
        if (QFileInfo::exists(files::CatalogueLink))
            QTEST(int(books()), "booksAfter");
        QTEST(int(snapshots::list(catalogue()).size()), "snapshots");
        QCOMPARE(programEnded(), ended);
        // A restored set from an older installation brings no readings; the fill suggests them.
        if (ended)
            QVERIFY(SqlFile(catalogue())
                        .value(u8("SELECT count(*) FROM title_reading WHERE origin = 'suggested'"))
                        .toInt() > 0);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        if (ended)
            return;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool closed = button == u8("Command2") || button == u8("title bar");
        QCOMPARE(watched.isNull(), closed);
        QCOMPARE(WindowRegistry::instance().existing(windows::MainMenu)->isVisible(), closed);
        if (!closed)
            QVERIFY(screen->isVisible());
    }
};

QTEST_MAIN(TestUtilitiesWindow)
#include "tst_utilitieswindow.moc"
