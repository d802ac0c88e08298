#include "widgets/WishStrikeOffer.h"

#include "base/Failure.h"
#include "catalogue/WishList.h"
#include "db/Connection.h"
#include "widgets/BusyCursor.h"
#include "widgets/MessageService.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

#include <QWidget>

namespace hondana {

namespace {

constexpr qsizetype WishesNamed = 5;

QString strikeQuestion(const QList<Wish> &fulfilled) {
    QStringList titles;
    for (const Wish &wish : fulfilled.mid(0, WishesNamed))
        titles << QStringLiteral("「%1」").arg(wish.title);
    QString named = titles.join(QStringLiteral("、"));
    if (fulfilled.size() > WishesNamed)
        named += QStringLiteral(" ほか");
    return QStringLiteral("登録した本は、欲しい本の一覧の %1 冊に当たります: %2\n"
                          "欲しい本の一覧から消しますか？")
        .arg(fulfilled.size())
        .arg(named);
}

} // namespace

void offerToStrikeFulfilledWishes(Connection &connection, const QList<qint64> &newBookRowIds) {
    if (newBookRowIds.isEmpty())
        return;
    MessageService &messages = MessageService::instance();
    const QString title = QStringLiteral("欲しい本");
    try {
        connection.open();
        WishList wishes(connection);
        QList<Wish> fulfilled;
        {
            BusyCursor busy;
            fulfilled = wishes.fulfilledBy(newBookRowIds);
        }
        if (fulfilled.isEmpty() || !messages.confirm(strikeQuestion(fulfilled), title))
            return;
        QList<qint64> ids;
        for (const Wish &wish : std::as_const(fulfilled))
            ids << wish.id;
        wishes.remove(ids);
        // Screens do not include each other; the window shows its list anew when asked by name.
        if (QWidget *window = WindowRegistry::instance().existing(windows::Wishes))
            QMetaObject::invokeMethod(window, "reload");
    } catch (const Failure &failure) {
        resetMousePointer();
        messages.notice(
            QStringLiteral("本は登録しました。欲しい本の一覧は変えられませんでした。\n") +
                failure.message(),
            title, MessageService::Icon::Warning);
    }
}

} // namespace hondana
