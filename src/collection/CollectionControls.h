#pragma once

#include <QString>

class QPushButton;
class QTableView;
class QWidget;

namespace hondana::collection {

// A command button of the collection's windows, named `name` for tests and spoken as `spoken`
// (the caption without its mnemonic mark when empty). It is never the default button, so Enter
// in a list opens the list's entry instead of pressing it.
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QString &spoken = {});

// A read-only list of whole rows, one chosen at a time, that Tab leaves instead of walking its
// cells.
void setUpList(QTableView *view, const QString &name, const QString &spoken);

} // namespace hondana::collection
