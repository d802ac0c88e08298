#include "app/AgreementWindow.h"

#include "base/Failure.h"
#include "core/AgreementAcceptance.h"
#include "core/AppState.h"
#include "widgets/BoundTextBox.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/FormLayout.h"
#include "widgets/LongOperation.h"
#include "widgets/MessageService.h"
#include "widgets/ProgramEnd.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QLabel>
#include <QPushButton>

namespace hondana {

namespace {

const QString AgreementTitle = QStringLiteral("ソフトウェア使用許諾契約書");

void endWith(const QString &message) {
    MessageService::instance().notice(message);
    endProgram();
}

} // namespace

AgreementWindow::AgreementWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(QStringLiteral("使用許諾"));
    setAttribute(Qt::WA_DeleteOnClose);
    form::setFixedClientSize(this, 7650, 6705);

    QLabel *title = form::label(this, QStringLiteral("Label1"), AgreementTitle,
                                twips::rect(1080, 108, 4800, 408));
    form::setFontSize(title, 13.5, true);

    m_data = new DataSource(DataSource::Role::Primary, DataSource::PrimaryName, AgreementConnection,
                            AgreementSource, this);
    form::place(new DataNavigator(m_data, this), DataSource::PrimaryName,
                QStringLiteral("使用許諾の記録"), twips::rect(0, 6345, 7650, 360));

    // The number of the agreement text means nothing to the user.
    auto *id = new BoundTextBox(this);
    form::place(id, QStringLiteral("txtFields(0)"), QStringLiteral("ID"),
                twips::rect(144, 180, 672, 285));
    id->setReadOnly(true);
    id->hide();
    id->bind(m_data, QStringLiteral("ID"));

    auto *text = new BoundTextArea(this);
    form::place(text, QStringLiteral("txtFields(1)"), AgreementTitle,
                twips::rect(216, 612, 7200, 4788));
    text->setReadOnly(true);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->bind(m_data, QStringLiteral("TEXT"));

    QLabel *instruction = form::label(
        this, QStringLiteral("Label2"),
        QStringLiteral("上記内容をスクロールして最後まで確認の上、同意の場合は「同意する」の"
                       "ボタンをクリックして下さい。"),
        twips::rect(396, 5544, 6996, 480));
    instruction->setWordWrap(true);

    auto *buttons = new QWidget(this);
    form::place(buttons, QStringLiteral("picButtons"), QStringLiteral("ボタン"),
                twips::rect(0, 6015, 7656, 336));
    QPushButton *agree = form::button(buttons, QStringLiteral("Command1"),
                                      QStringLiteral("同意する"), twips::rect(900, 0, 1092, 300));
    QPushButton *disagree =
        form::button(buttons, QStringLiteral("Command3"), QStringLiteral("同意しない"),
                     twips::rect(3384, 0, 948, 300));
    QPushButton *closeButton =
        form::button(buttons, QStringLiteral("cmdClose"), QStringLiteral("閉じる(&C)"),
                     twips::rect(5688, 0, 1095, 300));

    connect(agree, &QPushButton::clicked, this, &AgreementWindow::accept);
    connect(disagree, &QPushButton::clicked, this, &AgreementWindow::decline);
    connect(closeButton, &QPushButton::clicked, this, &AgreementWindow::decline);

    m_data->refresh();
}

AgreementWindow::~AgreementWindow() {
    resetMousePointer();
}

void AgreementWindow::decline() {
    AppState::instance().admission = AppState::Admission::No;
    endProgram();
}

void AgreementWindow::accept() {
    Acceptance outcome;
    {
        // Only an upgrade, which rebuilds the catalogue, reports progress and so shows the dialog.
        LongOperation upgrade(
            this, QStringLiteral(
                      "蔵書データベースを新しい形式に作り直しています。しばらくお待ちください…"));
        try {
            outcome = acceptAgreement(upgrade.progress());
        } catch (const Failure &failure) {
            upgrade.finish();
            MessageService::instance().notice(failure.message(), {},
                                              MessageService::Icon::Critical);
            endProgram();
            return;
        }
    }
    switch (outcome) {
    case Acceptance::Recorded:
        WindowRegistry::instance().show(windows::MainMenu);
        close();
        return;
    case Acceptance::Upgraded:
        endWith(Upgraded);
        return;
    case Acceptance::NoUpgradeInformation:
        endWith(NoUpgradeInformation);
        return;
    case Acceptance::AlreadyUpgraded:
        endWith(AlreadyUpgraded);
        return;
    }
}

} // namespace hondana
