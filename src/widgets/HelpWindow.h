#pragma once

#include "widgets/WindowNames.h"
#include <QWidget>

class QTextBrowser;

namespace hondana {

// The in-app help viewer: one window for the process that shows the help pages of the working
// folder. It tells the user itself when the help or a topic is missing.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::Help;

    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the topic of context `id`, or what is wrong with the help.
    void showTopic(int id);
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};

// Opens the help at context `id` in the help window (created on first use) and shows it.
void showHelp(int id);

} // namespace hondana
