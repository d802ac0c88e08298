#include "catalogue/ReadingSuggester.h"

#include "base/ChunkedWork.h"
#include "base/Failure.h"
#include "catalogue/ReadingText.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QFileInfo>

#include <mecab.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace hondana {

namespace {

// Longer text is no title or name; reading it would only cost time.
constexpr qsizetype MaxLength = 1000;
// How many texts a thread takes at a time in suggestAll.
constexpr qsizetype Chunk = 256;

// The part-of-speech columns of a dictionary entry's feature line.
enum Feature { PartOfSpeech = 0, Subclass1 = 1, Subclass2 = 2 };

// One morphological dictionary and the column of its feature line that holds a word's reading
// as written (は as ハ, not as pronounced).
struct DictionaryShape {
    const char *folder;
    const char *package;
    qsizetype readingColumn;
};

// NAIST alone: UniDic together with it reads more titles and names right (bench_readings), but
// costs a download of 1 GB and 5 GB of disk, too much for the readings of a book list.
constexpr DictionaryShape Dictionaries[] = {
    {HONDANA_NAIST_DICTIONARY, "mecab-naist-jdic", 7},
};

// The readings' own dictionary, built with the program from the names, proper nouns and words
// whose readings the morphological dictionary alone gets wrong. It lies where the program's own
// data does, beside its folder of programs (bin/../share), wherever it was installed to; a test
// or benchmark program elsewhere in the build finds it where the build staged it.
QString ownDictionary() {
    const QString beside = QCoreApplication::instance()
                               ? QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/../share/" HONDANA_READINGS_NAME)
                               : QString();
    for (const QString &path : {beside, QStringLiteral(HONDANA_STAGED_READINGS)}) {
        if (!path.isEmpty() && QFileInfo(path).isFile())
            return QFileInfo(path).absoluteFilePath();
    }
    throw Failure(QStringLiteral("読みの辞書「%1」がありません。本棚帖を入れ直してください。")
                      .arg(beside.isEmpty() ? QStringLiteral(HONDANA_READINGS_NAME) : beside));
}

// The comma-separated fields of a feature line; a field in double quotes may hold commas.
QList<QByteArrayView> featuresOf(const MeCab::Node *node) {
    QList<QByteArrayView> features;
    const QByteArrayView line(node->feature);
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] == '"')
            quoted = !quoted;
        else if (i == line.size() || (line[i] == ',' && !quoted)) {
            QByteArrayView field = line.sliced(start, i - start);
            if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
                field = field.sliced(1, field.size() - 2);
            features << field;
            start = i + 1;
        }
    }
    return features;
}

QString surfaceOf(const MeCab::Node *node) {
    return QString::fromUtf8(node->surface, node->length);
}

bool isPersonName(const MeCab::Node *node) {
    const QList<QByteArrayView> features = featuresOf(node);
    return features.size() > Subclass2 && features[Subclass1] == "固有名詞" &&
           features[Subclass2] == "人名";
}

bool isLatinOrDigit(QChar c) {
    return c.isLetterOrNumber() && c.unicode() < 0x3000 && c.script() != QChar::Script_Katakana;
}

// Punctuation and symbols that are not read aloud in a title: brackets, commas, dots.
bool isSilent(const MeCab::Node *node) {
    const QString surface = surfaceOf(node);
    return std::none_of(surface.begin(), surface.end(),
                        [](QChar c) { return c.isLetterOrNumber(); });
}

// What one word of the analysis reads as; nothing when it cannot be read.
std::optional<QString> readingOf(const MeCab::Node *node, qsizetype readingColumn) {
    if (isSilent(node))
        return QString();
    // Kana is read as written: a dictionary's reading of a kana word may modernise its spelling
    // (しをん as シオン), which is not what the writer chose.
    const QString asWritten = readings::kanaReading(surfaceOf(node));
    if (!asWritten.isEmpty())
        return asWritten;
    const QList<QByteArrayView> features = featuresOf(node);
    if (node->stat != MECAB_UNK_NODE && features.size() > readingColumn) {
        const QString reading = readings::kanaReading(QString::fromUtf8(features[readingColumn]));
        if (!reading.isEmpty())
            return reading;
    }
    return std::nullopt;
}

// For a name, the dictionary's cheapest person-name entry for the same characters, where the
// ordinary analysis chose a place or a word.
const MeCab::Node *asName(const MeCab::Lattice &lattice, const MeCab::Node *node) {
    if (isPersonName(node))
        return node;
    const MeCab::Node *best = node;
    const size_t position = size_t(node->surface - lattice.sentence());
    for (const MeCab::Node *other = lattice.begin_nodes(position); other; other = other->bnext) {
        if (other->length == node->length && isPersonName(other) &&
            (best == node || other->wcost < best->wcost))
            best = other;
    }
    return best;
}

// A dictionary's reading of a whole text, and how many words it took the text to be.
struct Analysis {
    QString reading;
    int words = 0;
};

