// The agreement screen from start-up on: declining, the first acceptance, the version upgrade of
// an earlier release's catalogue and its failures, driven through the real widgets offscreen.

#include "Fixtures.h"

#include "app/KYODAKU.h"
#include "app/MAINM.h"
#include "app/Shell.h"
#include "core/AppState.h"
#include "core/Startup.h"
#include "db/Connection.h"
#include "support/CatalogueGenerator.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "widgets/BoundTextBox.h"
#include "widgets/DataNavigator.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

const QStringList BackupFiles = {"BOOK.DAT", "BUNYA.DAT", "CHOSHA.DAT", "HAKKO.DAT", "SAIZU.DAT"};

QWidget *agreementScreen() {
    return WindowRegistry::instance().existing(KYODAKU::Name);
}

QWidget *mainMenu() {
    return WindowRegistry::instance().existing(MAINM::Name);
}

bool isShown(QWidget *window) {
    return window && window->isVisible();
}

void click(const QString &name) {
    QWidget *screen = agreementScreen();
    QVERIFY(screen);
    auto *button = screen->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList query(const QString &fileName, const QString &sql) {
    const QString name = openDatabaseFile(QDir::current().filePath(fileName), "read");
    QStringList rows;
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        if (!q.exec(sql))
            qWarning("%s failed", qPrintable(sql));
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                values << q.value(i).toString();
            rows << values.join(u'|');
        }
    }
    closeDatabase(name);
    return rows;
}

// What the catalogue holds, in the form a backup keeps it: texts without their padding, empty
// values as the backup writes them, rows without a title or a master number left out (the
// backup skips them).
QStringList catalogueContents() {
    QStringList contents;
    contents << query("TOSHO.MDB",
                      "SELECT coalesce(SEQNO,1), coalesce(著者NO,0), coalesce(発行所NO,0), "
                      "coalesce(分野NO,0), coalesce(ｻｲｽﾞNO,0), rtrim(題名), "
                      "coalesce(rtrim(ｼﾘｰｽﾞ),''), coalesce(rtrim(管理番号1),'') FROM BOOK "
                      "WHERE rtrim(coalesce(題名,'')) <> '' ORDER BY 1,2,3,4,5,6,7,8");
    contents << query("TOSHO.MDB",
                      "SELECT coalesce(著者NO,0), coalesce(rtrim(著者名),''), "
                      "coalesce(rtrim(国),'') FROM CHOSHA WHERE 著者NO IS NOT NULL ORDER BY 1,2,3");
    contents << query("TOSHO.MDB", "SELECT coalesce(発行所NO,0), coalesce(rtrim(発行所),'') "
                                   "FROM HAKKOU WHERE 発行所NO IS NOT NULL ORDER BY 1,2");
    contents << query("TOSHO.MDB", "SELECT coalesce(分野NO,0), coalesce(rtrim(分野名),'') "
                                   "FROM BUNYA WHERE 分野NO IS NOT NULL ORDER BY 1,2");
    contents << query("TOSHO.MDB", "SELECT coalesce(ｻｲｽﾞNO,0), coalesce(rtrim(ｻｲｽﾞ名),'') "
                                   "FROM SAIZU WHERE ｻｲｽﾞNO IS NOT NULL ORDER BY 1,2");
    return contents;
}

// An earlier release's catalogue: accepted, with books and masters.
void writeEarlierCatalogue() {
    writeCatalogue("TOSHO.MDB", true);
    CatalogueShape shape;
    shape.books = 300;
    shape.authors = 80;
    shape.publishers = 30;
    shape.categories = 20;
    generateCatalogue(QDir::current().filePath("TOSHO.MDB"), shape);
}

} // namespace

class tst_Agreement : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { registerShellWindows(); }
    void init();
    void cleanup();

    void startShowsAgreement();
    void startFailureShowsOneMessage_data();
    void startFailureShowsOneMessage();
    void declineTouchesNoFile_data();
    void declineTouchesNoFile();
    void closingWindowOnlyUnloads();
    void firstAcceptance_data();
    void firstAcceptance();
    void firstAcceptanceWithoutVersionTemplate();
    void upgradeRebuildsCatalogue_data();
    void upgradeRebuildsCatalogue();
    void upgradeEndsWithNothingChanged_data();
    void upgradeEndsWithNothingChanged();
    void upgradeFailureKeepsVersion_data();
    void upgradeFailureKeepsVersion();

