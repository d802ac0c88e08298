#include "db/RecordSet.h"

#include "db/BookQueries.h"
#include "db/Connection.h"
#include "db/FilterExpression.h"
#include "db/RecordLoader.h"
#include "db/RecordStorage.h"
#include "db/RowWriter.h"
#include "db/SourcePlan.h"
#include "db/SqliteStatement.h"
#include "db/ValueChecks.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <vector>

namespace hondana {

namespace {

Failure noCurrentRow() {
    return Failure(QStringLiteral("現在のレコードがありません。"));
}

} // namespace

struct RecordSet::Data {
    enum class State { OnRow, Bof, Eof, Deleted, Unknown };

    Connection *connection = nullptr;
    QString source;
    SourcePlan plan;
    bool open = false;

    RecordFields fields;
    RecordStorage storage;
    // Reads the rows of a large one-table source as they are first needed; null: all were read.
    std::unique_ptr<OnDemandRecords> onDemand;
    // What the file held when the rows were read.
    sqlite::Version version;

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
    Companion companion;
    std::function<void()> deleteCheck;

    int rowCount() const { return int(visible.size()); }

    void clearRows() {
        onDemand.reset();
        storage.reset(fields.count());
        visible.clear();
        pending.clear();
        newRow = false;
    }

    // Makes the values of storage row `row` readable. Throws Failure.
    void makeReadable(int row) {
        if (onDemand)
            onDemand->readBlockOf(row);
    }

    void rebuildVisible() {
        if (onDemand && !filter.isEmpty())
            onDemand->readAll();
        visible.clear();
        visible.reserve(size_t(storage.rows()));
        std::vector<int> indexes;
        for (const QString &name : filter.columns())
            indexes.push_back(fields.indexOf(name));
        for (int r = 0; r < storage.rows(); ++r) {
            if (storage.isRemoved(r))
                continue;
            if (!filter.isEmpty() &&
                !filter.matches([&](int i) { return storage.value(r, indexes[size_t(i)]); }))
                continue;
            visible.push_back(r);
        }
    }

