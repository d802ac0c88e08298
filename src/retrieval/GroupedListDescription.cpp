#include "retrieval/GroupedListDescription.h"
#include "widgets/WindowNames.h"

namespace hondana {

namespace {

// The three lines of each command end with a carriage return and a line feed; the first line
// also with a blank before it.
QString lines(const char *first, const char *second, const char *third) {
    return QString::fromUtf8(first) + QStringLiteral(" \r\n") + QString::fromUtf8(second) +
           QStringLiteral("\r\n") + QString::fromUtf8(third);
}

ParentField shown(const char *name, const char *field, QRectF at, const char *label,
                  const char *labelText, QRectF labelAt) {
    return {QString::fromUtf8(name),  QString::fromUtf8(field),     at,     true,
            QString::fromUtf8(label), QString::fromUtf8(labelText), labelAt};
}

ParentField hiddenKey(const char *field, QRectF at, const QString &format = {}) {
    ParentField key{QStringLiteral("txtFields(0)"), QString::fromUtf8(field), at, false};
    key.displayFormat = format;
    return key;
}

GroupedListDescription byCategory() {
    return {
        windows::ListByCategory,
        QStringLiteral("分野一覧"),
        lines("SHAPE {select 分野NO,分野名 from BUNYA} AS ParentCMD APPEND ({select BOOK.購入日, "
              "BOOK.題名, BOOK.ｼﾘｰｽﾞ, BOOK.SEQNO, CHOSHA.著者名, HAKKOU.発行所, BUNYA.分野名, "
              "BOOK.管理番号1, BOOK.管理番号2, BOOK.請求番号,BOOK.分野NO",
              "FROM ((BUNYA RIGHT JOIN BOOK ON BUNYA.分野NO = BOOK.分野NO) LEFT JOIN CHOSHA ON "
              "BOOK.著者NO = CHOSHA.著者NO) LEFT JOIN HAKKOU ON BOOK.発行所NO = HAKKOU.発行所NO",
              "WHERE (((BOOK.題名) Is Not Null)) ORDER BY BOOK.題名, BOOK.SEQNO } AS ChildCMD "
              "RELATE 分野NO TO 分野NO) AS ChildCMD"),
        {8985, 5040},
        {shown("txtFields(1)", "分野名", {960, 120, 3375, 285}, "lblLabels(1)",
               "分野名:", {120, 120, 852, 252}),
         hiddenKey("分野NO", {4800, 120, 972, 285}, QStringLiteral("#,##0"))},
        {240, 600, 8400, 3450},
        1213,
        3521,
    };
}

GroupedListDescription byAuthor() {
    return {
        windows::ListByAuthor,
        QStringLiteral("著者一覧"),
        lines("SHAPE {select 著者NO,著者名,国 from CHOSHA Order by 著者NO} AS ParentCMD APPEND "
              "({select BOOK.購入日, BOOK.題名, BOOK.ｼﾘｰｽﾞ, BOOK.SEQNO, CHOSHA.著者名, "
              "HAKKOU.発行所, BUNYA.分野名, BOOK.管理番号1, BOOK.管理番号2, "
              "BOOK.請求番号,BOOK.著者NO",
              "FROM BOOK, BUNYA, CHOSHA, HAKKOU",
              "WHERE (((BOOK.分野NO)=[BUNYA].[分野NO]) AND ((BOOK.著者NO)=[CHOSHA].[著者NO]) AND "
              "((BOOK.発行所NO)=[HAKKOU].[発行所NO])) ORDER BY BOOK.題名,BOOK.題名, BOOK.SEQNO } "
              "AS ChildCMD RELATE 著者NO TO 著者NO) AS ChildCMD"),
        {8655, 4635},
        {shown("txtFields(1)", "著者名", {1080, 120, 3375, 285}, "lblLabels(1)",
               "著者名:", {120, 120, 972, 252}),
         shown("txtFields(2)", "国", {1080, 480, 3375, 285}, "lblLabels(2)",
               "国:", {120, 480, 972, 252}),
         hiddenKey("著者NO", {4560, 120, 852, 285})},
        {120, 840, 8280, 2976},
        1213,
        3521,
    };
}

GroupedListDescription byPublisher() {
    return {
        windows::ListByPublisher,
        QStringLiteral("発行所一覧"),
        lines("SHAPE {select 発行所NO,発行所 from HAKKOU Order by 発行所NO} AS ParentCMD APPEND "
              "({select BOOK.購入日, BOOK.題名, BOOK.ｼﾘｰｽﾞ, BOOK.SEQNO, CHOSHA.著者名, "
              "HAKKOU.発行所, BUNYA.分野名, BOOK.管理番号1, BOOK.管理番号2, "
              "BOOK.請求番号,BOOK.発行所NO",
              "FROM BOOK, BUNYA, CHOSHA, HAKKOU",
              "WHERE (((BOOK.分野NO)=[BUNYA].[分野NO]) AND ((BOOK.著者NO)=[CHOSHA].[著者NO]) AND "
              "((BOOK.発行所NO)=[HAKKOU].[発行所NO])) ORDER BY BOOK.題名  } AS ChildCMD RELATE "
              "発行所NO TO 発行所NO) AS ChildCMD"),
        {7860, 4110},
        {shown("txtFields(1)", "発行所", {1320, 120, 3375, 285}, "lblLabels(1)",
               "発行所:", {120, 120, 1212, 252}),
         hiddenKey("発行所NO", {4920, 120, 732, 285})},
        {0, 480, 7800, 2856},
        1440,
        4200,
    };
}

} // namespace

const QList<GroupedListDescription> &groupedListDescriptions() {
    static const QList<GroupedListDescription> all = {byCategory(), byAuthor(), byPublisher()};
    return all;
}

} // namespace hondana
