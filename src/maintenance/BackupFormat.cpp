#include "maintenance/BackupFormat.h"

#include "base/Cp932.h"
#include "base/Failure.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace hondana::backup {

namespace {

Field integer(const char *column, int offset, int whenEmpty, bool requiredForRow = false) {
    return {
        QString::fromUtf8(column), offset, FieldKind::Integer, 4, whenEmpty, {}, requiredForRow};
}
Field date(const char *column, int offset) {
    return {QString::fromUtf8(column), offset, FieldKind::Date, 8, 0.0, {}};
}
Field text(const char *column, int offset, int width, bool requiredForRow = false) {
    const QString blank = QStringLiteral(" ");
    return {
        QString::fromUtf8(column), offset, FieldKind::Text, width, blank, blank, requiredForRow};
}
Field stamp(const char *column, int offset, int width) {
    const QString unread = QStringLiteral("未");
    return {QString::fromUtf8(column), offset, FieldKind::Stamp, width, unread, unread};
}

QList<Layout> buildLayouts() {
    constexpr bool Required = true;
    return {
        {QStringLiteral("BOOK.DAT"),
         QStringLiteral("BOOK"),
         324,
         {text("題名", 0, 50, Required),
          integer("SEQNO", 50, 1),
          integer("著者NO", 54, 0),
          integer("全体NO", 58, 1),
          text("ｼﾘｰｽﾞ", 62, 10),
          integer("発行所NO", 72, 0),
          date("発行日", 76),
          date("購入日", 84),
          integer("版数", 92, 0),
          integer("分野NO", 96, 0),
          integer("ｻｲｽﾞNO", 100, 0),
          stamp("読書ｽﾀﾝﾌﾟ", 104, 4),
          text("管理番号1", 108, 20),
          text("管理番号2", 128, 20),
          text("内容", 148, 100),
          integer("価格", 248, 0),
          text("請求番号", 252, 20),
          text("購入先", 272, 40),
          date("読書完了日", 312),
          integer("読感ﾗﾝｸ", 320, 0)}},
        {QStringLiteral("BUNYA.DAT"),
         QStringLiteral("BUNYA"),
         54,
         {integer("分野NO", 0, 0, Required), text("分野名", 4, 50)}},
        {QStringLiteral("CHOSHA.DAT"),
         QStringLiteral("CHOSHA"),
         104,
         {integer("著者NO", 0, 0, Required), text("著者名", 4, 50), text("国", 54, 50)}},
        {QStringLiteral("HAKKO.DAT"),
         QStringLiteral("HAKKOU"),
         54,
         {integer("発行所NO", 0, 0, Required), text("発行所", 4, 50)}},
        {QStringLiteral("SAIZU.DAT"),
         QStringLiteral("SAIZU"),
         34,
         {integer("ｻｲｽﾞNO", 0, 0, Required), text("ｻｲｽﾞ名", 4, 30)}},
    };
}

const qint64 DayZero = QDate(1899, 12, 30).toJulianDay();
const double FirstDay = double(QDate(1, 1, 1).toJulianDay() - DayZero);
const double LastDay = double(QDate(9999, 12, 31).toJulianDay() - DayZero);

bool isEmpty(const FieldValue &value) {
    return value.type == FieldValue::Null ||
           (value.type == FieldValue::Text && value.text.isEmpty());
}

QString shown(const FieldValue &value) {
    switch (value.type) {
    case FieldValue::Null:
        return {};
    case FieldValue::Integer:
        return QString::number(value.integer);
    case FieldValue::Real:
        return QString::number(value.real);
    case FieldValue::Text:
        return QString::fromUtf8(value.text);
    }
    return {};
}

[[noreturn]] void refuseValue(const Layout &layout, const Field &field, qint64 rowNumber,
                              const FieldValue &value, const QString &problem) {
    throw Failure(QStringLiteral("「%1」を書けません: %2 表の %3 行目、列「%4」の値「%5」は%6。")
                      .arg(layout.fileName, layout.table)
                      .arg(rowNumber)
                      .arg(field.column, shown(value), problem));
}

bool inIntegerRange(double value) {
    return value >= -2147483648.0 && value <= 2147483647.0;
}

qint32 toInteger(const Layout &layout, const Field &field, qint64 rowNumber,
                 const FieldValue &value) {
    const QString outOfRange = QStringLiteral("32ビットの整数に収まりません");
    switch (value.type) {
    case FieldValue::Integer:
        if (value.integer < -2147483648LL || value.integer > 2147483647LL)
            refuseValue(layout, field, rowNumber, value, outOfRange);
        return qint32(value.integer);
    case FieldValue::Real: {
        // Halves go to the even neighbour, as the default rounding mode does.
        const double rounded = std::nearbyint(value.real);
        if (!inIntegerRange(rounded))
            refuseValue(layout, field, rowNumber, value, outOfRange);
        return qint32(rounded);
    }
    case FieldValue::Text: {
        bool ok = false;
        const qlonglong number = value.text.toByteArray().trimmed().toLongLong(&ok);
        if (ok && number >= -2147483648LL && number <= 2147483647LL)
            return qint32(number);
        refuseValue(layout, field, rowNumber, value,
                    ok ? outOfRange : QStringLiteral("整数ではありません"));
    }
    case FieldValue::Null:
        break;
    }
    return 0;
}

// Dates are stored as "YYYY-MM-DD"; parsed by hand because a backup reads hundreds of thousands.
QDate parseIsoDate(QByteArrayView text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return QDate::fromString(QString::fromUtf8(text), Qt::ISODate);
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i) {
            const char c = text[starts[p] + i];
            if (c < '0' || c > '9')
                return {};
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

double toDayCount(const Layout &layout, const Field &field, qint64 rowNumber,
                  const FieldValue &value) {
    if (value.type == FieldValue::Real)
        return value.real;
    const QDate date = value.type == FieldValue::Text ? parseIsoDate(value.text) : QDate();
    if (!date.isValid())
        refuseValue(layout, field, rowNumber, value, QStringLiteral("日付ではありません"));
    return dayCount(date);
}

void writeText(const Field &field, const FieldValue &value, char *out) {
    if (value.type == FieldValue::Text) {
        const bool readStar = field.kind == FieldKind::Stamp && value.text == "*";
        cp932::encodeUtf8FieldInto(readStar ? QByteArrayView("済") : value.text, field.width, out);
    } else {
        cp932::encodeFieldInto(shown(value), field.width, out);
    }
}

} // namespace

QStringList Layout::columns() const {
    QStringList names;
    for (const Field &field : fields)
        names << field.column;
    return names;
}

const QList<Layout> &layouts() {
    static const QList<Layout> all = buildLayouts();
    return all;
}

const Layout &layout(const QString &fileName) {
    for (const Layout &l : layouts()) {
        if (l.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return l;
    }
    throw Failure(QStringLiteral("「%1」はバックアップファイルではありません。").arg(fileName));
}

double dayCount(const QDate &date) {
    return double(date.toJulianDay() - DayZero);
}

FieldValue FieldValue::from(const QVariant &value, QByteArray &storage) {
    FieldValue result;
    if (value.isNull())
        return result;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        result.type = Integer;
        result.integer = value.toLongLong();
        return result;
    case QMetaType::ULongLong:
        result.type = Real;
        result.real = double(value.toULongLong());
        return result;
    case QMetaType::Double:
    case QMetaType::Float:
        result.type = Real;
        result.real = value.toDouble();
        return result;
    case QMetaType::QDate:
        storage = value.toDate().toString(Qt::ISODate).toUtf8();
        break;
    default:
        storage = value.toString().toUtf8();
        break;
    }
    result.type = Text;
    result.text = storage;
    return result;
}

bool encodeRecord(const Layout &layout, const QVariant *values, char *record, qint64 rowNumber) {
    const qsizetype count = layout.fields.size();
    QList<QByteArray> storage(count);
    QList<FieldValue> converted(count);
    for (qsizetype i = 0; i < count; ++i)
        converted[i] = FieldValue::from(values[i], storage[i]);
    return encodeRecord(layout, converted.constData(), record, rowNumber);
}

bool encodeRecord(const Layout &layout, const FieldValue *values, char *record, qint64 rowNumber) {
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        if (layout.fields[i].requiredForRow && isEmpty(values[i]))
            return false;
    }
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const Field &field = layout.fields[i];
        const FieldValue &value = values[i];
        const bool empty = isEmpty(value);
        char *out = record + field.offset;
        switch (field.kind) {
        case FieldKind::Integer:
            qToLittleEndian<qint32>(empty ? qint32(field.whenEmpty.toInt())
                                          : toInteger(layout, field, rowNumber, value),
                                    out);
            break;
        case FieldKind::Date:
            qToLittleEndian<double>(empty ? field.whenEmpty.toDouble()
                                          : toDayCount(layout, field, rowNumber, value),
                                    out);
            break;
        case FieldKind::Text:
        case FieldKind::Stamp:
            if (empty)
                cp932::encodeFieldInto(field.whenEmptyText, field.width, out);
            else
                writeText(field, value, out);
            break;
        }
    }
    return true;
}

