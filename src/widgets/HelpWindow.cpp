#include "widgets/HelpWindow.h"

#include "base/Failure.h"
#include "core/HelpContext.h"
#include "widgets/EscapeCloses.h"
#include "widgets/Twips.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace hondana {

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(QStringLiteral("本棚帖 ヘルプ"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The help is no form of the program: it does not keep the program running on its own.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setAccessibleName(QStringLiteral("ヘルプ"));
    m_browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(twips::size(9600, 7200));
    EscapeCloses::install(this);
}

void HelpWindow::showTopic(int id) {
    try {
        const QString page = help::pagePath(id);
        m_browser->setSearchPaths({QFileInfo(page).path()});
        m_browser->setSource(QUrl::fromLocalFile(page));
    } catch (const Failure &failure) {
        m_browser->clearHistory();
        m_browser->setPlainText(failure.message());
    }
}

void showHelp(int id) {
    static QPointer<HelpWindow> window;
    if (!window)
        window = new HelpWindow;
    window->showTopic(id);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace hondana
