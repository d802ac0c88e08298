#include "intake/SourceTable.h"

namespace hondana::intake {

SourceRecord::SourceRecord(qint64 line, const QStringList &fields) : line(line) {
    for (const QString &text : fields)
        append(text);
}

QStringView SourceRecord::field(qsizetype index) const {
    if (index < 0 || index >= m_ends.size())
        return {};
    const qsizetype begin = index == 0 ? 0 : m_ends[index - 1];
    return QStringView(m_text).sliced(begin, m_ends[index] - begin);
}

QStringList SourceRecord::fields() const {
    QStringList all;
    all.reserve(m_ends.size());
    for (qsizetype i = 0; i < m_ends.size(); ++i)
        all << field(i).toString();
    return all;
}

void SourceRecord::append(QStringView text) {
    m_text.append(text);
    m_ends.append(m_text.size());
}

QChar *SourceRecord::beginField(qsizetype room) {
    const qsizetype at = m_text.size();
    m_text.resize(at + room);
    return m_text.data() + at;
}

void SourceRecord::endField(qsizetype used) {
    const qsizetype begin = m_ends.isEmpty() ? 0 : m_ends.last();
    m_text.truncate(begin + used);
    m_ends.append(m_text.size());
}

void SourceRecord::reserve(qsizetype characters, qsizetype fields) {
    m_text.reserve(characters);
    m_ends.reserve(fields);
}

} // namespace hondana::intake
