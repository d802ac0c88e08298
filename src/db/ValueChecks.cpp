#include "db/ValueChecks.h"

#include "base/Cp932.h"
#include "base/Failure.h"
#include "db/InputParsing.h"

#include <QDate>
#include <QDateTime>

#include <cmath>

namespace hondana::values {

namespace {

Failure outOfRange(const QString &field) {
    return Failure(
        QStringLiteral("「%1」は -2,147,483,648 から 2,147,483,647 までの整数です。").arg(field));
}

Failure notAnInteger(const QString &field) {
    return Failure(QStringLiteral("「%1」には整数を入れてください。").arg(field));
}

QVariant checkedInteger(const QVariant &value, const QString &field) {
    if (value.typeId() == QMetaType::QString)
        return input::parseInteger(value.toString(), field);
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double real = value.toDouble();
        if (real != std::floor(real))
            throw notAnInteger(field);
        if (real < double(schema::IntegerMin) || real > double(schema::IntegerMax))
            throw outOfRange(field);
        return QVariant::fromValue<qint64>(qint64(real));
    }
    if (value.typeId() == QMetaType::ULongLong) {
        if (value.toULongLong() > quint64(schema::IntegerMax))
            throw outOfRange(field);
        return QVariant::fromValue<qint64>(value.toLongLong());
    }
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    if (!ok)
        throw notAnInteger(field);
    if (number < schema::IntegerMin || number > schema::IntegerMax)
        throw outOfRange(field);
    return QVariant::fromValue<qint64>(number);
}

QVariant checkedDate(const QVariant &value, const QString &field) {
    QDate date;
    if (value.typeId() == QMetaType::QDate)
        date = value.toDate();
    else if (value.typeId() == QMetaType::QDateTime)
        date = value.toDateTime().date();
    else if (value.typeId() == QMetaType::QString) {
        const QVariant typed = input::parseDate(value.toString(), field);
        if (typed.isNull())
            return typed;
        date = typed.toDate();
    }
    if (!date.isValid())
        throw Failure(QStringLiteral("「%1」には正しい日付を入れてください。").arg(field));
    // Stored as four-digit years; the engine would refuse any other as no date at all.
    if (date.year() < 1 || date.year() > 9999)
        throw Failure(QStringLiteral("「%1」は西暦1年から9999年までの日付です。").arg(field));
    return date;
}

QVariant checkedText(const QVariant &value, const QString &field) {
    const QString text = value.toString();
    const schema::Column *column = schema::findColumn(field);
    if (!column || column->width <= 0)
        return text;
    QString bad;
    const qsizetype bytes = cp932::byteLength(text, &bad);
    if (bytes < 0)
        throw Failure(QStringLiteral("「%1」に使えない文字「%2」があります（シフトJIS"
                                     "（コードページ932）で表せない文字です）。")
                          .arg(field, bad));
    if (bytes > column->width)
        throw Failure(QStringLiteral("「%1」は%2バイト（全角%3文字）までです。")
                          .arg(field)
                          .arg(column->width)
                          .arg(column->width / 2));
    return text;
}

} // namespace

QVariant checked(const QVariant &value, schema::Kind kind, const QString &field) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (kind) {
    case schema::Kind::Integer:
        return checkedInteger(value, field);
    case schema::Kind::Date:
        return checkedDate(value, field);
    case schema::Kind::Text:
        return checkedText(value, field);
    }
    return {};
}

} // namespace hondana::values
