#pragma once

#include "base/Progress.h"
#include "widgets/BusyCursor.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace hondana {

// Feedback for work that blocks the program: the busy cursor at once, a progress dialog once the
// work has run for about half a second, and the windows repainted meanwhile. No other window
// takes input until the work is done, so nothing changes the catalogue under it. With a
// `stopButton` caption the dialog carries that button, and once it is pressed progress() asks
// the work to stop. Hand progress() to the operation; the dialog goes when the object does.
class LongOperation {
public:
    LongOperation(QWidget *window, const QString &label, const QString &stopButton = {});
    ~LongOperation();
    LongOperation(const LongOperation &) = delete;
    LongOperation &operator=(const LongOperation &) = delete;

    const Progress &progress() const { return m_progress; }
    // Back to the normal cursor and no dialog, e.g. before a message box.
    void finish();

private:
    bool update(qint64 done, qint64 total);

    QWidget *m_window;
    QString m_label;
    QString m_stopButton;
    BusyCursor m_busy;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceRepaint;
    QPointer<QProgressDialog> m_dialog;
    Progress m_progress;
};

} // namespace hondana
