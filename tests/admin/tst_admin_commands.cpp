// hondana-admin's commands as a script runs them: exit status, what it says, what it changes.
#include "../hardening/Harness.h"

#include "base/FileNames.h"
#include "support/DataFolder.h"
#include "support/TestSql.h"

#include <QStringDecoder>
#include <QtTest>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;
using test::SqlFile;

namespace {

QString catalogue(const DataFolder &folder) {
    return folder.filePath(files::Catalogue);
}

qint64 books(const DataFolder &folder) {
    return SqlFile(catalogue(folder)).value(u8("SELECT count(*) FROM BOOK")).toLongLong();
}

// Changes the catalogue the way a row of the table below asks for.
void arrange(const DataFolder &folder, const QString &setup) {
    if (setup == u8("no catalogue")) {
        QFile::remove(catalogue(folder));
        return;
    }
    if (setup == u8("damaged")) {
        writeFile(catalogue(folder), QByteArray(8192, 'x'));
        return;
    }
    if (setup == u8("after reset")) {
        QCOMPARE(runAdmin(folder.path(), {u8("reset"), u8("--yes")}).exitCode, 0);
        return;
    }
    const QHash<QString, QString> statements = {
        {u8("orphan"), u8("INSERT INTO BOOK (題名, 著者NO) VALUES ('迷子の本', 99999)")},
        {u8("duplicate"), u8("INSERT INTO BUNYA (分野NO, 分野名) SELECT 分野NO, 'もう一つ' FROM "
                             "BUNYA LIMIT 1")},
        {u8("stamp"), u8("UPDATE BOOK SET 読書ｽﾀﾝﾌﾟ = '途中' WHERE rowid = 1")},
        {u8("emoji"), u8("UPDATE BOOK SET 内容 = '栞🔖' WHERE rowid = 1")},
    };
    if (statements.contains(setup))
        SqlFile(catalogue(folder)).exec(statements[setup]);
}

} // namespace

class TestAdminCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
    void csvQuoting_data();
    void csvQuoting();
    void cp932ExportReadsBack();
};

void TestAdminCommands::commands_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");   // in standard output, or error output when it failed
    QTest::addColumn<int>("booksAfter"); // -1: the catalogue is unchanged

    const int unchanged = -1;
    QTest::newRow("reset --yes") << QStringList{u8("reset"), u8("--yes")} << QString() << 0
                                 << u8("snapshots/") << 0;
    QTest::newRow("reset unconfirmed")
        << QStringList{u8("reset")} << QString() << 3 << u8("--yes") << unchanged;
    QTest::newRow("reset without catalogue") << QStringList{u8("reset"), u8("-y")}
                                             << u8("no catalogue") << 1 << u8("TOSHO") << unchanged;
    QTest::newRow("no snapshots yet")
        << QStringList{u8("snapshots")} << QString() << 0 << u8("まだありません") << unchanged;
    QTest::newRow("snapshot of a reset")
        << QStringList{u8("snapshots")} << u8("after reset") << 0 << u8("-reset.MDB") << 0;
    QTest::newRow("unknown snapshot")
        << QStringList{u8("restore-snapshot"), u8("20200101-000000-reset.MDB"), u8("-y")}
        << QString() << 1 << u8("ありません") << unchanged;
    QTest::newRow("snapshot name missing") << QStringList{u8("restore-snapshot"), u8("-y")}
                                           << QString() << 2 << u8("引数") << unchanged;
    QTest::newRow("check, sound") << QStringList{u8("check")} << QString() << 0
                                  << u8("問題は見つかりませんでした") << unchanged;
    QTest::newRow("check, missing author")
        << QStringList{u8("check")} << u8("orphan") << 4 << u8("99999") << unchanged;
    QTest::newRow("check, number twice")
        << QStringList{u8("check")} << u8("duplicate") << 4 << u8("重複") << unchanged;
    QTest::newRow("check, stamp outside DSTMP")
        << QStringList{u8("check")} << u8("stamp") << 4 << u8("途中") << unchanged;
    QTest::newRow("check, damaged file")
        << QStringList{u8("check")} << u8("damaged") << 1 << u8("TOSHO.MDB") << unchanged;
    QTest::newRow("export") << QStringList{u8("export")} << QString() << 0 << u8("SEQNO,")
                            << unchanged;
    QTest::newRow("export in cp932 of a character it lacks")
        << QStringList{u8("export"), u8("--encoding"), u8("cp932")} << u8("emoji") << 1
        << u8("「内容」") << unchanged;
    QTest::newRow("folder that does not exist")
        << QStringList{u8("check"), u8("--folder"), u8("/nonexistent/本棚")} << QString() << 1
        << u8("/nonexistent/本棚") << unchanged;
    QTest::newRow("command's own help") << QStringList{u8("export"), u8("--help")} << QString() << 0
                                        << u8("--encoding") << unchanged;
}

