// The wish list's window as a user drives it: a wish typed by hand, one from a look-up, and the
// offer to strike a wish once the shelf scan registers the book.
#include "lookup/LookupSettings.h"
#include "scan/ScannedBooks.h"
#include "scan/ShelfScanWindow.h"
#include "support/Catalogues.h"
#include "support/Controls.h"
#include "support/DataFolder.h"
#include "support/LocalSruServer.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "widgets/WindowRegistry.h"
#include "wishes/WishEditDialog.h"
#include "wishes/WishListModel.h"
#include "wishes/WishListWindow.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace hondana;
using test::LocalSruServer;
using test::u8;

namespace {

const QString Found = QStringLiteral("9784101010014"); // 吾輩は猫である, 夏目 漱石

// Fills the editor when it opens (it runs modal, so from a timer) with what `fill` types, then
// presses OK.
void answerEditor(const std::function<void(WishEditDialog *)> &fill) {
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, fill] {
        auto *editor = qobject_cast<WishEditDialog *>(QApplication::activeModalWidget());
        if (!editor)
            return;
        poll->deleteLater();
        fill(editor);
        test::click(editor, u8("cmdOk"));
    });
    poll->start(20);
}

QStringList shownTitles(WishListWindow &window) {
    QStringList titles;
    for (const Wish &wish : window.model().wishes())
        titles << wish.title + u8("/") + wish.author;
    return titles;
}

} // namespace

class TestWishListWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addsByHandAndByLookupAndStrikesWhenRegistered() {
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 3);
        LocalSruServer server;
        server.answer(Found, {LocalSruServer::recorded("sru-found.xml")});
        qputenv(LookupSettings::AddressVariable, server.address().toUtf8());
        LookupSettings().setConsent(true);
        test::MessageRecorder messages;

        // Opened by name, as the menu does, so the strike below finds it.
        registerWishListWindow();
        QVERIFY(WindowRegistry::instance().show(windows::Wishes));
        auto &window =
            *qobject_cast<WishListWindow *>(WindowRegistry::instance().existing(windows::Wishes));
        QAbstractItemModelTester tester(&window.model());
        answerEditor([](WishEditDialog *editor) {
            test::control<QLineEdit>(editor, u8("txtTitle"))->setText(u8(" 坊っちゃん "));
            test::control<QLineEdit>(editor, u8("txtAuthor"))->setText(u8("夏目漱石"));
        });
        test::click(&window, u8("cmdAdd"));
        QCOMPARE(shownTitles(window), QStringList{u8("坊っちゃん/夏目漱石")});

        // A look-up fills the editor; the user sets the priority high before OK.
        answerEditor([](WishEditDialog *editor) {
            test::control<QComboBox>(editor, u8("cboPriority"))->setCurrentIndex(0);
        });
        test::control<QLineEdit>(&window, u8("txtIsbn"))->setText(u8("4-10-101001-3"));
        test::click(&window, u8("cmdLookup"));
        QTRY_COMPARE(shownTitles(window),
                     (QStringList{u8("吾輩は猫である/夏目 漱石"), u8("坊っちゃん/夏目漱石")}));
        QCOMPARE(window.model().wishes().first().isbn.digits(), Found);

        // The shelf scan registers the book: one question, Yes strikes the wish it fulfils.
        ShelfScanWindow scan;
        scan.show();
        scan.scanned().take(Found);
        QTRY_COMPARE(scan.scanned().count(ScannedBooks::State::Found), 1);
        messages.answers = {true, true};
        messages.texts.clear();
        test::click(&scan, u8("cmdAddAll"));
        QCOMPARE(messages.texts.size(), 2);
        QVERIFY2(messages.texts.last().contains(u8("1 冊に当たります: 「吾輩は猫である」")),
                 qPrintable(messages.texts.last()));
        QTRY_COMPARE(shownTitles(window), QStringList{u8("坊っちゃん/夏目漱石")});
        window.close();
    }
};

QTEST_MAIN(TestWishListWindow)
#include "tst_wishlistwindow.moc"