private:
    // Runs start-up the way the program does and returns whether a window opened.
    bool start();

    std::unique_ptr<DataFolder> m_folder;
    std::unique_ptr<MessageRecorder> m_messages;
};

void tst_Agreement::init() {
    m_folder = std::make_unique<DataFolder>();
    m_messages = std::make_unique<MessageRecorder>();
    AppState::instance().reset();
    setEventLoopExit([] {});
}

void tst_Agreement::cleanup() {
    for (QWidget *window : QApplication::topLevelWidgets()) {
        window->hide();
        window->deleteLater();
    }
    finishProgram();
    m_messages.reset();
    m_folder.reset();
}

bool tst_Agreement::start() {
    AppState::instance().reset();
    return startProgram();
}

void tst_Agreement::startShowsAgreement() {
    QVERIFY(start());
    QWidget *screen = agreementScreen();
    QVERIFY(isShown(screen));
    QCOMPARE(screen->windowTitle(), QStringLiteral("使用許諾"));
    QCOMPARE(AppState::instance().admission, AppState::Admission::Pending);
    auto *data = screen->findChild<DataNavigator *>("datPrimaryRS");
    QVERIFY(data);
    QCOMPARE(data->caption(), QStringLiteral("Record: 1"));
    auto *text = screen->findChild<BoundTextArea *>("txtFields(1)");
    QVERIFY(text);
    QVERIFY(text->isReadOnly());
    QVERIFY(text->toPlainText().contains(QStringLiteral("フリーソフトウェア")));
    QVERIFY(screen->findChild<BoundTextBox *>("txtFields(0)"));
    QVERIFY(!isShown(mainMenu()));
    QVERIFY(m_messages->texts.isEmpty());
    // The agreement text is held open through its own file, never the catalogue or the version.
    QCOMPARE(openConnectionCount(m_folder->filePath("TOSHO.MDB")), 0);
}

void tst_Agreement::startFailureShowsOneMessage_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("named");
    QTest::newRow("no configuration") << "JETDB.VER"
                                      << "JETDB.VER";
    QTest::newRow("no template") << "TOSHOINI.MDB"
                                 << "TOSHOINI.MDB";
    QTest::newRow("null version") << "null"
                                  << "INTVER.mdb";
    QTest::newRow("current version without catalogue") << "catalogue"
                                                       << "TOSHO.MDB";
}

void tst_Agreement::startFailureShowsOneMessage() {
    QFETCH(QString, damage);
    QFETCH(QString, named);
    if (damage == "null")
        writeVersionDatabase(NullVersion);
    else if (damage == "catalogue")
        writeVersionDatabase("1.02");
    else
        QVERIFY(QFile::remove(damage));
    const auto before = folderSnapshot();

    QVERIFY(!start());

    QCOMPARE(m_messages->texts.size(), 1);
    QVERIFY2(m_messages->texts.first().contains(named), qPrintable(m_messages->texts.first()));
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    QCOMPARE(folderSnapshot(), before);
}

void tst_Agreement::declineTouchesNoFile_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("同意しない") << "Command3";
    QTest::newRow("閉じる(&C)") << "cmdClose";
}

void tst_Agreement::declineTouchesNoFile() {
    QFETCH(QString, button);
    QVERIFY(start());
    const auto before = folderSnapshot();

    click(button);

    QVERIFY(programEnded());
    QCOMPARE(AppState::instance().admission, AppState::Admission::No);
    QVERIFY(!isShown(agreementScreen()));
    QVERIFY(!isShown(mainMenu()));
    QVERIFY(m_messages->texts.isEmpty());
    QCOMPARE(folderSnapshot(), before);
    finishProgram();
    QVERIFY(!agreementScreen());
    QVERIFY(start());
    QVERIFY(isShown(agreementScreen()));
}

