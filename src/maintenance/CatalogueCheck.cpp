#include "maintenance/CatalogueCheck.h"

#include "base/Failure.h"
#include "catalogue/Isbn.h"
#include "catalogue/IsbnsInNumbers.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QFileInfo>

namespace hondana {

namespace {

struct Master {
    const char *table;
    const char *key;
    const char *description; // how the user knows the list
};

const Master Masters[] = {
    {"CHOSHA", "著者NO", "著者名"},
    {"HAKKOU", "発行所NO", "発行所"},
    {"BUNYA", "分野NO", "分野"},
    {"SAIZU", "ｻｲｽﾞNO", "サイズ"},
};

// Examples named in a finding; the rest are counted.
constexpr int Examples = 5;

QString u(const char *text) {
    return QString::fromUtf8(text);
}

class Checker {
public:
    Checker(sqlite3 *handle, QString cannotRead) : m_handle(handle), m_cannotRead(cannotRead) {}

    // The first column of every row of `sql`, as text.
    QStringList column(const QString &sql) {
        sqlite::Statement query(m_handle, sql, m_cannotRead);
        QStringList values;
        int result;
        while ((result = query.step()) == SQLITE_ROW)
            values << QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(query.get(), 0)));
        if (sqlite::Statement::failed(result))
            throw Failure(m_cannotRead + QStringLiteral(": ") + sqlite::lastError(m_handle));
        return values;
    }

    qint64 count(const QString &sql) { return column(sql).value(0).toLongLong(); }

private:
    sqlite3 *m_handle;
    QString m_cannotRead;
};

QString examples(const QStringList &values, qint64 total) {
    QString text = values.mid(0, Examples).join(QStringLiteral("、"));
    if (total > Examples)
        text += QStringLiteral(" ほか");
    return text;
}

void checkIntegrity(Checker &checker, CatalogueCheckReport &report) {
    const QStringList verdict = checker.column(QStringLiteral("PRAGMA integrity_check(20)"));
    if (verdict == QStringList{QStringLiteral("ok")})
        return;
    report.problems.append(
        {QStringLiteral("SQLite の整合性検査で問題が見つかりました: %1")
             .arg(verdict.join(QStringLiteral(" / "))),
         QStringLiteral("ファイルが壊れています。hondana-admin snapshots で一覧を見て "
                        "restore-snapshot で戻すか、バックアップファイルから restore で"
                        "作り直してください。")});
}

void countRows(Checker &checker, CatalogueCheckReport &report) {
    for (const schema::Table &table : schema::catalogueTables())
        report.rowCounts.append(
            {table.name, checker.count(QStringLiteral("SELECT count(*) FROM %1").arg(table.name))});
}

void checkMasterReferences(Checker &checker, CatalogueCheckReport &report) {
    for (const Master &master : Masters) {
        const QString key = schema::identifier(u(master.key));
        // 0 is what a backup writes for a book without that master.
        const QString missing =
            QStringLiteral("FROM BOOK b WHERE b.%1 IS NOT NULL AND b.%1 <> 0 AND NOT EXISTS "
                           "(SELECT 1 FROM %2 m WHERE m.%1 = b.%1)")
                .arg(key, u(master.table));
        const qint64 books = checker.count(QStringLiteral("SELECT count(*) ") + missing);
        if (books == 0)
            continue;
        const QStringList numbers =
            checker.column(QStringLiteral("SELECT DISTINCT b.%1 %2 ORDER BY 1 LIMIT %3")
                               .arg(key, missing)
                               .arg(Examples + 1));
        report.problems.append(
            {QStringLiteral("%1 冊の本が %2 表にない%3 (%4) を指しています。")
                 .arg(books)
                 .arg(u(master.table), u(master.key), examples(numbers, numbers.size())),
             QStringLiteral("%1の一覧にその番号を登録するか、蔵書登録でその本の%1を選び直して"
                            "ください。")
                 .arg(u(master.description))});
    }
}

