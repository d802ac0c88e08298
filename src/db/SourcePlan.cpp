#include "db/SourcePlan.h"

#include "base/Failure.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace hondana {

namespace {

const QString RowIdAlias = QStringLiteral("hondana_rowid");

// A name as the user may write it ([name], "name" or bare), without its quotes.
QString unquoted(const QString &identifier) {
    if (identifier.size() > 1 && identifier.startsWith(QLatin1Char('[')) &&
        identifier.endsWith(QLatin1Char(']')))
        return identifier.mid(1, identifier.size() - 2);
    if (identifier.size() > 1 && identifier.startsWith(QLatin1Char('"')) &&
        identifier.endsWith(QLatin1Char('"')))
        return identifier.mid(1, identifier.size() - 2)
            .replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return identifier;
}

bool isBareName(const QString &source) {
    static const QRegularExpression bareName(
        QStringLiteral("^(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s;]+)$"));
    return bareName.match(source).hasMatch();
}

QString text(const unsigned char *utf8) {
    return QString::fromUtf8(reinterpret_cast<const char *>(utf8));
}

// The name of the table or view `name` stands for, as the file spells it.
std::optional<QString> schemaObject(sqlite3 *db, const QString &name) {
    sqlite::Statement query(db,
                            QStringLiteral("SELECT name FROM sqlite_schema WHERE type IN "
                                           "('table', 'view') AND name = ?1 COLLATE NOCASE"),
                            QStringLiteral("表の一覧を読めません"));
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(query.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (query.step() != SQLITE_ROW)
        return std::nullopt;
    return text(sqlite3_column_text(query.get(), 0));
}

// The bare words and commas of an SQL text with where each ends; texts, quoted names and
// comments skipped.
struct Word {
    QString text;
    qsizetype end;
};

std::vector<Word> bareWords(const QString &sql) {
    std::vector<Word> words;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    const auto skipPast = [&](QStringView closing) {
        const qsizetype at = sql.indexOf(closing, i);
        i = at < 0 ? n : at + closing.size();
    };
    while (i < n) {
        const QChar c = sql.at(i);
        const QStringView two = QStringView(sql).mid(i, 2);
        if (c == u'\'' || c == u'"' || c == u'`') {
            ++i;
            skipPast(QStringView(&c, 1));
        } else if (c == u'[') {
            skipPast(u"]");
        } else if (two == u"--") {
            skipPast(u"\n");
        } else if (two == u"/*") {
            i += 2;
            skipPast(u"*/");
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == u'_'))
                ++i;
            words.push_back({sql.mid(start, i - start), i});
        } else {
            if (c == u',')
                words.push_back({QStringLiteral(","), i + 1});
            ++i;
        }
    }
    return words;
}

bool isWord(const Word &word, const char *keyword) {
    return word.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

// What the engine touches while it compiles a statement: each select (a compound counts one
// more, a subquery or view one each), each table read and each function called.
struct Footprint {
    int selects = 0;
    QSet<QString> tables;
    QStringList functions;
    bool outsideMain = false;

    static int record(void *self, int action, const char *first, const char *second,
                      const char *database, const char *) {
        auto *footprint = static_cast<Footprint *>(self);
        if (action == SQLITE_SELECT)
            ++footprint->selects;
        else if (action == SQLITE_READ && first)
            footprint->tables.insert(QString::fromUtf8(first).toLower());
        else if (action == SQLITE_FUNCTION && second)
            footprint->functions << QString::fromUtf8(second);
        if (action == SQLITE_READ && database && qstrcmp(database, "main") != 0)
            footprint->outsideMain = true;
        return SQLITE_OK;
    }
};

std::optional<Footprint> footprintOf(sqlite3 *db, const QString &sql) {
    Footprint footprint;
    sqlite3_set_authorizer(db, &Footprint::record, &footprint);
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int prepared =
        sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &statement, nullptr);
    sqlite3_set_authorizer(db, nullptr, nullptr);
    sqlite3_finalize(statement);
    if (prepared != SQLITE_OK)
        return std::nullopt;
    return footprint;
}

