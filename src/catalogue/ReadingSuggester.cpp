#include "catalogue/ReadingSuggester.h"

#include "base/Failure.h"
#include "catalogue/ReadingText.h"

#include <QByteArrayView>
#include <QFileInfo>

#include <mecab.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

namespace hondana {

namespace {

// Longer text is no title or name; reading it would only cost time.
constexpr qsizetype MaxLength = 1000;
// How many texts a thread takes at a time in suggestAll.
constexpr qsizetype Chunk = 256;

// The columns of a dictionary entry's feature line (IPA and NAIST dictionary layout).
enum Feature { PartOfSpeech = 0, Subclass1 = 1, Subclass2 = 2, Reading = 7 };

QList<QByteArrayView> featuresOf(const MeCab::Node *node) {
    QList<QByteArrayView> features;
    const QByteArrayView line(node->feature);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ',') {
            features << line.sliced(start, i - start);
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
std::optional<QString> readingOf(const MeCab::Node *node) {
    if (isSilent(node))
        return QString();
    const QList<QByteArrayView> features = featuresOf(node);
    if (node->stat != MECAB_UNK_NODE && features.size() > Reading) {
        const QString reading = readings::kanaReading(QString::fromUtf8(features[Reading]));
        if (!reading.isEmpty())
            return reading;
    }
    // A word the dictionary lacks can still be read when it is written in kana.
    const QString reading = readings::kanaReading(surfaceOf(node));
    if (!reading.isEmpty())
        return reading;
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

} // namespace

struct ReadingSuggester::Dictionary {
    std::unique_ptr<MeCab::Model> model;
    std::unique_ptr<MeCab::Tagger> tagger; // one for all threads: each call has its own lattice

    QString read(MeCab::Lattice &lattice, const QString &text, ReadingKind kind) const {
        if (text.size() > MaxLength)
            return {};
        const QString kana = readings::kanaReading(text);
        if (!kana.isEmpty())
            return kana;
        // Half-width katakana and full-width Latin are read as their usual forms; a control
        // character is no part of a word.
        QString prepared = text.normalized(QString::NormalizationForm_KC);
        // The dictionary spells Latin letters and digits out one by one (2001 as ニゼロゼロイチ),
        // which is no reading of them.
        if (std::any_of(prepared.begin(), prepared.end(), isLatinOrDigit))
            return {};
        std::replace_if(
            prepared.begin(), prepared.end(),
            [](QChar c) { return c.category() == QChar::Other_Control; }, QChar(u' '));
        const QByteArray utf8 = prepared.toUtf8();
        lattice.set_sentence(utf8.constData(), size_t(utf8.size()));
        if (!tagger->parse(&lattice))
            return {};
        QString reading;
        for (const MeCab::Node *node = lattice.bos_node()->next;
             node && node->stat != MECAB_EOS_NODE; node = node->next) {
            const std::optional<QString> part =
                readingOf(kind == ReadingKind::Person ? asName(lattice, node) : node);
            if (!part)
                return {};
            reading += *part;
        }
        return readings::isKatakanaOnly(reading) ? reading : QString();
    }
};

ReadingSuggester::ReadingSuggester() : m_dictionary(std::make_unique<Dictionary>()) {
    const QString folder = QStringLiteral(HONDANA_MECAB_DICTIONARY);
    if (!QFileInfo(folder + QStringLiteral("/sys.dic")).isFile())
        throw Failure(QStringLiteral("読みの辞書「%1」がありません。mecab-naist-jdic を入れて"
                                     "ください。")
                          .arg(folder));
    // The empty resource file keeps a user's own MeCab settings out of the suggestions.
    const QByteArray arguments = "-r /dev/null -d " + QFile::encodeName(folder);
    m_dictionary->model.reset(MeCab::createModel(arguments.constData()));
    if (m_dictionary->model)
        m_dictionary->tagger.reset(m_dictionary->model->createTagger());
    if (!m_dictionary->tagger)
        throw Failure(QStringLiteral("読みの辞書「%1」を読めません: %2")
                          .arg(folder, QString::fromLocal8Bit(MeCab::getLastError())));
}

ReadingSuggester::~ReadingSuggester() = default;

QString ReadingSuggester::suggest(const QString &text, ReadingKind kind) const {
    const std::unique_ptr<MeCab::Lattice> lattice(m_dictionary->model->createLattice());
    return m_dictionary->read(*lattice, text, kind);
}

QStringList ReadingSuggester::suggestAll(const QStringList &texts, ReadingKind kind,
                                         const Progress &progress, int threads) const {
    QStringList suggestions(texts.size());
    std::atomic<qsizetype> next = 0;
    std::atomic<qsizetype> done = 0;
    std::atomic<bool> stopped = false;
    // Each thread takes the next chunk until none is left; only the calling thread reports.
    const auto work = [&](bool reports) {
        const std::unique_ptr<MeCab::Lattice> lattice(m_dictionary->model->createLattice());
        for (qsizetype start = next.fetch_add(Chunk); start < texts.size() && !stopped;
             start = next.fetch_add(Chunk)) {
            const qsizetype end = std::min(start + Chunk, texts.size());
            for (qsizetype i = start; i < end; ++i)
                suggestions[i] = m_dictionary->read(*lattice, texts[i], kind);
            done += end - start;
            if (reports && !progress.report(done, texts.size()))
                stopped = true;
        }
    };
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::jthread> helpers;
    for (int i = 1; i < threads && i * Chunk < texts.size(); ++i)
        helpers.emplace_back(work, false);
    work(true);
    helpers.clear();
    progress.report(done, texts.size());
    return suggestions;
}

} // namespace hondana
