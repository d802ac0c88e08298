// Our data beside the fixed tables stays with its own book through everything a catalogue goes
// through, and never lands on another book.
#include "base/Failure.h"
#include "base/FileNames.h"
#include "catalogue/BookLoans.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "catalogue/WishList.h"
#include "core/AgreementAcceptance.h"
#include "core/AppState.h"
#include "core/Startup.h"
#include "db/Connection.h"
#include "db/DatabaseFile.h"
#include "db/OwnTables.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "maintenance/BackupData.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/CatalogueCheck.h"
#include "maintenance/OwnDataFile.h"
#include "maintenance/ResetData.h"
#include "maintenance/RestoreData.h"
#include "maintenance/Snapshots.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace hondana;
using test::DataFolder;
using test::u8;
using Master = StoredReadings::Master;

namespace {

const int Books = 12;
const QString Kana = u8("アイウエオカキクケコサシスセソ");

QString readingOf(int tag) {
    return u8("ホン") + Kana.at(tag);
}

// A valid ISBN of its own for each tag: the first check digit that makes one.
Isbn isbnOf(int tag) {
    for (int check = 0;; ++check)
        if (Isbn isbn =
                Isbn::tryFromText(u8("978400000%1%2").arg(tag, 3, 10, QChar('0')).arg(check));
            !isbn.isEmpty())
            return isbn;
}

QString connectionString() {
    return AppState::instance().mainConnectionString;
}

// Every book is told apart by a tag in 請求番号 that no operation below touches, and has a title
// (a backup leaves a book without one out), so the tag of record n of BOOK.DAT is n.
void prepare() {
    test::makeCatalogue(QDir::currentPath(), Books);
    test::SqlFile(files::Catalogue)
        .exec(
            u8("UPDATE BOOK SET 請求番号 = rowid, 題名 = ifnull(nullif(題名, ''), 'T') || rowid"));
}

void addReadings() {
    Connection connection(connectionString());
    connection.open();
    StoredReadings readings(connection);
    StoredIsbns isbns(connection);
    BookLoans loans(connection);
    for (int tag = 1; tag <= Books; ++tag) {
        readings.setTitle(tag, readingOf(tag),
                          tag % 2 ? StoredReadings::Origin::User
                                  : StoredReadings::Origin::Suggested);
        isbns.store(tag, isbnOf(tag));
        // Odd books are out, with no date due; even ones were lent and are back.
        const qint64 loan = loans.lend(tag, u8("借り手\t%1").arg(tag), QDate(2026, 10, tag),
                                       tag % 2 ? QDate() : QDate(2026, 10, 20));
        if (tag % 2 == 0)
            loans.giveBack(loan, QDate(2026, 10, 25));
    }
    readings.setName(Master::Author, 2, u8("チョシャ"));
    readings.setName(Master::Publisher, 3, u8("ハッコウ"), StoredReadings::Origin::Suggested);
    WishList wishes(connection);
    wishes.add(
        {0, u8("欲しい\t本\\"), u8("著者"), isbnOf(99), u8("二行の\nメモ"), 1, QDate(2026, 12, 1)});
    wishes.add({0, u8("二冊目"), {}, {}, {}, 3, QDate(2026, 12, 2)});
}

// Every wish as one line of text, in the list's order.
QStringList wishLines() {
    Connection connection(connectionString());
    connection.open();
    QStringList lines;
    for (const Wish &wish : WishList(connection).all())
        lines << QStringList{QString::number(wish.priority),
                             wish.title,
                             wish.author,
                             wish.isbn.digits(),
                             wish.note,
                             wish.addedOn.toString(Qt::ISODate)}
                     .join(u'|');
    return lines;
}

// tag → reading, ISBN and loan of every book that has one; the author's and publisher's reading by
// their number.
QMap<int, QString> attached() {
    QMap<int, QString> found;
    test::SqlFile file(files::Catalogue);
    for (const QVariantList &row :
         file.rows(u8("SELECT b.請求番号, r.reading, r.origin FROM BOOK b JOIN title_reading r "
                      "ON r.book_rowid = b.rowid")))
        found.insert(row[0].toInt(), row[1].toString() + u8("/") + row[2].toString());
    for (const QVariantList &row : file.rows(u8("SELECT b.請求番号, i.isbn FROM BOOK b JOIN "
                                                "book_isbn i ON i.book_rowid = b.rowid")))
        found[row[0].toInt()] += u8("/") + row[1].toString();
    for (const QVariantList &row : file.rows(
             u8("SELECT b.請求番号, l.borrower || ' ' || l.lent_on || ' ' || ifnull(l.due_on, "
                "'-') || ' ' || ifnull(l.returned_on, '-') FROM BOOK b JOIN loan l ON "
                "l.book_rowid = b.rowid")))
        found[row[0].toInt()] += u8("/") + row[1].toString();
    for (const QVariantList &row :
         file.rows(u8("SELECT 100 + m.著者NO, r.reading FROM CHOSHA m JOIN name_reading r ON "
                      "r.master = 'CHOSHA' AND r.master_rowid = m.rowid UNION ALL SELECT 200 + "
                      "m.発行所NO, r.reading FROM HAKKOU m JOIN name_reading r ON r.master = "
                      "'HAKKOU' AND r.master_rowid = m.rowid")))
        found.insert(row[0].toInt(), row[1].toString());
    return found;
}

qint64 ownRows() {
    test::SqlFile file(files::Catalogue);
    return file
        .value(u8("SELECT (SELECT count(*) FROM title_reading) + (SELECT count(*) FROM "
                  "name_reading) + (SELECT count(*) FROM book_isbn) + (SELECT count(*) FROM loan)"))
        .toLongLong();
}

// Applies `edit` to the bytes of BOOK.DAT, as a program that knows nothing of ours would.
void editBookFile(const std::function<void(QByteArray &, int)> &edit) {
    QByteArray bytes = test::contents(u8("BOOK.DAT"));
    edit(bytes, backup::layout(u8("BOOK.DAT")).recordLength);
    test::writeFile(u8("BOOK.DAT"), bytes);
}

// Rewrites HONDANA.DAT as the first version of the program wrote it: MD5 digests.
void writeVersion1() {
    QByteArray written = "HONDANA-OWN-DATA\t1\n";
    for (const QByteArray &line : test::contents(owndatafile::FileName).split('\n').mid(1)) {
        QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 4 || fields[0] == "-") // the first version had no wish list
            continue;
        const int length = backup::layout(QString::fromLatin1(fields[0])).recordLength;
        const QByteArray record = test::contents(QString::fromLatin1(fields[0]))
                                      .mid((fields[1].toInt() - 1) * length, length);
        fields[2] = QCryptographicHash::hash(record, QCryptographicHash::Md5).toHex();
        written += fields.join('\t') + '\n';
    }
    test::writeFile(owndatafile::FileName, written);
}