void checkDuplicateKeys(Checker &checker, CatalogueCheckReport &report) {
    for (const Master &master : Masters) {
        const QString key = schema::identifier(u(master.key));
        const QStringList numbers =
            checker.column(QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL GROUP BY %1 "
                                          "HAVING count(*) > 1 ORDER BY 1")
                               .arg(key, u(master.table)));
        if (numbers.isEmpty())
            continue;
        report.problems.append(
            {QStringLiteral("%1 表で %2 が重複しています: %3")
                 .arg(u(master.table), u(master.key), examples(numbers, numbers.size())),
             QStringLiteral("%1の一覧で、重複した番号の一方を使われていない番号に直してください"
                            "（本はどちらの名前を指すか決まりません）。")
                 .arg(u(master.description))});
    }
}

// A backup leaves a master row without a number out: it would be gone after the next restore.
void checkUnnumberedRows(Checker &checker, CatalogueCheckReport &report) {
    for (const Master &master : Masters) {
        const qint64 rows =
            checker.count(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 IS NULL")
                              .arg(u(master.table), schema::identifier(u(master.key))));
        if (rows == 0)
            continue;
        report.problems.append(
            {QStringLiteral("%1 表の %2 行に %3 がありません。バックアップには書かれません。")
                 .arg(u(master.table))
                 .arg(rows)
                 .arg(u(master.key)),
             QStringLiteral("%1の一覧でその行に使われていない番号を入力してください。")
                 .arg(u(master.description))});
    }
}

void checkStamps(Checker &checker, CatalogueCheckReport &report) {
    // Restore pads stamps with blanks, and "*" is an older way of writing "read".
    const QString outside =
        QStringLiteral("FROM BOOK WHERE rtrim([読書ｽﾀﾝﾌﾟ]) NOT IN ('', '*') AND "
                       "rtrim([読書ｽﾀﾝﾌﾟ]) NOT IN (SELECT rtrim(STMPID) FROM DSTMP)");
    const qint64 books = checker.count(QStringLiteral("SELECT count(*) ") + outside);
    if (books == 0)
        return;
    const QStringList stamps =
        checker.column(QStringLiteral("SELECT DISTINCT rtrim([読書ｽﾀﾝﾌﾟ]) %1 ORDER BY 1 LIMIT %2")
                           .arg(outside)
                           .arg(Examples + 1));
    report.problems.append(
        {QStringLiteral("%1 冊の本の読書ｽﾀﾝﾌﾟが DSTMP 表にない値です: %2")
             .arg(books)
             .arg(examples(stamps, stamps.size())),
         QStringLiteral("蔵書登録でその本の読書ｽﾀﾝﾌﾟを「未」か「済」に選び直してください。")});
}

// Rows of ours whose book or master entry is gone: written, or left, by a program that deleted
// without our triggers. A later row given the same rowid would take such a row over.
void checkOwnRows(sqlite3 *handle, Checker &checker, CatalogueCheckReport &report) {
    if (!owntables::present(handle))
        return;
    struct Owner {
        const char *data;
        const char *table;
        const char *what;
        QString rows;
    };
    QList<Owner> owners = {
        {"読み", "BOOK", "本",
         QStringLiteral("FROM %1 r WHERE NOT EXISTS (SELECT 1 FROM BOOK b WHERE b.rowid = "
                        "r.book_rowid)")
             .arg(owntables::TitleReadingTable)},
        {"読み", "CHOSHA", "著者",
         QStringLiteral("FROM %1 r WHERE r.master = 'CHOSHA' AND NOT EXISTS (SELECT 1 FROM "
                        "CHOSHA m WHERE m.rowid = r.master_rowid)")
             .arg(owntables::NameReadingTable)},
        {"読み", "HAKKOU", "発行所",
         QStringLiteral("FROM %1 r WHERE r.master = 'HAKKOU' AND NOT EXISTS (SELECT 1 FROM "
                        "HAKKOU m WHERE m.rowid = r.master_rowid)")
             .arg(owntables::NameReadingTable)},
    };
    if (owntables::hasTable(handle, owntables::BookIsbnTable))
        owners.append({"ISBN ", "BOOK", "本",
                       QStringLiteral("FROM %1 r WHERE NOT EXISTS (SELECT 1 FROM BOOK b WHERE "
                                      "b.rowid = r.book_rowid)")
                           .arg(owntables::BookIsbnTable)});
    if (owntables::hasTable(handle, owntables::LoanTable))
        owners.append({"貸出の記録", "BOOK", "本",
                       QStringLiteral("FROM %1 r WHERE NOT EXISTS (SELECT 1 FROM BOOK b WHERE "
                                      "b.rowid = r.book_rowid)")
                           .arg(owntables::LoanTable)});
    for (const Owner &owner : owners) {
        const qint64 rows = checker.count(QStringLiteral("SELECT count(*) ") + owner.rows);
        if (rows == 0)
            continue;
        report.problems.append(
            {QStringLiteral("%1の %2 行が、%3 表にもうない%4を指しています（ほかのプログラムで"
                            "削除されたようです）。")
                 .arg(u(owner.data))
                 .arg(rows)
                 .arg(u(owner.table), u(owner.what)),
             QStringLiteral("バックアップしてから復元すると、その行は取り除かれます。")});
    }
}

