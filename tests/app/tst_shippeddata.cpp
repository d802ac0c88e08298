// The staged data set is what a new data folder starts with, so it must hold everything start-up,
// the agreement screen, the data screens and the help window open before the user has typed
// anything. Every check runs on a copy of the set, the way a user's folder is made.

#include "base/FileNames.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QtTest>

using namespace hondana;
using test::DataFolder;
using test::SqlFile;
using test::u8;

namespace {

QStringList words(const char *text) {
    return u8(text).split(QLatin1Char(' '));
}

QStringList fieldNames(const SqlFile &database, const QString &source) {
    const QSqlRecord record = database.database().record(source);
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

} // namespace

class ShippedData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void templatesServeTheScreens_data();
    void templatesServeTheScreens();
    void helpContextsAndLinksResolve();
};

// Both catalogue templates hold every table with its columns in order, and every stored query
// delivers what the screens bind and runs, not only parses. (That every shipped file is there and
// opens is shown by the tests of start-up, the agreement, restore and help, which open them.)
void ShippedData::templatesServeTheScreens_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("columns");
    const QList<std::pair<const char *, const char *>> sources = {
        {"BOOK", "SEQNO ｻｲｽﾞNO ｼﾘｰｽﾞ 管理番号1 管理番号2 購入日 全体NO 題名 著者NO 読書ｽﾀﾝﾌﾟ 内容 "
                 "発行所NO 発行日 版数 分野NO 価格 購入先 請求番号 読書完了日 読感ﾗﾝｸ"},
        {"BUNYA", "分野NO 分野名"},
        {"CHOSHA", "著者NO 著者名 国"},
        {"HAKKOU", "発行所NO 発行所"},
        {"SAIZU", "ｻｲｽﾞNO ｻｲｽﾞ名"},
        {"DSTMP", "STMPID"},
        {"TQ1",
         "題名 ｼﾘｰｽﾞ 著者名 発行所 分野名 読書ｽﾀﾝﾌﾟ SEQNO 全体NO 発行日 購入日 版数 管理番号1 "
         "管理番号2 内容 価格 請求番号 購入先 読書完了日 読感ﾗﾝｸ ｻｲｽﾞ名"},
        {"TQ2",
         "読書ｽﾀﾝﾌﾟ 購入日 題名 ｼﾘｰｽﾞ SEQNO 著者名 発行所 分野名 管理番号1 管理番号2 請求番号"},
        {"TQ3",
         "著者名 題名 ｼﾘｰｽﾞ 管理番号1 管理番号2 請求番号 購入日 SEQNO 発行所 分野名 読書ｽﾀﾝﾌﾟ"},
    };
    for (const QString &database : {files::CatalogueTemplate, files::RestoreTemplate}) {
        for (const auto &[source, columns] : sources)
            QTest::addRow("%s %s", qPrintable(database), source)
                << database << u8(source) << words(columns);
    }
}

void ShippedData::templatesServeTheScreens() {
    QFETCH(QString, database);
    QFETCH(QString, source);
    QFETCH(QStringList, columns);
    DataFolder folder;
    const SqlFile file(folder.filePath(database));
    const QStringList delivered = fieldNames(file, source);
    if (source.startsWith(u8("TQ"))) {
        for (const QString &name : columns)
            QVERIFY2(delivered.contains(name), qPrintable(name));
    } else {
        QCOMPARE(delivered, columns);
        // Without STRICT a word would go into a number column and the backup would cut it.
        QCOMPARE(
            file.value(u8("SELECT strict FROM pragma_table_list WHERE name = '%1'").arg(source)),
            QVariant(1));
    }
    // Every list starts empty but the reading stamps the register offers.
    QCOMPARE(
        file.value(u8("SELECT coalesce(group_concat(%1, ' '), '') FROM %2").arg(columns[0], source))
            .toString(),
        source == u8("DSTMP") ? u8("未 済") : QString());
}

// The help window opens the topic the context map names; a topic or a link between pages that
// leads nowhere would leave the user with an error page.
void ShippedData::helpContextsAndLinksResolve() {
    DataFolder folder;
    const QDir help(folder.filePath(files::HelpFolder));
    QStringList pages;
    for (const QByteArray &line : test::contents(help.filePath(u8("context.map"))).split('\n')) {
        const QStringList fields =
            QString::fromUtf8(line).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        QCOMPARE(fields.size(), 2);
        pages << fields[1];
    }

    // A link names a page, a place in a page ("page.html#id"), or a place in its own page ("#id").
    const QRegularExpression link(u8(R"((?:href|src)="([^"#:]*)(?:#([^"]*))?")"));
    const QStringList html = help.entryList({u8("*.html")}, QDir::Files);
    QVERIFY(html.contains(u8("index.html")));
    QHash<QString, QString> texts;
    QList<std::pair<QString, QString>> places;
    for (const QString &page : html) {
        const QString text = QString::fromUtf8(test::contents(help.filePath(page)));
        QVERIFY2(text.contains(u8("charset=\"utf-8\"")), qPrintable(page));
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
    for (const auto &[page, id] : places)
        QVERIFY2(texts.value(page).contains(u8("id=\"%1\"").arg(id)), qPrintable(page + '#' + id));
}

QTEST_GUILESS_MAIN(ShippedData)
#include "tst_shippeddata.moc"
