#include "widgets/DataSource.h"

#include "widgets/MessageService.h"

namespace hondana {

bool runReportingFailure(RecordSet &set, const std::function<void()> &step) {
    try {
        step();
        return true;
    } catch (const RefusedEdit &) {
        return false; // already reported by the bound control's data source
    } catch (const Failure &failure) {
        set.reportError(failure);
        return false;
    }
}

DataSource::DataSource(QObject *parent) : QObject(parent) {
    connect(&m_recordSet, &RecordSet::errorOccurred, this, &DataSource::onError);
    connect(&m_recordSet, &RecordSet::moveComplete, this, &DataSource::moveComplete);
    connect(&m_recordSet, &RecordSet::willChangeRecord, this, &DataSource::willChangeRecord);
    m_recordSet.setEditCommitter([this] { commitEdits(); });
}

DataSource::DataSource(const QString &name, const QString &connectionString,
                       const QString &recordSource, QObject *parent)
    : DataSource(parent) {
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
    return runReportingFailure(m_recordSet, [this] {
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
    return objectName() == PrimaryName;
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
    return runReportingFailure(m_recordSet, [this] { m_recordSet.moveFirst(); });
}

bool DataSource::movePrevious() {
    return runReportingFailure(m_recordSet, [this] { m_recordSet.movePrevious(); });
}

bool DataSource::moveNext() {
    return runReportingFailure(m_recordSet, [this] { m_recordSet.moveNext(); });
}

bool DataSource::moveLast() {
    return runReportingFailure(m_recordSet, [this] { m_recordSet.moveLast(); });
}

bool DataSource::moveTo(int position) {
    return runReportingFailure(m_recordSet, [this, position] { m_recordSet.moveTo(position); });
}

void DataSource::reportError(const Failure &failure) {
    m_recordSet.reportError(failure);
}

void DataSource::onError(int number, const QString &description) {
    Q_EMIT error(number, description);
    if (isPrimary())
        MessageService::instance().notice(ErrorPrefix + description);
}

} // namespace hondana
