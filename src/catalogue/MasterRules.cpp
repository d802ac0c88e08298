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

} // namespace

void checkUniqueNumber(Connection &connection, const MasterKey &key, const QVariant &number,
                       qint64 rowId) {
    if (number.isNull())
        return;
    const QString column = schema::identifier(key.numberColumn);
    const QString table = schema::identifier(key.table);
    if (rowId != 0) {
        const QVariant stored =
            scalar(connection,
                   QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(column, table), {rowId});
        if (!stored.isNull() && stored.toLongLong() == number.toLongLong())
            return;
    }
    const qint64 others =
        scalar(connection,
               QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ? AND rowid <> ?")
                   .arg(table, column),
               {number.toLongLong(), rowId})
            .toLongLong();
    if (others > 0)
        throw Failure(QStringLiteral("%1 %2 はすでに使われています。別の番号を入力してください。")
                          .arg(key.numberColumn)
                          .arg(number.toLongLong()));
}

void checkNotReferenced(Connection &connection, const MasterKey &key, const QVariant &number,
                        qint64 rowId) {
    if (number.isNull())
        return;
    const QString column = schema::identifier(key.numberColumn);
    const qint64 sameNumber =
        scalar(connection,
               QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ? AND rowid <> ?")
                   .arg(schema::identifier(key.table), column),
               {number.toLongLong(), rowId})
            .toLongLong();
    if (sameNumber > 0)
        return; // the books keep their master in the other row
    const qint64 books = scalar(connection,
                                QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                                    .arg(schema::identifier(BookTable), column),
                                {number.toLongLong()})
                             .toLongLong();
    if (books > 0)
        throw Failure(QStringLiteral("%1 %2 は %3 冊の蔵書が使っているため削除できません。"
                                     "先に蔵書登録でそれらの蔵書の%1を変えてください。")
                          .arg(key.numberColumn)
                          .arg(number.toLongLong())
                          .arg(books));
}

void guardMasterList(RecordSet &list, Connection &connection, const MasterKey &key) {
    list.setSaveCheck([&list, &connection, key] {
        checkUniqueNumber(connection, key, list.value(key.numberColumn), list.currentRowId());
    });
    list.setDeleteCheck([&list, &connection, key] {
        checkNotReferenced(connection, key, list.value(key.numberColumn), list.currentRowId());
    });
}

} // namespace hondana::masters
