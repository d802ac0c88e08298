#include "catalogue/Isbn.h"

#include "base/Failure.h"

#include <algorithm>
#include <span>

namespace hondana {

namespace {

// Registrant lengths by the seven digits after the registration group, from the international
// agency's range table. Japan (4) and English group 0 happen to share the same ranges.
struct RegistrantRange {
    int first;
    int last;
    int length;
};
constexpr RegistrantRange CommonRanges[] = {
    {0, 1999999, 2},       {2000000, 6999999, 3}, {7000000, 8499999, 4},
    {8500000, 8999999, 5}, {9000000, 9499999, 6}, {9500000, 9999999, 7},
};
struct RegistrationGroup {
    const char *prefix; // the EAN prefix and the group
    std::span<const RegistrantRange> ranges;
};
const RegistrationGroup KnownGroups[] = {
    {"9784", CommonRanges},
    {"9780", CommonRanges},
};

// Hyphens, the long-vowel mark a Japanese input method often puts for one, and blanks separate
// the groups of digits as printed; none of them is part of the number.
bool isSeparator(QChar c) {
    static const QString separators = QStringLiteral("-\u2010\u2011\u2012\u2013\u2212\u30fc");
    return c.isSpace() || separators.contains(c);
}

QString quoted(const QString &text) {
    const QString shown = text.trimmed();
    return shown.size() > 40 ? shown.left(40) + QStringLiteral("…") : shown;
}

Failure checkDigitMismatch(const QString &typed) {
    return Failure(
        QStringLiteral("「%1」はチェックディジットが合いません。読み取りか入力を確かめてください。")
            .arg(quoted(typed)));
}

int isbn10CheckValue(QStringView nineDigits) {
    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += (10 - i) * nineDigits[i].digitValue();
    return (11 - sum % 11) % 11;
}

QChar isbn13CheckDigit(QStringView twelveDigits) {
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (i % 2 == 0 ? 1 : 3) * twelveDigits[i].digitValue();
    return QChar('0' + (10 - sum % 10) % 10);
}

bool allDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

QString fromIsbn10(const QString &compact, const QString &typed) {
    const QChar last = compact.back().toUpper();
    if (!allDigits(QStringView(compact).left(9)) ||
        !(last == 'X' || allDigits(QStringView(&last, 1))))
        throw Failure(QStringLiteral("「%1」は ISBN ではありません。ISBN-10 は数字 9 桁と数字か X "
                                     "1 文字です。")
                          .arg(quoted(typed)));
    const int check = isbn10CheckValue(compact);
    if ((last == 'X' ? 10 : last.digitValue()) != check)
        throw checkDigitMismatch(typed);
    const QString twelve = QStringLiteral("978") + compact.left(9);
    return twelve + isbn13CheckDigit(twelve);
}

QString fromIsbn13(const QString &compact, const QString &typed) {
    if (!allDigits(compact))
        throw Failure(QStringLiteral("「%1」は ISBN ではありません。ISBN-13 は数字 13 桁です。")
                          .arg(quoted(typed)));
    if (compact.startsWith(QStringLiteral("192")))
        throw Failure(QStringLiteral("「%1」は本の値段を表す下段のバーコード（192 で始まる番号）"
                                     "です。上段の 978 か 979 で始まるバーコードを読み取って"
                                     "ください。")
                          .arg(quoted(typed)));
    if (!compact.startsWith(QStringLiteral("978")) && !compact.startsWith(QStringLiteral("979")))
        throw Failure(QStringLiteral("「%1」は ISBN ではありません。ISBN-13 は 978 か 979 で"
                                     "始まります。")
                          .arg(quoted(typed)));
    if (isbn13CheckDigit(QStringView(compact).left(12)) != compact.back())
        throw checkDigitMismatch(typed);
    return compact;
}

} // namespace

Isbn Isbn::fromText(const QString &text) {
    QString compact;
    // Compatibility folding turns full-width digits, Ｘ and the full-width hyphen into ASCII.
    for (QChar c : text.normalized(QString::NormalizationForm_KC))
        if (!isSeparator(c))
            compact += c;
    if (compact.isEmpty())
        return Isbn();
    if (compact.size() == 10)
        return Isbn(fromIsbn10(compact, text));
    if (compact.size() == 13)
        return Isbn(fromIsbn13(compact, text));
    throw Failure(QStringLiteral("「%1」は ISBN ではありません。ISBN は 10 桁か 13 桁です"
                                 "（区切りを除いて %2 文字あります）。")
                      .arg(quoted(text))
                      .arg(compact.size()));
}

Isbn Isbn::tryFromText(const QString &text) {
    try {
        return fromText(text);
    } catch (const Failure &) {
        return Isbn();
    }
}

QString Isbn::hyphenated() const {
    for (const RegistrationGroup &group : KnownGroups) {
        const QString prefix = QString::fromLatin1(group.prefix);
        if (!m_digits.startsWith(prefix))
            continue;
        const QString body = m_digits.mid(prefix.size(), 12 - prefix.size());
        const int leading = body.left(7).leftJustified(7, '0').toInt();
        for (const RegistrantRange &range : group.ranges)
            if (leading >= range.first && leading <= range.last)
                return QStringList{prefix.left(3), prefix.mid(3), body.left(range.length),
                                   body.mid(range.length), m_digits.right(1)}
                    .join('-');
    }
    return m_digits;
}

} // namespace hondana
