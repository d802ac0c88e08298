#include "app/AboutBox.h"
#include "app/AgreementWindow.h"
#include "app/ApplicationSetup.h"
#include "app/MainMenu.h"
#include "app/Shell.h"
#include "base/Failure.h"
#include "core/AppState.h"
#include "core/HelpContext.h"
#include "core/SystemInformation.h"
#include "db/Connection.h"
#include "maintenance/BackupData.h"
#include "support/Catalogues.h"
#include "support/Controls.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"
#include "support/Windows.h"
#include "widgets/BoundTextBox.h"
#include "widgets/HelpWindow.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

WindowRegistry &registry() {
    return WindowRegistry::instance();
}

QWidget *shown(const QString &window) {
    return registry().show(window) ? registry().existing(window) : nullptr;
}

bool isShown(const QString &window) {
    QWidget *widget = registry().existing(window);
    return widget && widget->isVisible();
}

void clickOnAgreement(const QString &name) {
    click(registry().existing(AgreementWindow::Name), name);
}

HelpWindow *helpWindow() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == HelpWindow::Name && widget->isVisible())
            return static_cast<HelpWindow *>(widget);
    }
    return nullptr;
}

// Runs start-up the way the program does and returns whether a window opened.
bool start() {
    AppState::instance().reset();
    return startProgram();
}

int acceptances() {
    return SqlFile(u8("TOSHO.MDB")).value(u8("SELECT count(*) FROM DOUI")).toInt();
}

// A step of a test's set-up that a data row carries.
using Step = std::function<void()>;

} // namespace

Q_DECLARE_METATYPE(Step)

class tst_Shell : public QObject {
    Q_OBJECT

    std::unique_ptr<DataFolder> m_folder;
    std::unique_ptr<MessageRecorder> m_messages;

private Q_SLOTS:
    void initTestCase() {
        setUpApplication(*qApp);
        registerShellWindows();
    }

    void init() {
        m_folder = std::make_unique<DataFolder>();
        m_messages = std::make_unique<MessageRecorder>();
        AppState::instance().reset();
        AppState::instance().workingDirectory = QDir::currentPath();
        setEventLoopExit([] {});
    }

    void cleanup() {
        closeEveryWindow();
        m_messages.reset();
        m_folder.reset();
    }

    // How start-up fails is the decision table's subject; the user sees its one message, no window.
    void startFailureShowsOneMessage() {
        QVERIFY(QFile::remove("JETDB.VER"));
        const auto before = folderSnapshot();
        QVERIFY(!start());
        QCOMPARE(m_messages->texts.size(), 1);
        QVERIFY2(m_messages->texts[0].contains("JETDB.VER"), qPrintable(m_messages->texts[0]));
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
        QCOMPARE(folderSnapshot(), before);
    }

    // Declining ends the program and touches no file. The title bar only unloads the agreement:
    // no window is left, so the program ends all the same, and the agreement is asked again.
    void declineTouchesNoFile_data() {
        columns<QString>({"button"});
        row("同意しない", "Command3");
        row("閉じる(&C)", "cmdClose");
        row("title bar", "");
    }

    void declineTouchesNoFile() {
        const QString button = text("button");
        QVERIFY(start());
        QWidget *screen = registry().existing(AgreementWindow::Name);
        QVERIFY(isShown(AgreementWindow::Name));
        QVERIFY(!isShown(MainMenu::Name));
        QCOMPARE(AppState::instance().admission, AppState::Admission::Pending);
        auto *agreement = screen->findChild<BoundTextArea *>("txtFields(1)");
        QVERIFY(agreement && agreement->isReadOnly());
        QVERIFY(agreement->toPlainText().contains(u8("同意しない")));
        QVERIFY2(!agreement->toPlainText().contains('\r'),
                 "the text box wants one kind of line end");
        // The agreement text is held open through its own file, never the catalogue or the version.
        QCOMPARE(openConnectionCount(m_folder->filePath("TOSHO.MDB")), 0);
        const auto before = folderSnapshot();
        QSignalSpy lastWindow(qApp, &QGuiApplication::lastWindowClosed);

        if (button.isEmpty()) {
            // Qt ends the program on the last window only from its running event loop.
            QTimer::singleShot(0, screen, &QWidget::close);
            QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
            QCOMPARE(QApplication::exec(), 0);
            QCOMPARE(lastWindow.size(), 1);
        } else {
            clickOnAgreement(button);
        }

        QCOMPARE(programEnded(), !button.isEmpty());
        QCOMPARE(AppState::instance().admission,
                 button.isEmpty() ? AppState::Admission::Pending : AppState::Admission::No);
        QVERIFY(!isShown(AgreementWindow::Name));
        QVERIFY(!isShown(MainMenu::Name));
        QVERIFY(m_messages->texts.isEmpty());
        QCOMPARE(folderSnapshot(), before);
        finishProgram();
        QVERIFY(!registry().existing(AgreementWindow::Name));
        QVERIFY(start());
        QVERIFY(isShown(AgreementWindow::Name));
    }

