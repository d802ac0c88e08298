#pragma once

#include "widgets/WindowNames.h"
#include <QWidget>

namespace hondana {

class DataSource;

// The agreement screen: shows the usage agreement; accepting records it (or upgrades the data
// of an earlier release), declining or closing ends the program.
class AgreementWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::Agreement;
    static inline const QString AgreementSource = QStringLiteral("select ID,TEXT from KYODAKU");
    static inline const QString AgreementConnection = QStringLiteral("FILE NAME=KYODAKU.udl");
    static inline const QString Upgraded =
        QStringLiteral("バージョンアップを完了しました、再度立ち上げてください！");
    static inline const QString NoUpgradeInformation =
        QStringLiteral("バージョンアップ情報がありません!");
    static inline const QString AlreadyUpgraded =
        QStringLiteral(" すでにバージョンアップ済みです！");

    explicit AgreementWindow(QWidget *parent = nullptr);
    // Unloading gives the mouse pointer back, whatever ended the screen.
    ~AgreementWindow() override;

private:
    void accept();
    void decline();

    DataSource *m_data;
};

} // namespace hondana
