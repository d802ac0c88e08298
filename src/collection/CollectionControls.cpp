#include "collection/CollectionControls.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace hondana::collection {

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QString &spoken) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(spoken.isEmpty() ? QString(caption).remove(QLatin1Char('&'))
                                               : spoken);
    button->setAutoDefault(false);
    return button;
}

void setUpList(QTableView *view, const QString &name, const QString &spoken) {
    view->setObjectName(name);
    view->setAccessibleName(spoken);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Rows of one height let the view lay out 100,000 entries without measuring them.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
}

} // namespace hondana::collection
