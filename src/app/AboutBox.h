#pragma once

#include "core/SystemInformation.h"
#include "widgets/WindowNames.h"

#include <QWidget>

namespace hondana {

// The about box: product, version and maker, and a button that starts a system-information
// program. One instance for the process; it unloads on OK or when closed.
class AboutBox : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::About;
    static inline const QString Unavailable = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

    explicit AboutBox(QWidget *parent = nullptr);

    // Tests put a stand-in here instead of looking at the PATH.
    void setSystemInformation(const SystemInformation &systemInformation);

private:
    void startSysInfo();

    SystemInformation m_systemInformation;
};

} // namespace hondana
