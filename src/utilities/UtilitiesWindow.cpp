#include "utilities/UtilitiesWindow.h"

#include "base/Failure.h"
#include "catalogue/ReadingFill.h"
#include "catalogue/ReadingSuggester.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "maintenance/BackupData.h"
#include "maintenance/ResetData.h"
#include "maintenance/RestoreData.h"
#include "widgets/BusyCursor.h"
#include "widgets/DataSource.h"
#include "widgets/FormLayout.h"
#include "widgets/LongOperation.h"
#include "widgets/MessageService.h"
#include "widgets/OffThreadWork.h"
#include "widgets/ProgramEnd.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace hondana {

namespace {

const QString TitleFont = QStringLiteral("ＭＳ Ｐゴシック");

} // namespace

UtilitiesWindow::UtilitiesWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(twips::size(4050, 5310));

    QLabel *title = form::label(this, QStringLiteral("Label1"), QStringLiteral("ユーティリティ"),
                                twips::rect(360, 120, 3372, 372));
    QFont font(TitleFont);
    font.setPointSizeF(13.5);
    font.setBold(true);
    title->setFont(font);

    QPushButton *reset =
        form::button(this, QStringLiteral("Command1"), QStringLiteral("全データの削除"),
                     twips::rect(1200, 840, 1404, 492));
    QPushButton *backup =
        form::button(this, QStringLiteral("Command4"), QStringLiteral("バックアップ"),
                     twips::rect(1200, 2760, 1455, 495));
    QPushButton *restoreButton =
        form::button(this, QStringLiteral("Command5"), QStringLiteral("データの復元"),
                     twips::rect(1200, 3480, 1455, 495));
    QPushButton *closeButton =
        form::button(this, QStringLiteral("Command2"), QStringLiteral("閉じる"),
                     twips::rect(1188, 4440, 1416, 480));

    // Only the holder of the reset's connection string; it never opens the books.
    m_adobook = new DataSource(DataSource::Role::Secondary, QStringLiteral("Adobook"),
                               CatalogueLinkConnection, QStringLiteral("BOOK"), this);

    connect(reset, &QPushButton::clicked, this, &UtilitiesWindow::resetAll);
    connect(backup, &QPushButton::clicked, this, &UtilitiesWindow::backUp);
    connect(restoreButton, &QPushButton::clicked, this, &UtilitiesWindow::restore);
    connect(closeButton, &QPushButton::clicked, this, &UtilitiesWindow::close);
}

UtilitiesWindow::~UtilitiesWindow() {
    resetMousePointer();
}

void UtilitiesWindow::closeEvent(QCloseEvent *event) {
    // The window is repainted while an operation runs, and a close request may come through.
    if (m_busy) {
        event->ignore();
        return;
    }
    WindowRegistry::instance().show(windows::MainMenu);
    event->accept();
}

template <typename Work>
bool UtilitiesWindow::runLong(const QString &label, const QString &failed, Work work) {
    m_busy = true;
    QString problem;
    {
        LongOperation operation(this, label);
        try {
            if constexpr (std::is_invocable_v<Work, LongOperation &>)
                work(operation);
            else
                work(operation.progress());
        } catch (const Failure &failure) {
            problem = failure.message();
        }
    }
    m_busy = false;
    if (!problem.isEmpty())
        MessageService::instance().notice(failed + QStringLiteral("\n\n") + problem, {},
                                          MessageService::Icon::Critical);
    return problem.isEmpty();
}

void UtilitiesWindow::resetAll() {
    if (!MessageService::instance().confirm(ConfirmReset))
        return;
    const bool done = runLong(
        QStringLiteral("全データを削除しています…"),
        QStringLiteral("全データの削除ができませんでした。データは1件も削除していません。"),
        [&](const Progress &progress) { resetData(m_adobook->connectionString(), {}, progress); });
    if (done)
        MessageService::instance().notice(ResetDone);
}

void UtilitiesWindow::backUp() {
    const bool done =
        runLong(QStringLiteral("バックアップしています…"),
                QStringLiteral("バックアップできませんでした。蔵書データベースは元のままです。書き"
                               "終えていないバックアップファイルは前回のままです。"),
                [](const Progress &progress) {
                    backupData(AppState::instance().mainConnectionString, {}, progress);
                });
    if (done)
        MessageService::instance().notice(BackupDone);
}

void UtilitiesWindow::restore() {
    if (!MessageService::instance().confirm(ConfirmRestore))
        return;
    const QString failed =
        QStringLiteral("データの復元ができませんでした。蔵書データベースは元のままです。");
    CatalogueRestore restore({}, true);
    RestoreSummary summary;
    if (!runLong(QStringLiteral("バックアップファイルを読んでいます…"), failed,
                 [&](const Progress &progress) { summary = restore.read(progress); }))
        return;
    // A damaged set would silently cost books or names: the user decides with the counts in view.
    if (summary.damaged() &&
        !MessageService::instance().confirm(
            QStringLiteral("バックアップファイルの一部が欠けているか壊れています。\n\n%1\n\n"
                           "このまま復元しますか？ 今の蔵書データベースは置き換わり、"
                           "読めなかった分は失われます。")
                .arg(summary.text())))
        return;
    if (!runLong(QStringLiteral("データを復元しています…"), failed,
                 [&](const Progress &progress) { restore.replace(progress); }))
        return;
    fillReadings();
    MessageService::instance().notice(RestoreDone);
    endProgram();
}

// A set made by an older installation brings no readings: every title, author and publisher
// without one gets a suggestion before the program ends, off the window's thread on a connection
// of its own. The catalogue is restored by then, so a failure costs only suggestions.
void UtilitiesWindow::fillReadings() {
    const QString connectionString = AppState::instance().mainConnectionString;
    runLong(QStringLiteral("読みの候補を付けています…"),
            QStringLiteral("データは復元しましたが、読みの候補を付けられませんでした。"
                           "hondana-admin readings で後から付けられます。"),
            [&](LongOperation &operation) {
                runOffThread(operation, [connectionString](const Progress &progress) {
                    const ReadingSuggester suggester;
                    Connection catalogue(connectionString);
                    catalogue.open();
                    fillSuggestedReadings(catalogue, suggester, progress);
                });
            });
}

void registerUtilities() {
    WindowRegistry::instance().registerFactory(UtilitiesWindow::Name,
                                               [] { return new UtilitiesWindow; });
}

} // namespace hondana
