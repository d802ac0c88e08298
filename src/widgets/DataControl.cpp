#include "widgets/DataControl.h"

#include "widgets/MessageService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace hondana {

namespace {

QToolButton *navigatorButton(QWidget *parent, const char *objectName, const QString &text,
                             const QString &accessibleName) {
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(text);
    button->setToolTip(accessibleName);
    button->setAccessibleName(accessibleName);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

DataControl::DataControl(QWidget *parent) : QWidget(parent) {
    m_first = navigatorButton(this, "cmdMoveFirst", QStringLiteral("|◀"),
                              QStringLiteral("最初のレコード"));
    m_previous = navigatorButton(this, "cmdMovePrevious", QStringLiteral("◀"),
                                 QStringLiteral("前のレコード"));
    m_next =
        navigatorButton(this, "cmdMoveNext", QStringLiteral("▶"), QStringLiteral("次のレコード"));
    m_last = navigatorButton(this, "cmdMoveLast", QStringLiteral("▶|"),
                             QStringLiteral("最後のレコード"));
    m_caption = new QLabel(QStringLiteral(" "), this);
    m_caption->setObjectName(QStringLiteral("lblCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Sunken);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_first);
    layout->addWidget(m_previous);
    layout->addWidget(m_caption, 1);
    layout->addWidget(m_next);
    layout->addWidget(m_last);
    setAccessibleName(QStringLiteral("レコード移動"));

    connect(m_first, &QToolButton::clicked, this, &DataControl::moveFirst);
    connect(m_previous, &QToolButton::clicked, this, &DataControl::movePrevious);
    connect(m_next, &QToolButton::clicked, this, &DataControl::moveNext);
    connect(m_last, &QToolButton::clicked, this, &DataControl::moveLast);

    connect(&m_recordSet, &RecordSet::errorOccurred, this, &DataControl::onError);
    connect(&m_recordSet, &RecordSet::moveComplete, this, &DataControl::onMoveComplete);
    // A deleted row leaves no current row until the next move; the caption must not name it.
    connect(&m_recordSet, &RecordSet::rowRemoved, this, &DataControl::showPosition);
    connect(&m_recordSet, &RecordSet::willChangeRecord, this, &DataControl::willChangeRecord);
    m_recordSet.setEditCommitter([this] { commitEdits(); });
}

DataControl::~DataControl() {
    m_recordSet.setEditCommitter({});
    m_recordSet.close();
}

void DataControl::setConnectionString(const QString &connectionString) {
    if (connectionString == m_connection.connectionString())
        return;
    m_recordSet.close();
    m_connection.close();
    m_connection.setConnectionString(connectionString);
}

QString DataControl::connectionString() const {
    return m_connection.connectionString();
}

void DataControl::setRecordSource(const QString &source) {
    m_recordSource = source;
}

QString DataControl::recordSource() const {
    return m_recordSource;
}

bool DataControl::refresh() {
    for (BoundEditor *editor : std::as_const(m_editors))
        editor->discardEdit();
    try {
        if (!m_connection.isOpen())
            m_connection.open();
        m_recordSet.open(m_connection, m_recordSource);
        return true;
    } catch (const Failure &failure) {
        m_recordSet.reportError(failure);
        return false;
    }
}

void DataControl::close() {
    m_recordSet.close();
    m_connection.close();
}

RecordSet &DataControl::recordSet() {
    return m_recordSet;
}

const RecordSet &DataControl::recordSet() const {
    return m_recordSet;
}

Connection &DataControl::connection() {
    return m_connection;
}

QString DataControl::caption() const {
    return m_caption->text();
}

void DataControl::setCaption(const QString &caption) {
    m_caption->setText(caption);
}

void DataControl::setPrimary(bool primary) {
    m_primary = primary;
}

bool DataControl::isPrimary() const {
    return m_primary || objectName() == PrimaryName;
}

void DataControl::addBoundEditor(BoundEditor *editor) {
    if (!m_editors.contains(editor))
        m_editors << editor;
}

void DataControl::removeBoundEditor(BoundEditor *editor) {
    m_editors.removeAll(editor);
}

void DataControl::commitEdits() {
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

bool DataControl::hasPendingEdits() const {
    for (const BoundEditor *editor : m_editors) {
        if (editor->hasPendingEdit())
            return true;
    }
    return m_recordSet.isDirty();
}

bool DataControl::navigate(void (RecordSet::*move)()) {
    try {
        (m_recordSet.*move)();
        return true;
    } catch (const RefusedEdit &) {
        return false; // already reported by commitEdits
    } catch (const Failure &failure) {
        reportError(failure);
        return false;
    }
}

bool DataControl::moveFirst() {
    return navigate(&RecordSet::moveFirst);
}

bool DataControl::movePrevious() {
    return navigate(&RecordSet::movePrevious);
}

bool DataControl::moveNext() {
    return navigate(&RecordSet::moveNext);
}

bool DataControl::moveLast() {
    return navigate(&RecordSet::moveLast);
}

bool DataControl::moveTo(int position) {
    try {
        m_recordSet.moveTo(position);
        return true;
    } catch (const RefusedEdit &) {
        return false;
    } catch (const Failure &failure) {
        reportError(failure);
        return false;
    }
}

void DataControl::reportError(const Failure &failure) {
    m_recordSet.reportError(failure);
}

void DataControl::onError(int number, const QString &description) {
    Q_EMIT error(number, description);
    if (isPrimary())
        MessageService::instance().notice(ErrorPrefix + description);
}

void DataControl::onMoveComplete() {
    showPosition();
    Q_EMIT moveComplete();
}

void DataControl::showPosition() {
    if (isPrimary())
        setCaption(CaptionPrefix + QString::number(m_recordSet.absolutePosition()));
}

} // namespace hondana
