#include "app/AboutBox.h"

#include "app/ApplicationIcon.h"
#include "core/AppState.h"
#include "widgets/EscapeCloses.h"
#include "widgets/FormLayout.h"
#include "widgets/MessageService.h"
#include "widgets/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace hondana {

namespace {

void addSeparator(QWidget *parent, const QString &name, QFrame::Shadow shadow, double top) {
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(shadow);
    form::place(line, name, QString(), twips::rect(84, top, 5561, 30));
}

} // namespace

AboutBox::AboutBox(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setAttribute(Qt::WA_DeleteOnClose);
    form::setFixedClientSize(this, 5730, 3560);

    QLabel *icon =
        form::label(this, QStringLiteral("picIcon"), QString(), twips::rect(240, 240, 540, 540));
    icon->setAccessibleName(QStringLiteral("アイコン"));
    icon->setPixmap(applicationIcon().pixmap(icon->size()));

    QLabel *title = form::label(this, QStringLiteral("lblTitle"), QStringLiteral("本棚帖"),
                                twips::rect(1050, 240, 3885, 480));
    form::setFontSize(title, 14, true);
    form::label(this, QStringLiteral("lblVersion"),
                QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + AppState::CurrentVersion,
                twips::rect(1050, 780, 3885, 225));
    QLabel *description =
        form::label(this, QStringLiteral("lblDescription"),
                    QStringLiteral("個人の蔵書を記録する目録ソフトウェアです。\n"
                                   "本棚帖の開発者一同 — 自由に使用・改変・再配布できます。"),
                    twips::rect(1050, 1125, 4400, 1170));
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    addSeparator(this, QStringLiteral("Line1"), QFrame::Sunken, 2430);
    addSeparator(this, QStringLiteral("Line2"), QFrame::Plain, 2445);

    QPushButton *ok = form::button(this, QStringLiteral("cmdOK"), QStringLiteral("OK"),
                                   twips::rect(4245, 2625, 1260, 345));
    ok->setDefault(true);
    QPushButton *sysInfo =
        form::button(this, QStringLiteral("cmdSysInfo"), QStringLiteral("ｼｽﾃﾑ情報(&S)..."),
                     twips::rect(4260, 3075, 1245, 345));

    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, ok);
    connect(sysInfo, &QPushButton::clicked, this, &AboutBox::startSysInfo);
}

void AboutBox::setSystemInformation(const SystemInformation &systemInformation) {
    m_systemInformation = systemInformation;
}

void AboutBox::startSysInfo() {
    if (!m_systemInformation.start())
        MessageService::instance().notice(Unavailable);
}

} // namespace hondana