void TestAdminCommands::commands() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(int, booksAfter);
    DataFolder folder;
    prepareCatalogue(folder.path(), 25);
    arrange(folder, setup);
    const QByteArray before = contents(catalogue(folder));

    // Run from elsewhere, naming the data folder, as a script would.
    DataFolder elsewhere(DataFolder::Empty);
    if (!arguments.contains(u8("--folder")))
        arguments << u8("--folder") << folder.path();
    const Outcome outcome = runAdmin(elsewhere.path(), arguments);
    QVERIFY(!outcome.crashed);
    QCOMPARE(outcome.exitCode, exitCode);
    const QString text = exitCode == 0 ? outcome.out : outcome.err + outcome.out;
    QVERIFY2(text.contains(said), qPrintable(text));
    if (booksAfter < 0)
        QVERIFY2(contents(catalogue(folder)) == before, "the catalogue changed");
    else
        QCOMPARE(books(folder), booksAfter);
    QVERIFY(QDir(elsewhere.path()).isEmpty());
}

void TestAdminCommands::csvQuoting_data() {
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << u8("上下巻") << u8(",上下巻,");
    QTest::newRow("comma") << u8("上巻,下巻") << u8(",\"上巻,下巻\",");
    QTest::newRow("quotes") << u8("帯に\"新訳\"") << u8(",\"帯に\"\"新訳\"\"\",");
    QTest::newRow("line break") << u8("一行目\r\n二行目") << u8(",\"一行目\r\n二行目\",");
}

void TestAdminCommands::csvQuoting() {
    QFETCH(QString, notes);
    QFETCH(QString, field);
    DataFolder folder;
    prepareCatalogue(folder.path(), 0);
    {
        SqlFile file(catalogue(folder));
        QSqlQuery insert(file.database());
        insert.prepare(u8("INSERT INTO BOOK (題名, 内容) VALUES ('本', ?)"));
        insert.addBindValue(notes);
        QVERIFY(insert.exec());
    }
    const QString output = folder.filePath(u8("本.csv"));
    const Outcome outcome = runAdmin(folder.path(), {u8("export"), u8("-o"), output});
    QCOMPARE(outcome.exitCode, 0);
    const QString csv = QString::fromUtf8(contents(output));
    const QStringList lines = csv.split(u8("\r\n"));
    QCOMPARE(lines.first().split(u',').size(), 24);
    QVERIFY2(csv.contains(field), qPrintable(csv));
    QVERIFY(csv.endsWith(u8("\r\n")));
}

void TestAdminCommands::cp932ExportReadsBack() {
    QStringDecoder decoder("windows-31j");
    if (!decoder.isValid())
        QSKIP("no code page 932 decoder here");
    DataFolder folder;
    prepareCatalogue(folder.path(), 300);
    const Outcome utf8 = runAdmin(folder.path(), {u8("export")});
    const QString path = folder.filePath(u8("sjis.csv"));
    const Outcome cp932 =
        runAdmin(folder.path(), {u8("export"), u8("--encoding"), u8("cp932"), u8("-o"), path});
    QCOMPARE(utf8.exitCode, 0);
    QCOMPARE(cp932.exitCode, 0);
    QVERIFY2(cp932.out.contains(u8("300 冊")), qPrintable(cp932.out));
    const QString decoded = decoder.decode(contents(path));
    QVERIFY(!decoder.hasError());
    QCOMPARE(decoded, utf8.out);
}

QTEST_GUILESS_MAIN(TestAdminCommands)
#include "tst_admin_commands.moc"
