#pragma once

#include <QElapsedTimer>
#include <QTableView>

#include <functional>

namespace hondana::collection {

// The index's list of entries: text typed into it (kana through the input method too) jumps to
// the first entry from that text on, in the list's own order rather than by matching its cells.
class IndexEntryView : public QTableView {
    Q_OBJECT
public:
    explicit IndexEntryView(QWidget *parent = nullptr);

    // What a jump to typed text does.
    void setJump(std::function<void(const QString &typed)> jump) { m_jump = std::move(jump); }
    void keyboardSearch(const QString &search) override;

private:
    std::function<void(const QString &)> m_jump;
    QString m_typed;
    QElapsedTimer m_sinceTyped;
};

} // namespace hondana::collection