    void standOnFirst() {
        pending.clear();
        newRow = false;
        state = visible.empty() ? State::Unknown : State::OnRow;
        position = 0;
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
    d->plan = {};
    d->plan = planSource(sqlite::handleOf(connection.database()), source);
    load();
    d->open = true;
    d->standOnFirst();
    Q_EMIT rowsReset();
    emitMoved();
}

void RecordSet::load() {
    Q_EMIT aboutToReset();
    d->fields = {};
    d->clearRows();
    d->version = sqlite::versionOf(sqlite::handleOf(d->connection->database()));
    if (!answerFromMemory(*d->connection, d->source, d->fields, d->storage)) {
        const QString context = QStringLiteral("「%1」を読めません").arg(d->source.trimmed());
        d->onDemand =
            OnDemandRecords::startReading(*d->connection, d->plan, context, d->fields, d->storage);
        if (!d->onDemand)
            loadRecords(sqlite::handleOf(d->connection->database()), d->plan, context, d->fields,
                        d->storage);
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

bool RecordSet::isOutOfDate() const {
    return d->open && sqlite::versionOf(sqlite::handleOf(d->connection->database())) != d->version;
}

QString RecordSet::source() const {
    return d->source;
}

bool RecordSet::isUpdatable() const {
    return d->open && !d->plan.table.isEmpty();
}

void RecordSet::commitEdits() {
    if (d->committer)
        d->committer();
}

void RecordSet::saveBeforeLeaving() {
    if (d->state != Data::State::OnRow)
        return;
    if (d->newRow && !hasChanges()) {
        // A new row the user never typed into is dropped rather than written empty.
        d->newRow = false;
        removeCurrentRow();
        return;
    }
    if (hasChanges())
        writePending();
}

void RecordSet::emitMoved() {
    Q_EMIT moveComplete();
}

void RecordSet::standOn(int row) {
    // A row that cannot be read refuses the move, before anything has moved.
    if (row >= 0 && row < d->rowCount())
        d->makeReadable(storageRow(row));
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
    d->makeReadable(storageRow(position - 1));
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

QStringList RecordSet::fieldNames() const {
    return d->fields.names;
}

int RecordSet::fieldIndex(const QString &field) const {
    return d->fields.indexOf(field);
}

schema::Kind RecordSet::fieldKind(const QString &field) const {
    const int index = fieldIndex(field);
    if (index >= 0)
        return d->fields.kinds[size_t(index)];
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
    if (d->plan.table.isEmpty())
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
    d->makeReadable(storageRow(d->position));
    return valueAt(d->position, index);
}

QVariant RecordSet::valueAt(int row, const QString &field) const {
    const int index = fieldIndex(field);
    if (index < 0 || row < 0 || row >= d->rowCount())
        return {};
    return valueAt(row, index);
}

QVariant RecordSet::valueAt(int row, int fieldIndex) const {
    if (fieldIndex < 0 || fieldIndex >= d->fields.count() || row < 0 || row >= d->rowCount())
        return {};
    if (d->state == Data::State::OnRow && row == d->position) {
        const auto it = d->pending.constFind(fieldIndex);
        if (it != d->pending.constEnd())
            return it.value();
    }
    try {
        d->makeReadable(storageRow(row));
    } catch (const Failure &) {
        return {}; // a list shows a row it cannot read as empty; value() says why
    }
    return d->storage.value(storageRow(row), fieldIndex);
}

void RecordSet::setValue(const QString &field, const QVariant &value) {
    requireCurrent();
    requireUpdatable();
    const int index = fieldIndex(field);
    if (index < 0)
        throw Failure(QStringLiteral("列「%1」がありません。").arg(field));
    if (!d->fields.writable[size_t(index)])
        throw Failure(QStringLiteral("列「%1」は変更できません。").arg(field));
    const QVariant checked = values::checked(value, d->fields.kinds[size_t(index)], field);
    d->pending.insert(index, checked);
    Q_EMIT rowChanged(d->position);
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

bool RecordSet::hasChanges() const {
    return !d->pending.isEmpty() || (d->companion.hasChanges && d->companion.hasChanges());
}

void RecordSet::writePending() {
    requireUpdatable();
    if (d->saveCheck)
        d->saveCheck();
    Q_EMIT willChangeRecord();
    const int storage = storageRow(d->position);
    qint64 rowId = 0;
    if (d->companion.write && d->companion.hasChanges && d->companion.hasChanges()) {
        // The row and its companion data are one save: both are written or neither.
        QSqlQuery scope(d->connection->database());
        const auto run = [&](const QString &sql) {
            if (!scope.exec(sql))
                throw Failure(QStringLiteral("「%1」に書き込めません: %2")
                                  .arg(d->plan.table, describeSqlError(scope.lastError().text())));
        };
        run(QStringLiteral("SAVEPOINT row_and_companion"));
        try {
            rowId = writeRow(storage);
            d->companion.write(rowId);
            run(QStringLiteral("RELEASE row_and_companion"));
        } catch (...) {
            scope.exec(QStringLiteral("ROLLBACK TO row_and_companion"));
            scope.exec(QStringLiteral("RELEASE row_and_companion"));
            throw;
        }
    } else {
        rowId = writeRow(storage);
    }
    if (d->newRow)
        d->storage.setRowId(storage, rowId);
    for (auto it = d->pending.cbegin(); it != d->pending.cend(); ++it)
        d->storage.setValue(storage, it.key(), it.value(), d->fields.kinds[size_t(it.key())]);
    d->pending.clear();
    d->newRow = false;
    Q_EMIT rowChanged(d->position);
}

qint64 RecordSet::writeRow(int storage) {
    QList<int> columns = d->pending.keys();
    std::sort(columns.begin(), columns.end());
    QStringList names;
    QVariantList values;
    for (int column : std::as_const(columns)) {
        names << d->fields.names.at(column);
        values << d->pending.value(column);
    }
    // The row's other values are read before the written ones take their place.
    d->makeReadable(storage);
    RowWriter writer(d->connection->database(), d->plan.table);
    if (d->newRow)
        return writer.insert(names, values);
    const qint64 rowId = d->storage.rowId(storage);
    if (!names.isEmpty())
        writer.update(rowId, names, values);
    return rowId;
}

void RecordSet::addNew() {
    if (!d->open)
        throw Failure(QStringLiteral("レコードセットが開いていません。"));
    requireUpdatable();
    commitEdits();
    saveBeforeLeaving();
    const int before = d->state == Data::State::OnRow ? d->position : -1;
    Q_EMIT willChangeRecord();
    const int storage = d->storage.appendRow(0);
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
    if (hasChanges())
        writePending();
}

void RecordSet::deleteCurrent() {
    requireCurrent();
    requireUpdatable();
    const int row = d->position;
    if (!d->newRow) {
        if (d->deleteCheck)
            d->deleteCheck();
        Q_EMIT willChangeRecord();
        RowWriter(d->connection->database(), d->plan.table)
            .remove(d->storage.rowId(storageRow(row)));
    }
    d->pending.clear();
    d->newRow = false;
    removeCurrentRow();
}

void RecordSet::removeCurrentRow() {
    // The position stays on the slot, which now holds the row that followed.
    const int row = d->position;
    Q_EMIT aboutToRemoveRow(row);
    d->storage.markRemoved(storageRow(row));
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
        // Every row is compared; one that cannot be read leaves the previous filter.
        if (d->onDemand && !parsed.isEmpty())
            d->onDemand->readAll();
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

void RecordSet::setSaveCheck(std::function<void()> check) {
    d->saveCheck = std::move(check);
}

void RecordSet::setDeleteCheck(std::function<void()> check) {
    d->deleteCheck = std::move(check);
}

void RecordSet::setCompanion(Companion companion) {
    d->companion = std::move(companion);
}

QVariant RecordSet::companionValue(const QString &name) const {
    return d->companion.value ? d->companion.value(name) : QVariant();
}

qint64 RecordSet::currentRowId() const {
    if (!hasCurrent())
        return 0;
    return d->storage.rowId(storageRow(d->position));
}

int RecordSet::positionOfRowId(qint64 rowId) const {
    if (rowId <= 0)
        return 0;
    const auto found = std::find_if(d->visible.begin(), d->visible.end(), [&](int storage) {
        return d->storage.rowId(storage) == rowId;
    });
    return found == d->visible.end() ? 0 : int(found - d->visible.begin()) + 1;
}

} // namespace hondana
