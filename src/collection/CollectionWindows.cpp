#include "collection/CollectionWindows.h"

#include "base/Failure.h"
#include "catalogue/IsbnsInNumbers.h"
#include "collection/BookDetailsPanel.h"
#include "collection/IsbnSearchWindow.h"
#include "collection/KanaIndexWindow.h"
#include "collection/LoansWindow.h"
#include "collection/SeriesWindow.h"
#include "db/RecordSet.h"
#include "widgets/BusyCursor.h"
#include "widgets/DataSource.h"
#include "widgets/MessageService.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

#include <QPointer>
#include <QWidget>

namespace hondana::collection {

namespace {

QWidget *bookRegister() {
    return WindowRegistry::instance().existing(windows::Register);
}

} // namespace

DataSource *registerBooks() {
    QWidget *books = bookRegister();
    return books
               ? books->findChild<DataSource *>(DataSource::PrimaryName, Qt::FindDirectChildrenOnly)
               : nullptr;
}

void refreshRegisterLists() {
    if (QWidget *books = bookRegister()) {
        for (DataSource *list : books->findChildren<DataSource *>()) {
            if (!list->isPrimary())
                list->refresh();
        }
    }
}

void closeWithRegister(QWidget *window) {
    if (QWidget *books = bookRegister()) {
        QObject::connect(books, &QObject::destroyed, window, [window = QPointer<QWidget>(window)] {
            if (window)
                window->close();
        });
    }
}

bool showBookInRegister(long long bookRowId) {
    // A register hidden for a list standing in its place moves too, and shows the book when the
    // list gives it back.
    if (QWidget *books = bookRegister(); !books || books->isVisible())
        WindowRegistry::instance().show(windows::Register);
    DataSource *books = registerBooks();
    if (!books)
        return false;
    const int position = books->recordSet().positionOfRowId(bookRowId);
    if (position == 0) {
        MessageService::instance().notice(QStringLiteral(
            "この蔵書は登録画面にありません。削除されたか、登録画面が絞り込まれています。"));
        return false;
    }
    if (books->recordSet().absolutePosition() == position)
        return true;
    return books->moveTo(position);
}

void loansChanged() {
    WindowRegistry &registry = WindowRegistry::instance();
    if (auto *panel = qobject_cast<BookDetailsPanel *>(registry.existing(windows::BookDetails)))
        panel->reloadLoan();
    if (auto *loans = qobject_cast<LoansWindow *>(registry.existing(windows::Loans)))
        loans->reload();
}

void copyIsbnsFromNumbersConfirmed() {
    DataSource *books = registerBooks();
    if (!books)
        return;
    MessageService &messages = MessageService::instance();
    const QString title = QStringLiteral("管理番号から ISBN を写す");
    try {
        qsizetype found = 0;
        {
            BusyCursor busy;
            found = findIsbnsInNumbers(books->connection()).size();
        }
        if (found == 0) {
            messages.notice(QStringLiteral("ISBN 欄が空で、管理番号1・管理番号2・請求番号に ISBN の"
                                           "ある本はありません。"),
                            title);
            return;
        }
        if (!messages.confirm(QStringLiteral("%1 冊の本の管理番号1・管理番号2・請求番号に ISBN が"
                                             "あります。ISBN 欄に写しますか？（元の欄はそのまま"
                                             "です）")
                                  .arg(found),
                              title))
            return;
        int copied = 0;
        {
            BusyCursor busy;
            copied = copyIsbnsFromNumbers(books->connection());
        }
        if (auto *panel = qobject_cast<BookDetailsPanel *>(
                WindowRegistry::instance().existing(windows::BookDetails)))
            panel->reloadStoredData();
        messages.notice(QStringLiteral("%1 冊の本に ISBN を写しました。").arg(copied), title);
    } catch (const Failure &failure) {
        messages.notice(failure.message(), title, MessageService::Icon::Critical);
    }
}

} // namespace hondana::collection

namespace hondana {

void registerCollectionWindows() {
    WindowRegistry &registry = WindowRegistry::instance();
    registry.registerFactory(windows::BookDetails, [] { return new BookDetailsPanel; });
    registry.registerFactory(windows::KanaIndex, [] { return new KanaIndexWindow; });
    registry.registerFactory(windows::IsbnSearch, [] { return new IsbnSearchWindow; });
    registry.registerFactory(windows::Loans, [] { return new LoansWindow; });
    registry.registerFactory(windows::SeriesList, [] { return new SeriesWindow; });
    registry.registerAction(windows::CopyIsbns, collection::copyIsbnsFromNumbersConfirmed);
}

} // namespace hondana
