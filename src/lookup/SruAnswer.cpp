#include "lookup/SruAnswer.h"

#include "base/Failure.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <optional>
#include <vector>

namespace hondana {

namespace {

const QString Rdf = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
const QString Terms = QStringLiteral("http://purl.org/dc/terms/");
const QString Elements = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString Ndl = QStringLiteral("http://ndl.go.jp/dcndl/terms/");
const QString Foaf = QStringLiteral("http://xmlns.com/foaf/0.1/");

// Deeper nesting than this is no bibliographic record; the limit also bounds the recursion in
// the element tree's destructor.
constexpr int MaximumDepth = 48;

Failure malformed(const QString &why) {
    return Failure(QStringLiteral("照会先の応答が読めません (%1)。しばらくしてからもう一度照会して"
                                  "ください。")
                       .arg(why));
}

// One element of the answer, held whole: a record is small, and looking its parts up by name is
// far easier to follow than a state machine over the stream.
struct Element {
    QString ns;
    QString name;
    QXmlStreamAttributes attributes;
    QString text;
    std::vector<Element> children;

    bool is(const QString &space, QLatin1StringView local) const {
        return name == local && ns == space;
    }
    const Element *child(const QString &space, QLatin1StringView local) const {
        for (const Element &element : children)
            if (element.is(space, local))
                return &element;
        return nullptr;
    }
    // The first element below by local name only, for the service's envelope, whose namespace
    // differs between versions of the protocol.
    const Element *childNamed(QLatin1StringView local) const {
        for (const Element &element : children)
            if (element.name == local)
                return &element;
        return nullptr;
    }
    QList<const Element *> all(const QString &space, QLatin1StringView local) const {
        QList<const Element *> found;
        for (const Element &element : children)
            if (element.is(space, local))
                found << &element;
        return found;
    }
    QString textOf(const QString &space, QLatin1StringView local) const {
        const Element *element = child(space, local);
        return element ? element->text.simplified() : QString();
    }
    QString attribute(const QString &space, QLatin1StringView local) const {
        return attributes.value(space, local).toString();
    }
};

Element readTree(QXmlStreamReader &reader) {
    std::vector<Element *> open;
    Element root;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            throw malformed(QStringLiteral("文書型宣言や実体参照を含む応答は受け付けません"));
        case QXmlStreamReader::StartElement: {
            if (open.size() >= MaximumDepth)
                throw malformed(QStringLiteral("要素の入れ子が深すぎます"));
            Element element{reader.namespaceUri().toString(),
                            reader.name().toString(),
                            reader.attributes(),
                            {},
                            {}};
            if (open.empty()) {
                root = std::move(element);
                open.push_back(&root);
            } else {
                open.back()->children.push_back(std::move(element));
                open.push_back(&open.back()->children.back());
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty())
                open.back()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        throw malformed(
            QStringLiteral("%1 行目: %2").arg(reader.lineNumber()).arg(reader.errorString()));
    if (root.name.isEmpty())
        throw malformed(QStringLiteral("空の応答です"));
    return root;
}

template <typename Source> Element parse(const Source &source) {
    QXmlStreamReader reader(source);
    return readTree(reader);
}

// "棟方, 志功, 1903-1975" is the authority form of a name: family and given names, then the
// years of life, which a catalogue of one's own books does not want in the author's name.
QString personName(const QString &authorityForm) {
    QStringList parts = authorityForm.split(u',', Qt::SkipEmptyParts);
    static const QRegularExpression years(QStringLiteral("^\\s*[0-9?]{0,4}-[0-9?]{0,4}\\s*$"));
    while (parts.size() > 1 && years.match(parts.last()).hasMatch())
        parts.removeLast();
    for (QString &part : parts)
        part = part.trimmed();
    return parts.join(u' ');
}

NameWithReading nameOfAgent(const Element &agent) {
    return {personName(agent.textOf(Foaf, QLatin1StringView("name"))),
            personName(agent.textOf(Ndl, QLatin1StringView("transcription")))};
}

QList<NameWithReading> authorsOf(const Element &book) {
    QList<NameWithReading> authors;
    for (const Element *creator : book.all(Terms, QLatin1StringView("creator")))
        if (const Element *agent = creator->child(Foaf, QLatin1StringView("Agent")))
            if (NameWithReading author = nameOfAgent(*agent); !author.name.isEmpty())
                authors << author;
    // A record without authority links names its authors only in the transcribed statement,
    // with their role after a blank: "夏目漱石 著".
    if (authors.isEmpty()) {
        static const QRegularExpression role(QStringLiteral("\\s*(\\[[^\\]]*\\]|\\S+)$"));
        for (const Element *creator : book.all(Elements, QLatin1StringView("creator"))) {
            QString name = creator->text.simplified();
            if (name.contains(u' '))
                name.remove(role);
            if (!name.isEmpty())
                authors << NameWithReading{name, {}};
        }
    }
    return authors;
}

NameWithReading titleOf(const Element &book) {
    NameWithReading title{book.textOf(Terms, QLatin1StringView("title")), {}};
    if (const Element *described = book.child(Elements, QLatin1StringView("title")))
        if (const Element *description = described->child(Rdf, QLatin1StringView("Description"))) {
            if (title.name.isEmpty())
                title.name = description->textOf(Rdf, QLatin1StringView("value"));
            title.reading = description->textOf(Ndl, QLatin1StringView("transcription"));
        }
    return title;
}

// W3CDTF: a year, a year and month, or a full date; the first day of what it names.
QDate firstDayOf(const QString &issued) {
    static const QRegularExpression date(
        QStringLiteral("^([0-9]{4})(?:-([0-9]{1,2})(?:-([0-9]{1,2}))?)?$"));
    const QRegularExpressionMatch match = date.match(issued);
    if (!match.hasMatch())
        return {};
    const auto part = [&](int i) { return match.hasCaptured(i) ? match.captured(i).toInt() : 1; };
    return QDate(part(1), part(2), part(3));
}

int amountIn(const QString &price) {
    static const QRegularExpression amount(QStringLiteral("[0-9][0-9,]*"));
    QString digits = amount.match(price).captured();
    digits.remove(u',');
    bool ok = false;
    const int yen = digits.left(9).toInt(&ok);
    return ok ? yen : 0;
}

QString sizeIn(const QString &extent) {
    static const QRegularExpression size(QStringLiteral("[0-9.]+(?:\\s*[x×]\\s*[0-9.]+)?\\s*cm"));
    return size.match(extent).captured();
}

// The Nippon Decimal Classification, newest edition first, given either as a link to the
// classification or as a typed value.
QString classificationOf(const Element &book) {
    QString found;
    int bestEdition = 0;
    static const QRegularExpression link(QStringLiteral("/class/ndc([0-9]*)/([^/]+)$"));
    static const QRegularExpression typed(QStringLiteral("/NDC([0-9]*)$"));
    for (const Element *subject : book.all(Terms, QLatin1StringView("subject"))) {
        QString value;
        int edition = 0;
        if (const auto match = link.match(subject->attribute(Rdf, QLatin1StringView("resource")));
            match.hasMatch()) {
            edition = match.captured(1).toInt();
            value = match.captured(2);
        } else if (const auto type =
                       typed.match(subject->attribute(Rdf, QLatin1StringView("datatype")));
                   type.hasMatch()) {
            edition = type.captured(1).toInt();
            value = subject->text.simplified();
        }
        if (!value.isEmpty() && (found.isEmpty() || edition > bestEdition)) {
            found = value;
            bestEdition = edition;
        }
    }
    return found;
}

LookedUpBook bookOf(const Element &book) {
    LookedUpBook looked;
    for (const Element *identifier : book.all(Terms, QLatin1StringView("identifier")))
        if (identifier->attribute(Rdf, QLatin1StringView("datatype")).endsWith(u"/ISBN"))
            if (const Isbn isbn = Isbn::tryFromText(identifier->text); !isbn.isEmpty()) {
                looked.isbn = isbn;
                break;
            }
    looked.title = titleOf(book);
    looked.authors = authorsOf(book);
    if (const Element *publisher = book.child(Terms, QLatin1StringView("publisher")))
        if (const Element *agent = publisher->child(Foaf, QLatin1StringView("Agent")))
            looked.publisher = {agent->textOf(Foaf, QLatin1StringView("name")),
                                agent->textOf(Ndl, QLatin1StringView("transcription"))};
    looked.issued = book.textOf(Terms, QLatin1StringView("issued"));
    looked.issuedDate = firstDayOf(looked.issued);
    looked.price = book.textOf(Ndl, QLatin1StringView("price"));
    looked.priceYen = amountIn(looked.price);
    looked.extent = book.textOf(Terms, QLatin1StringView("extent"));
    looked.size = sizeIn(looked.extent);
    looked.ndc = classificationOf(book);
    return looked;
}

bool isPrintedBook(const Element &book) {
    for (const Element *type : book.all(Ndl, QLatin1StringView("materialType")))
        if (type->attribute(Rdf, QLatin1StringView("resource")).endsWith(u"/Book"))
            return true;
    return false;
}

// The description inside one record: elements when the records are packed as XML, escaped
// text when they are packed as a string.
const Element *descriptionIn(const Element &record, Element &unpacked) {
    const Element *data = record.childNamed(QLatin1StringView("recordData"));
    if (!data)
        throw malformed(QStringLiteral("レコードに内容がありません"));
    if (const Element *rdf = data->child(Rdf, QLatin1StringView("RDF")))
        return rdf;
    if (data->text.trimmed().isEmpty())
        throw malformed(QStringLiteral("レコードに内容がありません"));
    unpacked = parse(data->text);
    if (!unpacked.is(Rdf, QLatin1StringView("RDF")))
        throw malformed(QStringLiteral("レコードが書誌の記述ではありません"));
    return &unpacked;
}

[[noreturn]] void throwDiagnostic(const Element &diagnostics) {
    const Element *first = diagnostics.childNamed(QLatin1StringView("diagnostic"));
    QString message = first
                          ? first->childNamed(QLatin1StringView("message"))
                                ? first->childNamed(QLatin1StringView("message"))->text.simplified()
                                : QString()
                          : QString();
    if (first)
        if (const Element *details = first->childNamed(QLatin1StringView("details")))
            if (!details->text.simplified().isEmpty())
                message += QStringLiteral(": ") + details->text.simplified();
    throw Failure(QStringLiteral("照会先がエラーを返しました: %1")
                      .arg(message.isEmpty() ? QStringLiteral("理由は示されていません") : message));
}

} // namespace

SruAnswer readSruAnswer(const QByteArray &bytes) {
    if (bytes.size() > MaximumSruAnswerBytes)
        throw malformed(QStringLiteral("応答が大きすぎます"));
    const Element root = parse(bytes);
    if (root.name != u"searchRetrieveResponse")
        throw malformed(QStringLiteral("検索の応答ではありません"));
    if (const Element *diagnostics = root.childNamed(QLatin1StringView("diagnostics"));
        diagnostics && !diagnostics->children.empty())
        throwDiagnostic(*diagnostics);

    SruAnswer answer;
    const Element *records = root.childNamed(QLatin1StringView("records"));
    std::optional<Element> chosen;
    bool chosenIsBook = false;
    if (records) {
        for (const Element &record : records->children) {
            if (record.name != u"record")
                continue;
            ++answer.records;
            Element unpacked;
            const Element *book =
                descriptionIn(record, unpacked)->child(Ndl, QLatin1StringView("BibResource"));
            // The first record wins, unless a later one describes a printed book and it does not.
            if (!book || (chosen && (chosenIsBook || !isPrintedBook(*book))))
                continue;
            chosen = *book;
            chosenIsBook = isPrintedBook(*book);
        }
    }
    if (!chosen)
        return answer;
    answer.found = true;
    answer.book = bookOf(*chosen);
    if (answer.book.title.name.isEmpty())
        throw malformed(QStringLiteral("書誌に題名がありません"));
    if (answer.records > 1)
        answer.note = QStringLiteral("%1件の書誌が見つかりました。最初の図書の書誌を使います。")
                          .arg(answer.records);
    return answer;
}

} // namespace hondana
