#include "widgets/CommandControls.h"

#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>

namespace hondana {

QPushButton *makeCommandButton(QWidget *parent, const QString &name, const QString &caption,
                               const QString &spoken) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    static const QRegularExpression AccessKeyAndDots(QStringLiteral("\\(&.\\)|&|\\.\\.\\.$"));
    button->setAccessibleName(spoken.isEmpty() ? QString(caption).remove(AccessKeyAndDots).trimmed()
                                               : spoken);
    button->setAutoDefault(false);
    return button;
}

void setUpRowList(QTableView *view, const QString &name, const QString &spoken, RowChoice choice) {
    view->setObjectName(name);
    view->setAccessibleName(spoken);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(choice == RowChoice::One ? QAbstractItemView::SingleSelection
                                                    : QAbstractItemView::ExtendedSelection);
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Rows of one height let the view lay out 100,000 entries without measuring them.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
}

} // namespace hondana
