#include "db/ShapeCommand.h"

#include "base/Failure.h"

namespace hondana {

namespace {

class ShapeParser {
public:
    explicit ShapeParser(const QString &text) : m_text(text) {}

    ShapeCommand parse() {
        ShapeCommand command;
        expectKeyword(QStringLiteral("SHAPE"));
        command.parentSql = takeBraced();
        expectKeyword(QStringLiteral("AS"));
        takeName();
        expectKeyword(QStringLiteral("APPEND"));
        expectChar(QLatin1Char('('));
        command.childSql = takeBraced();
        expectKeyword(QStringLiteral("AS"));
        takeName();
        expectKeyword(QStringLiteral("RELATE"));
        command.parentKey = takeName();
        expectKeyword(QStringLiteral("TO"));
        command.childKey = takeName();
        expectChar(QLatin1Char(')'));
        expectKeyword(QStringLiteral("AS"));
        command.chapterName = takeName();
        skipBlanks();
        if (m_at < m_text.size())
            throw error(QStringLiteral("「%1」の所で命令が終わっていません。").arg(excerpt()));
        return command;
    }

private:
    Failure error(const QString &what) const {
        QString shown = m_text.simplified();
        if (shown.size() > 60)
            shown = shown.left(60) + QStringLiteral("…");
        return Failure(QStringLiteral("一覧の命令「%1」を読めません: %2").arg(shown, what));
    }

    QString excerpt() const { return m_text.mid(m_at, 20).simplified(); }

    void skipBlanks() {
        while (m_at < m_text.size() && m_text.at(m_at).isSpace())
            ++m_at;
    }

    QString peekWord() const {
        qsizetype end = m_at;
        while (end < m_text.size() && !m_text.at(end).isSpace() &&
               !QStringLiteral("{}()").contains(m_text.at(end)))
            ++end;
        return m_text.mid(m_at, end - m_at);
    }

    void expectKeyword(const QString &keyword) {
        skipBlanks();
        const QString word = peekWord();
        if (word.compare(keyword, Qt::CaseInsensitive) != 0)
            throw error(QStringLiteral("%1 がありません（「%2」の所）。").arg(keyword, excerpt()));
        m_at += word.size();
    }

    void expectChar(QChar c) {
        skipBlanks();
        if (m_at >= m_text.size() || m_text.at(m_at) != c)
            throw error(QStringLiteral("「%1」がありません（「%2」の所）。").arg(c).arg(excerpt()));
        ++m_at;
    }

    QString takeName() {
        skipBlanks();
        const QString word = peekWord();
        if (word.isEmpty())
            throw error(QStringLiteral("名前がありません（「%1」の所）。").arg(excerpt()));
        m_at += word.size();
        if (word.size() > 1 && word.startsWith(QLatin1Char('[')) && word.endsWith(QLatin1Char(']')))
            return word.mid(1, word.size() - 2);
        return word;
    }

    // The SQL between braces; a brace inside a quoted text belongs to the SQL.
    QString takeBraced() {
        expectChar(QLatin1Char('{'));
        const qsizetype start = m_at;
        QChar quote;
        for (; m_at < m_text.size(); ++m_at) {
            const QChar c = m_text.at(m_at);
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                quote = c;
            } else if (c == QLatin1Char('}')) {
                const QString sql = m_text.mid(start, m_at - start).trimmed();
                ++m_at;
                if (sql.isEmpty())
                    throw error(QStringLiteral("{ } の中に SQL がありません。"));
                return sql;
            }
        }
        throw error(QStringLiteral("「}」が足りません。"));
    }

    const QString &m_text;
    qsizetype m_at = 0;
};

} // namespace

ShapeCommand ShapeCommand::parse(const QString &text) {
    return ShapeParser(text).parse();
}

} // namespace hondana
