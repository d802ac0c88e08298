// The import window as a user drives it: a file named in its field, the report of what importing
// would do, and the books it adds once the user says yes.
#include "importing/ImportWindow.h"
#include "support/Catalogues.h"
#include "support/Controls.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace hondana;
using test::u8;

class TestImporting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importsTheFileNamed_data();
    void importsTheFileNamed();
};

void TestImporting::importsTheFileNamed_data() {
    // `report`: what the report says before importing; `added`: the titles the catalogue gains
    test::columns<QString, QStringList, QStringList>({"file", "report", "added"});
    test::row(
        "a row refused",
        u8("題名,著者名,購入日\n雪国,川端康成,2024/4/1\n千羽鶴,川端康成,2024/02/30\n"),
        QStringList{
            u8("追加する本: 1 冊"), u8("取り込めない行: 1 件"),
            u8("3 行目 購入日「2024/02/30」: 「購入日」の「2024/02/30」はありえない日付です。")},
        QStringList{u8("雪国")});
    test::row("every row refused", u8("題名,価格\n雪国,千円\n千羽鶴,千五百円\n"),
              QStringList{u8("追加する本: 0 冊"), u8("取り込めない行: 2 件"),
                          u8("2 行目 価格「千円」: 「価格」には整数を数字で"),
                          u8("3 行目 価格「千五百円」: 「価格」には整数を数字で")},
              QStringList{});
}

void TestImporting::importsTheFileNamed() {
    test::DataFolder folder;
    test::makeCatalogue(folder.path(), 3);
    test::writeFile(folder.filePath("books.csv"), test::text("file").toUtf8());
    test::MessageRecorder messages;
    messages.answers = {true};
    ImportWindow window;
    window.show();
    auto *field = test::control<QLineEdit>(&window, "txtFile");
    QTest::keyClicks(field, folder.filePath("books.csv"));
    QTest::keyClick(field, Qt::Key_Return);
    const QString report = test::control<QPlainTextEdit>(&window, "txtReport")->toPlainText();
    for (const QString &said : test::cell<QStringList>("report"))
        QVERIFY2(report.contains(said), qPrintable(report));

    const QStringList added = test::cell<QStringList>("added");
    test::click(&window, "cmdImport");
    test::SqlFile catalogue(folder.filePath("TOSHO.MDB"));
    QStringList titles;
    for (const QVariantList &row : catalogue.rows("SELECT 題名 FROM BOOK WHERE rowid > 3"))
        titles << row.first().toString();
    QCOMPARE(titles, added);
    if (added.isEmpty()) {
        QVERIFY(!test::control<QPushButton>(&window, "cmdImport")->isEnabled());
        QVERIFY(messages.texts.isEmpty());
    } else {
        QCOMPARE(messages.texts.size(), 2);
        QVERIFY(messages.texts.first().startsWith(u8("%1 冊を取り込みます").arg(added.size())));
        QVERIFY(messages.texts.last().startsWith(u8("%1 冊を追加しました").arg(added.size())));
    }
}

QTEST_MAIN(TestImporting)
#include "tst_importing.moc"
