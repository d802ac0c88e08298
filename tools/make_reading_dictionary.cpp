// Writes the source of the readings' own MeCab dictionary: the readings of well-known people's
// full names, of proper nouns (works, publishers, organisations) and of words that the
// morphological dictionary alone reads wrong or not at all (東野圭吾, 東京創元社, 檸檬), taken
// from Debian's SKK dictionaries. mecab-dict-index compiles the result (see the build).
//
// Usage: make_reading_dictionary <context ids> <output csv> <names> <proper nouns> <words>
//   context ids: the morphological dictionary's left-id.def, which numbers each part of speech.
//   names, proper nouns, words: SKK dictionaries (EUC-JIS-2004).

#include "BuildFiles.h"
#include "base/Failure.h"
#include "catalogue/ReadingText.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <iconv.h>
#include <memory>
#include <vector>

using namespace hondana;

namespace {

// Both kinds of file are in EUC-JP or its JIS X 0213 extension, which Qt's codecs lack.
QString fromEucJis(const QByteArray &bytes, const QString &path) {
    std::unique_ptr<void, int (*)(iconv_t)> converter(iconv_open("UTF-8", "EUC-JISX0213"),
                                                      iconv_close);
    if (converter.get() == reinterpret_cast<iconv_t>(-1))
        throw Failure(QStringLiteral("EUC-JISX0213 を変換できません"));
    QByteArray out(bytes.size() * 2 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *next = out.data();
    size_t outLeft = size_t(out.size());
    if (iconv(converter.get(), &in, &inLeft, &next, &outLeft) == size_t(-1))
        throw Failure(QStringLiteral("%1: EUC-JIS-2004 として読めません (%2 バイト目)")
                          .arg(path)
                          .arg(bytes.size() - qsizetype(inLeft)));
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

// The context id that the dictionary's id file gives to a part of speech.
// `ids` is the id file's text, `idFile` its name for a message.
int contextId(const QString &ids, const QString &idFile, const QString &partOfSpeech) {
    for (QStringView line : QStringView(ids).split(u'\n')) {
        const qsizetype blank = line.indexOf(u' ');
        if (blank > 0 && line.sliced(blank + 1).startsWith(partOfSpeech + u','))
            return line.first(blank).toInt();
    }
    throw Failure(QStringLiteral("%1 に「%2」がありません").arg(idFile, partOfSpeech));
}

bool holdsKanji(const QString &text) {
    const QList<uint> codePoints = text.toUcs4();
    return std::any_of(codePoints.begin(), codePoints.end(),
                       [](uint c) { return QChar::script(c) == QChar::Script_Han; });
}

// Each written form of an SKK dictionary's entries without okurigana, with its readings in
// katakana in the order met. Annotations (after ;) and computed candidates are left out, as are
// forms without a kanji, which read as they are written.
struct Readings {
    QStringList forms; // in the order first met, so the output does not depend on hashing
    QHash<QString, QStringList> readingsOf;
};

Readings readSkk(const QString &path) {
    const QString text = fromEucJis(buildfiles::read(path), path);
    Readings result;
    bool withoutOkurigana = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.startsWith(u";; okuri-nasi"))
            withoutOkurigana = true;
        if (!withoutOkurigana || line.startsWith(u';'))
            continue;
        const qsizetype separator = line.indexOf(u" /");
        if (separator <= 0)
            continue;
        const QString reading = readings::toKatakana(line.first(separator));
        if (!readings::isKatakanaOnly(reading))
            continue; // abbreviations spelt in Latin letters, prefixes and suffixes (>)
        for (QStringView candidate : line.sliced(separator + 2).split(u'/')) {
            const QString form =
                candidate
                    .first(candidate.indexOf(u';') < 0 ? candidate.size() : candidate.indexOf(u';'))
                    .toString()
                    .normalized(QString::NormalizationForm_KC);
            // A comma or quote would break the CSV line; a blank, MeCab's word boundary.
            if (form.isEmpty() || form.startsWith(u'(') || !holdsKanji(form) ||
                std::any_of(form.begin(), form.end(), [](QChar c) {
                    return c == u',' || c == u'"' || c == u' ' || c == u'\t';
                }))
                continue;
            QStringList &known = result.readingsOf[form];
            if (known.isEmpty())
                result.forms << form;
            if (!known.contains(reading))
                known << reading;
        }
    }
    return result;
}

// How cheap an entry is: lower than the dictionary's own words (thousands), so that a name or
// proper noun known as a whole beats its parts; the ordinary words stay dearer than the names.
struct Source {
    const char *partOfSpeech; // as the id file and the feature line spell it
    int cost;
    bool onlyWhenUnambiguous; // a form with several readings is left to the analysis
};

constexpr Source Names = {"名詞,固有名詞,人名,一般", 1000, false};
constexpr Source ProperNouns = {"名詞,固有名詞,一般", 1000, false};
constexpr Source Words = {"名詞,一般", 4000, true};

// Of a form's readings, the one most of the dictionaries give: an SKK dictionary lists a form's
// readings in the order of the readings, not of their use (河出書房新社 as カワイデ before カワデ),
// so where one lists several, the others settle it; on a tie the first stands.
QString usualReading(const QString &form, const QStringList &readings,
                     const std::vector<Readings> &all) {
    const auto votes = [&](const QString &reading) {
        return std::count_if(all.begin(), all.end(), [&](const Readings &dictionary) {
            return dictionary.readingsOf.value(form).contains(reading);
        });
    };
    return *std::max_element(
        readings.begin(), readings.end(),
        [&](const QString &a, const QString &b) { return votes(a) < votes(b); });
}

void appendEntries(QString &csv, const Readings &readings, const Source &source, int id,
                   const std::vector<Readings> &all) {
    const QString partOfSpeech = QString::fromUtf8(source.partOfSpeech);
    const QString features =
        partOfSpeech + QStringLiteral(",*").repeated(5 - partOfSpeech.count(u','));
    for (const QString &form : readings.forms) {
        const QStringList &known = readings.readingsOf[form];
        if (source.onlyWhenUnambiguous && known.size() > 1)
            continue;
        const QString reading = known.size() == 1 ? known.first() : usualReading(form, known, all);
        csv += QStringLiteral("%1,%2,%2,%3,%4,%1,%5,%5\n")
                   .arg(form)
                   .arg(id)
                   .arg(source.cost)
                   .arg(features, reading);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 6) {
        std::fprintf(stderr, "usage: make_reading_dictionary <left-id.def> <output.csv> "
                             "<names> <proper nouns> <words>\n");
        return 2;
    }
    try {
        const Source *sources[] = {&Names, &ProperNouns, &Words};
        std::vector<Readings> dictionaries;
        for (int i = 0; i < 3; ++i)
            dictionaries.push_back(readSkk(arguments[3 + i]));
        const QString ids = fromEucJis(buildfiles::read(arguments[1]), arguments[1]);
        QString csv;
        for (int i = 0; i < 3; ++i)
            appendEntries(csv, dictionaries[size_t(i)], *sources[i],
                          contextId(ids, arguments[1], QString::fromUtf8(sources[i]->partOfSpeech)),
                          dictionaries);
        buildfiles::write(arguments[2], csv.toUtf8());
    } catch (const Failure &failure) {
        std::fprintf(stderr, "make_reading_dictionary: %s\n", qPrintable(failure.message()));
        return 1;
    }
    return 0;
}
