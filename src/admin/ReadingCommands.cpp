// readings: fills in the suggested readings of titles, authors and publishers.
#include "admin/Command.h"
#include "admin/Console.h"
#include "catalogue/ReadingFill.h"
#include "catalogue/ReadingSuggester.h"
#include "core/Configuration.h"
#include "core/DataFolderLock.h"
#include "db/Connection.h"

namespace hondana::admin {

namespace {

int runReadings(const Invocation &call) {
    const DataFolderLock lock(call.folder);
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    const ReadingSuggester suggester;
    ReadingFillSummary summary;
    {
        TerminalProgress progress(QStringLiteral("読み取り中"));
        summary = fillSuggestedReadings(connection, suggester, progress.progress());
    }
    print(stdout, QStringLiteral("読みを %1 件入れました。読めなかったものは %2 件です。")
                      .arg(summary.filled)
                      .arg(summary.unread));
    return Success;
}

} // namespace

QList<Command> readingCommands() {
    return {
        {QStringLiteral("readings"),
         QStringLiteral("読みのない題名・著者・発行所に読みの候補を入れます"),
         QStringLiteral("使い方: hondana-admin readings [--folder フォルダー]\n\n"
                        "読み (カタカナ) のない題名、著者、発行所のすべてに、読みの候補を入れます。"
                        "利用者が入れた読みは\nそのままです。入れた件数と、読めなかった件数 "
                        "(ローマ字や数字を含むもの、辞書にない漢字を含むもの)\nを表示します。"
                        "読めなかったものには読みを入れません。"),
         0, runReadings},
    };
}

} // namespace hondana::admin
