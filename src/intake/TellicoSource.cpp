#include "intake/TellicoSource.h"

#include "base/Failure.h"

#include <QXmlStreamReader>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace hondana::intake {

namespace {

const QString XmlName = QStringLiteral("tellico.xml");
constexpr int BookCollection = 2;
constexpr int MaxNesting = 16;
constexpr qsizetype MaxValueChars = 1 << 20;

Failure collectionRefusal(const QString &why) {
    return Failure(QStringLiteral("このファイルは読めません: %1。何も取り込みません。").arg(why));
}

// Builds the table while the XML streams past. An entry's values come in any order and some
// add to others, so each entry is gathered apart and joins the table when it is complete.
class EntryCollector {
public:
    void field(const QString &name) { columnOf(name); }
    void beginEntry(qint64 number) {
        endEntry();
        if (m_table.records.size() >= MaxRecords)
            throw collectionRefusal(QStringLiteral("項目が %1 件を超えています").arg(MaxRecords));
        m_entry = number;
    }
    void value(const QString &name, const QString &text) {
        const qsizetype column = columnOf(name);
        if (m_fields.size() <= column)
            m_fields.resize(column + 1);
        QString &cell = m_fields[column];
        if (cell.size() + text.size() > MaxValueChars)
            throw collectionRefusal(QStringLiteral("「%1」の値が長すぎます").arg(name));
        cell = cell.isEmpty() ? text : cell + QStringLiteral("; ") + text;
    }
    SourceTable finish() {
        endEntry();
        m_table.encoding = QStringLiteral("UTF-8");
        return std::move(m_table);
    }

private:
    qsizetype columnOf(const QString &name) {
        qsizetype at = m_table.columns.indexOf(name);
        if (at < 0) {
            if (m_table.columns.size() >= 1000)
                throw collectionRefusal(QStringLiteral("欄が多すぎます"));
            at = m_table.columns.size();
            m_table.columns << name;
        }
        return at;
    }
    void endEntry() {
        if (m_entry > 0)
            m_table.records.append(SourceRecord(m_entry, m_fields));
        m_entry = 0;
        m_fields.clear();
    }

    SourceTable m_table;
    qint64 m_entry = 0; // the entry being gathered, 0 before the first
    QStringList m_fields;
};

// Reads one entry's fields: <title>…</title>, or <authors><author>…</author>…</authors>.
void readEntry(QXmlStreamReader &xml, EntryCollector &collector) {
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString();
        QString text;
        bool listed = false;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::Characters) {
                text += xml.text();
                if (text.size() > MaxValueChars)
                    throw collectionRefusal(QStringLiteral("「%1」の値が長すぎます").arg(name));
            } else if (token == QXmlStreamReader::StartElement) {
                listed = true;
                const QString item = xml.name().toString();
                const QString value = xml.readElementText(QXmlStreamReader::SkipChildElements);
                collector.value(item, value.trimmed());
            } else if (token == QXmlStreamReader::EndElement) {
                break;
            }
        }
        if (!listed && !text.trimmed().isEmpty())
            collector.value(name, text.trimmed());
    }
}

void readCollection(QXmlStreamReader &xml, EntryCollector &collector) {
    qint64 entries = 0;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("fields")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("field"))
                    collector.field(xml.attributes().value(QLatin1String("name")).toString());
                xml.skipCurrentElement();
            }
        } else if (xml.name() == QLatin1String("entry")) {
            collector.beginEntry(++entries);
            readEntry(xml, collector);
        } else {
            xml.skipCurrentElement();
        }
    }
}

void checkDeclarations(const QXmlStreamReader &xml) {
    // The collection files name their DTD and declare nothing; declarations are how entity
    // expansion bombs and references to other files get in.
    if (!xml.entityDeclarations().isEmpty() || !xml.notationDeclarations().isEmpty() ||
        xml.text().contains(u'['))
        throw collectionRefusal(QStringLiteral("XML の文書型宣言で実体などを宣言しています"));
}

} // namespace

SourceTable TellicoSource::read(const QString &path) {
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        throw collectionRefusal(
            QStringLiteral("zip 書庫として開けません（壊れているか途中で切れています）"));
    if (!zip.setCurrentFile(XmlName))
        throw collectionRefusal(QStringLiteral("書庫に %1 がありません").arg(XmlName));
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        throw collectionRefusal(QStringLiteral("書庫の %1 を開けません").arg(XmlName));

    // The declared sizes of a zip entry are the file's word; what counts is what unpacks.
    QByteArray data;
    while (true) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty()) {
            if (file.getZipError() != UNZ_OK)
                throw collectionRefusal(QStringLiteral("書庫の %1 を展開できません").arg(XmlName));
            break;
        }
        if (data.size() + chunk.size() > MaxXmlBytes)
            throw collectionRefusal(QStringLiteral("%1 が展開すると %2 MiB を超えます")
                                        .arg(XmlName)
                                        .arg(MaxXmlBytes >> 20));
        data += chunk;
    }
    file.close();
    if (file.getZipError() != UNZ_OK)
        throw collectionRefusal(QStringLiteral("書庫の %1 が壊れています").arg(XmlName));

    return readXml(data);
}

SourceTable TellicoSource::readXml(const QByteArray &data) {
    QXmlStreamReader xml(data);
    EntryCollector collector;
    bool collectionSeen = false;
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD)
            checkDeclarations(xml);
        if (token == QXmlStreamReader::EndElement)
            --depth;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (++depth > MaxNesting)
            throw collectionRefusal(QStringLiteral("XML の入れ子が深すぎます"));
        if (xml.name() == QLatin1String("collection")) {
            if (xml.attributes().value(QLatin1String("type")).toInt() != BookCollection)
                throw collectionRefusal(QStringLiteral("本のコレクションではありません"));
            collectionSeen = true;
            readCollection(xml, collector);
            --depth;
        }
    }
    if (xml.hasError())
        throw collectionRefusal(QStringLiteral("%1 の %2 行目: %3")
                                    .arg(XmlName)
                                    .arg(xml.lineNumber())
                                    .arg(xml.errorString()));
    if (!collectionSeen)
        throw collectionRefusal(QStringLiteral("%1 にコレクションがありません").arg(XmlName));
    return collector.finish();
}

} // namespace hondana::intake