void runThroughRegister(const std::function<void(RecordSet &)> &step) {
    Connection connection(connectionString());
    connection.open();
    RecordSet books;
    books.open(connection, u8("BOOK"));
    books.setFilter(u8("請求番号 LIKE '4*'"));
    step(books);
    books.close();
}

} // namespace

class TestOwnData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::instance().reset(); }

    // `lost`: the tags whose data cannot be proved to belong to a book of the restored set (kept
    // in the file the message names, never put on another book); `gone`: books deleted here.
    void identitySurvivesEveryOperation_data();
    void identitySurvivesEveryOperation();
    void fixedPartIsUnchanged();
    void readingSavesWithTheBook_data();
    void readingSavesWithTheBook();
};

void TestOwnData::identitySurvivesEveryOperation_data() {
    test::columns<QString, QList<int>, QList<int>>({"operation", "lost", "gone"});
    const auto row = [](const char *name, const char *operation, QList<int> lost = {},
                        QList<int> gone = {}) { test::row(name, u8(operation), lost, gone); };
    row("edit a column", "edit");
    row("register delete", "delete", {}, {4});
    row("VACUUM after deletes", "vacuum", {}, {2, 5});
    row("backup and restore", "restore");
    row("version upgrade", "upgrade");
    row("snapshot put back", "snapshot");
    row("reset", "reset");
    row("set without our file", "no file");
    row("set from the first version of our file", "version 1");
    row("book changed in BOOK.DAT", "changed", {6});
    row("book inserted in BOOK.DAT", "inserted");
    row("book removed from BOOK.DAT", "removed", {3});
    row("book removed, another doubled", "twins", {1, 7});
}

