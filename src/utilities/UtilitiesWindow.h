#pragma once

#include "widgets/WindowNames.h"

#include <QWidget>

class QPushButton;

namespace hondana {

class DataSource;

// The utilities screen: reset of all data, backup and restore of the whole catalogue. Shown by
// the main menu in its place; closing it, by its button or its title bar, brings the main menu
// back. While an operation runs it cannot be closed.
class UtilitiesWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::Utilities;
    static inline const QString Caption = QStringLiteral("ﾕｰﾃｨﾘﾃｨ");
    static inline const QString ConfirmReset =
        QStringLiteral("本当にﾃﾞｰﾀを全て初期値に戻してもいいですか？");
    static inline const QString ResetDone = QStringLiteral(" データの削除が完了しました！！");
    static inline const QString BackupDone = QStringLiteral("データのバックアップを完了しました");
    static inline const QString ConfirmRestore =
        QStringLiteral("本当にﾃﾞｰﾀの復元を実施していいですか？");
    static inline const QString RestoreDone =
        QStringLiteral("データの復元を完了しました、再度立ち上げてください！");

    explicit UtilitiesWindow(QWidget *parent = nullptr);
    ~UtilitiesWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void resetAll();
    void backUp();
    void restore();
    void fillReadings();
    // Runs `work` with a busy cursor and progress; on failure shows `failed` and the reason.
    // Returns whether it succeeded.
    template <typename Work> bool runLong(const QString &label, const QString &failed, Work work);

    DataSource *m_adobook = nullptr;
    bool m_busy = false;
};

void registerUtilities();

} // namespace hondana
