#include "catalogue/BookIntake.h"

#include "base/ChunkedWork.h"
#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "catalogue/OwnedCopies.h"
#include "catalogue/ReadingText.h"
#include "catalogue/StoredIsbns.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "db/TableIndexes.h"
#include "db/TextFolding.h"
#include "db/ValueChecks.h"

#include <QHash>

#include <optional>

namespace hondana {

namespace {

// The master list each kind of name goes to, and where the name's reading is kept.
struct MasterListInfo {
    const char *table;
    const char *numberColumn;
    const char *nameColumn;
    QString IncomingBook::*name;
    QString IncomingBook::*reading; // nullptr: the list keeps no readings
    StoredReadings::Master readings;
};

const MasterListInfo MasterLists[] = {
    {"CHOSHA", "著者NO", "著者名", &IncomingBook::author, &IncomingBook::authorReading,
     StoredReadings::Master::Author},
    {"HAKKOU", "発行所NO", "発行所", &IncomingBook::publisher, &IncomingBook::publisherReading,
     StoredReadings::Master::Publisher},
    {"BUNYA", "分野NO", "分野名", &IncomingBook::category, nullptr, {}},
    {"SAIZU", "ｻｲｽﾞNO", "ｻｲｽﾞ名", &IncomingBook::size, nullptr, {}},
};
constexpr int MasterListCount = int(std::size(MasterLists));

QString withoutTrailingBlanks(const QString &text) {
    // Most texts have no padding; they are shared, not copied, as each book's are made into
    // columns several times.
    const QStringView kept = folding::withoutPadding(text);
    return kept.size() == text.size() ? text : kept.toString();
}

QVariant textValue(const QString &text) {
    const QString kept = withoutTrailingBlanks(text);
    return kept.isEmpty() ? QVariant() : QVariant(kept);
}
QVariant numberValue(std::optional<int> number) {
    return number ? QVariant(qint64(*number)) : QVariant();
}
QVariant dateValue(const QDate &date) {
    return date.isNull() ? QVariant() : QVariant(date);
}

// The columns of BOOK a book brings by itself; the master numbers are looked up.
struct BookField {
    const char *column;
    QVariant (*value)(const IncomingBook &);
};

const BookField BookFields[] = {
    {"SEQNO", [](const IncomingBook &b) { return numberValue(b.seqNo); }},
    {"ｼﾘｰｽﾞ", [](const IncomingBook &b) { return textValue(b.volume); }},
    {"管理番号1", [](const IncomingBook &b) { return textValue(b.id1); }},
    {"管理番号2", [](const IncomingBook &b) { return textValue(b.id2); }},
    {"購入日", [](const IncomingBook &b) { return dateValue(b.bought); }},
    {"全体NO", [](const IncomingBook &b) { return numberValue(b.totalVolumes); }},
    {"題名", [](const IncomingBook &b) { return textValue(b.title); }},
    {"読書ｽﾀﾝﾌﾟ", [](const IncomingBook &b) { return textValue(b.readingStamp); }},
    {"内容", [](const IncomingBook &b) { return textValue(b.contents); }},
    {"発行日", [](const IncomingBook &b) { return dateValue(b.published); }},
    {"版数", [](const IncomingBook &b) { return numberValue(b.edition); }},
    {"価格", [](const IncomingBook &b) { return numberValue(b.price); }},
    {"購入先", [](const IncomingBook &b) { return textValue(b.shop); }},
    {"請求番号", [](const IncomingBook &b) { return textValue(b.callNumber); }},
    {"読書完了日", [](const IncomingBook &b) { return dateValue(b.finished); }},
    {"読感ﾗﾝｸ", [](const IncomingBook &b) { return numberValue(b.rank); }},
};

// Folding a name costs far more than finding it: a file names the same few thousand masters
// over and over, so each name is folded once.
class NameKeys {
public:
    QString of(const QString &name) {
        auto found = m_keys.constFind(name);
        if (found == m_keys.constEnd())
            found = m_keys.insert(name, folding::foldedKey(name));
        return *found;
    }

private:
    QHash<QString, QString> m_keys;
};

QString catalogueUnreadable() {
    return QStringLiteral("目録を読めません");
}
QString cannotAdd() {
    return QStringLiteral("本を追加できません");
}

void stepOrRefuse(sqlite::Statement &statement, sqlite3 *handle) {
    if (sqlite::Statement::failed(statement.step()))
        throw Failure(cannotAdd() + QStringLiteral(": ") + sqlite::lastError(handle));
    statement.reset();
}

// One master list as the catalogue holds it: numbers by folded name (the first entry by rowid,
// as the register finds it) and the highest number in use.
struct MasterIndex {
    QHash<QString, qint64> numbers;
    QHash<qint64, QString> names;
    qint64 highest = 0;

