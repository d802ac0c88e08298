#include "app/MainMenu.h"

#include "core/AppState.h"
#include "widgets/FormLayout.h"
#include "widgets/HelpWindow.h"
#include "widgets/MessageService.h"
#include "widgets/ProgramEnd.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace hondana {

MainMenu::MainMenu(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(ApplicationTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    form::setFixedClientSize(this, 6450, 4740);

    QLabel *title =
        form::label(this, QStringLiteral("Label1"), ProductTitle, twips::rect(600, 240, 4332, 492));
    form::setFontSize(title, 18, true);

    const QString versionCaption = QStringLiteral("ﾊﾞｰｼﾞｮﾝ");
    form::label(this, QStringLiteral("Label2"), versionCaption, twips::rect(5430, 960, 900, 225));
    auto *version = new QLineEdit(AppState::CurrentVersion, this);
    version->setReadOnly(true);
    form::place(version, QStringLiteral("VERDSP"), versionCaption,
                twips::rect(5472, 1200, 750, 300));

    QPushButton *help = form::button(this, QStringLiteral("Command4"), QStringLiteral("?"),
                                     twips::rect(5652, 288, 444, 408));
    help->setAccessibleName(QStringLiteral("ヘルプ"));
    QPushButton *books = form::button(this, QStringLiteral("Command2"), QStringLiteral("蔵書登録"),
                                      twips::rect(1440, 972, 2772, 612));
    QPushButton *utilities =
        form::button(this, QStringLiteral("Command3"), QStringLiteral("ユーティリティ"),
                     twips::rect(1440, 2160, 2772, 612));
    QPushButton *quit = form::button(this, QStringLiteral("Command1"), QStringLiteral("終了"),
                                     twips::rect(1560, 3360, 2652, 612));

    // The version box is for reading; the first thing to do is pick a task.
    setTabOrder(books, utilities);
    setTabOrder(utilities, quit);
    setTabOrder(quit, help);
    setTabOrder(help, version);
    books->setFocus();

    connect(help, &QPushButton::clicked, this, [] { showHelp(HelpContextId); });
    connect(books, &QPushButton::clicked, this, [this] { showInstead(windows::Register); });
    connect(utilities, &QPushButton::clicked, this, [this] { showInstead(windows::Utilities); });
    connect(quit, &QPushButton::clicked, this, [] { endProgram(); });
}

void MainMenu::showInstead(const QString &name) {
    if (WindowRegistry::instance().show(name))
        hide();
}

} // namespace hondana
