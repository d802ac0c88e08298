#include "db/RecordSet.h"
#include "db/Schema.h"

#include "base/Cp932.h"
#include "db/Connection.h"
#include "db/FilterExpression.h"
#include "db/InputParsing.h"
#include "db/SqliteStatement.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <cmath>
#include <vector>

namespace hondana {

namespace {

// One stored value in 16 bytes; texts live in one shared buffer per set, so 100,000 books take
// a few tens of megabytes instead of one heap block per field.
struct Cell {
    enum Type : quint8 { Null, Integer, Real, Text, Date, Other };
    Type type = Null;
    union {
        qint64 integer;
        double real;
        struct {
            quint32 offset;
            quint32 length;
        } text;
    };
    Cell() : integer(0) {}
};

const QString RowIdAlias = QStringLiteral("hondana_rowid");

// A name as the user's SQL may write it ([name], "name" or bare), without its quotes.
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

QString quoted(const QString &identifier) {
    return schema::identifier(unquoted(identifier));
}

enum class ObjectType { None, Table, View };

ObjectType objectType(const QSqlDatabase &db, const QString &name, QString *exactName) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT type, name FROM sqlite_schema WHERE type IN ('table', 'view') AND name = ? "
        "COLLATE NOCASE"));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return ObjectType::None;
    if (exactName)
        *exactName = q.value(1).toString();
    return q.value(0).toString() == QLatin1String("table") ? ObjectType::Table : ObjectType::View;
}

QStringList tableColumns(const QSqlDatabase &db, const QString &table) {
    QStringList names;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)))) {
        while (q.next())
            names << q.value(1).toString();
    }
    return names;
}

Failure noCurrentRow() {
    return Failure(QStringLiteral("現在のレコードがありません。"));
}

} // namespace

struct RecordSet::Data {
    enum class State { OnRow, Bof, Eof, Deleted, Unknown };

    Connection *connection = nullptr;
    QString source;
    QString sql;
    QString table; // empty: read-only
    bool open = false;

    QStringList fields;
    QHash<QString, int> fieldIndexByName;
    std::vector<schema::Kind> kinds;
    std::vector<bool> writable;

    // Storage: rows of `columns` cells, never reordered; rows added while open go at the end.
    int columns = 0;
    std::vector<Cell> cells;
    std::vector<qint64> rowIds;
    std::vector<bool> removed;
    QString texts;
    QList<QVariant> others;

    // Visible rows (storage indexes) in order, after the filter.
    std::vector<int> visible;
    FilterExpression filter;

    State state = State::Unknown;
    int position = 0; // index into `visible` for OnRow and Deleted
    bool newRow = false;
    int positionBeforeNew = -1;
    QHash<int, QVariant> pending;

    std::function<void()> committer;
    std::function<void()> saveCheck;
    std::function<void()> deleteCheck;

    int rowCount() const { return int(visible.size()); }
    Cell &cell(int storageRow, int column) { return cells[size_t(storageRow) * columns + column]; }
    const Cell &cell(int storageRow, int column) const {
        return cells[size_t(storageRow) * columns + column];
    }

    QVariant toVariant(const Cell &c) const {
        switch (c.type) {
        case Cell::Null:
            return {};
        case Cell::Integer:
            return QVariant::fromValue<qint64>(c.integer);
        case Cell::Real:
            return c.real;
        case Cell::Text:
            return QString(texts.constData() + c.text.offset, c.text.length);
        case Cell::Date:
            return QDate::fromJulianDay(c.integer);
        case Cell::Other:
            return others.at(c.integer);
        }
        return {};
    }

