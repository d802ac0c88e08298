// hondana-admin's commands as a script runs them: exit status, what it says, what it changes.
#include "../hardening/Harness.h"

#include "base/FileNames.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
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
    if (setup == u8("no configuration")) {
        QVERIFY(QFile::remove(folder.filePath(files::Configuration)));
        return;
    }
    if (setup == u8("after reset")) {
        QCOMPARE(runAdmin(folder.path(), {u8("reset"), u8("--yes")}).exitCode, 0);
        return;
    }
    if (setup == u8("backed up") || setup == u8("no HAKKO.DAT")) {
        backUp(folder.path());
        // A book added since the backup, which a restore takes away again.
        SqlFile(catalogue(folder)).exec(u8("INSERT INTO BOOK (題名) VALUES ('あとから足した本')"));
    }
    if (setup == u8("no HAKKO.DAT"))
        QVERIFY(QFile::remove(folder.filePath(u8("HAKKO.DAT"))));
    const QHash<QString, QString> statements = {
        {u8("orphan"), u8("INSERT INTO BOOK (題名, 著者NO) VALUES ('迷子の本', 99999)")},
        {u8("duplicate"), u8("INSERT INTO BUNYA (分野NO, 分野名) SELECT 分野NO, 'もう一つ' FROM "
                             "BUNYA LIMIT 1")},
        // An author of books with a reading, and a later entry with its number and another.
        {u8("author twice"),
         u8("UPDATE CHOSHA SET 著者名 = '先の著者' WHERE rowid = (SELECT min(c.rowid) FROM CHOSHA "
            "c JOIN BOOK b ON b.著者NO = c.著者NO); INSERT OR REPLACE INTO "
            "name_reading SELECT 'CHOSHA', rowid, 'サキ', 'user' FROM CHOSHA WHERE 著者名 = "
            "'先の著者'; INSERT INTO CHOSHA (著者NO, 著者名) SELECT 著者NO, '後の著者' FROM "
            "CHOSHA WHERE 著者名 = '先の著者'; INSERT INTO name_reading VALUES ('CHOSHA', "
            "last_insert_rowid(), 'アト', 'user')")},
        {u8("stamp"), u8("UPDATE BOOK SET 読書ｽﾀﾝﾌﾟ = '途中' WHERE rowid = 1")},
        // Two to copy; a price barcode, a wrong check digit, a book with an ISBN are none.
        {u8("isbn in numbers"),
         u8("UPDATE BOOK SET 管理番号1 = '4-10-101001-3' WHERE rowid = 1; UPDATE BOOK SET "
            "管理番号1 = '1920093008006', 請求番号 = '978-4-8000-3004-7' WHERE rowid = 3; "
            "UPDATE BOOK SET 管理番号2 = '9784101010015' WHERE rowid = 6; UPDATE BOOK SET "
            "管理番号1 = '4101010013' WHERE rowid = 4; INSERT INTO book_isbn VALUES (4, "
            "'9784800030047')")},
        {u8("unnumbered"), u8("INSERT INTO SAIZU (ｻｲｽﾞ名) VALUES ('番号なし')")},
        {u8("series"), u8("INSERT INTO BOOK (題名, SEQNO, 全体NO) VALUES ('全集', 1, 5), "
                          "('全集', 4, 5)")},
        // Out: one overdue, one not yet due, one without a date due; one back.
        {u8("loans"), u8("DELETE FROM loan; UPDATE BOOK SET 題名 = 'あ' || rowid WHERE rowid <= 4; "
                         "INSERT INTO loan "
                         "(book_rowid, borrower, lent_on, due_on, returned_on) VALUES (3, '山田', "
                         "'2026-11-01', '2026-11-15', NULL), (1, '佐藤', '2026-11-02', "
                         "'2999-01-01', NULL), (2, '鈴木', '2026-11-03', NULL, NULL), (4, '田中', "
                         "'2026-10-01', '2026-10-02', '2026-10-05')")},
        {u8("loan of a book gone"), u8("INSERT INTO loan (book_rowid, borrower, lent_on) VALUES "
                                       "(999, '佐藤', '2026-11-01')")},
        {u8("emoji"), u8("UPDATE BOOK SET 内容 = '栞🔖' WHERE rowid = 1")},
        {u8("plain"), u8("UPDATE BOOK SET 内容 = '上下巻' WHERE rowid = 1")},
        {u8("comma"), u8("UPDATE BOOK SET 内容 = '上巻,下巻' WHERE rowid = 1")},
        {u8("quotes"), u8("UPDATE BOOK SET 内容 = '帯に\"新訳\"' WHERE rowid = 1")},
        {u8("line break"),
         u8("UPDATE BOOK SET 内容 = '一行目' || char(13, 10) || '二行目' WHERE rowid = 1")},
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
    void cp932ExportReadsBack();
};

