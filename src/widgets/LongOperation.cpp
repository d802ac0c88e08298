#include "widgets/LongOperation.h"

#include "widgets/MessageService.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace hondana {

namespace {

constexpr qint64 DialogAfterMilliseconds = 500;
constexpr qint64 RepaintMilliseconds = 50;

// Input waits until the dialog is up; then only the dialog takes it, being application-modal.
void repaint(bool dialogShown = false) {
    QCoreApplication::processEvents(dialogShown ? QEventLoop::AllEvents
                                                : QEventLoop::ExcludeUserInputEvents);
}

} // namespace

LongOperation::LongOperation(QWidget *window, const QString &label, const QString &stopButton)
    : m_window(window), m_label(label), m_stopButton(stopButton),
      m_progress([this](qint64 done, qint64 total) { return update(done, total); }) {
    m_started.start();
    m_sinceRepaint.start();
    // What a message box covered a moment ago is drawn again before the work starts.
    repaint();
}

LongOperation::~LongOperation() {
    finish();
}

void LongOperation::finish() {
    delete m_dialog;
    m_busy.release();
}

bool LongOperation::update(qint64 done, qint64 total) {
    if (m_sinceRepaint.elapsed() < RepaintMilliseconds)
        return !(m_dialog && m_dialog->wasCanceled());
    m_sinceRepaint.restart();
    if (!m_dialog && m_started.elapsed() >= DialogAfterMilliseconds) {
        m_dialog = new QProgressDialog(m_label, m_stopButton, 0, 0, m_window,
                                       Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        m_dialog->setWindowTitle(ApplicationTitle);
        m_dialog->setAccessibleName(m_label);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
    }
    if (m_dialog) {
        // Work of unknown size shows a moving bar.
        const int scale = total > 0 ? 1000 : 0;
        m_dialog->setRange(0, scale);
        if (total > 0)
            m_dialog->setValue(int(qMin(done, total) * scale / total));
    }
    repaint(!m_dialog.isNull());
    return !(m_dialog && m_dialog->wasCanceled());
}

} // namespace hondana