    Cell toCell(const QVariant &value, schema::Kind kind) {
        Cell c;
        if (!value.isValid() || value.isNull())
            return c;
        switch (value.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::Bool:
            c.type = Cell::Integer;
            c.integer = value.toLongLong();
            return c;
        case QMetaType::ULongLong:
            if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max())) {
                c.type = Cell::Integer;
                c.integer = value.toLongLong();
                return c;
            }
            break;
        case QMetaType::Double:
            c.type = Cell::Real;
            c.real = value.toDouble();
            return c;
        case QMetaType::QDate:
            c.type = Cell::Date;
            c.integer = value.toDate().toJulianDay();
            return c;
        case QMetaType::QString: {
            const QString text = value.toString();
            if (kind == schema::Kind::Date && text.size() == 10) {
                const QDate date = QDate::fromString(text, Qt::ISODate);
                if (date.isValid()) {
                    c.type = Cell::Date;
                    c.integer = date.toJulianDay();
                    return c;
                }
            }
            c.type = Cell::Text;
            c.text.offset = quint32(texts.size());
            c.text.length = quint32(text.size());
            texts.append(text);
            return c;
        }
        default:
            break;
        }
        c.type = Cell::Other;
        c.integer = others.size();
        others.append(value);
        return c;
    }

    void clearRows() {
        cells.clear();
        rowIds.clear();
        removed.clear();
        texts.clear();
        others.clear();
        visible.clear();
        pending.clear();
        newRow = false;
    }

    void rebuildVisible() {
        visible.clear();
        visible.reserve(rowIds.size());
        const QStringList filterColumns = filter.columns();
        std::vector<int> indexes;
        for (const QString &name : filterColumns)
            indexes.push_back(fieldIndexByName.value(name, -1));
        const int rows = int(rowIds.size());
        for (int r = 0; r < rows; ++r) {
            if (removed[r])
                continue;
            if (!filter.isEmpty() &&
                !filter.matches([&](int i) { return toVariant(cell(r, indexes[size_t(i)])); }))
                continue;
            visible.push_back(r);
        }
    }

    void standOnFirst() {
        pending.clear();
        newRow = false;
        if (visible.empty()) {
            state = State::Unknown;
            position = 0;
        } else {
            state = State::OnRow;
            position = 0;
        }
    }
};

RecordSet::RecordSet(QObject *parent) : QObject(parent), d(std::make_unique<Data>()) {}

RecordSet::~RecordSet() = default;

