#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace hondana {

// A record-set filter: `column LIKE 'text*'` comparisons joined by AND, with parentheses.
// `*` may only end the text (a prefix match); without it the whole value must match. Letters
// A-Z match regardless of case, every other character exactly, as SQLite's LIKE does. A null
// value matches nothing.
class FilterExpression {
public:
    FilterExpression();
    ~FilterExpression();
    FilterExpression(const FilterExpression &other);
    FilterExpression &operator=(const FilterExpression &other);

    // Throws Failure with a Japanese message for anything the syntax cannot take. An empty or
    // blank expression gives the filter that passes every row.
    static FilterExpression parse(const QString &expression);

    // The condition `column LIKE 'text*'` for what a user typed into a search field. Text the
    // syntax cannot carry (an apostrophe, a wildcard) is refused with Failure before any
    // parsing, so a search never runs on a mangled pattern.
    static QString prefixCondition(const QString &column, const QString &typedText);

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