// The text as the dictionaries are given it; empty when it cannot be read at all.
QString prepared(const QString &text, ReadingKind kind) {
    if (text.size() > MaxLength)
        return {};
    // Half-width katakana and full-width Latin are read as their usual forms; a control
    // character is no part of a word.
    QString result = text.normalized(QString::NormalizationForm_KC);
    // The dictionaries spell Latin letters and digits out one by one (2001 as ニゼロゼロイチ),
    // which is no reading of them.
    if (std::any_of(result.begin(), result.end(), isLatinOrDigit))
        return {};
    std::replace_if(
        result.begin(), result.end(), [](QChar c) { return c.category() == QChar::Other_Control; },
        QChar(u' '));
    // A blank between family and given name would keep a full name from being read whole.
    if (kind == ReadingKind::Person)
        result.remove(QChar(u' '));
    return result;
}

// One loaded dictionary.
struct Analyser {
    std::unique_ptr<MeCab::Model> model;
    std::unique_ptr<MeCab::Tagger> tagger; // one for all threads: each call has its own lattice
    qsizetype readingColumn = 0;

    explicit Analyser(const DictionaryShape &shape) : readingColumn(shape.readingColumn) {
        const QString folder = QString::fromUtf8(shape.folder);
        if (!QFileInfo(folder + QStringLiteral("/sys.dic")).isFile())
            throw Failure(QStringLiteral("読みの辞書「%1」がありません。%2 を入れてください。")
                              .arg(folder, QString::fromUtf8(shape.package)));
        // The empty resource file keeps a user's own MeCab settings out of the suggestions. The
        // arguments go one by one, so a folder with a blank in its name stays one argument.
        QByteArray arguments[] = {"hondana",
                                  "-r",
                                  "/dev/null",
                                  "-d",
                                  QFile::encodeName(folder),
                                  "-u",
                                  QFile::encodeName(ownDictionary())};
        std::vector<char *> argv;
        for (QByteArray &argument : arguments)
            argv.push_back(argument.data());
        model.reset(MeCab::createModel(int(argv.size()), argv.data()));
        if (model)
            tagger.reset(model->createTagger());
        if (!tagger)
            throw Failure(QStringLiteral("読みの辞書「%1」を読めません: %2")
                              .arg(folder, QString::fromLocal8Bit(MeCab::getLastError())));
    }

    std::optional<Analysis> analyse(MeCab::Lattice &lattice, const QByteArray &utf8,
                                    ReadingKind kind) const {
        lattice.set_sentence(utf8.constData(), size_t(utf8.size()));
        if (!tagger->parse(&lattice))
            return std::nullopt;
        Analysis analysis;
        for (const MeCab::Node *node = lattice.bos_node()->next;
             node && node->stat != MECAB_EOS_NODE; node = node->next) {
            const std::optional<QString> part = readingOf(
                kind == ReadingKind::Person ? asName(lattice, node) : node, readingColumn);
            if (!part)
                return std::nullopt;
            analysis.reading += *part;
            analysis.words += !part->isEmpty();
        }
        if (!readings::isKatakanaOnly(analysis.reading))
            return std::nullopt;
        return analysis;
    }
};

} // namespace

// A lattice of each dictionary, for one thread.
struct ReadingSuggester::Lattices {
    std::vector<std::unique_ptr<MeCab::Lattice>> each;
};

struct ReadingSuggester::Dictionary {
    std::vector<Analyser> analysers;

    Lattices createLattices() const {
        Lattices lattices;
        for (const Analyser &analyser : analysers)
            lattices.each.emplace_back(analyser.model->createLattice());
        return lattices;
    }

    // The reading of the dictionary that takes the text as the fewest words: a dictionary that
    // holds a title or a name as one entry knows it, where one that splits it only reads its
    // characters. On a tie the first dictionary's reading stands.
    QString read(const Lattices &lattices, const QString &text, ReadingKind kind) const {
        const QString kana = readings::kanaReading(text);
        if (!kana.isEmpty())
            return kana;
        const QByteArray utf8 = prepared(text, kind).toUtf8();
        if (utf8.isEmpty())
            return {};
        std::optional<Analysis> best;
        for (size_t i = 0; i < analysers.size(); ++i) {
            const std::optional<Analysis> analysis =
                analysers[i].analyse(*lattices.each[i], utf8, kind);
            if (analysis && (!best || analysis->words < best->words))
                best = analysis;
        }
        return best ? best->reading : QString();
    }
};

ReadingSuggester::ReadingSuggester() : m_dictionary(std::make_unique<Dictionary>()) {
    for (const DictionaryShape &shape : Dictionaries)
        m_dictionary->analysers.emplace_back(shape);
}

ReadingSuggester::~ReadingSuggester() = default;

QString ReadingSuggester::suggest(const QString &text, ReadingKind kind) const {
    return m_dictionary->read(m_dictionary->createLattices(), text, kind);
}

QStringList ReadingSuggester::suggestAll(const QStringList &texts, ReadingKind kind,
                                         const Progress &progress, int threads) const {
    QStringList suggestions(texts.size());
    const qsizetype done = runInChunks(
        texts.size(), Chunk, threads,
        [&] {
            return [&, lattices = m_dictionary->createLattices()](qsizetype begin, qsizetype end) {
                for (qsizetype i = begin; i < end; ++i)
                    suggestions[i] = m_dictionary->read(lattices, texts[i], kind);
            };
        },
        [&](qsizetype worked) { return progress.report(worked, texts.size()); });
    progress.report(done, texts.size());
    return suggestions;
}

} // namespace hondana