void TestOwnData::identitySurvivesEveryOperation() {
    const QString operation = test::text("operation");
    const QList<int> lost = test::cell<QList<int>>("lost");
    const QList<int> gone = test::cell<QList<int>>("gone");
    DataFolder folder;
    prepare();
    addReadings();
    const QMap<int, QString> before = attached();
    QCOMPARE(before.size(), Books + 2);
    const QStringList wishesBefore = wishLines();
    QCOMPARE(wishesBefore.size(), 2);
    QString snapshot;
    const auto backUp = [] { backupData(connectionString()); };
    RestoreSummary summary;
    const auto restore = [&] {
        CatalogueRestore restore;
        summary = restore.read();
        restore.replace();
    };

    if (operation == u8("edit")) {
        runThroughRegister([](RecordSet &books) {
            books.setValue(u8("題名"), u8("改題"));
            books.update();
        });
    } else if (operation == u8("delete")) {
        runThroughRegister([](RecordSet &books) { books.deleteCurrent(); });
    } else if (operation == u8("vacuum")) {
        test::SqlFile file(files::Catalogue);
        file.exec(u8("DELETE FROM BOOK WHERE 請求番号 IN ('2', '5')"));
        // The tables without a key of their own keep their rowids: our identity relies on it.
        file.exec(u8("VACUUM"));
    } else if (operation == u8("restore")) {
        backUp();
        restore();
    } else if (operation == u8("upgrade")) {
        test::writeVersionDatabase(QDir::currentPath(), AppState::DefaultInstalledVersion);
        QCOMPARE(int(decideFirstWindow()), int(FirstWindow::Agreement));
        QCOMPARE(int(acceptAgreement()), int(Acceptance::Upgraded));
    } else if (operation == u8("snapshot")) {
        snapshot = snapshots::take(files::resolve(files::Catalogue), snapshots::BeforeReset);
        test::SqlFile(files::Catalogue)
            .exec(u8("DELETE FROM BOOK; DELETE FROM CHOSHA; DELETE FROM HAKKOU"));
        QVERIFY(attached().isEmpty());
        snapshots::restore(snapshot, files::resolve(files::Catalogue));
    } else if (operation == u8("reset")) {
        resetData(connectionString());
    } else {
        backUp();
        QVERIFY(QFileInfo::exists(owndatafile::FileName));
        if (operation == u8("no file"))
            QVERIFY(QFile::remove(owndatafile::FileName));
        if (operation == u8("version 1"))
            writeVersion1();
        editBookFile([&](QByteArray &bytes, int length) {
            if (operation == u8("changed"))
                bytes[5 * length] = 'X'; // the title of record 6
            if (operation == u8("inserted"))
                bytes.insert(2 * length, bytes.mid(0, length).replace(0, 1, "Y"));
            if (operation == u8("removed"))
                bytes.remove(2 * length, length);
            if (operation == u8("twins")) {
                // Record 7 stands twice, neither at its place: it cannot be told which it is.
                bytes.append(bytes.mid(6 * length, length));
                bytes.remove(0, length);
            }
        });
        restore();
    }

    QMap<int, QString> expected = before;
    for (int tag : lost + gone)
        expected.remove(tag);
    if (operation == u8("reset") || operation == u8("no file"))
        expected.clear();
    QCOMPARE(attached(), expected);
    // The wish list belongs to no book: only a reset, or a set without it, leaves it empty.
    const bool noWishes =
        operation == u8("reset") || operation == u8("no file") || operation == u8("version 1");
    QCOMPARE(wishLines(), noWishes ? QStringList() : wishesBefore);
    // Nothing is left over: no rows of ours for books that are gone.
    // A book has three rows of ours (reading, ISBN and loan), an author or publisher one.
    const QList<int> tags = expected.keys();
    QCOMPARE(ownRows(), qint64(tags.size() + 2 * std::count_if(tags.begin(), tags.end(),
                                                               [](int tag) { return tag < 100; })));
    for (const CatalogueCheckReport::Problem &problem : checkCatalogue(connectionString()).problems)
        QVERIFY2(!problem.what.contains(u8("にもうない")), qPrintable(problem.what));

    const QStringList keptFiles = QDir().entryList({u8("HONDANA-unattached-*")});
    QCOMPARE(keptFiles.size(), lost.isEmpty() ? 0 : 1);
    if (!lost.isEmpty()) {
        QVERIFY2(summary.text().contains(keptFiles.first()), qPrintable(summary.text()));
        const owndatafile::Contents kept = owndatafile::parse(test::contents(keptFiles.first()));
        QCOMPARE(kept.lines.size(), 3 * lost.size());
    }
    if (operation == u8("no file"))
        QVERIFY(!summary.ownData.present && !summary.damaged());
}

