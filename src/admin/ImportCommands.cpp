// import: books from other catalogues' files.
#include "admin/Command.h"
#include "admin/Console.h"
#include "base/Failure.h"
#include "core/Configuration.h"
#include "core/DataFolderLock.h"
#include "db/Connection.h"
#include "intake/CatalogueImport.h"

namespace hondana::admin {

namespace {

using namespace intake;

std::optional<ImportFormat> formatOption(const QString &option) {
    if (option.isEmpty())
        return std::nullopt;
    const FormatDescription *format = formatByOption(option);
    if (!format) {
        QStringList names;
        for (const FormatDescription &known : importFormats())
            names << known.option;
        throw Failure(QStringLiteral("--format は %1 のどれかです。").arg(names.join(u", ")));
    }
    return format->format;
}

TextEncoding encodingOption(const QString &option) {
    if (option.isEmpty())
        return TextEncoding::Detect;
    if (option.compare(u"utf-8", Qt::CaseInsensitive) == 0 ||
        option.compare(u"utf8", Qt::CaseInsensitive) == 0)
        return TextEncoding::Utf8;
    if (option.compare(u"cp932", Qt::CaseInsensitive) == 0 ||
        option.compare(u"shift_jis", Qt::CaseInsensitive) == 0)
        return TextEncoding::Cp932;
    throw Failure(QStringLiteral("--encoding は utf-8 か cp932 です。"));
}

Duplicates duplicatesOption(const QString &option) {
    if (option.isEmpty() || option == u"skip")
        return Duplicates::Skip;
    if (option == u"add")
        return Duplicates::Add;
    throw Failure(QStringLiteral("--duplicates は skip か add です。"));
}

int runImport(const Invocation &call) {
    const Duplicates duplicates = duplicatesOption(call.duplicates);
    const ImportFile file = ImportFile::read(call.arguments.value(0), formatOption(call.format),
                                             encodingOption(call.encoding));
    const DataFolderLock lock(call.folder);
    Connection connection(readConfigurationLine(call.folder), call.folder);
    connection.open();
    const ImportPreview preview(connection, file);
    print(stdout, preview.text(duplicates));
    if (call.dryRun)
        return Success;
    QList<qint64> added;
    {
        TerminalProgress progress(QStringLiteral("取り込み中"));
        added = importBooks(connection, preview, duplicates, progress.progress());
    }
    print(stdout, QStringLiteral("%1 冊を追加しました。").arg(added.size()));
    return Success;
}

} // namespace

QList<Command> importCommands() {
    return {
        {QStringLiteral("import"),
         QStringLiteral("ほかの目録の書き出したファイルから本を取り込みます"),
         QStringLiteral(
             "使い方: hondana-admin import [--dry-run] [--format 形式] [--encoding 文字コード]\n"
             "       [--duplicates skip|add] [--folder フォルダー] ファイル\n\n"
             "CSV・TSV (見出し行つき)、本棚帖の書き出し (export)、ブクログ、Goodreads、calibre "
             "の CSV、\nTellico の .tc ファイルから本を取り込みます。形式と文字コード (UTF-8 か "
             "CP932) はファイルから\n見分けます。--format (csv, own, booklog, goodreads, calibre, "
             "tellico) と --encoding (utf-8, cp932)\nで指定もできます。ない著者・発行所・分野・"
             "サイズはマスターに作ります。\n\n追加する本、作るマスター、取り込めない行 (行番号、"
             "欄、値、理由)、目録にある本と似ている本\n(ISBN が同じか、題名・ｼﾘｰｽﾞ・著者が同じ) "
             "を表示してから、問題のない本をまとめて追加します\n(全部か、何も追加しないか)。"
             "--dry-run では表示だけで何も追加しません。似ている本は\n--duplicates skip (既定) で"
             "取り込まず、add で追加します。ファイルの読みのない題名・著者・発行所には\n読みの"
             "候補を入れます。ファイル全体を読めないときは何も取り込まず、終了コード 1 です。"),
         1, runImport},
    };
}

} // namespace hondana::admin