// Whether the engine knows `function` as one that folds many rows into one value.
bool isAggregate(sqlite3 *db, const QString &function) {
    sqlite::Statement query(db,
                            QStringLiteral("SELECT 1 FROM pragma_function_list WHERE name = ?1 "
                                           "COLLATE NOCASE AND type IN ('a', 'w')"),
                            QStringLiteral("関数の一覧を読めません"));
    const QByteArray utf8 = function.toUtf8();
    sqlite3_bind_text(query.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return query.step() == SQLITE_ROW;
}

// Whether the FROM clause of a select without subqueries names more than one table. The
// footprint misses a table that no column names, such as the right side of a join by USING, and
// a table named twice counts once there.
bool joinsTables(const std::vector<Word> &words) {
    const auto from = std::find_if(words.begin(), words.end(),
                                   [](const Word &word) { return isWord(word, "FROM"); });
    for (auto word = from; word != words.end(); ++word) {
        for (const char *clauseAfterFrom : {"WHERE", "GROUP", "ORDER", "LIMIT", "WINDOW"}) {
            if (isWord(*word, clauseAfterFrom))
                return false;
        }
        if (word->text == QLatin1String(",") || isWord(*word, "JOIN"))
            return true;
    }
    return false;
}

// The table whose rows `sql` shows one by one, or empty. The engine's footprint tells how many
// selects and tables there are and which functions run; joins, grouping and DISTINCT leave no
// sure trace there, so those are looked for among the words.
QString singleTableOf(sqlite3 *db, const QString &sql, const std::vector<Word> &words) {
    const std::optional<Footprint> footprint = footprintOf(db, sql);
    if (!footprint || footprint->selects != 1 || footprint->tables.size() != 1 ||
        footprint->outsideMain || joinsTables(words))
        return {};
    for (const Word &word : words) {
        if (isWord(word, "GROUP") || isWord(word, "DISTINCT") || isWord(word, "HAVING"))
            return {};
    }
    for (const QString &function : footprint->functions) {
        if (isAggregate(db, function))
            return {};
    }
    return schemaObject(db, *footprint->tables.cbegin()).value_or(QString());
}

// Whether `sql` prepares and its first column is `table`'s rowid.
bool leadsWithRowId(sqlite3 *db, const QString &sql, const QString &table) {
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    bool leads = false;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_column_count(statement) > 0) {
        const char *origin = sqlite3_column_table_name(statement, 0);
        leads = origin && QString::fromUtf8(origin).compare(table, Qt::CaseInsensitive) == 0;
    }
    sqlite3_finalize(statement);
    return leads;
}

QStringList declaredColumns(sqlite3 *db, const QString &table) {
    sqlite::Statement query(db, QStringLiteral("SELECT name FROM pragma_table_info(?1)"),
                            QStringLiteral("「%1」の列を読めません").arg(table));
    const QByteArray utf8 = table.toUtf8();
    sqlite3_bind_text(query.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    QStringList names;
    while (query.step() == SQLITE_ROW)
        names << text(sqlite3_column_text(query.get(), 0));
    return names;
}

// `sql` (one select of `table`'s rows) showing the rowid alone: the FROM clause onward as written.
// Reading fewer columns, the engine may take another way through the table: without an ORDER BY
// the rows would come in another order, and a LIMIT could pick other rows among equals.
QString rowIdsOf(const QString &sql, const std::vector<Word> &words, const QString &table) {
    const auto has = [&](const char *keyword) {
        return std::any_of(words.begin(), words.end(),
                           [&](const Word &word) { return isWord(word, keyword); });
    };
    const auto from = std::find_if(words.begin(), words.end(),
                                   [](const Word &word) { return isWord(word, "FROM"); });
    if (from == words.end() || !has("ORDER") || has("LIMIT"))
        return {};
    const qsizetype fromStart = from->end - from->text.size();
    return QStringLiteral("SELECT %1.rowid ").arg(schema::identifier(table)) + sql.mid(fromStart);
}

} // namespace

SourcePlan planSource(sqlite3 *db, const QString &source) {
    const QString trimmed = source.trimmed();
    QString sql = source;
    if (isBareName(trimmed)) {
        const std::optional<QString> object = schemaObject(db, unquoted(trimmed));
        if (!object)
            throw Failure(QStringLiteral("表またはクエリ「%1」がありません。").arg(trimmed));
        sql = QStringLiteral("SELECT * FROM %1").arg(schema::identifier(*object));
    }
    const std::vector<Word> words = bareWords(sql);
    if (words.empty() || !isWord(words.front(), "SELECT"))
        return {sql, {}, {}};
    const QString table = singleTableOf(db, sql, words);
    if (table.isEmpty())
        return {sql, {}, {}};
    // The rowid goes in front of the user's columns, so their positions and names stay as written.
    const qsizetype afterSelect = words.front().end;
    const QString withRowId =
        sql.left(afterSelect) +
        QStringLiteral(" %1.rowid AS %2,").arg(schema::identifier(table), RowIdAlias) +
        sql.mid(afterSelect);
    if (!leadsWithRowId(db, withRowId, table))
        return {sql, {}, {}};
    return {withRowId, table, rowIdsOf(sql, words, table)};
}

std::vector<bool> writableColumns(sqlite3 *db, sqlite3_stmt *statement, int firstColumn,
                                  const QString &table) {
    const int count = sqlite3_column_count(statement);
    std::vector<bool> writable(size_t(std::max(0, count - firstColumn)), false);
    if (table.isEmpty())
        return writable;
    const QStringList declared = declaredColumns(db, table);
    for (int i = firstColumn; i < count; ++i) {
        const char *database = sqlite3_column_database_name(statement, i);
        const char *origin = sqlite3_column_origin_name(statement, i);
        const char *originTable = sqlite3_column_table_name(statement, i);
        if (!database || !origin || !originTable || qstrcmp(database, "main") != 0)
            continue;
        const QString originName = QString::fromUtf8(origin);
        writable[size_t(i - firstColumn)] =
            QString::fromUtf8(originTable).compare(table, Qt::CaseInsensitive) == 0 &&
            originName.compare(QString::fromUtf8(sqlite3_column_name(statement, i)),
                               Qt::CaseInsensitive) == 0 &&
            declared.contains(originName, Qt::CaseInsensitive);
    }
    return writable;
}

} // namespace hondana
