// lookup: what the search service knows of books, by ISBN, without touching the catalogue.
#include "admin/Command.h"
#include "admin/Console.h"
#include "base/Failure.h"
#include "lookup/IsbnLookup.h"
#include "lookup/LookupSettings.h"

#include <QEventLoop>
#include <QMultiHash>

namespace hondana::admin {

namespace {

int runLookup(const Invocation &call) {
    IsbnLookup lookup(LookupSettings(call.folder).serviceAddress(), call.folder);
    // Without its cache the look-up still works; it only asks the service every time.
    if (!lookup.cacheProblem().isEmpty())
        print(stderr, QStringLiteral("hondana-admin: ") + lookup.cacheProblem());
    QStringList lines(call.arguments.size());
    bool allFound = true;
    QMultiHash<QString, qsizetype> asked; // an ISBN given twice is asked once
    QEventLoop loop;
    QObject::connect(&lookup, &IsbnLookup::finished, &loop, [&](const LookupResult &result) {
        allFound = allFound && result.outcome == LookupResult::Outcome::Found;
        for (const qsizetype line : asked.values(result.isbn.digits()))
            lines[line] = resultLine(result);
        if (lookup.pending() == 0)
            loop.quit();
    });
    for (qsizetype i = 0; i < call.arguments.size(); ++i) {
        try {
            const Isbn isbn = Isbn::fromText(call.arguments[i]);
            const bool first = !asked.contains(isbn.digits());
            asked.insert(isbn.digits(), i);
            if (first)
                lookup.lookUp(isbn);
        } catch (const Failure &failure) {
            lines[i] = call.arguments[i].simplified() + u'\t' + failure.message().simplified();
            allFound = false;
        }
    }
    if (lookup.pending() > 0)
        loop.exec();
    for (const QString &line : lines)
        print(stdout, line);
    return allFound ? Success : Failed;
}

} // namespace

QList<Command> lookupCommands() {
    return {{QStringLiteral("lookup"),
             QStringLiteral("ISBN で国立国会図書館サーチに書誌を照会します"),
             QStringLiteral(
                 "使い方: hondana-admin lookup ISBN...\n"
                 "\n"
                 "ISBN ごとに国立国会図書館サーチの書誌を照会し、1 行ずつタブ区切りで表示します:\n"
                 "ISBN、題名、題名ヨミ、著者、発行所、発行日、価格、大きさ、NDC。\n"
                 "見つからない ISBN や照会できなかった ISBN は、ISBN と理由を表示します。\n"
                 "ISBN は国立国会図書館に送られます。蔵書データベースは変わりません。\n"
                 "照会の結果はデータフォルダーの hondana-lookup.sqlite に控え、同じ ISBN には\n"
                 "ネットワークを使わずに答えます。照会先は環境変数 HONDANA_LOOKUP_URL "
                 "で変えられます。\n"
                 "\n"
                 "終了コード: 0 すべて見つかった、1 見つからない・照会できない ISBN があった"),
             1, runLookup, true}};
}

} // namespace hondana::admin