qint32 readInteger(const char *field) {
    return qFromLittleEndian<qint32>(field);
}

QDate readDate(const Layout &layout, const Field &field, const char *record, qint64 recordNumber) {
    const double days = qFromLittleEndian<double>(record + field.offset);
    // The fraction is a time of day, also before day 0: the day is the whole part.
    const double day = std::trunc(days);
    if (!std::isfinite(days) || day < FirstDay || day > LastDay)
        throw Failure(QStringLiteral("「%1」の %2 件目のレコードを読めません: 列「%3」の"
                                     "日付（日数 %4）が西暦1年から9999年の範囲にありません。")
                          .arg(layout.fileName)
                          .arg(recordNumber)
                          .arg(field.column)
                          .arg(days));
    return QDate::fromJulianDay(DayZero + qint64(day));
}

void formatIsoDate(const QDate &date, char *out) {
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    const int digits[8] = {year / 1000 % 10, year / 100 % 10, year / 10 % 10, year % 10,
                           month / 10,       month % 10,      day / 10,       day % 10};
    const int positions[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i)
        out[positions[i]] = char('0' + digits[i]);
    out[4] = out[7] = '-';
}

void decodeRecord(const Layout &layout, const char *record, qint64 recordNumber,
                  QVariantList &values) {
    values.resize(layout.fields.size());
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const Field &field = layout.fields[i];
        const char *in = record + field.offset;
        switch (field.kind) {
        case FieldKind::Integer:
            values[i] = int(readInteger(in));
            break;
        case FieldKind::Date:
            values[i] = readDate(layout, field, record, recordNumber);
            break;
        case FieldKind::Text:
        case FieldKind::Stamp:
            values[i] = cp932::decode(in, field.width);
            break;
        }
    }
}

