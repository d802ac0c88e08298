#pragma once

#include "base/Failure.h"
#include "db/Schema.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace hondana {

class Connection;
class FilterExpression;

// A client-side, static record set: every row of a table, a view or an SQL text is read into
// memory when it opens, and the screens move through it, read and assign fields by column name,
// add, update and delete rows. Only a set that shows one table's rows one by one can be written
// (rows are found again by their rowid), and only in the columns that are that table's own under
// their own names; a view, a join, a compound or grouped select is read-only and refuses writes.
//
// Position: 1-based over the rows that pass the filter. Without a current row the position is
// one of the negative codes below. Changes are made in a pending buffer of the current row; a
// move, add-new or update writes it first, and a refused write throws Failure and moves nowhere.
// A row added while the set is open stays at the end until requery().
class RecordSet : public QObject {
    Q_OBJECT
public:
    enum Position { PositionUnknown = -1, PositionBof = -2, PositionEof = -3 };

    explicit RecordSet(QObject *parent = nullptr);
    ~RecordSet() override;

    // `source` is a table name, a stored-query (view) name or an SQL text. The set keeps a
    // reference to `connection`, which must stay open while the set is open. Throws Failure.
    // Stands on the first row (or BOF/EOF when empty) and emits moveComplete.
    void open(Connection &connection, const QString &source);
    void close();
    bool isOpen() const;
    // Runs the source again; pending changes and the filter's hidden rows are dropped, the
    // filter itself stays. Throws Failure.
    void requery();
    // Whether the file has been written since the rows were read (by any set or program).
    bool isOutOfDate() const;
    QString source() const;
    // Whether rows can be written (one table, found by rowid).
    bool isUpdatable() const;

    // Navigation. moveFirst/moveLast on an empty set, moveNext at EOF and movePrevious at BOF
    // throw Failure. Each move writes a pending change first.
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // 1-based position among the visible rows.
    void moveTo(int position);
    bool bof() const;
    bool eof() const;
    int recordCount() const;
    int absolutePosition() const;
    // Whether a current row exists (not BOF, EOF or a just-deleted slot).
    bool hasCurrent() const;

    // Fields.
    QStringList fieldNames() const;
    int fieldIndex(const QString &field) const; // -1 when unknown
    // The kind the layer treats the field as: from the catalogue's schema, or what the source
    // declares (numbers, dates or text).
    schema::Kind fieldKind(const QString &field) const;
    // The current row's value including its pending change; a null QVariant for null. Integers
    // come as qint64, dates as QDate, texts as QString. Throws Failure without a current row or
    // for an unknown field.
    QVariant value(const QString &field) const;
    // A visible row's stored value (0-based row, pending change of the current row included),
    // for lists and grids that show rows without moving.
    QVariant valueAt(int row, const QString &field) const;
    QVariant valueAt(int row, int fieldIndex) const;
    // Assigns into the current row's pending buffer after checking the value: integers must
    // fit 32 bits, texts the column's byte width in code page 932 and the code page itself,
    // dates must be real dates. A refused value is not stored; throws Failure naming the field.
    void setValue(const QString &field, const QVariant &value);
    // Drops the pending change; a new row that was never written disappears.
    void cancelUpdate();

    // Writes a pending change, then appends an empty row, which becomes current. Throws.
    void addNew();
    // Writes the current row's pending change (nothing to do when there is none). Throws.
    void update();
    // Deletes the current row from the table and the set. The position stays on the deleted
    // slot (no current row) until the caller moves: moveNext goes to the row that followed.
    void deleteCurrent();

    // `column LIKE 'text*'` comparisons joined by AND, with parentheses; "" shows every row.
    // A pattern the syntax cannot take is refused with Failure and the previous filter stays.
    // Writes a pending change first; stands on the first visible row afterwards.
    void setFilter(const QString &expression);
    QString filter() const;

    // Called before every move and write, so bound controls can hand over what the user typed.
    // The hook throws Failure to stop the operation.
    void setEditCommitter(std::function<void()> committer);

    // Checks of the screen that run before the current row is written (saveCheck: insert or
    // update, the pending values readable through value()) or deleted (deleteCheck). A check
    // throws Failure to refuse; nothing is written then and the change stays pending.
    void setSaveCheck(std::function<void()> check);
    void setDeleteCheck(std::function<void()> check);
    // The rowid of the current row in its table; 0 for a row not yet written or no current row.
    qint64 currentRowId() const;
    // The 1-based position of the visible row whose rowid is `rowId`; 0 when no visible row has it.
    int positionOfRowId(qint64 rowId) const;

    // Data kept beside the row in tables of our own (a details panel's fields), saved whenever
    // the current row is: after the row, in the same transaction, given the row's rowid. While
    // `hasChanges` says so, a save happens even when the row's own columns are unchanged.
    // `write` throws Failure to refuse; the row's write is undone too and stays pending.
    // `value` answers a companion field by name as it will be saved, for save checks that look at
    // the whole book.
    struct Companion {
        std::function<bool()> hasChanges;
        std::function<void(qint64 rowId)> write;
        std::function<QVariant(const QString &name)> value;
    };
    void setCompanion(Companion companion);
    // A null QVariant without a companion, or for a name it does not know.
    QVariant companionValue(const QString &name) const;

Q_SIGNALS:
    void willChangeRecord();
    void moveComplete();
    // Model notifications; rows are 0-based indexes among the visible rows.
    void aboutToReset();
    void rowsReset();
    void aboutToInsertRow(int row);
    void rowInserted(int row);
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    // The current row's pending change was dropped (cancelUpdate).
    void editCancelled();

private:
    struct Data;
    std::unique_ptr<Data> d;

    void commitEdits();
    void saveBeforeLeaving();
    void emitMoved();
    void standOn(int row);
    void moveToEdge(bool first);
    void removeCurrentRow();
    void requireCurrent() const;
    void requireUpdatable() const;
    int storageRow(int visibleRow) const;
    bool hasChanges() const;
    void writePending();
    qint64 writeRow(int storage);
    void load();
};

} // namespace hondana
