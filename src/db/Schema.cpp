#include "db/Schema.h"

#include <QHash>

namespace hondana::schema {

namespace {

Column integer(const char *name) {
    return {QString::fromUtf8(name), Kind::Integer, 0};
}
Column date(const char *name) {
    return {QString::fromUtf8(name), Kind::Date, 0};
}
Column text(const char *name, int width) {
    return {QString::fromUtf8(name), Kind::Text, width};
}

QList<Table> buildTables() {
    return {
        {QStringLiteral("BOOK"),
         {integer("SEQNO"),      integer("ｻｲｽﾞNO"),    text("ｼﾘｰｽﾞ", 10),  text("管理番号1", 20),
          text("管理番号2", 20), date("購入日"),       integer("全体NO"),  text("題名", 50),
          integer("著者NO"),     text("読書ｽﾀﾝﾌﾟ", 4), text("内容", 100),  integer("発行所NO"),
          date("発行日"),        integer("版数"),      integer("分野NO"),  integer("価格"),
          text("購入先", 40),    text("請求番号", 20), date("読書完了日"), integer("読感ﾗﾝｸ")}},
        {QStringLiteral("BUNYA"), {integer("分野NO"), text("分野名", 50)}},
        {QStringLiteral("CHOSHA"), {integer("著者NO"), text("著者名", 50), text("国", 50)}},
        {QStringLiteral("HAKKOU"), {integer("発行所NO"), text("発行所", 50)}},
        {QStringLiteral("SAIZU"), {integer("ｻｲｽﾞNO"), text("ｻｲｽﾞ名", 30)}},
        {QStringLiteral("DSTMP"), {text("STMPID", 4)}},
        {QStringLiteral("DOUI"), {integer("ID"), date("同意日")}},
    };
}

// STRICT tables refuse a value of the wrong type; the checks keep integers to 32 bits and dates
// to real calendar days without a time of day.
QString columnDefinition(const Column &column) {
    const QString quoted = identifier(column.name);
    switch (column.kind) {
    case Kind::Integer:
        return QStringLiteral("%1 INTEGER CHECK (%1 BETWEEN -2147483648 AND 2147483647)")
            .arg(quoted);
    case Kind::Date:
        return QStringLiteral("%1 TEXT CHECK (%1 IS NULL OR date(%1) IS %1)").arg(quoted);
    case Kind::Text:
        return QStringLiteral("%1 TEXT").arg(quoted);
    }
    return {};
}

QString createTable(const Table &table) {
    QStringList columns;
    for (const Column &column : table.columns)
        columns << columnDefinition(column);
    return QStringLiteral("CREATE TABLE %1 (%2) STRICT").arg(table.name, columns.join(u", "));
}

// The stored queries look the master names up per book, so a book appears exactly once even
// when a master number stands twice in its table (an older backup may bring such rows).
const char *const MasterNames = "(SELECT 著者名 FROM CHOSHA WHERE CHOSHA.著者NO = BOOK.著者NO "
                                "ORDER BY CHOSHA.rowid LIMIT 1) AS 著者名, "
                                "(SELECT 発行所 FROM HAKKOU WHERE HAKKOU.発行所NO = BOOK.発行所NO "
                                "ORDER BY HAKKOU.rowid LIMIT 1) AS 発行所, "
                                "(SELECT 分野名 FROM BUNYA WHERE BUNYA.分野NO = BOOK.分野NO "
                                "ORDER BY BUNYA.rowid LIMIT 1) AS 分野名, "
                                "(SELECT ｻｲｽﾞ名 FROM SAIZU WHERE SAIZU.ｻｲｽﾞNO = BOOK.ｻｲｽﾞNO "
                                "ORDER BY SAIZU.rowid LIMIT 1) AS ｻｲｽﾞ名";

} // namespace

const QList<StoredQuery> &storedQueries() {
    const auto columns = [](const char *list) {
        return QString::fromUtf8(list).split(QStringLiteral(", "));
    };
    static const QList<StoredQuery> queries = {
        {QStringLiteral("TQ1"),
         columns("題名, ｼﾘｰｽﾞ, *, 読書ｽﾀﾝﾌﾟ, SEQNO, 全体NO, 発行日, 購入日, 版数, 管理番号1, "
                 "管理番号2, 内容, 価格, 請求番号, 購入先, 読書完了日, 読感ﾗﾝｸ, 著者NO, 発行所NO, "
                 "分野NO, ｻｲｽﾞNO"),
         BookCondition::Every, columns("題名, SEQNO")},
        {QStringLiteral("TQ2"),
         columns("読書ｽﾀﾝﾌﾟ, 購入日, 題名, ｼﾘｰｽﾞ, SEQNO, *, 管理番号1, 管理番号2, 請求番号"),
         BookCondition::Unread, columns("購入日, 題名, SEQNO")},
        {QStringLiteral("TQ3"),
         columns("*, 題名, ｼﾘｰｽﾞ, 管理番号1, 管理番号2, 請求番号, 購入日, SEQNO, 読書ｽﾀﾝﾌﾟ, "
                 "著者NO"),
         BookCondition::Every, columns("著者NO, 題名, SEQNO")},
    };
    return queries;
}

QString createView(const StoredQuery &query) {
    QStringList columns = query.columns;
    columns.replace(columns.indexOf(QStringLiteral("*")), QString::fromUtf8(MasterNames));
    QString where;
    if (query.condition == BookCondition::Unread)
        where = QStringLiteral("WHERE %1 ").arg(unreadCondition());
    return QStringLiteral("CREATE VIEW %1 AS SELECT %2 FROM BOOK %3ORDER BY %4")
        .arg(query.name, columns.join(QStringLiteral(", ")), where,
             query.order.join(QStringLiteral(", ")));
}

QString unreadCondition() {
    // Restore brings stamps back padded with blanks, so the blanks are not part of the stamp.
    return QStringLiteral("読書ｽﾀﾝﾌﾟ IS NULL OR rtrim(読書ｽﾀﾝﾌﾟ) IN ('', '未')");
}

QStringList masterNameColumns() {
    return {QStringLiteral("著者名"), QStringLiteral("発行所"), QStringLiteral("分野名"),
            QStringLiteral("ｻｲｽﾞ名")};
}

QString identifier(const QString &name) {
    if (!name.contains(QLatin1Char(']')))
        return QLatin1Char('[') + name + QLatin1Char(']');
    // A name that holds a bracket itself can only be written in double quotes.
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

const QList<Table> &catalogueTables() {
    static const QList<Table> tables = buildTables();
    return tables;
}

const Table &table(const QString &name) {
    for (const Table &t : catalogueTables()) {
        if (t.name == name)
            return t;
    }
    static const Table none;
    return none;
}

const Column *findColumn(const QString &name) {
    static const QHash<QString, Column> columns = [] {
        QHash<QString, Column> all;
        for (const Table &t : catalogueTables()) {
            for (const Column &c : t.columns)
                all.insert(c.name, c);
        }
        all.insert(QStringLiteral("TEXT"), Column{QStringLiteral("TEXT"), Kind::Text, 0});
        return all;
    }();
    const auto it = columns.constFind(name);
    return it == columns.constEnd() ? nullptr : &it.value();
}

QStringList catalogueStatements() {
    QStringList statements;
    for (const Table &t : catalogueTables())
        statements << createTable(t);
    // The register reads every book in author, title and number order when it opens. The index
    // of that order carries every other column too, so the read walks it from start to end
    // instead of looking each book up in the table: half the time on a large catalogue.
    QStringList registerOrder = {QStringLiteral("著者NO"), QStringLiteral("題名"),
                                 QStringLiteral("SEQNO")};
    for (const Column &column : table(QStringLiteral("BOOK")).columns) {
        if (!registerOrder.contains(column.name))
            registerOrder << column.name;
    }
    statements << QStringLiteral("CREATE INDEX BOOK_ORDER ON BOOK (%1)")
                      .arg(registerOrder.join(QStringLiteral(", ")));
    // The grouped lists and the searches by master walk these.
    statements << QStringLiteral("CREATE INDEX BOOK_HAKKOU ON BOOK (発行所NO)")
               << QStringLiteral("CREATE INDEX BOOK_BUNYA ON BOOK (分野NO)")
               << QStringLiteral("CREATE INDEX BOOK_SAIZU ON BOOK (ｻｲｽﾞNO)")
               << QStringLiteral("CREATE INDEX CHOSHA_NO ON CHOSHA (著者NO)")
               << QStringLiteral("CREATE INDEX HAKKOU_NO ON HAKKOU (発行所NO)")
               << QStringLiteral("CREATE INDEX BUNYA_NO ON BUNYA (分野NO)")
               << QStringLiteral("CREATE INDEX SAIZU_NO ON SAIZU (ｻｲｽﾞNO)");
    for (const StoredQuery &query : storedQueries())
        statements << createView(query);
    statements << QStringLiteral("INSERT INTO DSTMP (STMPID) VALUES ('未')")
               << QStringLiteral("INSERT INTO DSTMP (STMPID) VALUES ('済')");
    return statements;
}

QStringList versionStatements(const QString &version) {
    QString quoted = version;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return {QStringLiteral("CREATE TABLE VER (VER TEXT) STRICT"),
            QStringLiteral("INSERT INTO VER (VER) VALUES ('%1')").arg(quoted)};
}

QStringList agreementTableStatements() {
    return {QStringLiteral("CREATE TABLE KYODAKU (ID INTEGER, TEXT TEXT) STRICT")};
}

} // namespace hondana::schema
