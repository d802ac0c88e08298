#include "support/Catalogues.h"

#include "support/DataFolder.h"
#include "support/TestSql.h"

#include <QDir>
#include <QFile>

namespace hondana::test {

namespace {

// "INSERT INTO table" with rows for i from 1 to n of the values listed after it.
QString insertRows(const char *table, int n) {
    return QStringLiteral("INSERT INTO %1 WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                          "FROM n WHERE i < %2) SELECT ")
        .arg(QLatin1String(table))
        .arg(n);
}

// Each column is null in every seventh row, a different row for each column.
QString sometimesNull(int column, const QString &value) {
    return "CASE WHEN i % 7 = " + QString::number(column % 7) + " THEN NULL ELSE " + value + " END";
}

// The columns of BOOK in the table's order; the title is never null.
QString bookValues() {
    const QString day = "date('1899-12-30', '+' || (i % 10 * %1) || ' days')";
    const QStringList values = {
        "i % 4 + 1",
        QStringLiteral("i % %1 + 1").arg(Sizes),
        "'第' || (i % 9 + 1) || '巻'",
        "'A-' || i",
        "'棚' || (i % 40)",
        day.arg(4567),
        "i * 3",
        "substr('銀河鉄道の夜 ｶﾞｲﾄﾞ 髙﨑 ソ表 C++ ', i % 9 + 1) || i",
        QStringLiteral("i % %1 + 1").arg(Authors),
        "CASE i % 4 WHEN 0 THEN '' WHEN 1 THEN '*' WHEN 2 THEN '未' ELSE '済' END",
        "'ｶﾀｶﾅと①～＼の話 ' || i",
        QStringLiteral("i % %1 + 1").arg(Publishers),
        day.arg(3989),
        "i % 30 - 1",
        QStringLiteral("i % %1 + 1").arg(Categories),
        "i * 173 % 30000",
        "'駅前書店～ひなた～'",
        "'913.' || i",
        "date('2020-01-01', '-' || i || ' days')",
        "i % 5 - 1"};
    QStringList select;
    for (int column = 0; column < values.size(); ++column)
        select << (column == 7 ? values[column] : sometimesNull(column, values[column]));
    return select.join(", ");
}

} // namespace

void makeCatalogue(const QString &folder, int books, bool accepted, const QString &fileName) {
    const QString path = QDir(folder).filePath(fileName);
    QFile::remove(path);
    if (!QFile::copy(QDir(DataFolder::shippedDataDir()).filePath("TOSHOINI.MDB"), path))
        qFatal("cannot copy the starting catalogue");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const SqlFile catalogue(path);
    const QString name = sometimesNull(1, "'髙橋　' || i");
    catalogue.exec(insertRows("CHOSHA", Authors) + "i, " + name + ", " +
                   sometimesNull(2, "'ｲﾀﾘｱ'") + " FROM n");
    for (const auto &[table, rows] : {std::pair{"HAKKOU", Publishers},
                                      std::pair{"BUNYA", Categories}, std::pair{"SAIZU", Sizes}})
        catalogue.exec(insertRows(table, rows) + "i, " + name + " FROM n");
    if (books > 0)
        catalogue.exec(insertRows("BOOK", books) + bookValues() + " FROM n");
    if (accepted)
        catalogue.exec("INSERT INTO DOUI (ID) VALUES (1)");
}

void writeVersionDatabase(const QString &folder, const QString &version, const QString &fileName) {
    const QString path = QDir(folder).filePath(fileName);
    QFile::remove(path);
    const SqlFile database(path);
    database.exec("CREATE TABLE VER (VER TEXT) STRICT");
    if (version == NullVersion)
        database.exec("INSERT INTO VER (VER) VALUES (NULL)");
    else if (version != NoRow)
        database.exec(QStringLiteral("INSERT INTO VER (VER) VALUES ('%1')").arg(version));
}

} // namespace hondana::test
