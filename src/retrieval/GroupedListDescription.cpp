#include "retrieval/GroupedListDescription.h"

#include "db/BookQueries.h"
#include "widgets/WindowNames.h"

namespace hondana {

namespace {

// The child command is the record-set layer's, which answers it from memory.
QString shape(const char *parent, const QString &child, const char *key) {
    return QStringLiteral("SHAPE {%1} AS ParentCMD APPEND ({%2} AS ChildCMD RELATE %3 TO %3) AS "
                          "ChildCMD")
        .arg(QString::fromUtf8(parent), child, QString::fromUtf8(key));
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
        shape("select 分野NO,分野名 from BUNYA", childcommands::ByCategory, "分野NO"),
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
        shape("select 著者NO,著者名,国 from CHOSHA Order by 著者NO", childcommands::ByAuthor,
              "著者NO"),
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
        shape("select 発行所NO,発行所 from HAKKOU Order by 発行所NO", childcommands::ByPublisher,
              "発行所NO"),
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
