// export, check, missing and loans: the commands that only read the catalogue.
#include "admin/Command.h"
#include "admin/Console.h"
#include "base/Failure.h"
#include "base/SafeFile.h"
#include "catalogue/BookLoans.h"
#include "catalogue/JapaneseOrder.h"
#include "catalogue/SeriesVolumes.h"
#include "catalogue/WishList.h"
#include "core/Configuration.h"
#include "db/Connection.h"
#include "maintenance/CatalogueCheck.h"
#include "maintenance/CatalogueExport.h"

#include <algorithm>
#include <memory>

namespace hondana::admin {

namespace {

CsvEncoding encodingOf(const QString &name) {
    const QString lower = name.toLower();
    if (lower.isEmpty() || lower == u"utf-8" || lower == u"utf8")
        return CsvEncoding::Utf8;
    if (lower == u"cp932" || lower == u"shift_jis" || lower == u"sjis")
        return CsvEncoding::Cp932;
    throw Failure(
        QStringLiteral("文字コード「%1」は使えません。utf-8 か cp932 を指定してください。")
            .arg(name));
}

int runExport(const Invocation &call) {
    const CsvEncoding encoding = encodingOf(call.encoding);
    const QString connectionString = readConfigurationLine(call.folder);
    std::unique_ptr<safefile::OutputFile> file;
    CsvSink sink = [](QByteArrayView bytes) {
        std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout);
    };
    if (!call.output.isEmpty()) {
        // A failed export leaves an earlier file of that name as it was.
        file = std::make_unique<safefile::OutputFile>(call.output);
        sink = [&file](QByteArrayView bytes) { file->write(bytes.data(), bytes.size()); };
    }
    qint64 books = 0;
    {
        TerminalProgress progress(QStringLiteral("書き出し中"));
        books = exportCatalogue(connectionString, call.folder, encoding, sink, progress.progress());
    }
    if (file) {
        file->commit();
        print(stdout,
              QStringLiteral("%1 冊を「%2」に書き出しました。").arg(books).arg(call.output));
    } else {
        std::fflush(stdout);
        if (std::ferror(stdout))
            throw Failure(QStringLiteral("標準出力に書けません。"));
    }
    return Success;
}

// The wish list belongs to no book, so the books' export has no place for it: it has a file of
// its own, as the wish-list window writes it.
int runWishes(const Invocation &call) {
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    const QList<Wish> wishes = WishList(connection).all();
    const QByteArray csv = wishListCsv(wishes);
    if (call.output.isEmpty()) {
        std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
        std::fflush(stdout);
        if (std::ferror(stdout))
            throw Failure(QStringLiteral("標準出力に書けません。"));
        return Success;
    }
    safefile::OutputFile file(call.output);
    file.write(csv.constData(), csv.size());
    file.commit();
    print(stdout, QStringLiteral("欲しい本 %1 冊を「%2」に書き出しました。")
                      .arg(wishes.size())
                      .arg(call.output));
    return Success;
}

int runCheck(const Invocation &call) {
    CatalogueCheckReport report;
    {
        TerminalProgress progress(QStringLiteral("検査中"));
        report =
            checkCatalogue(readConfigurationLine(call.folder), call.folder, progress.progress());
    }
    for (const auto &[table, rows] : std::as_const(report.rowCounts))
        print(stdout, QStringLiteral("%1\t%2 行").arg(table).arg(rows));
    if (report.sound()) {
        print(stdout, QStringLiteral("問題は見つかりませんでした。"));
        return Success;
    }
    for (const CatalogueCheckReport::Problem &problem : std::as_const(report.problems)) {
        print(stdout, QStringLiteral("問題: ") + problem.what);
        print(stdout, QStringLiteral("  対処: ") + problem.remedy);
    }
    print(
        stderr,
        QStringLiteral("hondana-admin: %1 件の問題が見つかりました。").arg(report.problems.size()));
    return ProblemsFound;
}

int runMissing(const Invocation &call) {
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    for (const Series &series : readSeries(connection)) {
        const QList<int> missing = series.missing();
        if (missing.isEmpty())
            continue;
        print(stdout, QStringLiteral("%1\t%2\t%3")
                          .arg(series.title, series.ownedText(), volumeRanges(missing)));
    }
    return Success;
}

QString loanDate(const QDate &date) {
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

int runLoans(const Invocation &call) {
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    QList<Loan> loans = BookLoans(connection).openLoans();
    const QDate today = QDate::currentDate();
    if (call.overdue)
        loans.removeIf([&](const Loan &loan) { return !loan.isOverdue(today); });
    // By title as the loans window lists them, so a script's list and the screen agree.
    const JapaneseOrder order;
    std::stable_sort(loans.begin(), loans.end(), [&](const Loan &a, const Loan &b) {
        return order.compare(a.title, a.titleReading, b.title, b.titleReading) < 0;
    });
    for (const Loan &loan : std::as_const(loans))
        print(stdout,
              QStringLiteral("%1\t%2\t%3\t%4")
                  .arg(loan.title, loan.borrower, loanDate(loan.lentOn), loanDate(loan.dueOn)));
    return Success;
}

} // namespace

QList<Command> reportCommands() {
    return {
        {QStringLiteral("export"), QStringLiteral("蔵書を CSV で書き出します"),
         QStringLiteral("使い方: hondana-admin export [--output ファイル] [--encoding utf-8|cp932] "
                        "[--folder フォルダー]\n\n"
                        "蔵書を1冊1行の CSV (先頭に列名の行、RFC 4180 の引用) で書き出します。"
                        "著者名、発行所、\n分野名、ｻｲｽﾞ名、読み、ISBN、貸出中の本の貸出先・貸出日・"
                        "返却予定日も付けます。--output がなければ標準出力"
                        "に書きます。文字コードは UTF-8 で、\n--encoding cp932 で Shift_JIS "
                        "(cp932) を読む表計算ソフト向けになります。"),
         0, runExport},
        {QStringLiteral("wishes"), QStringLiteral("欲しい本の一覧を CSV で書き出します"),
         QStringLiteral("使い方: hondana-admin wishes [--output ファイル] [--folder フォルダー]\n\n"
                        "欲しい本を優先度順に 1 冊 1 行の CSV (UTF-8、BOM 付き) で書き出します。"
                        "列は優先度、題名、\n著者、ISBN、メモ、追加日です。--output がなければ"
                        "標準出力に書きます。"),
         0, runWishes},
        {QStringLiteral("check"), QStringLiteral("蔵書データベースを検査します"),
         QStringLiteral("使い方: hondana-admin check [--folder フォルダー]\n\n"
                        "SQLite の整合性検査、各表の行数、ないマスターを指す本、重複したマスターの"
                        "番号、\nDSTMP にない読書ｽﾀﾝﾌﾟを調べ、見つかった問題と対処を表示します。"
                        "問題があれば終了コードは 4 です。"),
         0, runCheck},
        {QStringLiteral("missing"), QStringLiteral("欠けている巻のあるシリーズを表示します"),
         QStringLiteral("使い方: hondana-admin missing [--folder フォルダー]\n\n"
                        "同じ題名の本が何冊もあるシリーズ (全体NO が 2 以上の本も) のうち、巻の"
                        "欠けているものを\n読みの 50音順に 1 行ずつ、題名、持っている巻、欠けて"
                        "いる巻のタブ区切りで表示します。\n巻は SEQNO (通し番号) か、数字の"
                        "ｼﾘｰｽﾞで数え、全体NO まで (全体NO がないか小さいときは\n持っている最後の"
                        "巻まで) を調べます。上・下のような数字でない巻は持っている巻に並べます。"
                        "\n例: こころ\t1–5, 7\t6, 8–10"),
         0, runMissing},
        {QStringLiteral("loans"), QStringLiteral("貸出中の本を表示します"),
         QStringLiteral("使い方: hondana-admin loans [--overdue] [--folder フォルダー]\n\n"
                        "貸出中の本を題名の読みの 50音順に 1 冊 1 行ずつ、題名、貸出先、貸出日、"
                        "返却予定日の\nタブ区切りで表示します。日付は 2026-11-01 の形で、返却"
                        "予定日がなければ空です。\n--overdue で返却予定日を過ぎた本だけを表示"
                        "します。"),
         0, runLoans},
    };
}

} // namespace hondana::admin
