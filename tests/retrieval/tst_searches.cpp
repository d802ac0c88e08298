// The three searches and the unread list: the filter each search installs, what it finds, and
// the screens' behaviour around it.
#include "RetrievalFixture.h"

#include "retrieval/QueryScreenDescription.h"

#include <QtTest>

using namespace hondana;

namespace {

const QueryScreenDescription &describe(const QString &form) {
    for (const QueryScreenDescription &d : searchDescriptions())
        if (d.formName == form)
            return d;
    qFatal("no search %s", qPrintable(form));
}

// What was typed, by box name ("KANRI1=12;KANRI2=7"), in the description's order of inputs.
QStringList typedInto(const QueryScreenDescription &d, const QString &boxes) {
    QStringList typed;
    for (const SearchInput &input : d.inputs) {
        QString text;
        for (const QString &box : boxes.split(u';'))
            if (box.startsWith(input.name + u'='))
                text = box.mid(input.name.size() + 1);
        typed << text;
    }
    return typed;
}

} // namespace

class TestSearches : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filterText_data();
    void filterText();
};

void TestSearches::filterText_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("title") << "DAIMEIQ"
                           << "DAIMEI=ABC"
                           << "題名 LIKE 'ABC*' ";
    QTest::newRow("author") << "CHOSHAQ"
                            << "CHOSHA=森"
                            << "著者名 LIKE '森*' ";
    QTest::newRow("blanks only") << "DAIMEIQ"
                                 << "DAIMEI=  "
                                 << "題名 LIKE '  *' ";
    QTest::newRow("apostrophe doubled") << "CHOSHAQ"
                                        << "CHOSHA=O'Brien"
                                        << "著者名 LIKE 'O''Brien*' ";
    QTest::newRow("wildcards as typed") << "DAIMEIQ"
                                        << "DAIMEI=*?#[]%"
                                        << "題名 LIKE '*?#[]%*' ";
    QTest::newRow("title empty") << "DAIMEIQ"
                                 << ""
                                 << "";
    QTest::newRow("number 2 only") << "KANRIQ"
                                   << "KANRI2=7"
                                   << "(管理番号2 LIKE '7*')";
    QTest::newRow("numbers 1 and 2") << "KANRIQ"
                                     << "KANRI2=7;KANRI1=12"
                                     << "(管理番号1 LIKE '12*') AND (管理番号2 LIKE '7*')";
    QTest::newRow("call number first")
        << "KANRIQ"
        << "KANRI1=1;KANRI2=2;SEIKYU=C"
        << "(請求番号 LIKE 'C*') AND (管理番号1 LIKE '1*') AND (管理番号2 LIKE '2*')";
    QTest::newRow("call number and 2") << "KANRIQ"
                                       << "KANRI2=2;SEIKYU=C"
                                       << "(請求番号 LIKE 'C*') AND (管理番号2 LIKE '2*')";
    QTest::newRow("numbers empty") << "KANRIQ"
                                   << ""
                                   << "";
}

void TestSearches::filterText() {
    QFETCH(QString, form);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    const QueryScreenDescription &d = describe(form);
    QCOMPARE(searchFilter(d, typedInto(d, typed)), expected);
}

QTEST_MAIN(TestSearches)
#include "tst_searches.moc"