void tst_Agreement::closingWindowOnlyUnloads() {
    QVERIFY(start());
    const auto before = folderSnapshot();
    QSignalSpy lastWindow(qApp, &QGuiApplication::lastWindowClosed);

    // Qt ends the program on the last window only from its running event loop.
    QTimer::singleShot(0, agreementScreen(), &QWidget::close);
    QTimer stuck;
    stuck.setSingleShot(true);
    connect(&stuck, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    stuck.start(10000);
    QCOMPARE(QApplication::exec(), 0);

    // No window was left, so the program ended; the agreement is asked again next time.
    QCOMPARE(lastWindow.size(), 1);
    QVERIFY(!programEnded());
    QCOMPARE(AppState::instance().admission, AppState::Admission::Pending);
    finishProgram();
    QVERIFY(!agreementScreen());
    QVERIFY(m_messages->texts.isEmpty());
    QCOMPARE(folderSnapshot(), before);
}

void tst_Agreement::firstAcceptance_data() {
    QTest::addColumn<QString>("version"); // of an INTVER.mdb already there, empty for none
    QTest::newRow("first start") << "";
    QTest::newRow("version database already there") << "1.00";
}

void tst_Agreement::firstAcceptance() {
    QFETCH(QString, version);
    if (!version.isEmpty())
        writeVersionDatabase(version);
    const QByteArray earlierVersion = fileBytes("INTVER.mdb");
    QVERIFY(start());
    QCOMPARE(rowCount("TOSHO.MDB", "DOUI"), 0);

    click("Command1");

    QVERIFY(!programEnded());
    QVERIFY(m_messages->texts.isEmpty());
    QCOMPARE(rowCount("TOSHO.MDB", "DOUI"), 1);
    // An existing version database is left alone; a missing one is the current version's.
    QCOMPARE(fileBytes("INTVER.mdb"), version.isEmpty() ? fileBytes("intdef.ver") : earlierVersion);
    QCOMPARE(AppState::instance().admission, AppState::Admission::Yes);
    QCOMPARE(AppState::instance().subWindowFlag, qint16(0));
    QVERIFY(isShown(mainMenu()));
    finishProgram();
    QVERIFY(!agreementScreen());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);

    if (version.isEmpty()) {
        QVERIFY(start());
        QVERIFY(isShown(mainMenu()));
        QVERIFY(!isShown(agreementScreen()));
    }
}

void tst_Agreement::firstAcceptanceWithoutVersionTemplate() {
    QVERIFY(QFile::remove("intdef.ver"));
    QVERIFY(start());

    click("Command1");

    QCOMPARE(m_messages->texts.size(), 1);
    QVERIFY2(m_messages->texts.first().contains("intdef.ver"), qPrintable(m_messages->texts[0]));
    QVERIFY(programEnded());
    QVERIFY(!isShown(mainMenu()));
    QVERIFY(!QFile::exists("INTVER.mdb"));
}

void tst_Agreement::upgradeRebuildsCatalogue_data() {
    QTest::addColumn<QString>("version"); // empty: no version database
    QTest::addColumn<bool>("earlierBackup");
    QTest::newRow("no version database") << "" << false;
    QTest::newRow("older version") << "1.00" << false;
    QTest::newRow("version table without row") << NoRow << false;
    QTest::newRow("earlier backup files are replaced") << "" << true;
    QTest::newRow("read-only older version database") << "readonly" << false;
}

