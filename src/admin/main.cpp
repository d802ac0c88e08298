// hondana-admin: the catalogue's maintenance from the command line, for scripts and careful
// users: backup, restore, reset, snapshots, readings, export and check. Runs the same core
// operations as the utilities screen, in the current directory or in the data folder --folder
// names.

#include "admin/Command.h"
#include "admin/Console.h"
#include "base/Failure.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <csignal>

using namespace hondana;
using namespace hondana::admin;

namespace {

QList<Command> allCommands() {
    return maintenanceCommands() + importCommands() + reportCommands() + lookupCommands();
}

QString usage() {
    QString text = QStringLiteral(
        "使い方: hondana-admin <コマンド> [引数] [オプション]\n"
        "\n"
        "本棚帖のデータフォルダー (現在のフォルダーか --folder で指定したフォルダー) の\n"
        "蔵書データベース TOSHO.MDB を扱います。\n"
        "\n"
        "コマンド:\n");
    for (const Command &command : allCommands())
        text += QStringLiteral("  %1%2\n").arg(command.name.leftJustified(18), command.summary);
    text += QStringLiteral(
        "\n"
        "オプション:\n"
        "  --folder, -C フォルダー  データフォルダーを指定します。\n"
        "  --yes, -y          restore、reset、restore-snapshot の確認を省きます\n"
        "                     (端末以外から実行するときは必須)。\n"
        "  --help, -h         この説明を表示します。コマンドの後に付けるとコマンドの説明です。\n"
        "  --                 これより後はすべて引数です (- で始まる名前にも使えます)。\n"
        "\n"
        "終了コード: 0 成功、1 失敗、2 使い方の誤り、3 取りやめ、4 check で問題あり");
    return text;
}

int usageError(const QString &problem) {
    print(stderr, QStringLiteral("hondana-admin: %1\n\n").arg(problem) + usage());
    return UsageError;
}

struct Parsed {
    bool help = false;
    QStringList words; // the command and its arguments
    Invocation call;
    QString problem;
};

Parsed parse(const QStringList &arguments) {
    Parsed parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        // An empty value is a script's unset variable, never "the default".
        const auto value = [&](QString &into) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(u"--") ||
                arguments[i + 1].isEmpty())
                parsed.problem = QStringLiteral("%1 の後に値を指定してください。").arg(argument);
            else
                into = arguments[++i];
        };
        if (optionsEnded)
            parsed.words << argument;
        else if (argument == u"--")
            optionsEnded = true;
        else if (argument == u"--help" || argument == u"-h")
            parsed.help = true;
        else if (argument == u"--yes" || argument == u"-y")
            parsed.call.yes = true;
        else if (argument == u"--folder" || argument == u"-C")
            value(parsed.call.folder);
        else if (argument == u"--encoding")
            value(parsed.call.encoding);
        else if (argument == u"--output" || argument == u"-o")
            value(parsed.call.output);
        else if (argument == u"--dry-run")
            parsed.call.dryRun = true;
        else if (argument == u"--overdue")
            parsed.call.overdue = true;
        else if (argument == u"--format")
            value(parsed.call.format);
        else if (argument == u"--duplicates")
            value(parsed.call.duplicates);
        else if (argument.startsWith(u'-') && argument.size() > 1)
            parsed.problem = QStringLiteral("「%1」というオプションはありません。").arg(argument);
        else
            parsed.words << argument;
    }
    return parsed;
}

} // namespace

int main(int argc, char *argv[]) {
    // Output whose reader has gone (a FIFO, a pipe) is a failure to report, like a full disk.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    Parsed parsed = parse(app.arguments().mid(1));
    const QList<Command> commands = allCommands();
    const Command *command = nullptr;
    if (!parsed.words.isEmpty()) {
        for (const Command &candidate : commands) {
            if (candidate.name == parsed.words.first())
                command = &candidate;
        }
    }
    if (parsed.help) {
        print(stdout, command ? command->usage : usage());
        return Success;
    }
    if (!parsed.problem.isEmpty())
        return usageError(parsed.problem);
    if (parsed.words.isEmpty())
        return usageError(QStringLiteral("コマンドを1つ指定してください。"));
    if (!command)
        return usageError(
            QStringLiteral("「%1」というコマンドはありません。").arg(parsed.words.first()));
    parsed.call.arguments = parsed.words.mid(1);
    if (!command->moreArguments && parsed.call.arguments.size() > command->arguments)
        return usageError(
            QStringLiteral("%1 に余分な引数「%2」があります。\n\n%3")
                .arg(command->name, parsed.call.arguments.at(command->arguments), command->usage));
    if (parsed.call.arguments.size() < command->arguments)
        return usageError(
            QStringLiteral("%1 には引数が必要です。\n\n%2").arg(command->name, command->usage));
    if (!parsed.call.folder.isEmpty() && !QFileInfo(parsed.call.folder).isDir()) {
        print(stderr, QStringLiteral("hondana-admin: データフォルダー「%1」がありません。")
                          .arg(parsed.call.folder));
        return Failed;
    }
    try {
        return command->run(parsed.call);
    } catch (const Failure &failure) {
        print(stderr, QStringLiteral("hondana-admin: ") + failure.message());
    } catch (const std::exception &error) {
        print(stderr, QStringLiteral("hondana-admin: 予期しないエラーです: ") +
                          QString::fromLocal8Bit(error.what()));
    }
    return Failed;
}
