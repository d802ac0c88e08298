#include "catalogue/VolumeCopy.h"

#include "base/Failure.h"
#include "db/RecordSet.h"

#include <limits>

namespace hondana {

namespace {

const QString AuthorNo = QStringLiteral("著者NO");
const QString PublisherNo = QStringLiteral("発行所NO");
const QString VolumeCount = QStringLiteral("全体NO");
const QString CategoryNo = QStringLiteral("分野NO");
const QString SizeNo = QStringLiteral("ｻｲｽﾞNO");
const QString Title = QStringLiteral("題名");

// Key numbers are 32-bit like the columns that hold them, so every stored number copies.
std::optional<qint32> readNumber(const RecordSet &books, const QString &field) {
    const QVariant value = books.value(field);
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<qint32>::max())
        throw Failure(
            QStringLiteral("「%1」の値 %2 は整数として扱えません。").arg(field, value.toString()));
    return qint32(number);
}

void writeNumber(RecordSet &books, const QString &field, const std::optional<qint32> &number) {
    if (number)
        books.setValue(field, qint64(*number));
}

} // namespace

SharedVolumeData SharedVolumeData::read(const RecordSet &books) {
    SharedVolumeData data;
    data.authorNo = readNumber(books, AuthorNo);
    data.publisherNo = readNumber(books, PublisherNo);
    data.volumeCount = readNumber(books, VolumeCount);
    data.categoryNo = readNumber(books, CategoryNo);
    data.sizeNo = readNumber(books, SizeNo);
    const QVariant title = books.value(Title);
    if (!title.isNull())
        data.title = title.toString();
    return data;
}

void SharedVolumeData::writeTo(RecordSet &books) const {
    writeNumber(books, AuthorNo, authorNo);
    writeNumber(books, PublisherNo, publisherNo);
    writeNumber(books, VolumeCount, volumeCount);
    writeNumber(books, CategoryNo, categoryNo);
    writeNumber(books, SizeNo, sizeNo);
    if (title)
        books.setValue(Title, *title);
}

void copyAsNewVolume(RecordSet &books) {
    const SharedVolumeData shared = SharedVolumeData::read(books);
    books.addNew();
    shared.writeTo(books);
}

} // namespace hondana
