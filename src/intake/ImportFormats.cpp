#include "intake/ImportFormats.h"

#include "base/Failure.h"

namespace hondana::intake {

namespace {

using Conv = Conversion;

FormatDescription::Column formatColumn(const char *name, const char *target = "",
                                       Conversion conversion = Conv::Text) {
    return {QString::fromUtf8(name), QString::fromUtf8(target), conversion};
}

QList<FormatDescription> buildFormats() {
    return {
        {ImportFormat::Csv,
         QStringLiteral("csv"),
         QStringLiteral("CSV・TSV（見出し行つき）"),
         true,
         {}},
        {ImportFormat::Own, QStringLiteral("own"), QStringLiteral("本棚帖の書き出し"), true, {}},
        {ImportFormat::Booklog,
         QStringLiteral("booklog"),
         QStringLiteral("ブクログ"),
         false,
         {formatColumn("サービスID"), formatColumn("アイテムID"),
          formatColumn("ISBN-13", "ISBN", Conv::Isbn), formatColumn("カテゴリ"),
          formatColumn("評価", "読感ﾗﾝｸ", Conv::Rating),
          formatColumn("読書状況", "読書ｽﾀﾝﾌﾟ", Conv::ReadingState), formatColumn("レビュー"),
          formatColumn("タグ"), formatColumn("読書メモ"), formatColumn("登録日時"),
          formatColumn("読了日", "読書完了日", Conv::Date), formatColumn("タイトル", "題名"),
          formatColumn("作者名", "著者名"), formatColumn("出版社名", "発行所"),
          formatColumn("発行年", "発行日", Conv::Date), formatColumn("ジャンル", "分野名"),
          formatColumn("ページ数")}},
        {ImportFormat::Goodreads,
         QStringLiteral("goodreads"),
         QStringLiteral("Goodreads"),
         true,
         {formatColumn("Title", "題名"), formatColumn("Author", "著者名"), formatColumn("ISBN"),
          formatColumn("ISBN13", "ISBN", Conv::Isbn),
          formatColumn("My Rating", "読感ﾗﾝｸ", Conv::Rating), formatColumn("Publisher", "発行所"),
          formatColumn("Binding", "ｻｲｽﾞ名"), formatColumn("Year Published", "発行日", Conv::Date),
          formatColumn("Date Read", "読書完了日", Conv::Date),
          formatColumn("Exclusive Shelf", "読書ｽﾀﾝﾌﾟ", Conv::ReadingState)}},
        {ImportFormat::Calibre,
         QStringLiteral("calibre"),
         QStringLiteral("calibre"),
         true,
         {formatColumn("title", "題名"), formatColumn("authors", "著者名", Conv::FirstName),
          formatColumn("publisher", "発行所"), formatColumn("pubdate", "発行日", Conv::Date),
          formatColumn("isbn", "ISBN", Conv::Isbn), formatColumn("rating", "読感ﾗﾝｸ", Conv::Rating),
          formatColumn("series_index", "SEQNO", Conv::Number), formatColumn("size"),
          formatColumn("comments"), formatColumn("tags"), formatColumn("series"),
          formatColumn("timestamp")}},
        {ImportFormat::Tellico,
         QStringLiteral("tellico"),
         QStringLiteral("Tellico"),
         true,
         {formatColumn("title", "題名"), formatColumn("author", "著者名", Conv::FirstName),
          formatColumn("publisher", "発行所"), formatColumn("pub_year", "発行日", Conv::Date),
          formatColumn("isbn", "ISBN", Conv::Isbn), formatColumn("binding", "ｻｲｽﾞ名"),
          formatColumn("edition", "版数"), formatColumn("genre", "分野名", Conv::FirstName),
          formatColumn("series_num", "SEQNO", Conv::Number),
          formatColumn("read", "読書ｽﾀﾝﾌﾟ", Conv::ReadingState),
          formatColumn("rating", "読感ﾗﾝｸ", Conv::Rating),
          formatColumn("pur_price", "価格", Conv::Price),
          formatColumn("pur_date", "購入日", Conv::Date), formatColumn("comments", "内容"),
          formatColumn("series"), formatColumn("pages")}},
    };
}

bool hasColumns(const QStringList &row, std::initializer_list<const char *> names) {
    for (const char *name : names) {
        if (!row.contains(QString::fromUtf8(name), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

} // namespace

const QList<FormatDescription> &importFormats() {
    static const QList<FormatDescription> formats = buildFormats();
    return formats;
}

const FormatDescription &formatDescription(ImportFormat format) {
    for (const FormatDescription &description : importFormats()) {
        if (description.format == format)
            return description;
    }
    return importFormats().first();
}

const FormatDescription *formatByOption(const QString &option) {
    for (const FormatDescription &description : importFormats()) {
        if (description.option.compare(option, Qt::CaseInsensitive) == 0)
            return &description;
    }
    return nullptr;
}

bool isZip(const QByteArray &start) {
    return start.startsWith("PK\x03\x04");
}

ImportFormat recogniseTable(const SourceTable &table) {
    if (table.records.isEmpty())
        return ImportFormat::Csv;
    const QStringList first = table.records.first().fields();
    if (hasColumns(first, {"SEQNO", "題名", "著者名"}))
        return ImportFormat::Own;
    if (hasColumns(first, {"Book Id", "Exclusive Shelf"}))
        return ImportFormat::Goodreads;
    if (hasColumns(first, {"title", "authors", "uuid"}))
        return ImportFormat::Calibre;
    // A row of 17 fields none of which names a formatColumn of ours: the shape of that export.
    const auto named = std::count_if(first.begin(), first.end(),
                                     [](const QString &name) { return findBookColumn(name) >= 0; });
    if (first.size() == 17 && named == 0)
        return ImportFormat::Booklog;
    return ImportFormat::Csv;
}

void nameColumns(SourceTable &table, const FormatDescription &format) {
    // A file that names its fields apart from its rows (XML) has its columns already.
    if (!table.columns.isEmpty())
        return;
    if (format.header) {
        if (table.records.isEmpty())
            throw Failure(QStringLiteral("ファイルに見出しの行がありません。何も取り込みません。"));
        table.columns = table.records.takeFirst().fields();
        return;
    }
    qsizetype widest = format.columns.size();
    for (const SourceRecord &record : table.records)
        widest = qMax(widest, record.size());
    table.columns.clear();
    for (qsizetype i = 0; i < widest; ++i)
        table.columns << (i < format.columns.size() ? format.columns[i].name
                                                    : QStringLiteral("%1 列目").arg(i + 1));
}

ColumnMapping defaultMapping(const SourceTable &table, const FormatDescription &format) {
    ColumnMapping mapping;
    mapping.sourceColumns = table.columns;
    QList<bool> taken(bookColumns().size(), false);
    for (const QString &name : table.columns) {
        ColumnRule rule;
        const auto described = std::find_if(
            format.columns.begin(), format.columns.end(), [&](const FormatDescription::Column &c) {
                return c.name.compare(name, Qt::CaseInsensitive) == 0;
            });
        if (described != format.columns.end()) {
            rule.target = described->target.isEmpty() ? -1 : findBookColumn(described->target);
            rule.conversion = described->conversion;
        } else {
            rule.target = findBookColumn(name);
            if (rule.target >= 0)
                rule.conversion = bookColumns()[rule.target].conversion;
        }
        // One file formatColumn per book formatColumn: the first that names it.
        if (rule.target >= 0 && taken[rule.target])
            rule.target = -1;
        if (rule.target >= 0)
            taken[rule.target] = true;
        mapping.rules.append(rule);
    }
    return mapping;
}

} // namespace hondana::intake