void RecordSet::open(Connection &connection, const QString &source) {
    close();
    if (!connection.isOpen())
        connection.open();
    d->connection = &connection;
    d->source = source;
    const QSqlDatabase db = connection.database();
    const QString trimmedSource = source.trimmed();
    QString exact;
    d->table.clear();
    static const QRegularExpression bareName(
        QStringLiteral("^(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s;]+)$"));
    if (bareName.match(trimmedSource).hasMatch()) {
        const ObjectType type = objectType(db, unquoted(trimmedSource), &exact);
        if (type == ObjectType::None)
            throw Failure(QStringLiteral("表またはクエリ「%1」がありません。").arg(trimmedSource));
        if (type == ObjectType::Table) {
            d->table = exact;
            d->sql = QStringLiteral("SELECT rowid AS %1, * FROM %2").arg(RowIdAlias, quoted(exact));
        } else {
            d->sql = QStringLiteral("SELECT * FROM %1").arg(quoted(exact));
        }
    } else {
        // One table, plain columns, at most a WHERE and an ORDER BY: rows can be found again by
        // rowid, so the set can be written. Anything else (joins, groups, expressions) is read.
        static const QRegularExpression single(
            QStringLiteral("^\\s*select\\s+(?!distinct\\b)([^()]*?)\\s+from\\s+"
                           "(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s,();]+)"
                           "(\\s*(?:(?:where|order\\s+by)\\b.*)?)\\s*;?\\s*$"),
            QRegularExpression::CaseInsensitiveOption |
                QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = single.match(trimmedSource);
        if (m.hasMatch() && !m.captured(3).contains(QLatin1String("join"), Qt::CaseInsensitive) &&
            objectType(db, unquoted(m.captured(2)), &exact) == ObjectType::Table) {
            d->table = exact;
            d->sql =
                QStringLiteral("SELECT %1.rowid AS %2, %3 FROM %4%5")
                    .arg(quoted(exact), RowIdAlias, m.captured(1), m.captured(2), m.captured(3));
        } else {
            d->sql = source;
        }
    }
    load();
    d->open = true;
    d->standOnFirst();
    Q_EMIT rowsReset();
    emitMoved();
}

namespace {

// "YYYY-MM-DD" as stored; anything else is not a stored date.
QDate storedDate(const unsigned char *text, int bytes) {
    if (!text || bytes != 10 || text[4] != '-' || text[7] != '-')
        return {};
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i) {
            const unsigned char c = text[starts[p] + i];
            if (c < '0' || c > '9')
                return {};
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

} // namespace

void RecordSet::load() {
    Q_EMIT aboutToReset();
    d->clearRows();
    d->fields.clear();
    d->fieldIndexByName.clear();
    d->columns = 0;
    // Every row goes through the engine's own interface: through the SQL module each value
    // would cost a QVariant, which is most of what opening 100,000 books would take.
    const QSqlDatabase db = d->connection->database();
    sqlite3 *engine = sqlite::handleOf(db);
    const QString context = QStringLiteral("「%1」を読めません").arg(d->source.trimmed());
    sqlite::Statement statement(engine, d->sql, context);
    sqlite3_stmt *st = statement.get();
    const int first = d->table.isEmpty() ? 0 : 1;
    const int count = sqlite3_column_count(st);
    for (int i = first; i < count; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(st, i));
        d->fieldIndexByName.insert(name, int(d->fields.size()));
        d->fields << name;
    }
    d->columns = int(d->fields.size());
    d->kinds.assign(size_t(d->columns), schema::Kind::Text);
    std::vector<bool> kindKnown(size_t(d->columns), false);
    for (int i = 0; i < d->columns; ++i) {
        if (const schema::Column *column = schema::findColumn(d->fields.at(i))) {
            d->kinds[size_t(i)] = column->kind;
            kindKnown[size_t(i)] = true;
        }
    }
    const QStringList tableColumnNames =
        d->table.isEmpty() ? QStringList() : tableColumns(db, d->table);
    d->writable.assign(size_t(d->columns), false);
    for (int i = 0; i < d->columns; ++i)
        d->writable[size_t(i)] = tableColumnNames.contains(d->fields.at(i), Qt::CaseInsensitive);

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    int step = SQLITE_ROW;
    while ((step = statement.step()) == SQLITE_ROW) {
        d->rowIds.push_back(first ? sqlite3_column_int64(st, 0) : 0);
        d->removed.push_back(false);
        for (int i = 0; i < d->columns; ++i) {
            const int column = i + first;
            Cell c;
            switch (sqlite3_column_type(st, column)) {
            case SQLITE_INTEGER:
                c.type = Cell::Integer;
                c.integer = sqlite3_column_int64(st, column);
                break;
            case SQLITE_FLOAT:
                c.type = Cell::Real;
                c.real = sqlite3_column_double(st, column);
                break;
            case SQLITE_TEXT: {
                if (d->kinds[size_t(i)] == schema::Kind::Date) {
                    const QDate date = storedDate(sqlite3_column_text(st, column),
                                                  sqlite3_column_bytes(st, column));
                    if (date.isValid()) {
                        c.type = Cell::Date;
                        c.integer = date.toJulianDay();
                        break;
                    }
                }
                // Decoded from the stored UTF-8 straight into the shared buffer: no copy the
                // engine or a temporary string would make per value.
                const auto *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
                const int bytes = sqlite3_column_bytes(st, column);
                const qsizetype start = d->texts.size();
                d->texts.resize(start + decoder.requiredSpace(bytes));
                QChar *end =
                    decoder.appendToBuffer(d->texts.data() + start, QByteArrayView(utf8, bytes));
                d->texts.truncate(end - d->texts.constData());
                c.type = Cell::Text;
                c.text.offset = quint32(start);
                c.text.length = quint32(d->texts.size() - start);
                break;
            }
            case SQLITE_BLOB: {
                const auto *bytes = static_cast<const char *>(sqlite3_column_blob(st, column));
                c = d->toCell(QByteArray(bytes, sqlite3_column_bytes(st, column)),
                              d->kinds[size_t(i)]);
                break;
            }
            default:
                break;
            }
            if (!kindKnown[size_t(i)] && c.type != Cell::Null) {
                // A column the catalogue does not describe is read as its first value says.
                if (c.type == Cell::Integer)
                    d->kinds[size_t(i)] = schema::Kind::Integer;
                kindKnown[size_t(i)] = true;
            }
            d->cells.push_back(c);
        }
    }
    if (step != SQLITE_DONE) {
        const QString problem = sqlite::lastError(engine);
        d->clearRows();
        throw Failure(context + QStringLiteral(": ") + problem);
    }
    d->rebuildVisible();
}

void RecordSet::close() {
    if (!d->open)
        return;
    Q_EMIT aboutToReset();
    d->clearRows();
    d->open = false;
    d->connection = nullptr;
    d->state = Data::State::Unknown;
    Q_EMIT rowsReset();
}

bool RecordSet::isOpen() const {
    return d->open;
}

void RecordSet::requery() {
    if (!d->open)
        throw Failure(QStringLiteral("レコードセットが開いていません。"));
    try {
        load();
    } catch (const Failure &) {
        d->open = false;
        d->state = Data::State::Unknown;
        Q_EMIT rowsReset();
        throw;
    }
    d->standOnFirst();
    Q_EMIT rowsReset();
    emitMoved();
}

QString RecordSet::source() const {
    return d->source;
}

bool RecordSet::isUpdatable() const {
    return d->open && !d->table.isEmpty();
}

QString RecordSet::baseTable() const {
    return d->table;
}

void RecordSet::commitEdits() {
    if (d->committer)
        d->committer();
}

void RecordSet::saveBeforeLeaving() {
    if (d->state != Data::State::OnRow)
        return;
    if (d->newRow && d->pending.isEmpty()) {
        // A new row the user never typed into is dropped rather than written empty.
        d->newRow = false;
        removeCurrentRow();
        return;
    }
    if (!d->pending.isEmpty())
        writePending();
}

void RecordSet::emitMoved() {
    Q_EMIT moveComplete();
}

void RecordSet::standOn(int row) {
    if (row < 0) {
        d->state = Data::State::Bof;
        d->position = -1;
    } else if (row >= d->rowCount()) {
        d->state = Data::State::Eof;
        d->position = d->rowCount();
    } else {
        d->state = Data::State::OnRow;
        d->position = row;
    }
    emitMoved();
}

void RecordSet::moveToEdge(bool first) {
    commitEdits();
    saveBeforeLeaving();
    if (d->visible.empty())
        throw Failure(QStringLiteral("レコードがありません。"));
    standOn(first ? 0 : d->rowCount() - 1);
}

void RecordSet::moveFirst() {
    moveToEdge(true);
}

void RecordSet::moveLast() {
    moveToEdge(false);
}

void RecordSet::moveNext() {
    // From a just-deleted slot the move goes on even when the set has become empty.
    if (d->state == Data::State::Eof || (d->visible.empty() && d->state != Data::State::Deleted))
        throw Failure(QStringLiteral("現在のレコードがありません（最後のレコードより後です）。"));
    commitEdits();
    saveBeforeLeaving();
    // The slot of a deleted row now holds the row that followed it.
    const bool onRow = d->state == Data::State::OnRow;
    const bool onSlot = d->state == Data::State::Deleted;
    standOn(onRow ? d->position + 1 : onSlot ? d->position : 0);
}

void RecordSet::movePrevious() {
    if (d->state == Data::State::Bof || (d->visible.empty() && d->state != Data::State::Deleted))
        throw Failure(QStringLiteral("現在のレコードがありません（最初のレコードより前です）。"));
    commitEdits();
    saveBeforeLeaving();
    const bool onRowOrSlot = d->state == Data::State::OnRow || d->state == Data::State::Deleted;
    standOn(onRowOrSlot ? d->position - 1 : d->rowCount() - 1);
}

void RecordSet::moveTo(int position) {
    if (position < 1 || position > d->rowCount())
        throw Failure(QStringLiteral("レコード位置 %1 はありません（1 から %2 までです）。")
                          .arg(position)
                          .arg(d->rowCount()));
    if (d->state == Data::State::OnRow && d->position == position - 1)
        return;
    commitEdits();
    saveBeforeLeaving();
    // Dropping an untouched new row may have shortened the set.
    if (position > d->rowCount())
        position = d->rowCount();
    if (position < 1)
        throw Failure(QStringLiteral("レコードがありません。"));
    d->state = Data::State::OnRow;
    d->position = position - 1;
    emitMoved();
}

bool RecordSet::bof() const {
    return d->visible.empty() || d->state == Data::State::Bof;
}

bool RecordSet::eof() const {
    return d->visible.empty() || d->state == Data::State::Eof;
}

int RecordSet::recordCount() const {
    return d->rowCount();
}

int RecordSet::absolutePosition() const {
    switch (d->state) {
    case Data::State::OnRow:
        return d->position + 1;
    case Data::State::Bof:
        return PositionBof;
    case Data::State::Eof:
        return PositionEof;
    case Data::State::Deleted:
    case Data::State::Unknown:
        break;
    }
    return PositionUnknown;
}

bool RecordSet::hasCurrent() const {
    return d->open && d->state == Data::State::OnRow;
}

bool RecordSet::isNewRow() const {
    return hasCurrent() && d->newRow;
}

QStringList RecordSet::fieldNames() const {
    return d->fields;
}

int RecordSet::fieldIndex(const QString &field) const {
    return d->fieldIndexByName.value(field, -1);
}

schema::Kind RecordSet::fieldKind(const QString &field) const {
    const int index = fieldIndex(field);
    if (index >= 0)
        return d->kinds[size_t(index)];
    if (const schema::Column *column = schema::findColumn(field))
        return column->kind;
    return schema::Kind::Text;
}

void RecordSet::requireCurrent() const {
    if (!d->open)
        throw Failure(QStringLiteral("レコードセットが開いていません。"));
    if (d->state == Data::State::Deleted)
        throw Failure(QStringLiteral("現在のレコードは削除されています。"));
    if (d->state != Data::State::OnRow)
        throw noCurrentRow();
}

void RecordSet::requireUpdatable() const {
    if (d->table.isEmpty())
        throw Failure(QStringLiteral("この一覧は読み取り専用のため変更できません。"));
}

int RecordSet::storageRow(int visibleRow) const {
    return d->visible[size_t(visibleRow)];
}

QVariant RecordSet::value(const QString &field) const {
    requireCurrent();
    const int index = fieldIndex(field);
    if (index < 0)
        throw Failure(QStringLiteral("列「%1」がありません。").arg(field));
    return valueAt(d->position, index);
}

QVariant RecordSet::valueAt(int row, const QString &field) const {
    const int index = fieldIndex(field);
    if (index < 0 || row < 0 || row >= d->rowCount())
        return {};
    return valueAt(row, index);
}

QVariant RecordSet::valueAt(int row, int fieldIndex) const {
    if (fieldIndex < 0 || fieldIndex >= d->columns || row < 0 || row >= d->rowCount())
        return {};
    if (d->state == Data::State::OnRow && row == d->position) {
        const auto it = d->pending.constFind(fieldIndex);
        if (it != d->pending.constEnd())
            return it.value();
    }
    return d->toVariant(d->cell(storageRow(row), fieldIndex));
}

namespace {

Failure outOfRange(const QString &field) {
    return Failure(
        QStringLiteral("「%1」は -2,147,483,648 から 2,147,483,647 までの整数です。").arg(field));
}

QVariant checkedInteger(const QVariant &value, const QString &field) {
    if (value.typeId() == QMetaType::QString)
        return input::parseInteger(value.toString(), field);
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double real = value.toDouble();
        if (real != std::floor(real))
            throw Failure(QStringLiteral("「%1」には整数を入れてください。").arg(field));
        if (real < double(schema::IntegerMin) || real > double(schema::IntegerMax))
            throw outOfRange(field);
        return QVariant::fromValue<qint64>(qint64(real));
    }
    if (value.typeId() == QMetaType::ULongLong) {
        if (value.toULongLong() > quint64(schema::IntegerMax))
            throw outOfRange(field);
        return QVariant::fromValue<qint64>(value.toLongLong());
    }
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    if (!ok)
        throw Failure(QStringLiteral("「%1」には整数を入れてください。").arg(field));
    if (number < schema::IntegerMin || number > schema::IntegerMax)
        throw outOfRange(field);
    return QVariant::fromValue<qint64>(number);
}

QVariant checkedDate(const QVariant &value, const QString &field) {
    QDate date;
    if (value.typeId() == QMetaType::QDate)
        date = value.toDate();
    else if (value.typeId() == QMetaType::QDateTime)
        date = value.toDateTime().date();
    else if (value.typeId() == QMetaType::QString)
        return input::parseDate(value.toString(), field);
    if (!date.isValid())
        throw Failure(QStringLiteral("「%1」には正しい日付を入れてください。").arg(field));
    return date;
}

QVariant checkedText(const QVariant &value, const QString &field) {
    const QString text = value.toString();
    const schema::Column *column = schema::findColumn(field);
    if (!column || column->width <= 0)
        return text;
    QString bad;
    const qsizetype bytes = cp932::byteLength(text, &bad);
    if (bytes < 0)
        throw Failure(QStringLiteral("「%1」に使えない文字「%2」があります（シフトJIS"
                                     "（コードページ932）で表せない文字です）。")
                          .arg(field, bad));
    if (bytes > column->width)
        throw Failure(QStringLiteral("「%1」は%2バイト（全角%3文字）までです。")
                          .arg(field)
                          .arg(column->width)
                          .arg(column->width / 2));
    return text;
}

} // namespace

