#include "db/ShapedRecordSet.h"

#include "base/Failure.h"
#include "db/Connection.h"

namespace hondana {

namespace {

// Keys compare by their text, so an integer key relates to the same number stored as text.
QString keyOf(const QVariant &value) {
    return (value.isValid() && !value.isNull()) ? value.toString() : QString();
}

} // namespace

ShapedRecordSet::ShapedRecordSet(RecordSet &parentRows, QObject *parent)
    : QObject(parent), m_parent(parentRows) {
    connect(&m_parent, &RecordSet::moveComplete, this, &ShapedRecordSet::followParent);
    connect(&m_parent, &RecordSet::rowsReset, this, &ShapedRecordSet::followParent);
}

ShapedRecordSet::~ShapedRecordSet() = default;

void ShapedRecordSet::open(Connection &connection, const QString &shapeText) {
    close();
    m_command = ShapeCommand::parse(shapeText);
    m_connection = &connection;
    run();
}

void ShapedRecordSet::requery() {
    if (!m_connection)
        throw Failure(QStringLiteral("一覧が開かれていません。"));
    run();
}

void ShapedRecordSet::run() {
    try {
        // Children first: the parent's first move asks for its chapter.
        m_children.open(*m_connection, m_command.childSql);
        if (m_children.fieldIndex(m_command.childKey) < 0)
            throw Failure(QStringLiteral("一覧の子の命令に関連付けの列「%1」がありません。")
                              .arg(m_command.childKey));
        group();
        m_parent.open(*m_connection, m_command.parentSql);
        if (m_parent.fieldIndex(m_command.parentKey) < 0)
            throw Failure(QStringLiteral("一覧の親の命令に関連付けの列「%1」がありません。")
                              .arg(m_command.parentKey));
    } catch (const Failure &) {
        close();
        throw;
    }
    followParent();
}

void ShapedRecordSet::group() {
    m_chapters.clear();
    const int key = m_children.fieldIndex(m_command.childKey);
    const int rows = m_children.recordCount();
    for (int row = 0; row < rows; ++row) {
        const QString k = keyOf(m_children.valueAt(row, key));
        if (!k.isNull())
            m_chapters[k].push_back(row);
    }
}

void ShapedRecordSet::close() {
    m_parent.close();
    m_children.close();
    m_chapters.clear();
    if (!m_chapter.empty()) {
        m_chapter.clear();
        Q_EMIT chapterChanged();
    }
}

bool ShapedRecordSet::isOpen() const {
    return m_parent.isOpen();
}

void ShapedRecordSet::followParent() {
    m_chapter.clear();
    if (m_parent.isOpen() && m_parent.hasCurrent() &&
        m_parent.fieldIndex(m_command.parentKey) >= 0) {
        const QString k = keyOf(m_parent.value(m_command.parentKey));
        if (!k.isNull())
            m_chapter = m_chapters.value(k);
    }
    Q_EMIT chapterChanged();
}

} // namespace hondana
