// Lending and taking back books: one borrower at a time, dates in order, overdue judged against
// the day asked, and the lists in Japanese order.
#include "base/Failure.h"
#include "catalogue/BookLoans.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace hondana;
using test::u8;

namespace {

QDate day(int month, int dayOfMonth) {
    return QDate(2026, month, dayOfMonth);
}

// "book:borrower:lent-due-returned" of each loan, as the lists give them.
QStringList described(const QList<Loan> &loans, const QDate &today = {}) {
    QStringList text;
    for (const Loan &loan : loans)
        text << u8("%1:%2:%3-%4-%5%6")
                    .arg(loan.bookRowId)
                    .arg(loan.borrower, loan.lentOn.toString(u"MMdd"), loan.dueOn.toString(u"MMdd"),
                         loan.returnedOn.toString(u"MMdd"),
                         loan.isOverdue(today) ? u8("!") : QString());
    return text;
}

} // namespace

class TestLoans : public QObject {
    Q_OBJECT

    test::DataFolder *m_folder = nullptr;

private Q_SLOTS:
    void init() {
        m_folder = new test::DataFolder;
        test::makeCatalogue(m_folder->path(), 4);
    }
    void cleanup() { delete m_folder; }

    // Book 1 is out to やまだ since 11/01, due 11/15. Each write either goes through or is refused
    // with its reason, leaving the loans as they were.
    void writes_data() {
        test::columns<QString, QString>({"write", "refusal"});
        test::row("lend another book", u8("lend 2 さとう 1110 1124"), QString());
        test::row("lend without a date due", u8("lend 2 さとう 1110 -"), QString());
        test::row("lend a lent book", u8("lend 1 さとう 1120 -"), u8("やまださんに貸出中"));
        test::row("blank borrower", u8("lend 2 \u3000 1110 -"), u8("貸出先を入力"));
        test::row("due before lent", u8("lend 2 さとう 1110 1109"), u8("返却予定日が貸出日より前"));
        test::row("book gone", u8("lend 9 さとう 1110 -"), u8("もうありません"));
        test::row("return", u8("return 1 1116"), QString());
        test::row("return on the day lent", u8("return 1 1101"), QString());
        test::row("return before lent", u8("return 1 1031"), u8("貸出日 2026/11/01 より前"));
        test::row("return a loan that is back", u8("return 2 1120"), u8("もう返却"));
        test::row("return a loan that is gone", u8("return 7 1120"), u8("もうありません"));
        test::row("table refuses a date that is none", u8("sql 2 2026-02-30"), u8("CHECK"));
        test::row("table refuses a second open loan", u8("sql 1 2026-11-02"), u8("UNIQUE"));
    }
    void writes() {
        const QStringList write = test::text("write").split(u' ');
        const QString refusal = test::text("refusal");
        Connection connection(u8("Data Source=TOSHO.MDB;"), m_folder->path());
        connection.open();
        BookLoans loans(connection);
        const qint64 first = loans.lend(1, u8("やまだ"), day(11, 1), day(11, 15));
        const qint64 back = loans.lend(3, u8("すずき"), day(10, 1));
        loans.giveBack(back, day(10, 5));
        const QStringList before = described(loans.history());
        const auto date = [](const QString &text) {
            return text == u8("-") ? QDate() : day(text.left(2).toInt(), text.right(2).toInt());
        };
        QString refused;
        try {
            if (write[0] == u8("lend")) {
                const qint64 id =
                    loans.lend(write[1].toLongLong(), write[2], date(write[3]), date(write[4]));
                QCOMPARE(loans.openLoanOf(write[1].toLongLong())->id, id);
            } else if (write[0] == u8("return")) {
                const qint64 id = write[1] == u8("1") ? first : write[1] == u8("2") ? back : 99;
                loans.giveBack(id, date(write[2]));
                QVERIFY(!loans.openLoanOf(1));
                QCOMPARE(loans.history(1).first().returnedOn, date(write[2]));
            } else {
                QSqlQuery insert(connection.database());
                if (!insert.exec(u8("INSERT INTO loan (book_rowid, borrower, lent_on) VALUES (%1, "
                                    "'x', '%2')")
                                     .arg(write[1], write[2])))
                    refused = insert.lastError().text();
            }
        } catch (const Failure &failure) {
            refused = failure.message();
        }
        QVERIFY2(refused.isEmpty() == refusal.isEmpty() &&
                     (refusal.isEmpty() || refused.contains(refusal)),
                 qPrintable(refused));
        if (!refusal.isEmpty())
            QCOMPARE(described(loans.history()), before);
    }

    // The books out now with the overdue ones marked, the history of a book and of a borrower
    // newest first, and the names lent to in Japanese order (hiragana and katakana alike).
    void listsAndHistory() {
        Connection connection(u8("Data Source=TOSHO.MDB;"), m_folder->path());
        connection.open();
        BookLoans loans(connection);
        loans.giveBack(loans.lend(1, u8("わたなべ"), day(9, 1), day(9, 10)), day(9, 20));
        loans.giveBack(loans.lend(1, u8("カトウ"), day(10, 1)), day(10, 2));
        loans.lend(1, u8("あべ"), day(11, 1), day(11, 15));
        loans.lend(2, u8("わたなべ"), day(11, 3), day(11, 16));
        loans.lend(3, u8("カトウ"), day(11, 4));
        const QDate today = day(11, 16);
        QCOMPARE(described(loans.openLoans(), today),
                 QStringList({u8("1:あべ:1101-1115-!"), u8("2:わたなべ:1103-1116-"),
                              u8("3:カトウ:1104--")}));
        QCOMPARE(described(loans.history(1)),
                 QStringList({u8("1:あべ:1101-1115-"), u8("1:カトウ:1001--1002"),
                              u8("1:わたなべ:0901-0910-0920")}));
        QCOMPARE(described(loans.history(0, u8(" わたなべ "))),
                 QStringList({u8("2:わたなべ:1103-1116-"), u8("1:わたなべ:0901-0910-0920")}));
        QCOMPARE(described(loans.history(3, u8("わたなべ"))), QStringList());
        QCOMPARE(loans.borrowers(), QStringList({u8("あべ"), u8("カトウ"), u8("わたなべ")}));
        // A deleted book takes its loans with it.
        test::exec(connection.database(), u8("DELETE FROM BOOK WHERE rowid = 1"));
        QCOMPARE(loans.history().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLoans)
#include "tst_loans.moc"
