#include "catalogue/MasterRules.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace hondana::masters {

namespace {

const QString BookTable = QStringLiteral("BOOK");

QVariant scalar(Connection &connection, const QString &sql, const QVariantList &values) {
    QSqlQuery q(connection.database());
    q.prepare(sql);
    for (const QVariant &value : values)
        q.addBindValue(value);
    if (!q.exec())
        throw Failure(QStringLiteral("マスターを確かめられません: %1")
                          .arg(describeSqlError(q.lastError().text())));
    return q.next() ? q.value(0) : QVariant();
}

QVariant storedNumber(Connection &connection, const MasterKey &key, qint64 rowId) {
    if (rowId == 0)
        return {};
    return scalar(connection,
                  QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                      .arg(schema::identifier(key.numberColumn), schema::identifier(key.table)),
                  {rowId});
}

// The books that would lose their master if row `rowId` stopped holding `number`: none while
// another row of the list holds it too.
qint64 booksRelyingOn(Connection &connection, const MasterKey &key, qint64 number, qint64 rowId) {
    const QString column = schema::identifier(key.numberColumn);
    const qint64 sameNumber =
        scalar(connection,
               QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ? AND rowid <> ?")
                   .arg(schema::identifier(key.table), column),
               {number, rowId})
            .toLongLong();
    if (sameNumber > 0)
        return 0;
    return scalar(connection,
                  QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                      .arg(schema::identifier(BookTable), column),
                  {number})
        .toLongLong();
}

void refuseWhileBooksRely(Connection &connection, const MasterKey &key, const QVariant &number,
                          qint64 rowId, const QString &refused) {
    if (number.isNull())
        return;
    const qint64 books = booksRelyingOn(connection, key, number.toLongLong(), rowId);
    if (books > 0)
        throw Failure(QStringLiteral("%1 %2 は %3 冊の蔵書が使っているため%4。"
                                     "先に蔵書登録でそれらの蔵書の%1を変えてください。")
                          .arg(key.numberColumn)
                          .arg(number.toLongLong())
                          .arg(books)
                          .arg(refused));
}

// A row whose number did not change passes, so lists restored from an older installation with
// a number twice stay editable.
void checkUniqueNumber(Connection &connection, const MasterKey &key, const QVariant &number,
                       qint64 rowId) {
    if (number.isNull())
        return;
    const QVariant stored = storedNumber(connection, key, rowId);
    if (!stored.isNull() && stored.toLongLong() == number.toLongLong())
        return;
    const qint64 others =
        scalar(connection,
               QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ? AND rowid <> ?")
                   .arg(schema::identifier(key.table), schema::identifier(key.numberColumn)),
               {number.toLongLong(), rowId})
            .toLongLong();
    if (others > 0)
        throw Failure(QStringLiteral("%1 %2 はすでに使われています。別の番号を入力してください。")
                          .arg(key.numberColumn)
                          .arg(number.toLongLong()));
}

} // namespace

void checkSavable(Connection &connection, const MasterKey &key, const QVariant &number,
                  qint64 rowId) {
    // A backup leaves a row without a number out, so it would be lost at the next restore.
    if (number.isNull())
        throw Failure(QStringLiteral("%1 を入力してください。番号のない行は保存できません。")
                          .arg(key.numberColumn));
    const QVariant stored = storedNumber(connection, key, rowId);
    if (!stored.isNull() && stored.toLongLong() != number.toLongLong())
        refuseWhileBooksRely(connection, key, stored, rowId,
                             QStringLiteral("番号を変えられません"));
    checkUniqueNumber(connection, key, number, rowId);
}

void checkNotReferenced(Connection &connection, const MasterKey &key, const QVariant &number,
                        qint64 rowId) {
    refuseWhileBooksRely(connection, key, number, rowId, QStringLiteral("削除できません"));
}

void guardMasterList(RecordSet &list, Connection &connection, const MasterKey &key) {
    list.setSaveCheck([&list, &connection, key] {
        checkSavable(connection, key, list.value(key.numberColumn), list.currentRowId());
    });
    list.setDeleteCheck([&list, &connection, key] {
        checkNotReferenced(connection, key, list.value(key.numberColumn), list.currentRowId());
    });
}

} // namespace hondana::masters
