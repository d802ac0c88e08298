#include "widgets/DataSource.h"

#include "widgets/MessageService.h"

namespace hondana {

DataSource::DataSource(Role role, QObject *parent) : QObject(parent), m_role(role) {
    connect(&m_recordSet, &RecordSet::moveComplete, this, &DataSource::moveComplete);
    connect(&m_recordSet, &RecordSet::willChangeRecord, this, &DataSource::willChangeRecord);
    m_recordSet.setEditCommitter([this] { commitEdits(); });
}

DataSource::DataSource(Role role, const QString &name, const QString &connectionString,
                       const QString &recordSource, QObject *parent)
    : DataSource(role, parent) {
    setObjectName(name);
    setConnectionString(connectionString);
    setRecordSource(recordSource);
}

DataSource::~DataSource() {
    m_recordSet.setEditCommitter({});
    m_recordSet.close();
}

void DataSource::setConnectionString(const QString &connectionString) {
    if (connectionString == m_connection.connectionString())
        return;
    m_recordSet.close();
    m_connection.close();
    m_connection.setConnectionString(connectionString);
}

QString DataSource::connectionString() const {
    return m_connection.connectionString();
}

void DataSource::setRecordSource(const QString &source) {
    m_recordSource = source;
}

QString DataSource::recordSource() const {
    return m_recordSource;
}

bool DataSource::refresh() {
    for (BoundEditor *editor : std::as_const(m_editors))
        editor->discardEdit();
    return runReportingFailure([this] {
        if (!m_connection.isOpen())
            m_connection.open();
        m_recordSet.open(m_connection, m_recordSource);
    });
}

void DataSource::close() {
    m_recordSet.close();
    m_connection.close();
}

RecordSet &DataSource::recordSet() {
    return m_recordSet;
}

const RecordSet &DataSource::recordSet() const {
    return m_recordSet;
}

Connection &DataSource::connection() {
    return m_connection;
}

bool DataSource::isPrimary() const {
    return m_role == Role::Primary;
}

void DataSource::addBoundEditor(BoundEditor *editor) {
    if (!m_editors.contains(editor))
        m_editors << editor;
}

void DataSource::removeBoundEditor(BoundEditor *editor) {
    m_editors.removeAll(editor);
}

void DataSource::commitEdits() {
    for (BoundEditor *editor : std::as_const(m_editors)) {
        if (!editor->hasPendingEdit())
            continue;
        try {
            editor->commitEdit();
        } catch (const Failure &failure) {
            reportError(failure);
            throw RefusedEdit(failure.message());
        }
    }
}

void DataSource::discardEdits() {
    m_recordSet.cancelUpdate();
    for (BoundEditor *editor : std::as_const(m_editors))
        editor->discardEdit();
}

bool DataSource::moveFirst() {
    return runReportingFailure([this] { m_recordSet.moveFirst(); });
}

bool DataSource::movePrevious() {
    return runReportingFailure([this] { m_recordSet.movePrevious(); });
}

bool DataSource::moveNext() {
    return runReportingFailure([this] { m_recordSet.moveNext(); });
}

bool DataSource::moveLast() {
    return runReportingFailure([this] { m_recordSet.moveLast(); });
}

bool DataSource::moveTo(int position) {
    return runReportingFailure([this, position] { m_recordSet.moveTo(position); });
}

void DataSource::reportError(const Failure &failure) {
    Q_EMIT error(ErrorNumber, failure.message());
    if (isPrimary())
        MessageService::instance().notice(ErrorPrefix + failure.message());
}

bool DataSource::runReportingFailure(const std::function<void()> &step) {
    try {
        step();
        return true;
    } catch (const RefusedEdit &) {
        return false; // already reported by the bound control's data source
    } catch (const Failure &failure) {
        reportError(failure);
        return false;
    }
}

} // namespace hondana
