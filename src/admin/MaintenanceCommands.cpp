// backup, restore, reset, the snapshots, readings and ISBNs: the commands that write the catalogue
// or its backup.
#include "admin/Command.h"
#include "admin/Console.h"
#include "base/FileNames.h"
#include "catalogue/IsbnsInNumbers.h"
#include "catalogue/ReadingFill.h"
#include "catalogue/ReadingSuggester.h"
#include "core/Configuration.h"
#include "core/DataFolderLock.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "maintenance/BackupData.h"
#include "maintenance/ResetData.h"
#include "maintenance/RestoreData.h"
#include "maintenance/Snapshots.h"

#include <QLocale>

#include <functional>

namespace hondana::admin {

namespace {

// The shape most commands share: the work, with its progress on the terminal while it runs, then
// what it did on standard output.
int runShowingProgress(const QString &doing, const std::function<QString(const Progress &)> &work) {
    QString done;
    {
        TerminalProgress progress(doing);
        done = work(progress.progress());
    }
    print(stdout, done);
    return Success;
}

QString catalogue(const Invocation &call) {
    return files::resolve(files::Catalogue, call.folder);
}

QString keptIn(const QString &snapshot) {
    return QStringLiteral("元の内容はスナップショット「%1/%2」に残しました"
                          "（戻すには hondana-admin restore-snapshot %2）。")
        .arg(snapshots::FolderName, snapshot);
}

int runBackup(const Invocation &call) {
    return runShowingProgress(
        QStringLiteral("バックアップ中"), [&](const Progress &progress) -> QString {
            backupData(readConfigurationLine(call.folder), call.folder, progress);
            return QStringLiteral("バックアップを完了しました。");
        });
}

int runRestore(const Invocation &call) {
    const DataFolderLock lock(call.folder);
    if (!call.yes &&
        !confirm(QStringLiteral("本当にﾃﾞｰﾀの復元を実施していいですか？ 今の TOSHO.MDB は"
                                "置き換わります。"),
                 QStringLiteral("復元")))
        return NotConfirmed;
    CatalogueRestore restore(call.folder, true);
    RestoreSummary summary;
    {
        TerminalProgress progress(QStringLiteral("読み込み中"));
        summary = restore.read(progress.progress());
    }
    // A damaged set is said where a script's warnings go, and asked about unless --yes said so;
    // so is data of ours that is kept aside rather than restored.
    print(summary.damaged() || !summary.ownData.keptFile.isEmpty() ? stderr : stdout,
          summary.text());
    if (summary.damaged() && !call.yes &&
        !confirm(QStringLiteral("バックアップファイルの一部が欠けているか壊れています。"
                                "このまま復元しますか？ 読めなかった分は失われます。"),
                 QStringLiteral("欠けたバックアップからの復元")))
        return NotConfirmed;
    return runShowingProgress(QStringLiteral("復元中"), [&](const Progress &progress) -> QString {
        const QString kept = restore.replace(progress);
        const QString done = QStringLiteral("データの復元を完了しました。");
        return kept.isEmpty() ? done : done + u'\n' + keptIn(kept);
    });
}

int runReset(const Invocation &call) {
    const DataFolderLock lock(call.folder);
    if (!call.yes &&
        !confirm(QStringLiteral("本当にﾃﾞｰﾀを全て初期値に戻してもいいですか？ 蔵書と4つの"
                                "マスターが空になります。"),
                 QStringLiteral("全データの削除")))
        return NotConfirmed;
    return runShowingProgress(QStringLiteral("削除中"), [&](const Progress &progress) -> QString {
        const QString kept = resetData(CatalogueLinkConnection, call.folder, progress);
        return QStringLiteral("データの削除が完了しました。\n") + keptIn(kept);
    });
}

QString occasionText(const QString &occasion) {
    if (occasion == snapshots::BeforeReset)
        return QStringLiteral("全データの削除の前");
    if (occasion == snapshots::BeforeRestore)
        return QStringLiteral("復元の前");
    if (occasion == snapshots::BeforeSnapshotRestore)
        return QStringLiteral("スナップショットを戻す前");
    return occasion;
}

int runSnapshots(const Invocation &call) {
    const QList<snapshots::Snapshot> all = snapshots::list(catalogue(call));
    if (all.isEmpty()) {
        print(stdout, QStringLiteral("スナップショットはまだありません。全データの削除か復元の"
                                     "前に「%1」フォルダーに作られます。")
                          .arg(snapshots::FolderName));
        return Success;
    }
    const QLocale locale(QLocale::Japanese);
    for (const snapshots::Snapshot &snapshot : all)
        print(stdout,
              QStringLiteral("%1  %2  %3  %4")
                  .arg(snapshot.name, snapshot.taken.toString(u"yyyy/MM/dd HH:mm:ss"),
                       locale.formattedDataSize(snapshot.bytes), occasionText(snapshot.occasion)));
    return Success;
}

int runRestoreSnapshot(const Invocation &call) {
    const QString name = call.arguments.value(0);
    const DataFolderLock lock(call.folder);
    if (!call.yes &&
        !confirm(QStringLiteral("スナップショット「%1」を戻しますか？ 今の TOSHO.MDB は"
                                "置き換わります。")
                     .arg(name),
                 QStringLiteral("スナップショットを戻すの")))
        return NotConfirmed;
    return runShowingProgress(
        QStringLiteral("戻しています"), [&](const Progress &progress) -> QString {
            snapshots::restore(name, catalogue(call), progress);
            return QStringLiteral("スナップショット「%1」を戻しました。\n").arg(name) +
                   keptIn(snapshots::list(catalogue(call)).value(0).name);
        });
}

int runReadings(const Invocation &call) {
    const DataFolderLock lock(call.folder);
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    const ReadingSuggester suggester;
    return runShowingProgress(
        QStringLiteral("読み取り中"), [&](const Progress &progress) -> QString {
            const ReadingFillSummary summary =
                fillSuggestedReadings(connection, suggester, progress);
            return QStringLiteral("読みを %1 件入れました。読めなかったものは %2 件です。")
                .arg(summary.filled)
                .arg(summary.unread);
        });
}

int runCopyIsbn(const Invocation &call) {
    const DataFolderLock lock(call.folder);
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    const int copied = copyIsbnsFromNumbers(connection);
    print(stdout, QStringLiteral("%1 冊の本に ISBN を写しました。").arg(copied));
    return Success;
}

} // namespace

QList<Command> maintenanceCommands() {
    return {
        {QStringLiteral("backup"),
         QStringLiteral("蔵書と4つのマスターをバックアップファイルに書き出します"),
         QStringLiteral("使い方: hondana-admin backup [--folder フォルダー]\n\n"
                        "TOSHO.MDB の蔵書と4つのマスターをバックアップファイル (BOOK.DAT, "
                        "BUNYA.DAT, CHOSHA.DAT,\nHAKKO.DAT, SAIZU.DAT) に書き出します。"
                        "題名・著者名・発行所の読みは HONDANA.DAT に書き出します。\n"
                        "接続先は JETDB.VER の1行目から読みます。"),
         0, runBackup},
        {QStringLiteral("restore"),
         QStringLiteral("バックアップファイルから TOSHO.MDB を作り直します"),
         QStringLiteral(
             "使い方: hondana-admin restore [--yes] [--folder フォルダー]\n\n"
             "バックアップファイルと TOSHODEF.MDB から TOSHO.MDB を作り直します。今の "
             "TOSHO.MDB の内容は\nバックアップファイルの内容で置き換わります。置き換える"
             "前の内容はスナップショットに残ります。\nHONDANA.DAT があれば読みも戻します。"
             "本やマスターと一致しない読みは HONDANA-unattached-日時.DAT に\n残して"
             "その名前を表示します。端末では確認します。--yes で確認を"
             "省きます (端末以外から実行するときは必須)。\n読んだ件数をファイルごとに"
             "表示します。ファイルの末尾が欠けているとき、本の指すマスターの番号が"
             "\nないときは、もう一度確認します。"),
         0, runRestore},
        {QStringLiteral("reset"),
         QStringLiteral("蔵書と4つのマスターを空にします (全データの削除)"),
         QStringLiteral("使い方: hondana-admin reset [--yes] [--folder フォルダー]\n\n"
                        "BOOK, BUNYA, CHOSHA, HAKKOU, SAIZU の行と読みをすべて削除します。"
                        "読書ｽﾀﾝﾌﾟの一覧 (DSTMP)、\n使用許諾の記録 (DOUI)、バックアップファイルは"
                        "そのままです。削除する前の内容はスナップショットに\n残ります。端末では"
                        "確認します。--yes で確認を省きます (端末以外から実行するときは必須)。"),
         0, runReset},
        {QStringLiteral("snapshots"),
         QStringLiteral("全データの削除や復元の前に残したスナップショットを一覧します"),
         QStringLiteral("使い方: hondana-admin snapshots [--folder フォルダー]\n\n"
                        "「snapshots」フォルダーのスナップショットを新しい順に、名前、作った日時、"
                        "大きさ、何の前に\n作ったかを表示します。新しい5つまでが残ります。"),
         0, runSnapshots},
        {QStringLiteral("restore-snapshot"),
         QStringLiteral("スナップショットを TOSHO.MDB に戻します"),
         QStringLiteral(
             "使い方: hondana-admin restore-snapshot 名前 [--yes] [--folder フォルダー]"
             "\n\nスナップショット (名前は hondana-admin snapshots で確かめます) を "
             "TOSHO.MDB に戻します。\n今の TOSHO.MDB の内容もスナップショットに残ります。"
             "端末では確認します。--yes で確認を\n省きます (端末以外から実行するときは"
             "必須)。"),
         1, runRestoreSnapshot},
        {QStringLiteral("readings"),
         QStringLiteral("読みのない題名・著者・発行所に読みの候補を入れます"),
         QStringLiteral("使い方: hondana-admin readings [--folder フォルダー]\n\n"
                        "読み (カタカナ) のない題名、著者、発行所のすべてに、読みの候補を入れます。"
                        "利用者が入れた読みは\nそのままです。入れた件数と、読めなかった件数 "
                        "(ローマ字や数字を含むもの、辞書にない漢字を含むもの)\nを表示します。"
                        "読めなかったものには読みを入れません。"),
         0, runReadings},
        {QStringLiteral("copy-isbn"),
         QStringLiteral("管理番号・請求番号に入っている ISBN を ISBN 欄に写します"),
         QStringLiteral("使い方: hondana-admin copy-isbn [--folder フォルダー]\n\n"
                        "ISBN 欄が空で、管理番号1、管理番号2、請求番号のどれかに正しい ISBN が"
                        "入っている本の\nISBN 欄に、その番号を ISBN-13 で写します (どれにもあれば"
                        "管理番号1、管理番号2、請求番号の順)。\n元の欄はそのままです。写した冊数を"
                        "表示します。該当する本は hondana-admin check で確かめられます。"),
         0, runCopyIsbn},
    };
}

} // namespace hondana::admin
