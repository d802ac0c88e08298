#pragma once

#include "register/RegisterForm.h"
#include "widgets/WindowNames.h"

#include <QHash>
#include <QWidget>

class QMenuBar;

namespace hondana {

class DataNavigator;
class DataSource;

// The book register: one book at a time in bound fields, five lookups into the master lists
// and the reading stamps, the record buttons, and a menu bar into every other screen. One
// register for the process, shown by the main menu in its place; it shows the main menu again
// when it closes.
class BookRegister : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::Register;
    static inline const QString Caption = QStringLiteral("蔵書登録");
    static inline const QString RecordSource = QStringLiteral(
        "select SEQNO,ｻｲｽﾞNO,ｼﾘｰｽﾞ,管理番号1,管理番号2,購入日,全体NO,題名,著者NO,読書ｽﾀﾝﾌﾟ,内容,"
        "発行所NO,発行日,版数,分野NO, 価格, 購入先, 請求番号, 読書完了日, 読感ﾗﾝｸ   from BOOK "
        "ORDER BY 著者NO,題名,SEQNO");
    static constexpr int HelpContextId = 2;
    static inline const QString NoBookToDelete =
        QStringLiteral("削除する蔵書がありません（蔵書はまだ1冊も登録されていません）。");
    // In the title field while there is no book to type into.
    static inline const QString NoBookHint =
        QStringLiteral("追加(A)を押すと新しい蔵書を入力できます");

    // The register is only for an admitted user: anything else ends the program and gives no
    // register (nullptr).
    static BookRegister *load();

    explicit BookRegister(QWidget *parent = nullptr);
    ~BookRegister() override;

    DataSource *books() const { return m_books; }
    DataNavigator *navigator() const { return m_navigator; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildTitle(QWidget *client);
    void buildFields(QWidget *client);
    void buildLookups();
    void buildButtons(QWidget *client);
    void buildMenuBar();
    void runMenuCommand(const registerform::MenuCommand &command);
    void openUnderFlag(const registerform::MenuCommand &command);
    void openReport(const QString &form);
    void closeFromMenu();

    void addBook();
    void saveBooks();
    void copyBook();
    void deleteBook();
    void closeFromButton();
    void lockFieldsWithoutBook();
    void askBeforeAddingOwnedCopy();
    void noteNewBookWritten();
    void offerToStrikeWishesOfNewBooks();

    QMenuBar *m_menuBar = nullptr;
    DataSource *m_books = nullptr;
    DataNavigator *m_navigator = nullptr;
    QHash<QString, DataSource *> m_lookupSources;
    QWidget *m_firstField = nullptr;
    bool m_shownOnce = false;
    // The book a copy (コピー) began from, while the copy is the current, unsaved book.
    qint64 m_copiedFrom = 0;
    // A new book passed the save check and its row is being written.
    bool m_newBookBeingWritten = false;
    // New books written since the wish list was last offered them.
    QList<qint64> m_newBooksForWishes;
};

// Registers the register and the screens it opens, so the main menu and its menu bar find them.
void registerBookRegister();

} // namespace hondana
