#include "collection/IndexEntryView.h"

#include <QApplication>

namespace hondana::collection {

IndexEntryView::IndexEntryView(QWidget *parent) : QTableView(parent) {
    setAttribute(Qt::WA_InputMethodEnabled);
}

// Letters typed in quick succession make one text, as in any list.
void IndexEntryView::keyboardSearch(const QString &search) {
    if (search.isEmpty() || !m_jump)
        return;
    if (!m_sinceTyped.isValid() || m_sinceTyped.elapsed() > QApplication::keyboardInputInterval())
        m_typed.clear();
    m_typed += search;
    m_sinceTyped.start();
    m_jump(m_typed);
}

} // namespace hondana::collection
