#include "collection/LookupFill.h"

#include "catalogue/BookIntake.h"
#include "collection/CollectionWindows.h"
#include "db/RecordSet.h"
#include "widgets/DataSource.h"

#include <QHash>

namespace hondana {

namespace {

// A master number column as the register's label names it.
QString caption(const QString &column) {
    static const QHash<QString, QString> masters{
        {QStringLiteral("著者NO"), QStringLiteral("著者名")},
        {QStringLiteral("発行所NO"), QStringLiteral("発行所")},
        {QStringLiteral("分野NO"), QStringLiteral("分野")},
        {QStringLiteral("ｻｲｽﾞNO"), QStringLiteral("ｻｲｽﾞ")},
    };
    return masters.value(column, column);
}

} // namespace

QStringList fillRegisterBook(DataSource &books, const IncomingBook &book) {
    // What the user typed and has not handed over yet counts as filled.
    books.commitEdits();
    RecordSet &set = books.recordSet();
    const auto masters = BookIntake(books.connection()).enterMasters(book);
    collection::refreshRegisterLists();
    QStringList filled;
    for (const auto &[column, value] : bookColumnValues(book, masters)) {
        if (set.fieldIndex(column) < 0)
            continue;
        const QVariant present = set.value(column);
        if (!present.isNull() && !present.toString().trimmed().isEmpty())
            continue;
        set.setValue(column, value);
        filled << caption(column);
    }
    return filled;
}

} // namespace hondana
