// The staged data set is what a new data folder starts with, so it must hold everything start-up,
// the agreement screen, the data screens and the help window open before the user has typed
// anything. Every check runs on a copy of the set, the way a user's folder is made.

#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "core/Configuration.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "support/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace hondana;

namespace {

QStringList words(const char *text) {
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

// A missing or broken file makes the checks below see nothing, so they fail with the file named
// instead of ending the whole test run.
QString openInFolder(const QString &name) {
    try {
        return openDatabaseFile(files::resolve(name), QStringLiteral("check"));
    } catch (const Failure &failure) {
        qWarning("%s", qPrintable(failure.message()));
        return {};
    }
}

// Runs `sql` on the database file `name` of the current folder and returns the first column of
// every row.
QVariantList column(const QString &name, const QString &sql) {
    const QString connection = openInFolder(name);
    if (connection.isEmpty())
        return {};
    QVariantList values;
    {
        QSqlQuery query(QSqlDatabase::database(connection, false));
        if (!query.exec(sql))
            qWarning() << sql << query.lastError().text();
        while (query.next())
            values << query.value(0);
    }
    closeDatabase(connection);
    return values;
}

QStringList fieldNames(const QString &database, const QString &source) {
    const QString connection = openInFolder(database);
    if (connection.isEmpty())
        return {};
    QStringList names;
    {
        const QSqlRecord record = QSqlDatabase::database(connection, false).record(source);
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
    }
    closeDatabase(connection);
    return names;
}

QStringList asStrings(const QVariantList &values) {
    QStringList strings;
    for (const QVariant &v : values)
        strings << v.toString();
    return strings;
}

const QString HelpMap = files::HelpFolder + QStringLiteral("/context.map");

using Sources = QList<std::pair<const char *, QStringList>>;

// One row per table or query and catalogue template: both templates must serve the screens.
void addTemplateRows(const Sources &sources) {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("columns");
    for (const QString &database : {files::CatalogueTemplate, files::RestoreTemplate}) {
        for (const auto &[source, columns] : sources)
            QTest::addRow("%s %s", qPrintable(database), source)
                << database << QString::fromLatin1(source) << columns;
    }
}

} // namespace

class ShippedData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyFileIsThere_data();
    void everyFileIsThere();
    void templatesHoldTheCatalogueTables_data();
    void templatesHoldTheCatalogueTables();
    void storedQueriesDeliverWhatTheScreensBind_data();
    void storedQueriesDeliverWhatTheScreensBind();
    void templatesStartWithStampsAndNoAcceptance_data();
    void templatesStartWithStampsAndNoAcceptance();
    void versionTemplateHoldsTheCurrentVersion();
    void agreementIsReadableThroughItsLink();
    void connectionStringsReachTheirFiles_data();
    void connectionStringsReachTheirFiles();
    void unreadListCountsStamps_data();
    void unreadListCountsStamps();
    void helpContextsAndLinksResolve();
};

void ShippedData::everyFileIsThere_data() {
    QTest::addColumn<QString>("name");
    for (const QString &name :
         {files::CatalogueTemplate, files::RestoreTemplate, files::VersionTemplate,
          files::AgreementDatabase, files::Configuration, files::CatalogueLink,
          files::AgreementLink, HelpMap})
        QTest::newRow(qPrintable(name)) << name;
}

void ShippedData::everyFileIsThere() {
    QFETCH(QString, name);
    const QFileInfo info(QDir(test::DataFolder::shippedDataDir()).filePath(name));
    QVERIFY2(info.isFile(), qPrintable(info.filePath()));
    QVERIFY(info.size() > 0);
}

void ShippedData::templatesHoldTheCatalogueTables_data() {
    const Sources tables = {
        {"BOOK", words("SEQNO ｻｲｽﾞNO ｼﾘｰｽﾞ 管理番号1 管理番号2 購入日 全体NO 題名 著者NO "
                       "読書ｽﾀﾝﾌﾟ 内容 発行所NO 発行日 版数 分野NO 価格 購入先 請求番号 "
                       "読書完了日 読感ﾗﾝｸ")},
        {"BUNYA", words("分野NO 分野名")},
        {"CHOSHA", words("著者NO 著者名 国")},
        {"HAKKOU", words("発行所NO 発行所")},
        {"SAIZU", words("ｻｲｽﾞNO ｻｲｽﾞ名")},
        {"DSTMP", words("STMPID")},
    };
    addTemplateRows(tables);
}