void RecordSet::setValue(const QString &field, const QVariant &value) {
    requireCurrent();
    requireUpdatable();
    const int index = fieldIndex(field);
    if (index < 0)
        throw Failure(QStringLiteral("列「%1」がありません。").arg(field));
    if (!d->writable[size_t(index)])
        throw Failure(QStringLiteral("列「%1」は変更できません。").arg(field));
    QVariant checked;
    if (value.isValid() && !value.isNull()) {
        switch (d->kinds[size_t(index)]) {
        case schema::Kind::Integer:
            checked = checkedInteger(value, field);
            break;
        case schema::Kind::Date:
            checked = checkedDate(value, field);
            break;
        case schema::Kind::Text:
            checked = checkedText(value, field);
            break;
        }
    }
    d->pending.insert(index, checked);
    Q_EMIT rowChanged(d->position);
}

bool RecordSet::isDirty() const {
    return hasCurrent() && !d->pending.isEmpty();
}

void RecordSet::cancelUpdate() {
    if (!hasCurrent())
        return;
    if (d->newRow) {
        d->newRow = false;
        d->pending.clear();
        removeCurrentRow();
        const int back = d->positionBeforeNew;
        if (back >= 0 && back < d->rowCount()) {
            d->state = Data::State::OnRow;
            d->position = back;
        } else {
            d->state = d->visible.empty() ? Data::State::Unknown : Data::State::Eof;
            d->position = d->rowCount();
        }
        Q_EMIT editCancelled();
        emitMoved();
        return;
    }
    d->pending.clear();
    Q_EMIT editCancelled();
    Q_EMIT rowChanged(d->position);
}