    // "同意する": a first acceptance goes on to the main menu, recording the acceptance and
    // installing the current version database where none is. On an earlier release's catalogue
    // or where something is missing: one message (the whole, or a part in brackets) and the end
    // of the program. `unchanged` names the files that must be as they were ("*": the whole
    // folder); the upgrade rebuilds the catalogue with the same data.
    void acceptance_data() {
        columns<Step, Step, QString, QStringList, bool>(
            {"prepare", "meanwhile", "message", "unchanged", "askedAgain"});
        const QString upgraded = u8("バージョンアップを完了しました、再度立ち上げてください！");
        const auto earlier = [](const QString &version = {}) {
            return [version] {
                makeCatalogue(QDir::currentPath(), 100); // accepted, no version database
                if (!version.isEmpty())
                    writeVersionDatabase(QDir::currentPath(), version);
            };
        };
        const auto also = [](const Step &first, const Step &then) {
            return [first, then] {
                first();
                then();
            };
        };
        const Step removeVersionTemplate = [] { QFile::remove("intdef.ver"); };
        auto row = [](
                       const char *name, const Step &prepare, const QString &message,
                       const QStringList &unchanged = {}, bool askedAgain = false,
                       const Step &meanwhile = [] {}) {
            test::row(name, prepare, meanwhile, message, unchanged, askedAgain);
        };
        row("first acceptance", [] {}, {});
        row(
            "first acceptance beside an earlier version database",
            [] { writeVersionDatabase(QDir::currentPath(), u8("1.00")); }, {}, {u8("INTVER.mdb")},
            true);
        row("upgrade without version database", earlier(), upgraded);
        row("upgrade replaces earlier backup files",
            also(earlier(),
                 [] {
                     for (const QString &file : BackupFiles)
                         writeFile(file, "stale");
                 }),
            upgraded);
        row("upgrade of a read-only older version database",
            also(earlier(u8("1.00")),
                 [] { QFile::setPermissions("INTVER.mdb", QFile::ReadOwner); }),
            upgraded);
        row("first acceptance without version template", removeVersionTemplate, u8("[intdef.ver]"),
            {u8("INTVER.mdb")}, true);
        row("upgrade without version template", also(earlier(), removeVersionTemplate),
            u8("バージョンアップ情報がありません!"), {u8("*")}, true);
        row("restore template missing",
            also(earlier(u8("1.00")), [] { QFile::remove("TOSHODEF.MDB"); }), u8("[TOSHODEF.MDB]"),
            {u8("TOSHO.MDB"), u8("INTVER.mdb")}, true);
        // Another copy of the program accepted after this one's start-up looked.
        row("accepted meanwhile",
            also(earlier(u8("1.02")), [] { SqlFile("TOSHO.MDB").exec("DELETE FROM DOUI"); }),
            u8(" すでにバージョンアップ済みです！"), {u8("*")}, false,
            [] { SqlFile("TOSHO.MDB").exec("INSERT INTO DOUI (ID) VALUES (1)"); });
    }

