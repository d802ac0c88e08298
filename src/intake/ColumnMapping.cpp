#include "intake/ColumnMapping.h"

#include "base/Failure.h"
#include "db/InputParsing.h"

#include <QRegularExpression>

#include <algorithm>

#include <variant>

namespace hondana::intake {

namespace {

using IncomingField = std::variant<QString IncomingBook::*, std::optional<int> IncomingBook::*,
                                   QDate IncomingBook::*, Isbn IncomingBook::*>;

struct ColumnDescription {
    const char *name;
    IncomingField field;
    Conversion conversion;
    const char *aliases; // comma-separated
};

// In the order our export writes them, our own columns after the fixed ones.
const ColumnDescription ColumnDescriptions[] = {
    {"題名", &IncomingBook::title, Conversion::Text, "title"},
    {"題名読み", &IncomingBook::titleReading, Conversion::Text, "title reading"},
    {"ｼﾘｰｽﾞ", &IncomingBook::volume, Conversion::Text, "volume"},
    {"SEQNO", &IncomingBook::seqNo, Conversion::Integer, "series number"},
    {"全体NO", &IncomingBook::totalVolumes, Conversion::Integer, ""},
    {"著者名", &IncomingBook::author, Conversion::Text, "author"},
    {"著者名読み", &IncomingBook::authorReading, Conversion::Text, "author reading"},
    {"発行所", &IncomingBook::publisher, Conversion::Text, "publisher"},
    {"発行所読み", &IncomingBook::publisherReading, Conversion::Text, "publisher reading"},
    {"分野名", &IncomingBook::category, Conversion::Text, "category,genre"},
    {"ｻｲｽﾞ名", &IncomingBook::size, Conversion::Text, "binding"},
    {"管理番号1", &IncomingBook::id1, Conversion::Text, ""},
    {"管理番号2", &IncomingBook::id2, Conversion::Text, ""},
    {"請求番号", &IncomingBook::callNumber, Conversion::Text, "call number"},
    {"購入先", &IncomingBook::shop, Conversion::Text, "shop"},
    {"内容", &IncomingBook::contents, Conversion::Text, "comments,notes"},
    {"購入日", &IncomingBook::bought, Conversion::Date, "purchase date,bought"},
    {"発行日", &IncomingBook::published, Conversion::Date, "published,publication date"},
    {"読書完了日", &IncomingBook::finished, Conversion::Date, "date read,finished"},
    {"版数", &IncomingBook::edition, Conversion::Integer, "edition"},
    {"価格", &IncomingBook::price, Conversion::Price, "price"},
    {"読感ﾗﾝｸ", &IncomingBook::rank, Conversion::Integer, "rating"},
    {"読書ｽﾀﾝﾌﾟ", &IncomingBook::readingStamp, Conversion::ReadingState, "read,reading state"},
    {"ISBN", &IncomingBook::isbn, Conversion::Isbn, "isbn13"},
};

// The names of ColumnDescriptions, made once: every field of a large file names its column.
const QString &targetName(int target) {
    static const QStringList names = [] {
        QStringList all;
        for (const ColumnDescription &column : ColumnDescriptions)
            all << QString::fromUtf8(column.name);
        return all;
    }();
    return names[target];
}

// Reading states as other catalogues write them.
const std::pair<const char *, const char *> ReadingStates[] = {
    {"済", "済"},           {"未", "未"},       {"*", "*"},
    {"read", "済"},         {"to-read", "未"},  {"currently-reading", "未"},
    {"true", "済"},         {"false", "未"},    {"読み終わった", "済"},
    {"いま読んでる", "未"}, {"読みたい", "未"}, {"積読", "未"},
};

Failure unreadableValue(const QString &what) {
    return Failure(what);
}

bool plainDigits(const QString &text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

int integerIn(const QString &text, const QString &column) {
    // Most numbers of a file are a few plain digits; the register's parser, which also takes
    // full-width digits, signs and thousands separators, reads the rest.
    if (text.size() <= 9 && plainDigits(text))
        return text.toInt();
    return int(input::parseInteger(text, column).toLongLong());
}

// 2024-04-01 or 2024/04/01, as our export and most others write every date of a file; the
// register's parser reads the rest and words the refusals.
QDate plainDate(QStringView text) {
    const auto number = [&](qsizetype from, qsizetype size) {
        int value = 0;
        for (const QChar c : text.sliced(from, size)) {
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    };
    if (text.size() != 10 || (text[4] != u'-' && text[4] != u'/') || text[7] != text[4])
        return {};
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    return year >= 1 && month >= 0 && day >= 0 ? QDate(year, month, day) : QDate();
}

QDate dateIn(QString text, const QString &column) {
    // A time of day and a zone after the date say nothing the register keeps.
    for (const QChar cut : {u'T', u' '}) {
        if (const qsizetype at = text.indexOf(cut); at >= 0)
            text.truncate(at);
    }
    if (text.size() == 4 && plainDigits(text))
        return QDate(text.toInt(), 1, 1);
    QDate date = plainDate(text);
    if (!date.isValid())
        date = input::parseDate(text, column).toDate();
    // Some catalogues write the year 101 for a book without a date.
    return date.year() <= 101 ? QDate() : date;
}

QVariant convertedValue(Conversion conversion, const QString &text, const QString &column) {
    switch (conversion) {
    case Conversion::Text:
        return text;
    case Conversion::Integer:
        return integerIn(text, column);
    case Conversion::Number: {
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok || number != double(qint64(number)) || std::abs(number) > 2147483647.0)
            throw unreadableValue(QStringLiteral("「%1」には整数を入れてください。").arg(column));
        return int(number);
    }
    case Conversion::Date:
        return dateIn(text, column);
    case Conversion::Isbn: {
        QString digits = text;
        if (digits.startsWith(QStringLiteral("=\"")) && digits.endsWith(u'"'))
            digits = digits.mid(2, digits.size() - 3);
        return digits.trimmed().isEmpty() ? QString() : Isbn::fromText(digits).digits();
    }
    case Conversion::ReadingState:
        for (const auto &[word, stamp] : ReadingStates) {
            if (text.compare(QString::fromUtf8(word), Qt::CaseInsensitive) == 0)
                return QString::fromUtf8(stamp);
        }
        throw unreadableValue(
            QStringLiteral("読書の状態「%1」を済・未に読み替えられません。").arg(text));
    case Conversion::Rating: {
        const int rating = text.contains(u'.')
                               ? convertedValue(Conversion::Number, text, column).toInt()
                               : integerIn(text, column);
        return rating == 0 ? QVariant() : QVariant(rating);
    }
    case Conversion::Price: {
        static const QRegularExpression signs(QStringLiteral("[¥￥$円\\s]"));
        return integerIn(QString(text).remove(signs), column);
    }
    case Conversion::FirstName: {
        static const QRegularExpression separators(QStringLiteral(" & |;"));
        return text.split(separators).first().trimmed();
    }
    }
    return {};
}

void assignField(IncomingBook &book, const IncomingField &field, const QVariant &value) {
    std::visit(
        [&](auto member) {
            using Member = std::remove_reference_t<decltype(book.*member)>;
            if constexpr (std::is_same_v<Member, QString>)
                book.*member = value.toString();
            else if constexpr (std::is_same_v<Member, std::optional<int>>)
                book.*member = value.isValid() ? std::optional<int>(value.toInt()) : std::nullopt;
            else if constexpr (std::is_same_v<Member, QDate>)
                book.*member = value.toDate();
            else
                book.*member = Isbn::tryFromText(value.toString());
        },
        field);
}

} // namespace

const QList<BookColumn> &bookColumns() {
    static const QList<BookColumn> columns = [] {
        QList<BookColumn> all;
        for (const ColumnDescription &column : ColumnDescriptions)
            all.append({QString::fromUtf8(column.name), column.conversion,
                        QString::fromUtf8(column.aliases).split(u',', Qt::SkipEmptyParts)});
        return all;
    }();
    return columns;
}

int findBookColumn(const QString &name) {
    const QString wanted = name.trimmed();
    for (int i = 0; i < int(bookColumns().size()); ++i) {
        const BookColumn &column = bookColumns()[i];
        if (column.name.compare(wanted, Qt::CaseInsensitive) == 0 ||
            column.aliases.contains(wanted, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

IncomingBook ColumnMapping::convert(const SourceRecord &record, QList<RowProblem> &problems) const {
    IncomingBook book;
    for (qsizetype i = 0; i < rules.size() && i < record.size(); ++i) {
        const ColumnRule &rule = rules[i];
        const QStringView field = record.field(i);
        if (rule.target < 0 || field.trimmed().isEmpty())
            continue;
        // Leading blanks of a text are the file's; elsewhere they are layout.
        const QString text =
            (rule.conversion == Conversion::Text ? field : field.trimmed()).toString();
        const QString &column = targetName(rule.target);
        try {
            assignField(book, ColumnDescriptions[rule.target].field,
                        convertedValue(rule.conversion, text, column));
        } catch (const Failure &failure) {
            problems.append({record.line, column, text, failure.message()});
        }
    }
    return book;
}

} // namespace hondana::intake
