#include "db/InputParsing.h"

#include "base/Failure.h"

#include <QDate>
#include <QRegularExpression>

namespace hondana::input {

namespace {

QString trimmed(const QString &text) {
    // QString::trimmed knows the full-width blank (U+3000) as white space as well.
    return text.trimmed();
}

Failure notANumber(const QString &field) {
    return Failure(
        QStringLiteral("「%1」には整数を数字で入力してください（例: 1,500）。").arg(field));
}

} // namespace

QString toHalfWidthDigits(const QString &text) {
    QString result = text;
    for (QChar &c : result) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            c = QChar(u - u'０' + u'0');
        else if (u == u'－' || u == u'−' || u == u'ー')
            c = QLatin1Char('-');
        else if (u == u'＋')
            c = QLatin1Char('+');
        else if (u == u'，' || u == u'、')
            c = QLatin1Char(',');
        else if (u == u'／')
            c = QLatin1Char('/');
        else if (u == u'．' || u == u'。')
            c = QLatin1Char('.');
        else if (u == u'　')
            c = QLatin1Char(' ');
    }
    return result;
}

QVariant parseInteger(const QString &text, const QString &field) {
    const QString plain = trimmed(toHalfWidthDigits(text));
    if (plain.isEmpty())
        return {};
    static const QRegularExpression shape(QStringLiteral("^([-+]?)(\\d{1,3}(?:,\\d{3})+|\\d+)$"));
    const QRegularExpressionMatch m = shape.match(plain);
    if (!m.hasMatch())
        throw notANumber(field);
    QString digits = m.captured(2);
    digits.remove(QLatin1Char(','));
    // Leading zeros do no harm; strip them so the length check below means magnitude.
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    bool ok = false;
    const qint64 magnitude = digits.size() > 12 ? -1 : digits.toLongLong(&ok);
    const qint64 value = m.captured(1) == QLatin1String("-") ? -magnitude : magnitude;
    if (!ok || value < schema::IntegerMin || value > schema::IntegerMax)
        throw Failure(QStringLiteral("「%1」は -2,147,483,648 から 2,147,483,647 までの整数で"
                                     "入力してください。")
                          .arg(field));
    return QVariant::fromValue<qint64>(value);
}

QVariant parseDate(const QString &text, const QString &field) {
    const QString plain = trimmed(toHalfWidthDigits(text));
    if (plain.isEmpty())
        return {};
    static const QRegularExpression separated(
        QStringLiteral("^(\\d{4})([/.-])(\\d{1,2})\\2(\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    int year = 0, month = 0, day = 0;
    if (const auto m = separated.match(plain); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(3).toInt();
        day = m.captured(4).toInt();
    } else if (const auto c = compact.match(plain); c.hasMatch()) {
        year = c.captured(1).toInt();
        month = c.captured(2).toInt();
        day = c.captured(3).toInt();
    } else {
        throw Failure(QStringLiteral("「%1」には日付を yyyy/MM/dd の形で入力してください"
                                     "（例: 2024/04/01）。")
                          .arg(field));
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 1)
        throw Failure(
            QStringLiteral("「%1」の「%2」はありえない日付です。").arg(field, trimmed(text)));
    return date;
}

namespace {

// Only the ASCII blank pads: a trailing full-width blank is part of a Japanese text.
QString withoutPadding(QString text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    text.truncate(end);
    return text;
}

} // namespace

QVariant parse(const QString &text, schema::Kind kind, const QString &field) {
    switch (kind) {
    case schema::Kind::Integer:
        return parseInteger(text, field);
    case schema::Kind::Date:
        return parseDate(text, field);
    case schema::Kind::Text:
        break;
    }
    if (text.isEmpty())
        return {};
    return text;
}

QString format(const QVariant &value, const QString &displayFormat) {
    if (!value.isValid() || value.isNull())
        return {};
    const QString dateForm =
        displayFormat == ShortDateFormat ? QStringLiteral("yyyy/M/d") : DateFormat;
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(dateForm);
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date().toString(dateForm);
    if (displayFormat == NumberFormat) {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (ok) {
            // Unsigned, so that the most negative 64-bit value a damaged file may hold negates.
            const quint64 magnitude = number < 0 ? 0 - quint64(number) : quint64(number);
            QString digits = QString::number(magnitude);
            for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
                digits.insert(at, QLatin1Char(','));
            return number < 0 ? QLatin1Char('-') + digits : digits;
        }
    }
    if (displayFormat == DateFormat || displayFormat == ShortDateFormat) {
        const QDate date = QDate::fromString(value.toString(), Qt::ISODate);
        if (date.isValid())
            return date.toString(dateForm);
    }
    return withoutPadding(value.toString());
}

bool leavesUnchanged(const QVariant &typed, const QVariant &stored) {
    if (typed.isNull() || stored.isNull())
        return typed.isNull() == stored.isNull();
    if (typed == stored)
        return true;
    return typed.typeId() == QMetaType::QString && stored.typeId() == QMetaType::QString &&
           typed.toString() == withoutPadding(stored.toString());
}

} // namespace hondana::input