    void acceptance() {
        const QString message = text("message");
        const QStringList unchanged = cell<QStringList>("unchanged");
        const bool ends = !message.isEmpty();
        cell<Step>("prepare")();
        QVERIFY(start());
        QVERIFY(isShown(AgreementWindow::Name));
        cell<Step>("meanwhile")();
        const auto before = folderSnapshot();
        // Screens that hold the catalogue open must not stop its replacement.
        Connection catalogue(AppState::instance().mainConnectionString);
        catalogue.open();

        clickOnAgreement("Command1");

        QCOMPARE(m_messages->texts.size(), int(ends));
        if (message.startsWith('['))
            QVERIFY2(m_messages->texts[0].contains(message.mid(1, message.size() - 2)),
                     qPrintable(m_messages->texts[0]));
        else if (ends)
            QCOMPARE(m_messages->texts[0], message);
        QCOMPARE(m_messages->titles, QStringList(int(ends), QString()));
        QCOMPARE(programEnded(), ends);
        QVERIFY(!isShown(AgreementWindow::Name));
        QCOMPARE(isShown(MainMenu::Name), !ends);
        QVERIFY(!ends || !catalogue.isOpen());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        if (!ends || unchanged == QStringList{u8("*")})
            QCOMPARE(AppState::instance().admission,
                     ends ? AppState::Admission::No : AppState::Admission::Yes);
        const auto after = folderSnapshot();
        for (const QString &file : unchanged)
            QVERIFY2(file == "*" ? after == before : after.value(file) == before.value(file),
                     qPrintable(file));
        if (!ends || unchanged.isEmpty())
            QCOMPARE(acceptances(), 1);
        if (unchanged.isEmpty())
            QCOMPARE(contents("INTVER.mdb"), contents("intdef.ver"));
        if (ends && unchanged.isEmpty()) {
            // The files hold the old catalogue, and the rebuilt one holds the same.
            QCOMPARE(QFileInfo("BOOK.DAT").size(), 100 * 324);
            QMap<QString, QByteArray> upgradeBackup;
            for (const QString &file : BackupFiles)
                upgradeBackup[file] = contents(file);
            backupData(AppState::instance().mainConnectionString);
            for (const QString &file : BackupFiles)
                QVERIFY2(contents(file) == upgradeBackup[file], qPrintable(file));
            QVERIFY(!QFile::exists("TOSHOCPY.MDB"));
        }
        finishProgram();
        m_messages->texts.clear();
        if (!ends)
            registry().existing(MainMenu::Name)->hide();
        QVERIFY(start());
        QCOMPARE(isShown(AgreementWindow::Name), cell<bool>("askedAgain"));
        QCOMPARE(isShown(MainMenu::Name), !cell<bool>("askedAgain"));
        QVERIFY(m_messages->texts.isEmpty());
    }

    void mainMenuOpensScreensInItsPlace_data() {
        columns<QString, QString, bool>({"button", "screen", "provided"});
        row("register", "Command2", "MEISAI", true);
        row("register not provided", "Command2", "MEISAI", false);
        row("utilities", "Command3", "ALLDEL", true);
        row("utilities not provided", "Command3", "ALLDEL", false);
    }

    void mainMenuOpensScreensInItsPlace() {
        const QString screen = text("screen");
        const bool provided = cell<bool>("provided");
        registry().registerFactory(
            screen, [provided]() -> QWidget * { return provided ? new QWidget : nullptr; });
        QWidget *menu = shown(MainMenu::Name);

        click(menu, text("button"));

        QCOMPARE(menu->isVisible(), !provided);
        QWidget *opened = registry().existing(screen);
        QCOMPARE(opened != nullptr, provided);
        if (provided) {
            QVERIFY(opened->isVisible());
            QCOMPARE(opened->objectName(), screen);
            QCOMPARE(registry().window(screen), opened);
        }
        QVERIFY(!programEnded());
    }

    // The main menu's "?" opens topic 1, the register's 2, in one help window; whatever is missing
    // is reported in that window, not in a message box.
    void helpTopics_data() {
        // `shows`: the page opened, or what the window reports
        columns<QString, int, QString>({"damage", "id", "shows"});
        row("main menu", "", 1, "mainmenu.html");
        row("register", "", 2, "register.html");
        row("no help folder", "folder", 1, "KAROBU.chm");
        row("no context map", "context.map", 1, "context.map");
        row("no page", "mainmenu.html", 1, "mainmenu.html");
        row("unknown id", "", 99, "99");
        row("page outside the help folder", "escape", 1, "../JETDB.VER");
    }