    void read(sqlite3 *handle, const MasterListInfo &list) {
        sqlite::Statement query(
            handle,
            QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 IS NOT NULL ORDER BY rowid")
                .arg(schema::identifier(QString::fromUtf8(list.numberColumn)),
                     schema::identifier(QString::fromUtf8(list.nameColumn)),
                     QString::fromUtf8(list.table)),
            catalogueUnreadable());
        int result;
        while ((result = query.step()) == SQLITE_ROW) {
            const qint64 number = sqlite3_column_int64(query.get(), 0);
            const QString name = sqlite::columnText(query.get(), 1);
            highest = qMax(highest, number);
            if (!names.contains(number))
                names.insert(number, name);
            const QString key = folding::foldedKey(name);
            if (!numbers.contains(key))
                numbers.insert(key, number);
        }
        if (sqlite::Statement::failed(result))
            throw Failure(catalogueUnreadable() + QStringLiteral(": ") + sqlite::lastError(handle));
    }
};

// What the catalogue already holds that an incoming book is compared with.
struct CatalogueIndex {
    MasterIndex masters[MasterListCount];
    QHash<QString, qint64> titles; // title key → first book's rowid
    QHash<QString, qint64> isbns;  // 13 digits → first book's rowid
    qint64 bookCount = 0;

    explicit CatalogueIndex(sqlite3 *handle) {
        for (int i = 0; i < MasterListCount; ++i)
            masters[i].read(handle, MasterLists[i]);
        sqlite::Statement books(
            handle,
            QStringLiteral(
                "SELECT rowid, [題名], [ｼﾘｰｽﾞ], [著者NO], SEQNO FROM BOOK ORDER BY rowid"),
            catalogueUnreadable());
        int result;
        while ((result = books.step()) == SQLITE_ROW) {
            const QString author =
                sqlite3_column_type(books.get(), 3) == SQLITE_NULL
                    ? QString()
                    : masters[0].names.value(sqlite3_column_int64(books.get(), 3));
            const QString key =
                sameBookKey(sqlite::columnText(books.get(), 1), sqlite::columnText(books.get(), 2),
                            sqlite3_column_int(books.get(), 4), author);
            if (!titles.contains(key))
                titles.insert(key, sqlite3_column_int64(books.get(), 0));
            ++bookCount;
        }
        if (sqlite::Statement::failed(result))
            throw Failure(catalogueUnreadable() + QStringLiteral(": ") + sqlite::lastError(handle));
    }