void RecordSet::writePending() {
    requireUpdatable();
    if (d->saveCheck)
        d->saveCheck();
    Q_EMIT willChangeRecord();
    const int storage = storageRow(d->position);
    QSqlQuery q(d->connection->database());
    QList<int> columns = d->pending.keys();
    std::sort(columns.begin(), columns.end());
    QStringList names;
    for (int column : std::as_const(columns))
        names << quoted(d->fields.at(column));
    const auto bindAll = [&] {
        for (int column : std::as_const(columns)) {
            const QVariant value = d->pending.value(column);
            if (value.typeId() == QMetaType::QDate)
                q.addBindValue(value.toDate().toString(Qt::ISODate));
            else if (!value.isValid())
                q.addBindValue(QVariant(QMetaType(QMetaType::QString)));
            else
                q.addBindValue(value);
        }
    };
    bool ok = false;
    if (d->newRow) {
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoted(d->table), names.join(u", "),
                           QStringList(columns.size(), QStringLiteral("?")).join(u", ")));
        bindAll();
        ok = q.exec();
        if (ok)
            d->rowIds[size_t(storage)] = q.lastInsertId().toLongLong();
    } else {
        QStringList assignments;
        for (const QString &name : std::as_const(names))
            assignments << name + QStringLiteral(" = ?");
        q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                      .arg(quoted(d->table), assignments.join(u", ")));
        bindAll();
        q.addBindValue(d->rowIds[size_t(storage)]);
        ok = q.exec();
        if (ok && q.numRowsAffected() == 0)
            throw Failure(QStringLiteral("このレコードは「%1」にもうありません（ほかの画面で"
                                         "削除されたようです）。")
                              .arg(d->table));
    }
    if (!ok)
        throw Failure(QStringLiteral("「%1」に書き込めません: %2")
                          .arg(d->table, describeSqlError(q.lastError().text())));
    for (int column : std::as_const(columns))
        d->cell(storage, column) = d->toCell(d->pending.value(column), d->kinds[size_t(column)]);
    d->pending.clear();
    d->newRow = false;
    Q_EMIT rowChanged(d->position);
}

