#pragma once

#include <QString>

namespace hondana {

// A hierarchical command of the form
//   SHAPE {parent SQL} AS name APPEND ({child SQL} AS name RELATE parentKey TO childKey) AS chapter
// taken apart into what the grouped record set runs: the two SQL texts, the relating columns
// and the name of the chapter column. Keywords are read regardless of case, and line breaks
// count as blanks.
struct ShapeCommand {
    QString parentSql;
    QString childSql;
    QString parentKey;
    QString childKey;
    QString chapterName;

    // Throws Failure with a Japanese message naming the command and what is wrong with it.
    static ShapeCommand parse(const QString &text);
};

} // namespace hondana