// Our tables change nothing in the fixed part: its schema is what the fixed statements alone
// make, and the stored queries answer the same with readings as without. A catalogue of an
// older installation gains our tables on its first start and loses nothing.
void TestOwnData::fixedPartIsUnchanged() {
    DataFolder folder;
    prepare();
    test::SqlFile older(files::Catalogue);
    for (const QString &table :
         {u8("BOOK"), u8("CHOSHA"), u8("HAKKOU"), owntables::BookIsbnTable, owntables::LoanTable})
        older.exec(u8("DROP TRIGGER %1_owned_rows").arg(table));
    const QStringList ours = QStringList{owntables::VersionTable} + owntables::DataTables;
    for (const QString &table : ours)
        older.exec(u8("DROP TABLE ") + table);
    const auto fixedSchema = [&ours](const QString &path) {
        return test::SqlFile(path).rows(
            u8("SELECT type, name, sql FROM sqlite_schema WHERE tbl_name NOT IN ('%1') AND name "
               "NOT LIKE '%_owned_rows' ORDER BY name")
                .arg(ours.join(u8("', '"))));
    };
    const auto queries = [] {
        test::Rows all;
        for (const schema::StoredQuery &query : schema::storedQueries())
            all += test::SqlFile(files::Catalogue).rows(u8("SELECT * FROM ") + query.name);
        return all;
    };
    const test::Rows before = queries();
    QVERIFY(QFile::copy(files::VersionTemplate, files::VersionDatabase));
    QCOMPARE(int(decideFirstWindow()), int(FirstWindow::MainMenu));
    QVERIFY(older
                .value(u8("SELECT count(*) FROM sqlite_schema WHERE name = '%1'")
                           .arg(owntables::TitleReadingTable))
                .toInt() == 1);
    createDatabaseFile(u8("fixed.db"), schema::catalogueStatements());
    QCOMPARE(fixedSchema(files::Catalogue), fixedSchema(u8("fixed.db")));
    QCOMPARE(queries(), before);
    addReadings();
    QCOMPARE(queries(), before);
}

// The register's save writes the book and the reading a details panel holds in one transaction:
// both or neither, also when only the reading changed.
void TestOwnData::readingSavesWithTheBook_data() {
    test::columns<bool, QString, bool>({"newBook", "reading", "saved"});
    test::row("new book with its reading", true, u8("アタラシイ"), true);
    test::row("new book, reading with kanji", true, u8("新シイ"), false);
    test::row("only the reading of a book changed", false, u8("カワル"), true);
    test::row("book changed, reading refused", false, u8("ABC"), false);
}

void TestOwnData::readingSavesWithTheBook() {
    const bool newBook = test::cell<bool>("newBook");
    const QString reading = test::text("reading");
    const bool saved = test::cell<bool>("saved");
    DataFolder folder;
    prepare();
    Connection connection(connectionString());
    connection.open();
    StoredReadings readings(connection);
    RecordSet books;
    books.open(connection, u8("BOOK"));
    std::optional<QString> panel; // what the panel holds and has not saved
    books.setCompanion({[&] { return panel.has_value(); },
                        [&](qint64 rowId) { readings.setTitle(rowId, *panel); },
                        {}});
    const QMap<int, QString> before = attached();
    if (newBook) {
        books.addNew();
        books.setValue(u8("題名"), u8("新刊"));
        books.setValue(u8("請求番号"), u8("99"));
    } else if (!saved) {
        books.setValue(u8("請求番号"), u8("98"));
    }
    panel = reading;
    QString refusal;
    try {
        books.update();
        panel.reset();
    } catch (const Failure &failure) {
        refusal = failure.message();
    }
    QCOMPARE(refusal.isEmpty(), saved);
    const test::Rows stored = test::SqlFile(files::Catalogue)
                                  .rows(u8("SELECT b.請求番号, r.reading FROM BOOK b LEFT JOIN "
                                           "title_reading r ON r.book_rowid = b.rowid WHERE "
                                           "b.rowid = %1 OR b.請求番号 IN ('98', '99')")
                                            .arg(books.currentRowId()));
    if (!saved) {
        QVERIFY(refusal.contains(reading));
        QCOMPARE(attached(), before);
        QCOMPARE(books.currentRowId() == 0, newBook);
        QCOMPARE(stored.size(), newBook ? 0 : 1);
        if (!newBook) // the book's own change was undone with the refused reading
            QCOMPARE(stored[0][0].toString(), u8("1"));
        return;
    }
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0][1].toString(), reading);
}

QTEST_GUILESS_MAIN(TestOwnData)
#include "tst_owndata.moc"
