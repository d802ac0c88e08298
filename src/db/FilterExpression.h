#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace hondana {

// A record-set filter: `column LIKE 'text*'` comparisons joined by AND, with parentheses.
// A final `*` (or `%`) makes a prefix match; without it the whole value must match. Every
// other character of the text is itself (two apostrophes stand for one), and comparisons fold
// case, width and kana (see TextFolding.h). A null value matches nothing.
class FilterExpression {
public:
    FilterExpression();
    ~FilterExpression();
    FilterExpression(const FilterExpression &other);
    FilterExpression &operator=(const FilterExpression &other);

    // Throws Failure with a Japanese message for anything the syntax cannot take. An empty or
    // blank expression gives the filter that passes every row.
    static FilterExpression parse(const QString &expression);

    // What a user typed, ready to stand between the apostrophes of a pattern: it then matches
    // literally, whatever characters it holds.
    static QString literal(const QString &typedText);

    bool isEmpty() const;
    QString text() const;
    // The columns the expression names, in order of first appearance.
    QStringList columns() const;

    // `valueOf(i)` gives the value of columns().at(i) for the row being tested.
    bool matches(const std::function<QVariant(int columnIndex)> &valueOf) const;

    struct Node;

private:
    QString m_text;
    QStringList m_columns;
    std::shared_ptr<const Node> m_root;
};

} // namespace hondana
