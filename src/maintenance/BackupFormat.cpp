#include "maintenance/BackupFormat.h"

#include "db/Failure.h"
#include "maintenance/Cp932.h"
#include "maintenance/SafeFile.h"

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
    return {QString::fromUtf8(column), offset, FieldKind::Integer, 4, whenEmpty, requiredForRow};
}
Field date(const char *column, int offset) {
    return {QString::fromUtf8(column), offset, FieldKind::Date, 8, 0.0};
}
Field text(const char *column, int offset, int width, bool requiredForRow = false) {
    return {QString::fromUtf8(column), offset,        FieldKind::Text, width,
            QStringLiteral(" "),       requiredForRow};
}
Field stamp(const char *column, int offset, int width) {
    return {QString::fromUtf8(column), offset, FieldKind::Stamp, width, QStringLiteral("未")};
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

bool isEmpty(const QVariant &value) {
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

[[noreturn]] void refuseValue(const Layout &layout, const Field &field, qint64 rowNumber,
                              const QVariant &value, const QString &problem) {
    throw Failure(QStringLiteral("「%1」を書けません: %2 表の %3 行目、列「%4」の値「%5」は%6。")
                      .arg(layout.fileName, layout.table)
                      .arg(rowNumber)
                      .arg(field.column, value.toString(), problem));
}

qint32 toInteger(const Layout &layout, const Field &field, qint64 rowNumber,
                 const QVariant &value) {
    if (value.typeId() == QMetaType::Double) {
        // Halves go to the even neighbour, as the default rounding mode does.
        const double rounded = std::nearbyint(value.toDouble());
        if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
            refuseValue(layout, field, rowNumber, value,
                        QStringLiteral("32ビットの整数に収まりません"));
        return qint32(rounded);
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok)
        refuseValue(layout, field, rowNumber, value, QStringLiteral("整数ではありません"));
    if (number < -2147483648LL || number > 2147483647LL)
        refuseValue(layout, field, rowNumber, value,
                    QStringLiteral("32ビットの整数に収まりません"));
    return qint32(number);
}

// Dates are stored as "YYYY-MM-DD"; parsed by hand because a backup reads hundreds of thousands.
QDate parseIsoDate(const QString &text) {
    if (text.size() != 10 || text[4] != QLatin1Char('-') || text[7] != QLatin1Char('-'))
        return QDate::fromString(text, Qt::ISODate);
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i) {
            const char16_t c = text[starts[p] + i].unicode();
            if (c < u'0' || c > u'9')
                return {};
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

double toDayCount(const Layout &layout, const Field &field, qint64 rowNumber,
                  const QVariant &value) {
    const QDate date =
        value.typeId() == QMetaType::QDate ? value.toDate() : parseIsoDate(value.toString());
    if (!date.isValid())
        refuseValue(layout, field, rowNumber, value, QStringLiteral("日付ではありません"));
    return dayCount(date);
}

QString stampText(const QVariant &value) {
    const QString text = value.toString();
    return text == QLatin1String("*") ? QStringLiteral("済") : text;
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

bool encodeRecord(const Layout &layout, const QVariant *values, char *record, qint64 rowNumber) {
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const Field &field = layout.fields[i];
        if (field.requiredForRow && isEmpty(values[i]))
            return false;
    }
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const Field &field = layout.fields[i];
        const QVariant &value = isEmpty(values[i]) ? field.whenEmpty : values[i];
        char *out = record + field.offset;
        switch (field.kind) {
        case FieldKind::Integer:
            qToLittleEndian<qint32>(toInteger(layout, field, rowNumber, value), out);
            break;
        case FieldKind::Date:
            qToLittleEndian<double>(value.typeId() == QMetaType::Double
                                        ? value.toDouble()
                                        : toDayCount(layout, field, rowNumber, value),
                                    out);
            break;
        case FieldKind::Text: {
            const QByteArray bytes = cp932::encodeField(value.toString(), field.width);
            std::memcpy(out, bytes.constData(), size_t(field.width));
            break;
        }
        case FieldKind::Stamp: {
            const QByteArray bytes = cp932::encodeField(stampText(value), field.width);
            std::memcpy(out, bytes.constData(), size_t(field.width));
            break;
        }
        }
    }
    return true;
}

void decodeRecord(const Layout &layout, const char *record, qint64 recordNumber,
                  QVariantList &values) {
    values.resize(layout.fields.size());
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const Field &field = layout.fields[i];
        const char *in = record + field.offset;
        switch (field.kind) {
        case FieldKind::Integer:
            values[i] = int(qFromLittleEndian<qint32>(in));
            break;
        case FieldKind::Date: {
            const double days = qFromLittleEndian<double>(in);
            // The fraction is a time of day, also before day 0: the day is the whole part.
            const double day = std::trunc(days);
            if (!std::isfinite(days) || day < FirstDay || day > LastDay)
                throw Failure(
                    QStringLiteral("「%1」の %2 件目のレコードを読めません: 列「%3」の"
                                   "日付（日数 %4）が西暦1年から9999年の範囲にありません。")
                        .arg(layout.fileName)
                        .arg(recordNumber)
                        .arg(field.column)
                        .arg(days));
            values[i] = QDate::fromJulianDay(DayZero + qint64(day));
            break;
        }
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
