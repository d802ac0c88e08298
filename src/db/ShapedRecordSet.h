#pragma once

#include "db/RecordSet.h"
#include "db/ShapeCommand.h"

#include <QObject>

#include <vector>

namespace hondana {

class Connection;

// A parent record set whose every row carries a chapter: the child rows whose relating key
// equals the parent's. The parent rows are read into a record set the caller owns (a screen's
// data control, whose navigator and bound fields then move through them). The child SQL runs once
// and its rows are grouped by key in memory, so moving the parent is a look-up, not a query. A
// child row whose key matches no parent row belongs to no chapter; a null key to none either.
class ShapedRecordSet : public QObject {
    Q_OBJECT
public:
    explicit ShapedRecordSet(RecordSet &parentRows, QObject *parent = nullptr);
    ~ShapedRecordSet() override;

    // Parses and runs `shapeText` (see ShapeCommand). Throws Failure; the set is closed then.
    // Stands on the first parent row.
    void open(Connection &connection, const QString &shapeText);
    // Runs both commands again and stands on the first parent row. Throws Failure.
    void requery();
    void close();
    bool isOpen() const;

    RecordSet &parentRows() { return m_parent; }
    const RecordSet &childRows() const { return m_children; }
    QString chapterName() const { return m_command.chapterName; }
    // Rows of childRows() (0-based, in the child command's order) in the chapter of the
    // current parent row; empty without a current parent row.
    const std::vector<int> &chapter() const { return m_chapter; }

Q_SIGNALS:
    // The current parent row changed, and with it chapter().
    void chapterChanged();

private:
    void run();
    void group();
    void followParent();

    ShapeCommand m_command;
    Connection *m_connection = nullptr;
    RecordSet &m_parent;
    RecordSet m_children;
    QHash<QString, std::vector<int>> m_chapters;
    std::vector<int> m_chapter;
};

} // namespace hondana
