#pragma once

#include <QList>
#include <QRectF>
#include <QString>

// The register's layout and its menu bar as data: which control shows which column, where it
// stands (in twips), how it reads and what the user is told about it, and what each menu item
// opens. The book register builds itself from these tables.
namespace hondana::registerform {

enum class Control { Text, Notes, Lookup };

struct Field {
    QString name; // the control's name
    QString label;
    QString column;
    Control control;
    QRectF labelTwips;
    QRectF fieldTwips;
    QString displayFormat = {};
    bool rightAligned = false;
    bool inputMethodOn = false;
    bool required = false;
    QString toolTip = {};
};

// The fields in tab order.
const QList<Field> &fields();

// A data source with no widget that reads one master table (or the stamps) for a lookup combo.
struct Lookup {
    QString combo;
    QString dataSource;
    QString table;
    QString listField;
    QString boundColumn; // empty: the listed value itself is stored
    bool refreshOnClick; // the stamps are read once, when the register opens
};

const QList<Lookup> &lookups();

// How a menu item opens its screen.
enum class Opening {
    Beside,    // next to the register, under the sub-window flag
    InPlace,   // instead of the register (which hides), under the flag, only with books
    Report,    // the report, which ignores the flag but is not opened while it is set
    Alongside, // a window of the collection's that stays open beside the register, flag or not
    Action,    // work of the collection's without a window, run by name (WindowRegistry::run)
    Help,
    About,
    Close,
};

struct MenuCommand {
    QString name;
    QString caption;
    Opening opening;
    QString form =
        {}; // the screen opened, for Beside, InPlace, Report and Alongside; the action run
};

// A top-level item of the menu bar: a command of its own, or a drop-down of commands.
struct MenuTitle {
    MenuCommand command;
    QList<MenuCommand> dropDown = {};
};

const QList<MenuTitle> &menuBar();

} // namespace hondana::registerform
