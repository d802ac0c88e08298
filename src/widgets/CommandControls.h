#pragma once

#include <QString>

class QPushButton;
class QTableView;
class QWidget;

namespace hondana {

// A command button of the program's own windows, named `name` for tests and spoken as `spoken`
// (the caption without its access key and trailing dots when empty). It is never the default
// button, so Enter in a list opens the list's entry instead of pressing it.
QPushButton *makeCommandButton(QWidget *parent, const QString &name, const QString &caption,
                               const QString &spoken = {});

// How many rows of a list can be chosen at once.
enum class RowChoice { One, Many };

// A list of whole rows that Tab leaves instead of walking its cells; what its cells take for
// editing is the model's to say.
void setUpRowList(QTableView *view, const QString &name, const QString &spoken,
                  RowChoice choice = RowChoice::One);

} // namespace hondana