void tst_Agreement::upgradeRebuildsCatalogue() {
    QFETCH(QString, version);
    QFETCH(bool, earlierBackup);
    writeEarlierCatalogue();
    if (version == "readonly") {
        writeVersionDatabase("1.00");
        QVERIFY(QFile::setPermissions("INTVER.mdb", QFile::ReadOwner));
    } else if (!version.isEmpty()) {
        writeVersionDatabase(version);
    }
    if (earlierBackup) {
        for (const QString &file : BackupFiles) {
            QFile stale(file);
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("stale");
        }
    }
    const QStringList before = catalogueContents();
    QVERIFY(start());
    QVERIFY(isShown(agreementScreen()));
    // Screens that hold the files open must not stop their replacement.
    Connection catalogue(AppState::instance().mainConnectionString);
    catalogue.open();

    click("Command1");

    QCOMPARE(m_messages->texts, QStringList{KYODAKU::Upgraded});
    QCOMPARE(m_messages->titles, QStringList{QString()});
    QVERIFY(programEnded());
    QVERIFY(!isShown(mainMenu()));
    QVERIFY(!catalogue.isOpen());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    for (const QString &file : BackupFiles) {
        QVERIFY(QFile::exists(file));
        if (earlierBackup)
            QVERIFY(fileBytes(file) != "stale");
    }
    QCOMPARE(catalogueContents(), before);
    QCOMPARE(rowCount("TOSHO.MDB", "DOUI"), 1);
    QCOMPARE(fileBytes("INTVER.mdb"), fileBytes("intdef.ver"));
    QVERIFY(!QFile::exists("TOSHOCPY.MDB"));

    finishProgram();
    m_messages->texts.clear();
    QVERIFY(start());
    QVERIFY(isShown(mainMenu()));
    QVERIFY(m_messages->texts.isEmpty());
}

void tst_Agreement::upgradeEndsWithNothingChanged_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("message");
    QTest::newRow("no version template") << "template" << KYODAKU::NoUpgradeInformation;
    QTest::newRow("accepted after start-up looked") << "accepted" << KYODAKU::AlreadyUpgraded;
}

void tst_Agreement::upgradeEndsWithNothingChanged() {
    QFETCH(QString, situation);
    QFETCH(QString, message);
    if (situation == "template") {
        writeEarlierCatalogue();
        QVERIFY(QFile::remove("intdef.ver"));
    } else {
        writeCatalogue("TOSHO.MDB", false);
        writeVersionDatabase("1.02");
    }
    QVERIFY(start());
    QVERIFY(isShown(agreementScreen()));
    if (situation == "accepted") {
        // Another copy of the program accepted meanwhile.
        const QString name = openDatabaseFile(m_folder->filePath("TOSHO.MDB"), "other");
        QSqlQuery(QSqlDatabase::database(name, false)).exec("INSERT INTO DOUI (ID) VALUES (1)");
        closeDatabase(name);
    }
    const auto before = folderSnapshot();

    click("Command1");

    QCOMPARE(m_messages->texts, QStringList{message});
    QCOMPARE(m_messages->titles, QStringList{QString()});
    QVERIFY(programEnded());
    QCOMPARE(AppState::instance().admission, AppState::Admission::No);
    QVERIFY(!isShown(agreementScreen()));
    QVERIFY(!isShown(mainMenu()));
    QCOMPARE(folderSnapshot(), before);
}

void tst_Agreement::upgradeFailureKeepsVersion_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("named");
    QTest::newRow("restore template missing") << "TOSHODEF.MDB"
                                              << "TOSHODEF.MDB";
    QTest::newRow("restore template not a database") << "broken"
                                                     << "TOSHODEF.MDB";
}

void tst_Agreement::upgradeFailureKeepsVersion() {
    QFETCH(QString, damage);
    QFETCH(QString, named);
    writeEarlierCatalogue();
    writeVersionDatabase("1.00");
    if (damage == "broken") {
        QFile broken("TOSHODEF.MDB");
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write(QByteArray(8192, 'z'));
    } else {
        QVERIFY(QFile::remove(damage));
    }
    const QByteArray catalogue = fileBytes("TOSHO.MDB");
    const QByteArray version = fileBytes("INTVER.mdb");
    QVERIFY(start());

    click("Command1");

    QCOMPARE(m_messages->texts.size(), 1);
    QVERIFY2(m_messages->texts.first().contains(named), qPrintable(m_messages->texts.first()));
    QVERIFY(programEnded());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QCOMPARE(fileBytes("TOSHO.MDB"), catalogue);
    QCOMPARE(fileBytes("INTVER.mdb"), version);

    // The upgrade is offered again.
    finishProgram();
    QVERIFY(start());
    QVERIFY(isShown(agreementScreen()));
}

QTEST_MAIN(tst_Agreement)
#include "tst_agreement.moc"
