// Files in the working folder that are not what their names promise: each gets a clear message,
// no crash, and nothing in the folder (or beside it) changes. Start-up is tested through its
// decision function, the data-link file through a connection, backup and restore through
// hondana-admin.
#include "Harness.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/DataFolderLock.h"
#include "db/Connection.h"
#include "lookup/LookupSettings.h"
#include "maintenance/BackupFormat.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestSql.h"

#include <QDir>
#include <QtEndian>
#include <QtTest>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace hondana;
using namespace hondana::hardening;
using test::DataFolder;

namespace {

// Spoils the prepared folder the way one row of the table says.
using Spoil = std::function<void(const DataFolder &)>;

Spoil write(const QString &file, const QByteArray &bytes) {
    return [=](const DataFolder &folder) { writeFile(folder.filePath(file), bytes); };
}

Spoil append(const QString &file, const QByteArray &bytes) {
    return [=](const DataFolder &folder) {
        writeFile(folder.filePath(file), contents(folder.filePath(file)) + bytes);
    };
}

// The file without its last `bytes` bytes.
Spoil cut(const QString &file, int bytes) {
    return [=](const DataFolder &folder) {
        writeFile(folder.filePath(file), contents(folder.filePath(file)).chopped(bytes));
    };
}

Spoil execute(const QString &file, const QStringList &statements) {
    return [=](const DataFolder &folder) {
        const test::SqlFile database(folder.filePath(file));
        for (const QString &statement : statements)
            test::value(database.database(), statement);
    };
}

// Which of the names a hostile configuration points at exist beside the working folder or at
// the absolute paths it names; none may appear.
QStringList namesBeside(const QString &folder) {
    QStringList found;
    for (const QString &path : QStringList{QDir(folder).filePath("../x"),
                                           QDir(folder).filePath("../TOSHO.MDB"), "/tmp/TOSHO.MDB"})
        if (QFileInfo::exists(path))
            found << path;
    return found;
}

const backup::Layout &book() {
    return backup::layout("BOOK.DAT");
}

// A BOOK.DAT record with nothing but a title.
QByteArray bookRecord() {
    QVariantList row(book().fields.size());
    row[0] = "本";
    QByteArray record(book().recordLength, ' ');
    backup::encodeRecord(book(), row.constData(), record.data(), 1);
    return record;
}

QByteArray withDate(double days) {
    QByteArray record = bookRecord();
    qToLittleEndian<double>(days, record.data() + 76);
    return record;
}

// Records whose text fields together hold every byte value in every position.
QByteArray everyByteInText() {
    QByteArray file;
    for (int shift = 0; shift < 256; shift += 7) {
        QByteArray record = bookRecord();
        int b = shift;
        for (const backup::Field &field : book().fields) {
            if (field.kind != backup::FieldKind::Text && field.kind != backup::FieldKind::Stamp)
                continue;
            for (int i = 0; i < field.width; ++i)
                record[field.offset + i] = char(b++ & 0xFF);
        }
        file += record;
    }
    return file;
}

const int Refused = -1;

void addRow(const char *operation, const char *name, const Spoil &spoil, const QStringList &says,
            int books = Refused) {
    QTest::addRow("%s: %s", operation, name) << u8(operation) << spoil << says << books;
}

} // namespace

Q_DECLARE_METATYPE(Spoil)

class TestHostileFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedOrSurvived_data();
    void refusedOrSurvived();
    void secondProgramOnTheFolder_data();
    void secondProgramOnTheFolder();
    void userNamedOutput_data();
    void userNamedOutput();
    void hostileImports_data();
    void hostileImports();
};