    void readIsbns(const StoredIsbns &stored) {
        const QHash<qint64, Isbn> all = stored.all();
        for (auto it = all.constBegin(); it != all.constEnd(); ++it) {
            qint64 &first = isbns[it->digits()];
            if (first == 0 || it.key() < first)
                first = it.key();
        }
    }
};

// Checks one book, appending its problems to `problems`.
void checkBook(const IncomingBook &book, int index, QList<IntakeProblem> &problems) {
    const auto refuse = [&](const QString &column, const QString &value, const QString &why) {
        problems.append({index, column, value, why});
    };
    static const auto columns = [] {
        std::vector<std::pair<QString, schema::Kind>> all;
        for (const BookField &field : BookFields) {
            const QString column = QString::fromUtf8(field.column);
            all.emplace_back(column, schema::findColumn(column)->kind);
        }
        return all;
    }();
    for (size_t f = 0; f < std::size(BookFields); ++f) {
        const QVariant value = BookFields[f].value(book);
        const auto &[column, kind] = columns[f];
        if (!value.isValid())
            continue; // nothing to check in an empty value
        try {
            values::checked(value, kind, column);
        } catch (const Failure &failure) {
            refuse(column,
                   value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate)
                                                      : value.toString(),
                   failure.message());
        }
    }
    if (withoutTrailingBlanks(book.title).isEmpty())
        refuse(QStringLiteral("題名"), {}, QStringLiteral("題名がありません。"));
    const QString stamp = withoutTrailingBlanks(book.readingStamp);
    // "*" is an older way of saying 済 that catalogues still hold.
    if (!stamp.isEmpty() && stamp != QStringLiteral("済") && stamp != QStringLiteral("未") &&
        stamp != QStringLiteral("*"))
        refuse(QStringLiteral("読書ｽﾀﾝﾌﾟ"), stamp,
               QStringLiteral("読書ｽﾀﾝﾌﾟは「済」「未」「*」のどれかか空です。"));
    for (const MasterListInfo &list : MasterLists) {
        const QString column = QString::fromUtf8(list.nameColumn);
        try {
            values::checked(textValue(book.*list.name), schema::Kind::Text, column);
        } catch (const Failure &failure) {
            refuse(column, book.*list.name, failure.message());
        }
    }
    const std::pair<const char *, QString> readings[] = {
        {"題名読み", book.titleReading},
        {"著者名読み", book.authorReading},
        {"発行所読み", book.publisherReading},
    };
    for (const auto &[column, reading] : readings) {
        const QString trimmed = reading.trimmed();
        if (!trimmed.isEmpty() && !readings::isValidReading(trimmed))
            refuse(QString::fromUtf8(column), reading,
                   StoredReadings::invalidReadingMessage(trimmed));
    }
}

// The problems of every book, in book order. Each book is checked on its own, so a large
// file's books are shared among the cores.
QList<IntakeProblem> checkBooks(const QList<IncomingBook> &books) {
    QList<QList<IntakeProblem>> each(books.size());
    QList<IntakeProblem> *found = each.data();
    runInChunks(
        books.size(), 512, 0,
        [&] {
            return [&](qsizetype begin, qsizetype end) {
                for (qsizetype i = begin; i < end; ++i)
                    checkBook(books[i], int(i), found[i]);
            };
        },
        [](qsizetype) { return true; });
    QList<IntakeProblem> problems;
    for (const QList<IntakeProblem> &ofBook : std::as_const(each))
        problems += ofBook;
    return problems;
}

// What the books' problems (found by checkBooks) leave to add, against what the catalogue holds.
IntakePlan planAgainst(const CatalogueIndex &catalogue, const QList<IncomingBook> &books,
                       QList<IntakeProblem> problems) {
    IntakePlan plan;
    plan.bookCount = int(books.size());
    plan.problems = std::move(problems);
    plan.indexBooks();
    QHash<QString, qsizetype> newIndex[MasterListCount];
    NameKeys keys;
    for (int i = 0; i < plan.bookCount; ++i) {
        const IncomingBook &book = books[i];
        if (plan.refused(i))
            continue;
        for (int l = 0; l < MasterListCount; ++l) {
            const MasterListInfo &list = MasterLists[l];
            const QString name = withoutTrailingBlanks(book.*list.name);
            if (name.isEmpty())
                continue;
            const QString key = keys.of(name);
            if (catalogue.masters[l].numbers.contains(key))
                continue;
            qsizetype &at = newIndex[l][key];
            if (at == 0) {
                plan.newMasters[l].append({name, {}, {}});
                at = plan.newMasters[l].size();
            }
            IntakePlan::NewMaster &entry = plan.newMasters[l][at - 1];
            entry.books.append(i);
            if (list.reading && entry.reading.isEmpty())
                entry.reading = (book.*list.reading).trimmed();
        }
        const auto byIsbn = book.isbn.isEmpty() ? catalogue.isbns.constEnd()
                                                : catalogue.isbns.constFind(book.isbn.digits());
        if (byIsbn != catalogue.isbns.constEnd()) {
            plan.lookAlikes.append({i, *byIsbn, IntakeLookAlike::Reason::SameIsbn});
            continue;
        }
        // A catalogue without books has nothing to look like: a new user's first import is a
        // whole collection, whose keys would be made for nothing.
        if (catalogue.titles.isEmpty())
            continue;
        const auto byTitle = catalogue.titles.constFind(
            sameBookKey(book.title, book.volume, book.seqNo.value_or(0), book.author));
        if (byTitle != catalogue.titles.constEnd())
            plan.lookAlikes.append({i, *byTitle, IntakeLookAlike::Reason::SameTitle});
    }
    plan.indexBooks();
    return plan;
}

// The catalogue's own transaction, or a part of the caller's. A whole collection's books touch
// every page of BOOK's indexes over and over: the page cache is made large enough to hold them
// for the transaction, so they are written once at the commit instead of spilled and read back.
class IntakeTransaction {
public:
    explicit IntakeTransaction(sqlite3 *handle)
        : m_handle(handle), m_nested(!sqlite3_get_autocommit(handle)) {
        sqlite::Statement cacheSize(handle, QStringLiteral("PRAGMA cache_size"), cannotAdd());
        if (cacheSize.step() == SQLITE_ROW)
            m_cacheSize = sqlite3_column_int64(cacheSize.get(), 0);
        sqlite::execute(handle, "PRAGMA cache_size = -131072", cannotAdd());
        try {
            sqlite::execute(handle, m_nested ? "SAVEPOINT intake" : "BEGIN IMMEDIATE", cannotAdd());
        } catch (...) {
            restoreCacheSize();
            throw;
        }
    }
    ~IntakeTransaction() {
        if (!m_done)
            sqlite3_exec(m_handle, m_nested ? "ROLLBACK TO intake; RELEASE intake" : "ROLLBACK",
                         nullptr, nullptr, nullptr);
        restoreCacheSize();
    }
    bool nested() const { return m_nested; }
    void commit() {
        sqlite::execute(m_handle, m_nested ? "RELEASE intake" : "COMMIT", cannotAdd());
        m_done = true;
    }

private:
    void restoreCacheSize() {
        const QByteArray restore = "PRAGMA cache_size = " + QByteArray::number(m_cacheSize);
        sqlite3_exec(m_handle, restore.constData(), nullptr, nullptr, nullptr);
    }

