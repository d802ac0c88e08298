#include "db/RecordStorage.h"

#include "db/ComposedRows.h"

#include <QDate>

#include <limits>

namespace hondana {

void RecordStorage::reset(int columns) {
    m_columns = columns;
    m_cells.clear();
    m_rowIds.clear();
    m_removed.clear();
    m_texts.clear();
    m_others.clear();
    m_composed.reset();
}

void RecordStorage::compose(std::shared_ptr<const ComposedRows> rows) {
    reset(rows->columns());
    m_rowIds.assign(size_t(rows->rows()), 0);
    m_removed.assign(size_t(rows->rows()), false);
    m_composed = std::move(rows);
}

QVariant RecordStorage::value(int row, int column) const {
    return m_composed ? m_composed->value(row, column) : toVariant(cell(row, column));
}

int RecordStorage::appendRow(qint64 rowId) {
    m_rowIds.push_back(rowId);
    m_removed.push_back(false);
    m_cells.resize(m_cells.size() + size_t(m_columns));
    return rows() - 1;
}

void RecordStorage::appendRows(const std::vector<qint64> &rowIds) {
    m_rowIds.insert(m_rowIds.end(), rowIds.begin(), rowIds.end());
    m_removed.resize(m_rowIds.size(), false);
    m_cells.resize(m_rowIds.size() * size_t(m_columns));
}

void RecordStorage::setValue(int row, int column, const QVariant &value, schema::Kind kind) {
    cell(row, column) = toCell(value, kind);
}

QVariant RecordStorage::toVariant(const Cell &c) const {
    switch (c.type) {
    case Cell::Null:
        return {};
    case Cell::Integer:
        return QVariant::fromValue<qint64>(c.value);
    case Cell::Text:
        return QString::fromUtf8(utf8(c));
    case Cell::Date:
        return QDate::fromJulianDay(c.value);
    case Cell::Other:
        return m_others.at(c.value);
    }
    return {};
}

Cell RecordStorage::toCell(const QVariant &value, schema::Kind kind) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::Bool:
        return integerCell(value.toLongLong());
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return integerCell(value.toLongLong());
        break;
    case QMetaType::QDate:
        return dateCell(value.toDate().toJulianDay());
    case QMetaType::QString: {
        const QString text = value.toString();
        if (kind == schema::Kind::Date && text.size() == 10) {
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (date.isValid())
                return dateCell(date.toJulianDay());
        }
        return textCell(text.toUtf8());
    }
    default:
        break;
    }
    return otherCell(value);
}

Cell RecordStorage::integerCell(qint64 value) {
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return otherCell(QVariant::fromValue<qint64>(value));
    return {Cell::Integer, 0, qint32(value)};
}

Cell RecordStorage::dateCell(qint64 julianDay) {
    if (julianDay < std::numeric_limits<qint32>::min() ||
        julianDay > std::numeric_limits<qint32>::max())
        return otherCell(QDate::fromJulianDay(julianDay));
    return Cell::ofDate(qint32(julianDay));
}

Cell RecordStorage::otherCell(const QVariant &value) {
    const Cell c{Cell::Other, 0, qint32(m_others.size())};
    m_others.append(value);
    return c;
}

Cell RecordStorage::textCell(QByteArrayView utf8) {
    const qsizetype start = m_texts.size();
    if (utf8.size() > std::numeric_limits<quint16>::max() ||
        start > std::numeric_limits<quint32>::max())
        return otherCell(QString::fromUtf8(utf8));
    m_texts.append(utf8);
    return {Cell::Text, quint16(utf8.size()), qint32(quint32(start))};
}

} // namespace hondana
