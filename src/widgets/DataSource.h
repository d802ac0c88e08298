#pragma once

#include "db/Connection.h"
#include "db/RecordSet.h"

#include <QList>
#include <QObject>

#include <functional>

namespace hondana {

// A control bound to a data source that holds typed text it has not handed to the record set
// yet. The data source asks for it before every move and write.
class BoundEditor {
public:
    virtual ~BoundEditor() = default;
    // Hands the typed text to the record set; throws Failure (not yet reported) when refused,
    // and the text stays in the control.
    virtual void commitEdit() = 0;
    virtual bool hasPendingEdit() const = 0;
    // Forgets typed text and shows the current row again.
    virtual void discardEdit() = 0;
};

// A refusal that has already been shown to the user through a data source's error event.
// Callers that show Failure messages themselves show nothing more for this one.
class RefusedEdit : public Failure {
public:
    using Failure::Failure;
};

// The record set of a screen with no widget of its own: owns a connection and a record set
// opened from a connection string and a record source, keeps the bound controls' typed text in
// step with it, and carries its events (move complete, will change record) and an error event.
// Bound controls, grids and lookups bind to it; a DataNavigator shows and moves
// it. Its object name is the screen's name for it (datPrimaryRS, Adodc1, ...).
//
// The record set throws its failures; the source turns those it meets itself (opening, moves,
// bound controls' refused values) into the error event, while direct calls on recordSet() throw
// Failure to their caller. On the form's primary source the error event also shows
// "Data error event hit err:" and the description in an OK-only message without a title of its
// own.
class DataSource : public QObject {
    Q_OBJECT
public:
    static inline const QString PrimaryName = QStringLiteral("datPrimaryRS");
    static inline const QString ErrorPrefix = QStringLiteral("Data error event hit err:");

    // The number the error event carries for every failure.
    static constexpr int ErrorNumber = 3000;

    // Whether the source is the form's primary one, whose error event shows a message.
    enum class Role { Primary, Secondary };

    explicit DataSource(Role role = Role::Secondary, QObject *parent = nullptr);
    // A source as a form declares it: its name, where it connects and what it reads. The
    // primary source is named datPrimaryRS.
    DataSource(Role role, const QString &name, const QString &connectionString,
               const QString &recordSource, QObject *parent);
    ~DataSource() override;

    void setConnectionString(const QString &connectionString);
    QString connectionString() const;
    // A table name, a stored-query name or an SQL text.
    void setRecordSource(const QString &source);
    QString recordSource() const;

    // (Re)opens the connection and runs the record source. A failure goes through the error
    // event and leaves the set closed; returns whether the set is open.
    bool refresh();
    void close();

    RecordSet &recordSet();
    const RecordSet &recordSet() const;
    Connection &connection();

    bool isPrimary() const;

    // Bound controls register themselves here.
    void addBoundEditor(BoundEditor *editor);
    void removeBoundEditor(BoundEditor *editor);
    // Hands every bound control's typed text to the record set. A refusal is reported through
    // the error event and thrown as RefusedEdit, with the text left in its control.
    void commitEdits();
    // Forgets every bound control's typed text and the current row's pending change.
    void discardEdits();

    // The navigator's moves; a failure (a refused save of the row being left, no rows) goes
    // through the error event. Returns whether the move happened.
    bool moveFirst();
    bool movePrevious();
    bool moveNext();
    bool moveLast();
    bool moveTo(int position);

    // Sends a failure through the error event (for bound controls and grids).
    void reportError(const Failure &failure);
    // Runs `step`; a failure goes through the error event instead of to the caller (a refusal a
    // bound control already reported is not reported twice). Returns whether the step ran
    // through.
    bool runReportingFailure(const std::function<void()> &step);

Q_SIGNALS:
    void error(int number, const QString &description);
    void moveComplete();
    void willChangeRecord();

private:
    const Role m_role;
    Connection m_connection;
    RecordSet m_recordSet;
    QString m_recordSource;
    QList<BoundEditor *> m_editors;
};

} // namespace hondana
