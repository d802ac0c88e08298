#include "db/TableIndexes.h"

#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <sqlite3.h>

namespace hondana::sqlite {

QList<IndexDefinition> dropIndexes(sqlite3 *handle, const QStringList &tables,
                                   const QString &context) {
    QList<IndexDefinition> indexes;
    {
        Statement query(handle,
                        QStringLiteral("SELECT name, tbl_name, sql FROM sqlite_schema WHERE type "
                                       "= 'index' AND sql IS NOT NULL AND tbl_name IN ('%1')")
                            .arg(tables.join(QStringLiteral("', '"))),
                        context);
        while (query.step() == SQLITE_ROW) {
            auto text = [&](int column) {
                return QByteArray(
                    reinterpret_cast<const char *>(sqlite3_column_text(query.get(), column)));
            };
            indexes.append({QString::fromUtf8(text(0)), QString::fromUtf8(text(1)), text(2)});
        }
    }
    for (const IndexDefinition &index : indexes) {
        const QByteArray drop = "DROP INDEX " + schema::identifier(index.name).toUtf8();
        execute(handle, drop.constData(), context);
    }
    return indexes;
}

void createIndexes(sqlite3 *handle, const QList<IndexDefinition> &indexes) {
    for (const IndexDefinition &index : indexes)
        execute(handle, index.sql.constData(),
                QStringLiteral("%1 表の索引「%2」を作れません").arg(index.table, index.name));
}

} // namespace hondana::sqlite