void ShippedData::templatesHoldTheCatalogueTables() {
    QFETCH(QString, database);
    QFETCH(QString, source);
    QFETCH(QStringList, columns);
    const QString &table = source;
    test::DataFolder folder;
    QCOMPARE(fieldNames(database, table), columns);
    if (table != QLatin1String("DSTMP"))
        QCOMPARE(column(database, QStringLiteral("SELECT count(*) FROM ") + table).value(0), 0);
    // A table without STRICT would take a word into a number column and the backup would cut it.
    const QVariantList strict =
        column(database,
               QStringLiteral("SELECT strict FROM pragma_table_list WHERE name = '%1'").arg(table));
    QCOMPARE(strict, QVariantList{1});
}

void ShippedData::storedQueriesDeliverWhatTheScreensBind_data() {
    const Sources queries = {
        {"TQ1", words("題名 ｼﾘｰｽﾞ 著者名 発行所 分野名 読書ｽﾀﾝﾌﾟ SEQNO 全体NO 発行日 購入日 版数 "
                      "管理番号1 管理番号2 内容 価格 請求番号 購入先 読書完了日 読感ﾗﾝｸ ｻｲｽﾞ名")},
        {"TQ2", words("読書ｽﾀﾝﾌﾟ 購入日 題名 ｼﾘｰｽﾞ SEQNO 著者名 発行所 分野名 管理番号1 管理番号2 "
                      "請求番号")},
        {"TQ3", words("著者名 題名 ｼﾘｰｽﾞ 管理番号1 管理番号2 請求番号 購入日 SEQNO 発行所 分野名 "
                      "読書ｽﾀﾝﾌﾟ")},
    };
    addTemplateRows(queries);
}

void ShippedData::storedQueriesDeliverWhatTheScreensBind() {
    QFETCH(QString, database);
    QFETCH(QString, source);
    QFETCH(QStringList, columns);
    const QString &query = source;
    test::DataFolder folder;
    const QStringList delivered = fieldNames(database, query);
    for (const QString &name : columns)
        QVERIFY2(delivered.contains(name), qPrintable(query + QLatin1Char(' ') + name));
    // The query must run, not only parse: a view naming a missing column fails here.
    QCOMPARE(column(database, QStringLiteral("SELECT count(*) FROM ") + query).value(0), 0);
}

void ShippedData::templatesStartWithStampsAndNoAcceptance_data() {
    QTest::addColumn<QString>("database");
    QTest::newRow("TOSHOINI") << files::CatalogueTemplate;
    QTest::newRow("TOSHODEF") << files::RestoreTemplate;
}

void ShippedData::templatesStartWithStampsAndNoAcceptance() {
    QFETCH(QString, database);
    test::DataFolder folder;
    QCOMPARE(asStrings(column(database, QStringLiteral("SELECT name FROM sqlite_schema WHERE "
                                                       "type = 'table' ORDER BY name"))),
             words("BOOK BUNYA CHOSHA DOUI DSTMP HAKKOU SAIZU"));
    QCOMPARE(asStrings(column(database, QStringLiteral("SELECT STMPID FROM DSTMP ORDER BY rowid"))),
             words("未 済"));
    QCOMPARE(column(database, QStringLiteral("SELECT count(*) FROM DOUI")).value(0), 0);
}

void ShippedData::versionTemplateHoldsTheCurrentVersion() {
    test::DataFolder folder;
    const QVariantList versions =
        column(files::VersionTemplate, QStringLiteral("SELECT VER FROM VER"));
    QCOMPARE(versions, QVariantList{QStringLiteral("1.02")});
    QCOMPARE(versions.value(0).toString(), AppState::CurrentVersion);
}

void ShippedData::agreementIsReadableThroughItsLink() {
    test::DataFolder folder;
    Connection link(QStringLiteral("FILE NAME=") + files::AgreementLink);
    link.open();
    QSqlQuery query(link.database());
    QVERIFY(query.exec(QStringLiteral("select ID,TEXT from KYODAKU")));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), 1);
    const QString text = query.value(1).toString();
    QVERIFY(text.contains(QStringLiteral("ソフトウェア使用許諾契約書")));
    QVERIFY(text.contains(QStringLiteral("同意しない")));
    QVERIFY2(!text.contains(QLatin1Char('\r')), "the text box wants one kind of line end");
    QVERIFY(!query.next());
}

void ShippedData::connectionStringsReachTheirFiles_data() {
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("file");
    QTest::newRow("JETDB.VER") << QString() << files::Catalogue;
    QTest::newRow("Karobu.udl") << QStringLiteral("FILE NAME=Karobu.udl") << files::Catalogue;
    QTest::newRow("KYODAKU.udl") << QStringLiteral("FILE NAME=KYODAKU.udl")
                                 << files::AgreementDatabase;
}