    void helpTopics() {
        const QString damage = text("damage");
        const int id = cell<int>("id");
        const QString shows = text("shows");
        QDir help(m_folder->filePath(u8("KAROBU.chm")));
        if (damage == "folder")
            QVERIFY(help.removeRecursively());
        else if (damage == "escape")
            writeFile(help.filePath("context.map"), "1 ../JETDB.VER\n");
        else if (!damage.isEmpty())
            QVERIFY(help.remove(damage));

        if (id == 1)
            click(shown(MainMenu::Name), u8("Command4"));
        else
            showHelp(id);

        HelpWindow *window = helpWindow();
        QVERIFY(window);
        const QString page = window->browser()->toPlainText();
        if (damage.isEmpty() && id != 99) {
            QCOMPARE(window->browser()->source().fileName(), shows);
            QVERIFY(!page.trimmed().isEmpty());
        } else {
            QVERIFY2(page.contains(shows), qPrintable(page));
            QVERIFY_THROWS_EXCEPTION(Failure, help::pagePath(id));
        }
        QVERIFY(m_messages->texts.isEmpty());
        showHelp(1);
        QCOMPARE(helpWindow(), window);
    }

    // The about box is one window, unloaded by OK; 終了 ends the program with it and the help
    // window open, and closes the catalogue.
    void aboutBoxAndQuit() {
        QPointer<QWidget> about = shown(AboutBox::Name);
        QCOMPARE(shown(AboutBox::Name), about);
        click(about, u8("cmdOK"));
        finishProgram();
        QVERIFY(!about);
        QVERIFY(!programEnded());
        QPointer<QWidget> menu = shown(MainMenu::Name);
        about = shown(AboutBox::Name);
        QVERIFY(about->isVisible());
        showHelp(1);
        QVERIFY(QFile::copy(u8("TOSHOINI.MDB"), u8("TOSHO.MDB")));
        Connection catalogue(u8("Data Source=TOSHO.mdb"));
        catalogue.open();
        AppState::instance().admission = AppState::Admission::Yes;

        click(menu, u8("Command1"));

        QVERIFY(programEnded());
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
        QVERIFY(m_messages->texts.isEmpty());
        QCOMPARE(AppState::instance().admission, AppState::Admission::No);
        finishProgram();
        QVERIFY(!menu);
        QVERIFY(!about);
        QVERIFY(!catalogue.isOpen());
    }

    void systemInformation_data() {
        // `installed`: the candidate the PATH holds, empty for none
        columns<QString, bool>({"installed", "starts"});
        row("nothing installed", "", true);
        row("later candidate", "lxtask", true);
        row("found but will not start", "hardinfo", false);
    }

    void systemInformation() {
        const QString installed = text("installed");
        const bool starts = cell<bool>("starts");
        const bool refused = installed.isEmpty() || !starts;
        QStringList asked;
        QStringList started;
        SystemInformation standIn(
            [&](const QString &program) {
                asked << program;
                return program == installed ? u8("/usr/bin/") + program : QString();
            },
            [&](const QString &path) {
                started << path;
                return starts;
            });
        auto *about = static_cast<AboutBox *>(shown(AboutBox::Name));
        about->setSystemInformation(standIn);

        click(about, u8("cmdSysInfo"));

        QCOMPARE(started,
                 installed.isEmpty() ? QStringList() : QStringList{u8("/usr/bin/") + installed});
        if (installed.isEmpty())
            QCOMPARE(asked, SystemInformation::candidates());
        QCOMPARE(m_messages->texts,
                 refused ? QStringList{u8("現時点ではｼｽﾃﾑ情報を使用できません")} : QStringList());
        QCOMPARE(m_messages->titles, refused ? QStringList{QString()} : QStringList());
        QVERIFY(about->isVisible());
    }
};

QTEST_MAIN(tst_Shell)
#include "tst_shell.moc"
