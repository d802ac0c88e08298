#include "db/RecordStorage.h"

#include <QDate>

#include <limits>

namespace hondana {

Cell Cell::ofInteger(qint64 value) {
    Cell c;
    c.type = Integer;
    c.integer = value;
    return c;
}

Cell Cell::ofReal(double value) {
    Cell c;
    c.type = Real;
    c.real = value;
    return c;
}

Cell Cell::ofDate(qint64 julianDay) {
    Cell c = ofInteger(julianDay);
    c.type = Date;
    return c;
}

void RecordStorage::reset(int columns) {
    m_columns = columns;
    m_cells.clear();
    m_rowIds.clear();
    m_removed.clear();
    m_texts.clear();
    m_others.clear();
}

int RecordStorage::appendRow(qint64 rowId) {
    m_rowIds.push_back(rowId);
    m_removed.push_back(false);
    m_cells.resize(m_cells.size() + size_t(m_columns));
    return rows() - 1;
}

void RecordStorage::setValue(int row, int column, const QVariant &value, schema::Kind kind) {
    cell(row, column) = toCell(value, kind);
}

QVariant RecordStorage::toVariant(const Cell &c) const {
    switch (c.type) {
    case Cell::Null:
        return {};
    case Cell::Integer:
        return QVariant::fromValue<qint64>(c.integer);
    case Cell::Real:
        return c.real;
    case Cell::Text:
        return QString(m_texts.constData() + c.text.offset, c.text.length);
    case Cell::Date:
        return QDate::fromJulianDay(c.integer);
    case Cell::Other:
        return m_others.at(c.integer);
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
        return Cell::ofInteger(value.toLongLong());
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return Cell::ofInteger(value.toLongLong());
        break;
    case QMetaType::Double:
        return Cell::ofReal(value.toDouble());
    case QMetaType::QDate:
        return Cell::ofDate(value.toDate().toJulianDay());
    case QMetaType::QString: {
        const QString text = value.toString();
        if (kind == schema::Kind::Date && text.size() == 10) {
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (date.isValid())
                return Cell::ofDate(date.toJulianDay());
        }
        return appendText(text.size(), [&](QChar *out) {
            std::copy(text.cbegin(), text.cend(), out);
            return out + text.size();
        });
    }
    default:
        break;
    }
    Cell c;
    c.type = Cell::Other;
    c.integer = m_others.size();
    m_others.append(value);
    return c;
}

Cell RecordStorage::textCell(qsizetype start) const {
    Cell c;
    c.type = Cell::Text;
    c.text.offset = quint32(start);
    c.text.length = quint32(m_texts.size() - start);
    return c;
}

} // namespace hondana