// The agreement screen holds its link open while an upgrade replaces the catalogue and the
// version database, so only the catalogue's links may name TOSHO.MDB.
void ShippedData::connectionStringsReachTheirFiles() {
    QFETCH(QString, connectionString);
    QFETCH(QString, file);
    test::DataFolder folder;
    if (connectionString.isEmpty())
        connectionString = readConfigurationLine();
    const ConnectionTarget target = parseConnectionString(connectionString);
    QCOMPARE(target.dataSource.toUpper(), file.toUpper());
    QVERIFY(!target.shaping);
    folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
    Connection connection(connectionString);
    connection.open();
    QCOMPARE(QFileInfo(connection.filePath()).fileName().toUpper(), file.toUpper());
}

void ShippedData::unreadListCountsStamps_data() {
    QTest::addColumn<QVariant>("stamp");
    QTest::addColumn<bool>("unread");
    QTest::newRow("未") << QVariant(QStringLiteral("未")) << true;
    QTest::newRow("未 padded") << QVariant(QStringLiteral("未  ")) << true;
    QTest::newRow("empty") << QVariant(QStringLiteral("")) << true;
    QTest::newRow("blanks") << QVariant(QStringLiteral("  ")) << true;
    QTest::newRow("null") << QVariant(QMetaType(QMetaType::QString)) << true;
    QTest::newRow("済") << QVariant(QStringLiteral("済")) << false;
    QTest::newRow("済 padded") << QVariant(QStringLiteral("済  ")) << false;
    QTest::newRow("*") << QVariant(QStringLiteral("*")) << false;
}

void ShippedData::unreadListCountsStamps() {
    QFETCH(QVariant, stamp);
    QFETCH(bool, unread);
    test::DataFolder folder;
    folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
    const QString connection =
        openDatabaseFile(files::resolve(files::Catalogue), QStringLiteral("stamps"));
    {
        QSqlQuery query(QSqlDatabase::database(connection, false));
        QVERIFY(query.prepare(QStringLiteral(
            "INSERT INTO BOOK (SEQNO, 題名, 著者NO, 読書ｽﾀﾝﾌﾟ) VALUES (1, 'テスト', 1, ?)")));
        query.addBindValue(stamp);
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
        QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM TQ2")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), unread ? 1 : 0);
        // The other queries list every book whatever its stamp.
        QVERIFY(query.exec(QStringLiteral("SELECT (SELECT count(*) FROM TQ1), "
                                          "(SELECT count(*) FROM TQ3)")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QCOMPARE(query.value(1).toInt(), 1);
    }
    closeDatabase(connection);
}

// The help window opens the topic the context map names; a topic or a link between pages that
// leads nowhere would leave the user with an error page.
void ShippedData::helpContextsAndLinksResolve() {
    test::DataFolder folder;
    const QDir help(folder.filePath(files::HelpFolder));
    QFile map(help.filePath(QStringLiteral("context.map")));
    QVERIFY(map.open(QIODevice::ReadOnly));
    QStringList contexts;
    QStringList pages;
    for (const QByteArray &line : map.readAll().split('\n')) {
        const QStringList fields =
            QString::fromUtf8(line).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        QCOMPARE(fields.size(), 2);
        contexts << fields[0];
        pages << fields[1];
    }
    QVERIFY(contexts.contains(QStringLiteral("1")));
    QVERIFY(contexts.contains(QStringLiteral("2")));

    // A link names a page, a place in a page ("page.html#id"), or a place in its own page ("#id").
    const QRegularExpression link(QStringLiteral(R"((?:href|src)="([^"#:]*)(?:#([^"]*))?")"));
    const QStringList html = help.entryList({QStringLiteral("*.html")}, QDir::Files);
    QVERIFY(html.contains(QStringLiteral("index.html")));
    QHash<QString, QString> texts;
    QList<std::pair<QString, QString>> places;
    for (const QString &page : html) {
        QFile file(help.filePath(page));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QStringLiteral("charset=\"utf-8\"")), qPrintable(page));
        texts.insert(page, text);
        for (const QRegularExpressionMatch &m : link.globalMatch(text)) {
            const QString target = m.captured(1).isEmpty() ? page : m.captured(1);
            pages << target;
            if (!m.captured(2).isEmpty())
                places.append({target, m.captured(2)});
        }
    }
    for (const QString &page : pages)
        QVERIFY2(help.exists(page), qPrintable(page));
    for (const auto &[page, id] : places) {
        QVERIFY2(texts.value(page).contains(QStringLiteral("id=\"%1\"").arg(id)),
                 qPrintable(page + QLatin1Char('#') + id));
    }
}

QTEST_GUILESS_MAIN(ShippedData)
#include "tst_shippeddata.moc"