RecordReader::RecordReader(const Layout &layout, const QString &path)
    : m_layout(layout), m_path(path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        throw Failure(QStringLiteral("「%1」を読めません: %2")
                          .arg(QFileInfo(path).fileName(), safefile::describeError(error)));
    }
    m_block.resize(qsizetype(layout.recordLength) * 1024);
}

RecordReader::~RecordReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

const char *RecordReader::next() {
    const qsizetype length = m_layout.recordLength;
    if (m_used - m_position < length && !m_atEnd) {
        // Keep the unread part, then fill the block up again.
        const qsizetype rest = m_used - m_position;
        std::memmove(m_block.data(), m_block.constData() + m_position, size_t(rest));
        m_used = rest;
        m_position = 0;
        while (m_used < m_block.size()) {
            const ssize_t got =
                ::read(m_fd, m_block.data() + m_used, size_t(m_block.size() - m_used));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                const int error = errno;
                throw Failure(
                    QStringLiteral("「%1」を読めません: %2")
                        .arg(QFileInfo(m_path).fileName(), safefile::describeError(error)));
            }
            if (got == 0) {
                m_atEnd = true;
                break;
            }
            m_used += got;
        }
    }
    if (m_used - m_position < length)
        return nullptr; // the end, or a fragment shorter than a record
    const char *record = m_block.constData() + m_position;
    m_position += length;
    ++m_recordNumber;
    return record;
}

} // namespace hondana::backup
