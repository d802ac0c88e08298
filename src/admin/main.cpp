// hondana-admin: backup and restore of the catalogue in the current directory, for scripts
// and administrators. Runs the same core operations as the utilities screen.

#include "base/Failure.h"
#include "core/Configuration.h"
#include "maintenance/BackupData.h"
#include "maintenance/RestoreData.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

enum ExitCode { Success = 0, Failed = 1, UsageError = 2, NotConfirmed = 3 };

void print(std::FILE *stream, const QString &text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString usage() {
    return QStringLiteral(
        "使い方: hondana-admin <コマンド> [--yes]\n"
        "\n"
        "現在のフォルダーにある本棚帖のデータを扱います。\n"
        "\n"
        "コマンド:\n"
        "  backup     TOSHO.MDB の蔵書と4つのマスターをバックアップファイル\n"
        "             (BOOK.DAT, BUNYA.DAT, CHOSHA.DAT, HAKKO.DAT, SAIZU.DAT) に書き出します。\n"
        "             接続先は JETDB.VER の1行目から読みます。\n"
        "  restore    バックアップファイルと TOSHODEF.MDB から TOSHO.MDB を作り直します。\n"
        "             今の TOSHO.MDB の内容はバックアップファイルの内容で置き換わります。\n"
        "\n"
        "オプション:\n"
        "  --yes, -y  restore の確認を省きます (端末以外から実行するときは必須)。\n"
        "  --help, -h この説明を表示します。\n"
        "\n"
        "終了コード: 0 成功、1 失敗、2 使い方の誤り、3 復元を取りやめ");
}

bool confirmRestore() {
    std::fputs("本当にﾃﾞｰﾀの復元を実施していいですか？ 今の TOSHO.MDB は置き換わります。 [y/N] ",
               stderr);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

int runBackup() {
    hondana::backupData(hondana::readConfigurationLine());
    print(stdout, QStringLiteral("バックアップを完了しました。"));
    return Success;
}

int runRestore(bool confirmed) {
    if (!confirmed) {
        if (!::isatty(STDIN_FILENO)) {
            print(stderr, QStringLiteral("hondana-admin: 復元は確認が必要です。端末以外から実行する"
                                         "ときは --yes を付けてください。"));
            return NotConfirmed;
        }
        if (!confirmRestore()) {
            print(stderr, QStringLiteral("復元を取りやめました。何も変更していません。"));
            return NotConfirmed;
        }
    }
    hondana::restoreData();
    print(stdout, QStringLiteral("データの復元を完了しました。"));
    return Success;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        print(stdout, usage());
        return Success;
    }
    const bool yes =
        arguments.removeAll(QStringLiteral("--yes")) + arguments.removeAll(QStringLiteral("-y")) >
        0;
    if (arguments.size() != 1) {
        print(stderr,
              QStringLiteral("hondana-admin: コマンドを1つ指定してください。\n\n") + usage());
        return UsageError;
    }
    const QString command = arguments.first();
    try {
        if (command == QLatin1String("backup"))
            return runBackup();
        if (command == QLatin1String("restore"))
            return runRestore(yes);
    } catch (const hondana::Failure &failure) {
        print(stderr, QStringLiteral("hondana-admin: ") + failure.message());
        return Failed;
    } catch (const std::exception &error) {
        print(stderr, QStringLiteral("hondana-admin: 予期しないエラーです: ") +
                          QString::fromLocal8Bit(error.what()));
        return Failed;
    }
    print(stderr,
          QStringLiteral("hondana-admin: 「%1」というコマンドはありません。\n\n").arg(command) +
              usage());
    return UsageError;
}