void RecordSet::addNew() {
    if (!d->open)
        throw Failure(QStringLiteral("レコードセットが開いていません。"));
    requireUpdatable();
    commitEdits();
    saveBeforeLeaving();
    const int before = d->state == Data::State::OnRow ? d->position : -1;
    Q_EMIT willChangeRecord();
    const int storage = int(d->rowIds.size());
    d->rowIds.push_back(0);
    d->removed.push_back(false);
    d->cells.resize(d->cells.size() + size_t(d->columns));
    const int row = d->rowCount();
    Q_EMIT aboutToInsertRow(row);
    d->visible.push_back(storage);
    d->state = Data::State::OnRow;
    d->position = row;
    d->newRow = true;
    d->positionBeforeNew = before;
    d->pending.clear();
    Q_EMIT rowInserted(row);
    emitMoved();
}

void RecordSet::update() {
    commitEdits();
    if (!hasCurrent()) {
        if (d->state == Data::State::Deleted || !d->open)
            requireCurrent();
        return;
    }
    if (!d->pending.isEmpty())
        writePending();
}

void RecordSet::updateBatch() {
    // A move writes the row it leaves, so only the current row can hold a pending change.
    update();
}

void RecordSet::deleteCurrent() {
    requireCurrent();
    requireUpdatable();
    const int row = d->position;
    if (!d->newRow) {
        if (d->deleteCheck)
            d->deleteCheck();
        Q_EMIT willChangeRecord();
        QSqlQuery q(d->connection->database());
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(d->table)));
        q.addBindValue(d->rowIds[size_t(storageRow(row))]);
        if (!q.exec())
            throw Failure(QStringLiteral("「%1」から削除できません: %2")
                              .arg(d->table, describeSqlError(q.lastError().text())));
    }
    d->pending.clear();
    d->newRow = false;
    removeCurrentRow();
}