// The table holds 13 digits; whether they are an ISBN, another program writing it need not know.
void checkWishIsbns(sqlite3 *handle, Checker &checker, CatalogueCheckReport &report) {
    if (!owntables::hasTable(handle, owntables::WishTable))
        return;
    QStringList wrong;
    const QStringList rows = checker.column(
        QStringLiteral("SELECT isbn || char(9) || title FROM %1 WHERE isbn IS NOT NULL ORDER BY id")
            .arg(owntables::WishTable));
    for (const QString &row : rows) {
        const QString digits = row.section(u'\t', 0, 0);
        if (Isbn::tryFromText(digits).digits() != digits)
            wrong << QStringLiteral("「%1」(%2)").arg(row.section(u'\t', 1), digits);
    }
    if (wrong.isEmpty())
        return;
    report.problems.append(
        {QStringLiteral("欲しい本 %1 冊の ISBN が正しくありません（検査数字が合いません）: %2")
             .arg(wrong.size())
             .arg(examples(wrong, wrong.size())),
         QStringLiteral("欲しい本の一覧でその本の ISBN を直すか、消してください。")});
}

// Not a fault of the file: numbers the ISBN field could hold, which one command copies there.
void checkIsbnsInNumbers(Connection &connection, CatalogueCheckReport &report) {
    const QList<IsbnInNumbers> found = findIsbnsInNumbers(connection);
    if (found.isEmpty())
        return;
    QStringList shown;
    for (const IsbnInNumbers &book : found.mid(0, Examples))
        shown << QStringLiteral("%1 %2").arg(book.column, book.isbn.hyphenated());
    report.problems.append(
        {QStringLiteral("%1 冊の本の ISBN 欄が空ですが、管理番号1・管理番号2・請求番号に ISBN が"
                        "あります: %2")
             .arg(found.size())
             .arg(examples(shown, found.size())),
         QStringLiteral("hondana-admin copy-isbn か、蔵書登録の ｺﾚｸｼｮﾝ メニューの「管理番号から "
                        "ISBN を写す」で ISBN 欄に写せます（元の欄はそのままです）。")});
}

QString cannotRead(const QString &file) {
    return QStringLiteral("「%1」を読めません").arg(file);
}

} // namespace

QList<CatalogueCheckReport::Problem> missingMasterReferences(sqlite3 *handle) {
    Checker checker(
        handle,
        cannotRead(QFileInfo(QString::fromUtf8(sqlite3_db_filename(handle, "main"))).fileName()));
    CatalogueCheckReport report;
    checkMasterReferences(checker, report);
    return report.problems;
}

CatalogueCheckReport checkCatalogue(const QString &connectionString, const QString &folder,
                                    const Progress &progress) {
    Connection connection(connectionString, folder);
    connection.open();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    Checker checker(handle, cannotRead(QFileInfo(connection.filePath()).fileName()));
    sqlite::ProgressHandler ticks(handle, progress);
    CatalogueCheckReport report;
    checkIntegrity(checker, report);
    // Counting the rows of a damaged file can fail; what the integrity check said is enough.
    if (!report.sound())
        return report;
    countRows(checker, report);
    checkMasterReferences(checker, report);
    checkDuplicateKeys(checker, report);
    checkUnnumberedRows(checker, report);
    checkStamps(checker, report);
    checkOwnRows(handle, checker, report);
    checkWishIsbns(handle, checker, report);
    checkIsbnsInNumbers(connection, report);
    return report;
}

} // namespace hondana