void TestAdminCommands::commands_data() {
    // `said` (a pattern) in standard output, or error output when it failed; `booksAfter` -1: the
    // catalogue is unchanged. The command line is split at blanks.
    test::columns<QStringList, QString, int, QString, int>(
        {"arguments", "setup", "exitCode", "said", "booksAfter"});
    auto row = [](const char *name, const char *command, const char *setup, int exitCode,
                  const char *said, int booksAfter = -1) {
        test::row(name, u8(command).split(u' ', Qt::SkipEmptyParts), setup, exitCode, said,
                  booksAfter);
    };
    row("help", "--help", "", 0, "使い方");
    row("no command", "", "", 2, "使い方");
    row("unknown command", "frobnicate", "", 2, "frobnicate");
    row("two commands", "backup restore", "", 2, "余分な引数「restore」");
    row("export to a path without --output", "export /tmp/a.csv", "", 2, "「/tmp/a.csv」");
    row("-- ends the options", "restore-snapshot -y -- -x.MDB", "", 1, "「-x.MDB」はありません");
    row("backup", "backup", "", 0, "バックアップを完了");
    row("backup without JETDB.VER", "backup", "no configuration", 1, "JETDB.VER");
    row("restore unconfirmed", "restore", "backed up", 3, "--yes");
    row("restore --yes", "restore --yes", "backed up", 0, "復元を完了", 25);
    row("restore -y without HAKKO.DAT", "-y restore", "no HAKKO.DAT", 1, "HAKKO.DAT");
    row("reset --yes", "reset --yes", "", 0, "snapshots/", 0);
    row("reset unconfirmed", "reset", "", 3, "--yes");
    row("reset without catalogue", "reset -y", "no catalogue", 1, "TOSHO");
    row("no snapshots yet", "snapshots", "", 0, "まだありません");
    row("snapshot of a reset", "snapshots", "after reset", 0, "-reset.MDB", 0);
    row("snapshot name missing", "restore-snapshot -y", "", 2, "引数");
    row("check, sound", "check", "", 0, "問題は見つかりませんでした");
    row("check, missing author", "check", "orphan", 4, "99999");
    row("check, number twice", "check", "duplicate", 4, "重複");
    row("check, stamp outside DSTMP", "check", "stamp", 4, "途中");
    row("check, master row without a number", "check", "unnumbered", 4, "SAIZU 表の 1 行に");
    row("check, damaged file", "check", "damaged", 1, "TOSHO.MDB");
    row("check, ISBNs in number columns", "check", "isbn in numbers", 4,
        "2 冊の本の ISBN 欄が空.*: 管理番号1 978-4-10-101001-4、請求番号 978-4-8000-3004-7");
    row("copy-isbn", "copy-isbn", "isbn in numbers", 0, "^2 冊の本に ISBN を写しました", 25);
    // A field is quoted only when it must be.
    row("export of plain notes", "export", "plain", 0, ",上下巻,");
    row("export of a comma", "export", "comma", 0, ",\"上巻,下巻\",");
    row("export of quotes", "export", "quotes", 0, ",\"帯に\"\"新訳\"\"\",");
    row("export of a line break", "export", "line break", 0, ",\"一行目\r\n二行目\",");
    row("export of an ISBN, before the loan", "export", "isbn in numbers", 0,
        "発行所読み,ISBN,貸出先,貸出日,返却予定日\r\n[\\s\\S]*,9784800030047,,,\r\n");
    // The entry the stored queries show, and its reading.
    row("export of an author number that stands twice", "export", "author twice", 0,
        "先の著者,[^\r]*,サキ,");
    row("export in cp932 of a character it lacks", "export --encoding cp932", "emoji", 1,
        "「内容」");
    row("folder that does not exist", "check --folder /nonexistent/本棚", "", 1,
        "/nonexistent/本棚");
    row("command's own help", "export --help", "", 0, "--encoding");
    row("missing volumes", "missing", "series", 0, "全集\t1, 4\t2, 3, 5");
    // あ1 has the reading ヨミ.
    row("loans out now, by reading", "loans", "loans", 0,
        "^あ2\t鈴木\t2026-11-03\t\nあ3\t山田\t2026-11-01\t2026-11-15\nあ1\t佐藤\t2026-11-02\t"
        "2999-01-01\n$");
    row("loans overdue", "loans --overdue", "loans", 0, "^あ3\t山田\t2026-11-01\t2026-11-15\n$");
    row("export of a loan", "export", "loans", 0,
        ",ISBN,貸出先,貸出日,返却予定日\r\n[\\s\\S]*,山田,2026-11-01,2026-11-15\r\n");
    row("check, loan of a book gone", "check", "loan of a book gone", 4, "貸出の記録の 1 行が");
    row("readings", "readings", "", 0, "読めなかったものは", 25);
    row("readings without catalogue", "readings", "no catalogue", 1, "TOSHO");
}

void TestAdminCommands::commands() {
    QStringList arguments = test::cell<QStringList>("arguments");
    const int exitCode = test::cell<int>("exitCode");
    const int booksAfter = test::cell<int>("booksAfter");
    DataFolder folder;
    prepareCatalogue(folder.path(), 25);
    arrange(folder, test::text("setup"));
    const QByteArray before = contents(catalogue(folder));

    // Run from elsewhere, naming the data folder, as a script would.
    DataFolder elsewhere(DataFolder::Empty);
    if (!arguments.contains(u8("--folder")))
        arguments = QStringList{u8("--folder"), folder.path()} + arguments;
    const Outcome outcome = runAdmin(elsewhere.path(), arguments);
    QVERIFY(!outcome.crashed);
    QCOMPARE(outcome.exitCode, exitCode);
    const QString text = exitCode == 0 ? outcome.out : outcome.err + outcome.out;
    QVERIFY2(text.contains(QRegularExpression(test::text("said"))), qPrintable(text));
    if (booksAfter < 0)
        QVERIFY2(contents(catalogue(folder)) == before, "the catalogue changed");
    else
        QCOMPARE(books(folder), booksAfter);
    QVERIFY(QDir(elsewhere.path()).isEmpty());
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
    // Records end in CR LF, the header's included, as spreadsheet programs expect.
    QVERIFY(utf8.out.endsWith(u8("\r\n")));
    QCOMPARE(utf8.out.indexOf(u8("\n")), utf8.out.indexOf(u8("\r\n")) + 1);
    const QString decoded = decoder.decode(contents(path));
    QVERIFY(!decoder.hasError());
    QCOMPARE(decoded, utf8.out);
}

QTEST_GUILESS_MAIN(TestAdminCommands)
#include "tst_admin_commands.moc"
