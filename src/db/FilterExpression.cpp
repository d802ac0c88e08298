#include "db/FilterExpression.h"

#include "base/Failure.h"
#include "db/TextFolding.h"

#include <QDate>
#include <vector>

namespace hondana {

struct FilterExpression::Node {
    // A comparison when `children` is empty, otherwise the AND of the children.
    int column = -1;
    QString pattern; // folded once here, not per row

    bool prefix = false;
    std::vector<std::shared_ptr<const Node>> children;
};

namespace {

Failure syntaxError(const QString &expression, const QString &what) {
    return Failure(QStringLiteral("抽出条件「%1」を読めません: %2").arg(expression, what));
}

class Parser {
public:
    Parser(const QString &text, QStringList &columns) : m_text(text), m_columns(columns) {}

    std::shared_ptr<const FilterExpression::Node> parseAll() {
        auto root = parseAnd();
        skipBlanks();
        if (m_at < m_text.size())
            throw syntaxError(
                m_text,
                QStringLiteral("「%1」の所で式が終わっていません。").arg(m_text.mid(m_at, 10)));
        return root;
    }

private:
    std::shared_ptr<const FilterExpression::Node> parseAnd() {
        auto node = std::make_shared<FilterExpression::Node>();
        node->children.push_back(parseTerm());
        while (takeKeyword(QStringLiteral("AND")))
            node->children.push_back(parseTerm());
        skipBlanks();
        const QString word = peekWord().toUpper();
        if (word == QLatin1String("OR") || word == QLatin1String("NOT"))
            throw syntaxError(m_text, QStringLiteral("条件は AND でしかつなげません。"));
        if (node->children.size() == 1)
            return node->children.front();
        return node;
    }

    std::shared_ptr<const FilterExpression::Node> parseTerm() {
        skipBlanks();
        if (m_at < m_text.size() && m_text.at(m_at) == QLatin1Char('(')) {
            // Each level costs a stack frame; no real filter nests more than a few.
            if (++m_depth > MaxDepth)
                throw syntaxError(m_text, QStringLiteral("括弧が深すぎます。"));
            ++m_at;
            auto inner = parseAnd();
            --m_depth;
            skipBlanks();
            if (m_at >= m_text.size() || m_text.at(m_at) != QLatin1Char(')'))
                throw syntaxError(m_text, QStringLiteral("「)」が足りません。"));
            ++m_at;
            return inner;
        }
        auto node = std::make_shared<FilterExpression::Node>();
        const QString column = takeColumn();
        if (!takeKeyword(QStringLiteral("LIKE")))
            throw syntaxError(m_text,
                              QStringLiteral("列「%1」の後に LIKE がありません。").arg(column));
        QString pattern = takeQuoted();
        node->column = columnIndex(column);
        // Only the last character can be the wildcard: whatever stands before it was typed by
        // a user and is matched as itself, `*`, `%`, `?`, `#` and brackets included.
        if (!pattern.isEmpty() &&
            (pattern.back() == QLatin1Char('*') || pattern.back() == QLatin1Char('%'))) {
            node->prefix = true;
            pattern.chop(1);
        }
        node->pattern = folding::folded(pattern);
        return node;
    }

    int columnIndex(const QString &column) {
        qsizetype index = m_columns.indexOf(column);
        if (index < 0) {
            m_columns << column;
            index = m_columns.size() - 1;
        }
        return int(index);
    }

    QString takeColumn() {
        skipBlanks();
        if (m_at < m_text.size() && m_text.at(m_at) == QLatin1Char('[')) {
            const qsizetype end = m_text.indexOf(QLatin1Char(']'), m_at);
            if (end < 0)
                throw syntaxError(m_text, QStringLiteral("「]」が足りません。"));
            const QString name = m_text.mid(m_at + 1, end - m_at - 1);
            m_at = end + 1;
            if (name.isEmpty())
                throw syntaxError(m_text, QStringLiteral("列名がありません。"));
            return name;
        }
        const QString name = peekWord();
        if (name.isEmpty())
            throw syntaxError(m_text, QStringLiteral("列名がありません。"));
        m_at += name.size();
        return name;
    }

    // The text between apostrophes; two apostrophes inside stand for one.
    QString takeQuoted() {
        skipBlanks();
        if (m_at >= m_text.size() || m_text.at(m_at) != QLatin1Char('\''))
            throw syntaxError(m_text, QStringLiteral("LIKE の後に '…' で囲んだ文字がありません。"));
        QString text;
        for (qsizetype at = m_at + 1; at < m_text.size(); ++at) {
            if (m_text.at(at) != QLatin1Char('\'')) {
                text.append(m_text.at(at));
                continue;
            }
            if (at + 1 < m_text.size() && m_text.at(at + 1) == QLatin1Char('\'')) {
                text.append(QLatin1Char('\''));
                ++at;
                continue;
            }
            m_at = at + 1;
            return text;
        }
        throw syntaxError(m_text, QStringLiteral("「'」が閉じていません。"));
    }

    bool takeKeyword(const QString &keyword) {
        skipBlanks();
        const QString word = peekWord();
        if (word.compare(keyword, Qt::CaseInsensitive) != 0)
            return false;
        m_at += word.size();
        return true;
    }

    QString peekWord() const {
        qsizetype end = m_at;
        while (end < m_text.size()) {
            const QChar c = m_text.at(end);
            if (c.isSpace() || c == QLatin1Char('(') || c == QLatin1Char(')') ||
                c == QLatin1Char('\'') || c == QLatin1Char('['))
                break;
            ++end;
        }
        return m_text.mid(m_at, end - m_at);
    }

    void skipBlanks() {
        while (m_at < m_text.size() && m_text.at(m_at).isSpace())
            ++m_at;
    }

    static constexpr int MaxDepth = 100;

    const QString &m_text;
    QStringList &m_columns;
    qsizetype m_at = 0;
    int m_depth = 0;
};

bool likeMatches(const QString &value, const QString &foldedPattern, bool prefix) {
    return prefix ? folding::startsWith(value, foldedPattern)
                  : folding::equals(value, foldedPattern);
}

QString comparableText(const QVariant &value) {
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    return value.toString();
}

bool evaluate(const FilterExpression::Node &node, const std::function<QVariant(int)> &valueOf) {
    if (node.children.empty()) {
        const QVariant value = valueOf(node.column);
        if (!value.isValid() || value.isNull())
            return false;
        return likeMatches(comparableText(value), node.pattern, node.prefix);
    }
    for (const auto &child : node.children) {
        if (!evaluate(*child, valueOf))
            return false;
    }
    return true;
}

} // namespace

FilterExpression::FilterExpression() = default;
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(const FilterExpression &other) = default;
FilterExpression &FilterExpression::operator=(const FilterExpression &other) = default;

FilterExpression FilterExpression::parse(const QString &expression) {
    FilterExpression result;
    if (expression.trimmed().isEmpty())
        return result;
    QStringList columns;
    Parser parser(expression, columns);
    result.m_root = parser.parseAll();
    result.m_columns = columns;
    result.m_text = expression;
    return result;
}

QString FilterExpression::literal(const QString &typedText) {
    QString text = typedText;
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

bool FilterExpression::isEmpty() const {
    return !m_root;
}

QString FilterExpression::text() const {
    return m_text;
}

QStringList FilterExpression::columns() const {
    return m_columns;
}

bool FilterExpression::matches(const std::function<QVariant(int)> &valueOf) const {
    return !m_root || evaluate(*m_root, valueOf);
}

} // namespace hondana