    sqlite3 *m_handle;
    bool m_nested;
    bool m_done = false;
    qint64 m_cacheSize = -2000; // SQLite's own default
};

// 2024-04-01 into `text`, as QDate writes it in ISO form, without going through its formatter:
// a whole collection has hundreds of thousands of dates. False for a year of other than four
// digits.
bool writeIsoDate(const QDate &date, char (&text)[10]) {
    if (date.year() < 0 || date.year() > 9999)
        return false;
    const auto digits = [&](int value, int at, int count) {
        for (int i = at + count - 1; i >= at; --i, value /= 10)
            text[i] = char('0' + value % 10);
    };
    digits(date.year(), 0, 4);
    text[4] = text[7] = '-';
    digits(date.month(), 5, 2);
    digits(date.day(), 8, 2);
    return true;
}

void bindBookValue(sqlite3_stmt *statement, int index, const QVariant &value) {
    char date[10];
    if (!value.isValid()) {
        sqlite3_bind_null(statement, index);
    } else if (value.typeId() == QMetaType::LongLong) {
        sqlite3_bind_int64(statement, index, value.toLongLong());
    } else if (value.typeId() == QMetaType::QDate && writeIsoDate(value.toDate(), date)) {
        sqlite3_bind_text(statement, index, date, int(sizeof date), SQLITE_TRANSIENT);
    } else {
        const QByteArray utf8 = value.typeId() == QMetaType::QDate
                                    ? value.toDate().toString(Qt::ISODate).toUtf8()
                                    : value.toString().toUtf8();
        sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
}

// Adds entries to one master list under the next free numbers.
class MasterInsert {
public:
    MasterInsert(sqlite3 *handle, const MasterListInfo &list, MasterIndex &index)
        : m_handle(handle), m_list(list), m_index(index),
          m_insert(handle,
                   QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                       .arg(QString::fromUtf8(list.table),
                            schema::identifier(QString::fromUtf8(list.numberColumn)),
                            schema::identifier(QString::fromUtf8(list.nameColumn))),
                   cannotAdd()) {}

    // Returns the new entry's rowid, where its reading is kept.
    qint64 add(const QString &name) {
        if (m_index.highest >= schema::IntegerMax)
            throw Failure(
                QStringLiteral("「%1」の番号が上限に達しているため、「%2」を追加できません。")
                    .arg(QString::fromUtf8(m_list.nameColumn), name));
        const qint64 number = ++m_index.highest;
        sqlite3_bind_int64(m_insert.get(), 1, number);
        bindBookValue(m_insert.get(), 2, name);
        stepOrRefuse(m_insert, m_handle);
        m_index.numbers.insert(folding::foldedKey(name), number);
        return sqlite3_last_insert_rowid(m_handle);
    }

private:
    sqlite3 *m_handle;
    const MasterListInfo &m_list;
    MasterIndex &m_index;
    sqlite::Statement m_insert;
};

// The entries of one list an intake created: those with their readings to store, the others
// for the suggester.
struct CreatedMasters {
    QList<StoredReadings::Suggestion> readings;
    QList<StoredReadings::Unread> unread;
};

// Creates the entries of one list that the written books name.
CreatedMasters createMasters(sqlite3 *handle, const MasterListInfo &list,
                             const QList<IntakePlan::NewMaster> &entries, const IntakePlan &plan,
                             Duplicates duplicates, MasterIndex &index) {
    MasterInsert insert(handle, list, index);
    CreatedMasters created;
    for (const IntakePlan::NewMaster &entry : entries) {
        if (std::none_of(entry.books.begin(), entry.books.end(),
                         [&](int book) { return plan.adds(book, duplicates); }))
            continue;
        const qint64 rowId = insert.add(entry.name);
        if (!entry.reading.isEmpty())
            created.readings.append({rowId, entry.reading});
        else if (list.reading)
            created.unread.append({rowId, entry.name});
    }
    return created;
}

QString bookInsertStatement() {
    QStringList columns;
    for (const BookField &field : BookFields)
        columns << schema::identifier(QString::fromUtf8(field.column));
    for (const MasterListInfo &list : MasterLists)
        columns << schema::identifier(QString::fromUtf8(list.numberColumn));
    return QStringLiteral("INSERT INTO BOOK (%1) VALUES (%2)")
        .arg(columns.join(u", "), QStringList(columns.size(), QStringLiteral("?")).join(u", "));
}

} // namespace

QList<std::pair<QString, QVariant>>
bookColumnValues(const IncomingBook &book, const std::array<std::optional<qint64>, 4> &masters) {
    QList<std::pair<QString, QVariant>> values;
    for (const BookField &field : BookFields) {
        if (const QVariant value = field.value(book); value.isValid())
            values.append({QString::fromUtf8(field.column), value});
    }
    for (int l = 0; l < MasterListCount; ++l) {
        if (masters[size_t(l)])
            values.append({QString::fromUtf8(MasterLists[l].numberColumn), *masters[size_t(l)]});
    }
    return values;
}

void IntakePlan::indexBooks() {
    m_firstProblem = QList<qsizetype>(bookCount, -1);
    for (qsizetype p = problems.size() - 1; p >= 0; --p)
        m_firstProblem[problems[p].book] = p;
    m_lookAlike = QList<qsizetype>(bookCount, -1);
    for (qsizetype a = 0; a < lookAlikes.size(); ++a)
        m_lookAlike[lookAlikes[a].book] = a;
}

bool IntakePlan::refused(int book) const {
    return m_firstProblem.value(book, -1) >= 0;
}

const IntakeLookAlike *IntakePlan::lookAlike(int book) const {
    const qsizetype at = m_lookAlike.value(book, -1);
    return at < 0 ? nullptr : &lookAlikes[at];
}

bool IntakePlan::adds(int book, Duplicates duplicates) const {
    return !refused(book) && (duplicates == Duplicates::Add || !lookAlike(book));
}

int IntakePlan::addedCount(Duplicates duplicates) const {
    int count = 0;
    for (int i = 0; i < bookCount; ++i)
        count += adds(i, duplicates) ? 1 : 0;
    return count;
}

QStringList IntakePlan::mastersToCreate(MasterList list, Duplicates duplicates) const {
    QStringList names;
    for (const NewMaster &entry : newMasters[int(list)]) {
        if (std::any_of(entry.books.begin(), entry.books.end(),
                        [&](int book) { return adds(book, duplicates); }))
            names << entry.name;
    }
    return names;
}

BookIntake::BookIntake(Connection &connection) : m_connection(connection) {
    // Our tables are made before any transaction of the intake's: making them is one of its own.
    StoredReadings readings(connection);
    StoredIsbns isbns(connection);
}

IntakePlan BookIntake::plan(const QList<IncomingBook> &books) const {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    CatalogueIndex catalogue(handle);
    catalogue.readIsbns(StoredIsbns(m_connection));
    return planAgainst(catalogue, books, checkBooks(books));
}

QList<qint64> BookIntake::add(const QList<IncomingBook> &books, Duplicates duplicates,
                              const Progress &progress) {
    return addChecked(books, checkBooks(books), duplicates, progress).rowIds;
}

AddedBooks BookIntake::add(const QList<IncomingBook> &books, const IntakePlan &checked,
                           Duplicates duplicates, const Progress &progress) {
    return addChecked(books, checked.problems, duplicates, progress);
}

AddedBooks BookIntake::addChecked(const QList<IncomingBook> &books, QList<IntakeProblem> problems,
                                  Duplicates duplicates, const Progress &progress) {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    StoredReadings readings(m_connection);
    StoredIsbns isbns(m_connection);
    IntakeTransaction scope(handle);
    CatalogueIndex catalogue(handle);
    catalogue.readIsbns(isbns);
    const IntakePlan plan = planAgainst(catalogue, books, std::move(problems));

    CreatedMasters created[MasterListCount];
    for (int l = 0; l < MasterListCount; ++l)
        created[l] = createMasters(handle, MasterLists[l], plan.newMasters[l], plan, duplicates,
                                   catalogue.masters[l]);
    faultpoint("intake.masters");

    const qint64 total = plan.addedCount(duplicates);
    // A collection coming into a catalogue smaller than itself: BOOK's indexes are built once
    // after the rows, as a restore does. Only in a transaction of our own, which a schema change
    // cannot surprise.
    const bool buildIndexesAfter = !scope.nested() && total >= 1000 && total > catalogue.bookCount;
    const QList<sqlite::IndexDefinition> indexes =
        buildIndexesAfter ? sqlite::dropIndexes(handle, {QStringLiteral("BOOK")}, cannotAdd())
                          : QList<sqlite::IndexDefinition>();
    sqlite::Statement insert(handle, bookInsertStatement(), cannotAdd());
    NameKeys keys;
    const int fieldCount = int(std::size(BookFields));
    AddedBooks result;
    QList<qint64> &added = result.rowIds;
    QList<StoredReadings::Suggestion> titleReadings;
    QList<std::pair<qint64, Isbn>> bookIsbns;
    for (int i = 0; i < plan.bookCount; ++i) {
        if (!plan.adds(i, duplicates))
            continue;
        const IncomingBook &book = books[i];
        for (int f = 0; f < fieldCount; ++f)
            bindBookValue(insert.get(), f + 1, BookFields[f].value(book));
        for (int l = 0; l < MasterListCount; ++l) {
            const QString name = withoutTrailingBlanks(book.*MasterLists[l].name);
            bindBookValue(insert.get(), fieldCount + l + 1,
                          name.isEmpty()
                              ? QVariant()
                              : QVariant(catalogue.masters[l].numbers.value(keys.of(name))));
        }
        stepOrRefuse(insert, handle);
        added.append(sqlite3_last_insert_rowid(handle));
        if (const QString reading = book.titleReading.trimmed(); !reading.isEmpty())
            titleReadings.append({added.last(), reading});
        else
            result.unread.titles.append({added.last(), withoutTrailingBlanks(book.title)});
        if (!book.isbn.isEmpty())
            bookIsbns.append({added.last(), book.isbn});
        if ((added.size() & 1023) == 0)
            progress.report(added.size(), total);
    }
    isbns.storeAll(bookIsbns);
    sqlite::createIndexes(handle, indexes);
    faultpoint("intake.books");
    readings.storeTitles(titleReadings, StoredReadings::Origin::User);
    for (int l = 0; l < MasterListCount; ++l) {
        if (MasterLists[l].reading)
            readings.storeNames(MasterLists[l].readings, created[l].readings,
                                StoredReadings::Origin::User);
    }
    faultpoint("intake.commit");
    scope.commit();
    progress.report(added.size(), total);
    result.unread.authors = created[int(MasterList::Author)].unread;
    result.unread.publishers = created[int(MasterList::Publisher)].unread;
    return result;
}

std::array<std::optional<qint64>, 4> BookIntake::enterMasters(const IncomingBook &book) {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    StoredReadings readings(m_connection);
    IntakeTransaction scope(handle);
    std::array<std::optional<qint64>, MasterListCount> numbers;
    for (int l = 0; l < MasterListCount; ++l) {
        const MasterListInfo &list = MasterLists[l];
        const QString name = withoutTrailingBlanks(book.*list.name);
        if (name.isEmpty())
            continue;
        values::checked(name, schema::Kind::Text, QString::fromUtf8(list.nameColumn));
        MasterIndex index;
        index.read(handle, list);
        if (const auto found = index.numbers.constFind(folding::foldedKey(name));
            found != index.numbers.constEnd()) {
            numbers[size_t(l)] = *found;
            continue;
        }
        const qint64 rowId = MasterInsert(handle, list, index).add(name);
        numbers[size_t(l)] = index.numbers.value(folding::foldedKey(name));
        // A reading that is no reading stays out; the suggester reads the name later.
        const QString reading = list.reading ? (book.*list.reading).trimmed() : QString();
        if (!reading.isEmpty() && readings::isValidReading(reading))
            readings.storeNames(list.readings, {{rowId, reading}}, StoredReadings::Origin::User);
    }
    faultpoint("intake.enterMasters");
    scope.commit();
    return numbers;
}

} // namespace hondana