void TestHostileFiles::refusedOrSurvived_data() {
    // `operation` start, link, backup, restore or lookup; `says` what the refusal, or the restore,
    // must say; `books` after a restore that goes through, or Refused
    test::columns<QString, Spoil, QStringList, int>({"operation", "spoil", "says", "books"});
    const QString tosho = files::Catalogue;
    const QString version = files::VersionDatabase;
    const QString config = files::Configuration;
    const QString link = files::CatalogueLink;
    const QString outside = "作業フォルダーの外";
    const QString otherLink = "別の接続ファイル";
    const QString noDatabase = "データベースファイルではありません";
    const QString noTable = "必要な表がありません";
    const QString noColumn = "必要な列がありません";
    const QString outOfRange = "西暦1年から9999年の範囲にありません";
    const QStringList dropViews = {"DROP VIEW TQ1", "DROP VIEW TQ2", "DROP VIEW TQ3",
                                   "DROP INDEX BOOK_ORDER"};

    // A catalogue or version database that is not a database is a row of the start-up table.
    addRow("start", "empty catalogue", write(tosho, {}), {"DOUI", noTable});
    addRow("start", "catalogue is a folder",
           [](const DataFolder &f) {
               QFile::remove(f.filePath(files::Catalogue));
               QDir().mkdir(f.filePath(files::Catalogue));
           },
           {tosho, "ありません"});
    addRow("start", "catalogue truncated",
           [](const DataFolder &f) {
               writeFile(f.filePath(files::Catalogue),
                         contents(f.filePath(files::Catalogue)).left(3000));
           },
           {tosho, "壊れて"});
    addRow("start", "version table without VER column",
           execute(version, {"DROP TABLE VER", "CREATE TABLE VER (OTHER TEXT)",
                             "INSERT INTO VER VALUES ('1.02')"}),
           {version, noColumn});
    addRow(
        "start", "JETDB.VER of 10 MB without a line end",
        write(config, "Provider=SQLite;Data Source=TOSHO.mdb;" + QByteArray(10 * 1024 * 1024, 'x')),
        {config, "長すぎます"});
    addRow("start", "JETDB.VER of NUL bytes", write(config, QByteArray(100, '\0')),
           {config, "使えません"});
    addRow("start", "JETDB.VER names an absolute path",
           [](const DataFolder &f) {
               writeFile(f.filePath(files::Configuration),
                         "Provider=SQLite;Data Source=" +
                             QFile::encodeName(f.filePath(files::Catalogue)) + ";\n");
           },
           {tosho, outside});
    addRow("start", "JETDB.VER names a link naming itself",
           [](const DataFolder &f) {
               writeFile(f.filePath(files::Configuration), "FILE NAME=Karobu.udl\n");
               writeFile(f.filePath(files::CatalogueLink), "[oledb]\nFILE NAME=Karobu.udl\n");
           },
           {link, otherLink});

    // The data-link file the screens connect through may name only a file of the working folder.
    addRow("link", "parent", write(link, "[oledb]\nProvider=SQLite;Data Source=../x\n"), {outside});
    addRow("link", "drive letter",
           write(link, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\TOSHO.MDB\n"), {outside});
    addRow("link", "another link", write(link, "FILE NAME=KYODAKU.udl\n"), {otherLink});
    addRow("link", "unknown provider", write(link, "Provider=SQLOLEDB;Data Source=TOSHO.mdb\n"),
           {"プロバイダー"});
    addRow("link", "only comments", write(link, "[oledb]\n; nothing else\n"),
           {"接続文字列がありません"});
    addRow("link", "too big", write(link, QByteArray(100 * 1024, ';')), {"大きすぎます"});

    // Backup reads the catalogue; a file it cannot take stops it before a short file is left.
    addRow("backup", "catalogue not a database", write(tosho, QByteArray(4096, 'Z')), {noDatabase});
    addRow("backup", "BOOK lacks columns",
           execute(tosho, dropViews + QStringList{"ALTER TABLE BOOK DROP COLUMN 内容"}),
           {noColumn});
    addRow("backup", "no SAIZU table",
           execute(tosho, {"DROP VIEW TQ1", "DROP VIEW TQ3", "DROP TABLE SAIZU"}), {noTable});
    addRow("backup", "date that is no date",
           execute(tosho, {"PRAGMA ignore_check_constraints = ON",
                           "UPDATE BOOK SET 発行日 = '2024-13-45' WHERE rowid = 2"}),
           {"日付ではありません"});
    addRow("backup", "a folder squats on the temporary name",
           [](const DataFolder &f) { QDir(f.path()).mkdir("CHOSHA.DAT.tmp"); }, {"CHOSHA.DAT"});

    // Restore reads the backup files into a copy of the template.
    const QString bookFile = "BOOK.DAT";
    const QByteArray record = bookRecord();
    // A damaged set goes through with --yes, saying per file what was read and left over.
    addRow("restore", "fragment after 3 books", write(bookFile, record + record + record + "tail"),
           {"BOOK.DAT: 3 件", "4 バイト"}, 3);
    addRow("restore", "only a fragment", write(bookFile, record.left(323)),
           {"BOOK.DAT: 0 件", "323 バイト"}, 0);
    addRow("restore", "CHOSHA.DAT empty: books without their authors", write("CHOSHA.DAT", {}),
           {"CHOSHA.DAT: 0 件", "著者NO"}, 10);
    addRow("restore", "BUNYA.DAT cut short", cut("BUNYA.DAT", 1), {"BUNYA.DAT: ", "53 バイト"}, 10);
    addRow("restore", "NaN date",
           write(bookFile, record + withDate(std::numeric_limits<double>::quiet_NaN())),
           {bookFile, "2 件目"});
    addRow("restore", "day after 9999-12-31", write(bookFile, withDate(2958466.0)),
           {bookFile, outOfRange});
    addRow("restore", "last hour of 9999-12-31", write(bookFile, withDate(2958465.99)), {}, 1);
    addRow("restore", "every byte in every text field", write(bookFile, everyByteInText()), {}, 37);
    QByteArray everyByte(324 * 8, '\0');
    for (int i = 0; i < everyByte.size(); ++i)
        everyByte[i] = char(i & 0xFF);
    addRow("restore", "every byte value, raw", write(bookFile, everyByte), {bookFile});
    // Every missing file is named at once; a leftover work copy is not touched before the check.
    addRow("restore", "missing files and a leftover work copy",
           [](const DataFolder &f) {
               for (const QString &name :
                    QStringList{"BUNYA.DAT", "SAIZU.DAT", files::RestoreTemplate})
                   QFile::remove(f.filePath(name));
               writeFile(f.filePath(files::WorkCopy), "left over");
           },
           {"BUNYA.DAT", "SAIZU.DAT", "TOSHODEF.MDB"});

    // The template restore copies must be a catalogue that takes the rows.
    const QString restoreTemplate = files::RestoreTemplate;
    addRow("restore", "template not a database", write(restoreTemplate, QByteArray(8192, '\x5c')),
           {restoreTemplate, noDatabase});
    addRow("restore", "template's BOOK lacks a column",
           execute(restoreTemplate, dropViews + QStringList{"ALTER TABLE BOOK DROP COLUMN 購入先"}),
           {noColumn});
    addRow("restore", "template refuses books",
           execute(restoreTemplate, {"CREATE TRIGGER refuse BEFORE INSERT ON BOOK BEGIN "
                                     "SELECT RAISE(ABORT, 'no books here'); END"}),
           {bookFile});
    // Our own file: whatever cannot be proved to belong to a restored book is kept in a file
    // the message names; the books are restored all the same.
    const QString own = "HONDANA.DAT";
    const QStringList kept = {own, "HONDANA-unattached-"};
    const auto ownLine = [](const char *position, const QByteArray &value) {
        return QByteArray("BOOK.DAT\t") + position + "\t" + QByteArray(32, '0') + "\treading\t" +
               value + "\tuser\n";
    };
    addRow("restore", "HONDANA.DAT of a later version", write(own, "HONDANA-OWN-DATA\t9\n"), kept,
           10);
    addRow("restore", "HONDANA.DAT of other bytes", write(own, QByteArray(300, '\xff')), kept, 10);
    addRow("restore", "HONDANA.DAT cut in its last line", cut(own, 10), kept, 10);
    addRow("restore", "HONDANA.DAT: bad UTF-8", append(own, ownLine("1", "\xff\xfe")), kept, 10);
    addRow("restore", "HONDANA.DAT: huge line", append(own, QByteArray(100000, 'A') + '\n'), kept,
           10);
    addRow("restore", "HONDANA.DAT: no such position", append(own, ownLine("99999", "ア")), kept,
           10);
    addRow("restore", "HONDANA.DAT: digest of another record", append(own, ownLine("2", "ア")),
           kept, 10);
    addRow(
        "restore", "HONDANA.DAT: ISBN with a wrong check digit",
        [own](const DataFolder &f) {
            writeFile(f.filePath(own),
                      contents(f.filePath(own))
                          .replace("\tisbn\t9784101010014\n", "\tisbn\t9784101010015\n"));
        },
        kept, 10);
    // A wish belongs to no record: one the table cannot take, or one naming a record, is kept.
    for (const auto &[name, from, to] :
         {std::tuple{"HONDANA.DAT: wish of priority 9", "\twish\t1\t", "\twish\t9\t"},
          std::tuple{"HONDANA.DAT: wish at a position", "-\t0\t\twish", "-\t7\t\twish"}})
        addRow(
            "restore", name,
            [own, from, to](const DataFolder &f) {
                writeFile(f.filePath(own), contents(f.filePath(own)).replace(from, to));
            },
            kept, 10);
    addRow(
        "restore", "HONDANA.DAT: loan back before it was lent",
        [own](const DataFolder &f) {
            writeFile(f.filePath(own),
                      contents(f.filePath(own))
                          .replace("\t2026-10-15\t2026-10-20\n", "\t2026-10-15\t2026-09-20\n"));
        },
        kept, 10);
    // The look-up's cache is ours to rebuild, but never to delete behind the user's back.
    for (const auto &[name, bytes] :
         {std::pair{"cache of other bytes", QByteArray(8192, 'x')},
          std::pair{"cache cut short",
                    QByteArray("SQLite format 3\0", 16) + QByteArray(100, '\0')}})
        addRow("lookup", name, write("hondana-lookup.sqlite", bytes), {"hondana-lookup.sqlite"});
    addRow("restore", "template with a unique index the data breaks",
           execute(restoreTemplate,
                   {"DROP INDEX CHOSHA_NO", "CREATE UNIQUE INDEX CHOSHA_NO ON CHOSHA (国)"}),
           {"CHOSHA_NO"});
}

void TestHostileFiles::refusedOrSurvived() {
    const QString operation = test::text("operation");
    const QStringList says = test::cell<QStringList>("says");
    const int books = test::cell<int>("books");
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    backUp(folder.path());
    test::cell<Spoil>("spoil")(folder);
    const QMap<QString, QByteArray> before = test::folderSnapshot(folder.path());
    const QStringList besideBefore = namesBeside(folder.path());

    QString message;
    if (operation == "start") {
        startUpIn(folder.path(), &message);
    } else if (operation == "link") {
        Connection connection("FILE NAME=Karobu.udl");
        try {
            connection.open();
        } catch (const Failure &failure) {
            message = failure.message();
        }
        QVERIFY(!connection.isOpen());
    } else {
        // A look-up goes to a port nobody listens on, never to the service itself.
        qputenv(LookupSettings::AddressVariable, "http://127.0.0.1:9/api/sru");
        const QStringList arguments = operation == "backup" ? QStringList{"backup"}
                                      : operation == "lookup"
                                          ? QStringList{"lookup", "9784101010014"}
                                          : QStringList{"restore", "--yes"};
        const Outcome outcome = runAdmin(folder.path(), arguments);
        QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
        QCOMPARE(outcome.exitCode, books == Refused ? 1 : 0);
        message = outcome.err;
    }
    QCOMPARE(namesBeside(folder.path()), besideBefore);
    if (books == Refused) {
        QVERIFY2(!message.isEmpty(), "a hostile file was accepted");
        checkRefused(folder.path(), before, message, says);
        return;
    }
    for (const QString &part : says)
        QVERIFY2(message.contains(part), qPrintable(message));
    QCOMPARE(integrityCheck(folder.filePath(files::Catalogue)), "ok");
    QCOMPARE(
        test::SqlFile(folder.filePath(files::Catalogue)).value("SELECT count(*) FROM BOOK").toInt(),
        books);
    // What was restored backs up again.
    const Outcome again = runAdmin(folder.path(), {"backup"});
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
}

// One program on a data folder at a time: while another holds it, a second start and the
// commands that replace the catalogue are refused, naming the holder, and change nothing. A
// lock left by a program that has ended stops nobody.
void TestHostileFiles::secondProgramOnTheFolder_data() {
    test::columns<QStringList>({"arguments"}); // of hondana-admin; none: the program's start
    test::row("start", QStringList());
    for (const char *command : {"restore", "reset", "restore-snapshot x"})
        test::row(command, u8(command).split(u' ') << "-y");
}

void TestHostileFiles::secondProgramOnTheFolder() {
    const QStringList arguments = test::cell<QStringList>("arguments");
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    const QByteArray before = contents(folder.filePath(files::Catalogue));
    std::optional<DataFolderLock> lock(folder.path());
    const Outcome refused = runOperation(arguments, folder.path());
    QVERIFY2(refused.exitCode == 1 && refused.err.contains("既に開いています") &&
                 refused.err.contains("tst_hostilefiles"),
             qPrintable(refused.err));
    QCOMPARE(contents(folder.filePath(files::Catalogue)), before);
    lock.reset();
    writeFile(folder.filePath(files::FolderLock), "999999999\nhondana\n\n");
    QVERIFY(!runOperation(arguments, folder.path()).err.contains("既に開いています"));
}

// Output to a file the user names: a regular file (a link's too) is replaced whole, a device or
// FIFO is written into with its errors reported, and nothing else is replaced.
void TestHostileFiles::userNamedOutput_data() {
    // `target` a path, or a "fifo", "link" or "folder" made here
    test::columns<QString, int, QString>({"target", "exitCode", "says"});
    test::row("full device", "/dev/full", 1, "ディスクがいっぱい");
    test::row("FIFO with a reader", "fifo", 0, "10 冊");
    test::row("link to a file", "link", 0, "10 冊");
    test::row("folder", "folder", 1, "フォルダー");
    test::row("empty name", QString(), 2, "--output");
}

void TestHostileFiles::userNamedOutput() {
    const QString target = test::text("target");
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    const QString path =
        target.startsWith(u'/') || target.isEmpty() ? target : folder.filePath(target);
    const QByteArray native = QFile::encodeName(path);
    const QString file = folder.filePath("file.csv");
    if (target == "fifo")
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    if (target == "link")
        QVERIFY(QFile::link(file, path));
    if (target == "folder")
        QVERIFY(QDir().mkdir(path));
    // Opened before the export, so the export's output waits in the pipe.
    const int reader = target == "fifo" ? ::open(native.constData(), O_RDONLY | O_NONBLOCK) : -1;
    const auto kind = [&] {
        struct stat status {};
        return ::lstat(native.constData(), &status) == 0 ? status.st_mode & S_IFMT : 0;
    };
    const mode_t before = kind();
    const Outcome outcome = runAdmin(folder.path(), {"export", "--output", path});
    QTEST(outcome.exitCode, "exitCode");
    QVERIFY2((outcome.out + outcome.err).contains(test::text("says")),
             qPrintable(outcome.out + outcome.err));
    QCOMPARE(kind(), before);
    if (target == "link")
        QVERIFY(contents(file).contains("SEQNO,"));
    if (reader >= 0) {
        QByteArray got(1 << 16, '\0');
        got.resize(std::max<qsizetype>(0, ::read(reader, got.data(), size_t(got.size()))));
        ::close(reader);
        QVERIFY(got.contains("SEQNO,"));
    }
}

namespace {

// Writes `path` as a zip archive holding tellico.xml made of `chunk` written `times` times.
void writeZipped(const QString &path, const QByteArray &chunk, int times = 1) {
    QuaZip zip(path);
    QVERIFY(zip.open(QuaZip::mdCreate));
    QuaZipFile file(&zip);
    QVERIFY(file.open(QIODevice::WriteOnly, QuaZipNewInfo("tellico.xml")));
    for (int i = 0; i < times; ++i)
        file.write(chunk);
}

const char *const LaughsHead = "<?xml version=\"1.0\"?>\n<!DOCTYPE tellico [\n";
const char *const Collection =
    "<tellico><collection type=\"2\"><entry><title>&x;</title></entry></collection></tellico>";

} // namespace

// Files made to hurt a reader: each is refused whole with a message, and the catalogue keeps
// its books.
void TestHostileFiles::hostileImports_data() {
    test::columns<QString, QString>({"kind", "says"});
    test::row("zip bomb", "bomb", "展開すると");
    test::row("billion laughs", "laughs", "宣言");
    test::row("external entity", "external", "宣言");
    test::row("truncated zip", "truncated", "zip");
    test::row("2 GB line", "line", "バイトを超えています");
    test::row("broken CP932", "cp932", "CP932");
}

void TestHostileFiles::hostileImports() {
    const QString kind = test::text("kind");
    DataFolder folder;
    prepareCatalogue(folder.path(), 10);
    const QString path = folder.filePath("hostile");
    if (kind == "bomb") {
        writeZipped(path, QByteArray(1 << 20, ' '), 129);
    } else if (kind == "laughs") {
        QByteArray dtd = LaughsHead + QByteArray("<!ENTITY a \"lol\">");
        for (char e = 'b'; e <= 'j'; ++e)
            dtd += QByteArray("<!ENTITY ") + e + " \"" + QByteArray("&") + char(e - 1) + ";" +
                   QByteArray("&") + char(e - 1) + ";\">";
        writeZipped(path, dtd + "<!ENTITY x \"&j;\">]>\n" + Collection);
    } else if (kind == "external") {
        writeZipped(path, LaughsHead + QByteArray("<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n") +
                              Collection);
    } else if (kind == "truncated") {
        writeZipped(path, QByteArray(4096, 'x'));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(file.size() / 2));
    } else if (kind == "line") {
        // Sparse: the 2 GB take no room on the disk and go with the folder.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("title\n") == 6 &&
                file.resize(2LL << 30));
    } else {
        writeFile(path, QByteArray("title\n\x82\xff\x82\n"));
    }
    const Outcome outcome = runAdmin(folder.path(), {"import", path});
    QVERIFY2(!outcome.crashed, qPrintable(outcome.err));
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains(test::text("says")), qPrintable(outcome.err));
    QCOMPARE(
        test::SqlFile(folder.filePath(files::Catalogue)).value("SELECT count(*) FROM BOOK").toInt(),
        10);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
