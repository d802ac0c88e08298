#pragma once

#include "widgets/WindowNames.h"
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace hondana {

// The main menu: opens the register and the utilities screen (hiding itself meanwhile), the
// help, and ends the program.
class MainMenu : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::MainMenu;
    static inline const QString ProductTitle = QStringLiteral("本棚帖　蔵書目録");
    static constexpr int HelpContextId = 1;

    explicit MainMenu(QWidget *parent = nullptr);

private:
    // Shows the screen `name` in the main menu's place, when its subsystem provides it.
    void showInstead(const QString &name);
};

} // namespace hondana