void RecordSet::removeCurrentRow() {
    // The position stays on the slot, which now holds the row that followed.
    const int row = d->position;
    Q_EMIT aboutToRemoveRow(row);
    d->removed[size_t(storageRow(row))] = true;
    d->visible.erase(d->visible.begin() + row);
    d->state = Data::State::Deleted;
    Q_EMIT rowRemoved(row);
}

void RecordSet::setFilter(const QString &expression) {
    FilterExpression parsed = FilterExpression::parse(expression);
    for (const QString &column : parsed.columns()) {
        if (fieldIndex(column) < 0)
            throw Failure(QStringLiteral("抽出条件の列「%1」はこの一覧にありません。").arg(column));
    }
    if (d->open) {
        commitEdits();
        saveBeforeLeaving();
    }
    d->filter = parsed;
    if (!d->open)
        return;
    Q_EMIT aboutToReset();
    d->rebuildVisible();
    d->standOnFirst();
    Q_EMIT rowsReset();
    emitMoved();
}

QString RecordSet::filter() const {
    return d->filter.text();
}

void RecordSet::setEditCommitter(std::function<void()> committer) {
    d->committer = std::move(committer);
}

void RecordSet::reportError(const Failure &failure) {
    Q_EMIT errorOccurred(ErrorNumber, failure.message());
}

void RecordSet::setSaveCheck(std::function<void()> check) {
    d->saveCheck = std::move(check);
}

void RecordSet::setDeleteCheck(std::function<void()> check) {
    d->deleteCheck = std::move(check);
}

qint64 RecordSet::currentRowId() const {
    if (!hasCurrent())
        return 0;
    return d->rowIds[size_t(storageRow(d->position))];
}

} // namespace hondana
