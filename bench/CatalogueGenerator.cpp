#include "CatalogueGenerator.h"

#include "base/Cp932.h"
#include "base/Failure.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/Schema.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace hondana::test {

namespace {

// SplitMix64: small, fast, and the same sequence on every platform and library.
class Random {
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next() {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename List> const auto &pick(const List &list) { return list[below(list.size())]; }

private:
    quint64 m_state;
};

QStringList words(const char *text) {
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

const QStringList &titleWords() {
    static const QStringList list = words(
        "銀河 鉄道 夜 猫 物語 研究 入門 歴史 日本 東京 旅 記録 花 海 風 山 月 星 雪 国 街 少年 "
        "少女 探偵 事件 料理 数学 哲学 経済 宇宙 詩集 随筆 全集 辞典 坂道 図書館 時計 手紙 夏 "
        "秋の空 冬の朝 春一番 ～序章～ ① ② ③ Ⅰ Ⅱ 髙原 山﨑 ＼記号／ № ㈱ 纊 ﾌﾟﾛｸﾞﾗﾐﾝｸﾞ ｺﾝﾋﾟｭｰﾀ "
        "ｶﾞｲﾄﾞ C++ Qt SQL Linux Data 2nd はじめての やさしい 実践 完全版 新装版 上 下");
    return list;
}

const QStringList &familyNames() {
    static const QStringList list = words(
        "佐藤 鈴木 高橋 田中 渡辺 伊藤 山本 中村 小林 加藤 吉田 山田 佐々木 山口 松本 井上 木村 "
        "林 斎藤 清水 髙橋 山﨑 森 池田 橋本 石川 前田 藤田 岡田 後藤 長谷川 村上 近藤 坂本 遠藤");
    return list;
}

const QStringList &givenNames() {
    static const QStringList list =
        words("一郎 花子 太郎 健 美咲 翔 陽子 誠 直樹 由美 和夫 恵子 大輔 さくら 蓮 葵 悠真 結衣 "
              "浩二 明美 修 千尋 隆 真由美 博 洋子");
    return list;
}

const QStringList &foreignNames() {
    static const QStringList list =
        words("ｼｪｲｸｽﾋﾟｱ トルストイ ドストエフスキー ヘミングウェイ Agatha_Christie ボルヘス カフカ "
              "チェーホフ ユゴー Jules_Verne");
    return list;
}

const QStringList &countries() {
    static const QStringList list =
        words("日本 日本 日本 日本 アメリカ イギリス フランス ドイツ ロシア 中国 韓国 "
              "アルゼンチン チェコ ｲﾀﾘｱ");
    return list;
}

const QStringList &publisherStems() {
    static const QStringList list =
        words("青空 白樺 若葉 桜 北斗 銀河 朝霧 紅葉 星雲 松風 海鳴り 明星 天竜 双葉 Sunrise");
    return list;
}

const QStringList &publisherKinds() {
    static const QStringList list = words("書房 出版 社 文庫 堂 書店 出版会 ﾌﾟﾚｽ Press");
    return list;
}

const QStringList &categoryNames() {
    static const QStringList list =
        words("小説 推理 SF 歴史 科学 数学 哲学 芸術 料理 旅行 コンピュータ 絵本 漫画 詩歌 評論 "
              "経済 法律 医学 語学 ｽﾎﾟｰﾂ 音楽 宗教 教育 自然");
    return list;
}

const QStringList &sizeNames() {
    static const QStringList list =
        words("文庫 新書 四六判 Ａ５判 Ｂ５判 Ａ４判 Ｂ６判 菊判 ﾎﾟｹｯﾄ 大型本 豆本 AB判");
    return list;
}

const QStringList &shops() {
    static const QStringList list =
        words("駅前書店 古書店～ひなた～ 大型書店 ネット通販 ﾌﾞｯｸｵﾌ風の店 学校生協 空港売店");
    return list;
}

// Cuts `text` to the longest start that fits `width` bytes of code page 932.
QString fit(const QString &text, int width) {
    QString character;
    if (cp932::byteLength(text, &character) < 0)
        throw Failure(QStringLiteral("試験用の語「%1」の「%2」はシフトJISにありません。")
                          .arg(text, character));
    QString result = text;
    while (!result.isEmpty() && cp932::byteLength(result) > width)
        result.chop(1);
    return result;
}

QString joinWords(Random &random, const QStringList &pool, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << random.pick(pool);
    return parts.join(random.chance(30) ? QStringLiteral(" ") : QString());
}

QVariant maybeNull(Random &random, int percentNull, const QVariant &value) {
    return random.chance(percentNull) ? QVariant() : value;
}

QString isoDate(const QDate &date) {
    return date.toString(Qt::ISODate);
}

QVariant randomDate(Random &random, int percentNull, int fromYear, int toYear) {
    const QDate date(random.between(fromYear, toYear), random.between(1, 12),
                     random.between(1, 28));
    return maybeNull(random, percentNull, isoDate(date));
}

class Inserter {
public:
    Inserter(const QSqlDatabase &db, const QString &table, const QStringList &columns)
        : m_query(db), m_table(table) {
        QStringList quoted, marks;
        for (const QString &column : columns) {
            quoted << QLatin1Char('"') + column + QLatin1Char('"');
            marks << QStringLiteral("?");
        }
        if (!m_query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(table, quoted.join(u", "), marks.join(u", "))))
            fail();
    }
    void insert(const QVariantList &values) {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values[i]);
        if (!m_query.exec())
            fail();
    }

private:
    [[noreturn]] void fail() {
        throw Failure(QStringLiteral("試験用の蔵書を %1 表に作れません: %2")
                          .arg(m_table, m_query.lastError().text()));
    }
    QSqlQuery m_query;
    QString m_table;
};

QStringList columnsOf(const QString &table) {
    QStringList names;
    for (const schema::Column &column : schema::table(table).columns)
        names << column.name;
    return names;
}

void addMasters(const QSqlDatabase &db, Random &random, const CatalogueShape &shape) {
    Inserter authors(db, QStringLiteral("CHOSHA"), columnsOf(QStringLiteral("CHOSHA")));
    for (int no = 1; no <= shape.authors; ++no) {
        QString name;
        QVariant country;
        if (random.chance(15)) {
            name = QString(random.pick(foreignNames())).replace(QLatin1Char('_'), QLatin1Char(' '));
            country = random.pick(countries().mid(4));
        } else {
            name = random.pick(familyNames()) + QStringLiteral("　") + random.pick(givenNames());
            country = QStringLiteral("日本");
        }
        authors.insert({no, maybeNull(random, 3, fit(name, 50)), maybeNull(random, 10, country)});
    }
    Inserter publishers(db, QStringLiteral("HAKKOU"), columnsOf(QStringLiteral("HAKKOU")));
    for (int no = 1; no <= shape.publishers; ++no) {
        const QString name = random.pick(publisherStems()) + random.pick(publisherKinds());
        publishers.insert({no, maybeNull(random, 2, fit(name, 50))});
    }
    Inserter categories(db, QStringLiteral("BUNYA"), columnsOf(QStringLiteral("BUNYA")));
    for (int no = 1; no <= shape.categories; ++no) {
        QString name = categoryNames()[(no - 1) % categoryNames().size()];
        if (no > categoryNames().size())
            name += QString::number(no);
        categories.insert({no, maybeNull(random, 2, name)});
    }
    Inserter sizes(db, QStringLiteral("SAIZU"), columnsOf(QStringLiteral("SAIZU")));
    for (int no = 1; no <= shape.sizes; ++no)
        sizes.insert({no, sizeNames()[(no - 1) % sizeNames().size()]});
}

QVariant randomStamp(Random &random) {
    switch (random.below(10)) {
    case 0:
        return QVariant();
    case 1:
        return QString();
    case 2:
        return QStringLiteral("*");
    case 3:
    case 4:
    case 5:
        return QStringLiteral("未");
    default:
        return QStringLiteral("済");
    }
}

void addBooks(const QSqlDatabase &db, Random &random, const CatalogueShape &shape) {
    // The columns in the table's order: SEQNO ｻｲｽﾞNO ｼﾘｰｽﾞ 管理番号1 管理番号2 購入日 全体NO 題名
    // 著者NO 読書ｽﾀﾝﾌﾟ 内容 発行所NO 発行日 版数 分野NO 価格 購入先 請求番号 読書完了日 読感ﾗﾝｸ
    Inserter books(db, QStringLiteral("BOOK"), columnsOf(QStringLiteral("BOOK")));
    QString title;
    int volume = 1;
    for (int i = 0; i < shape.books; ++i) {
        // A series now and then: the same title in several volumes.
        if (volume > 1 && random.chance(70)) {
            ++volume;
        } else {
            title = fit(joinWords(random, titleWords(), random.between(1, 4)), 50);
            volume = random.chance(15) ? 2 : 1;
        }
        const QString series = volume > 1
                                   ? QStringLiteral("第%1巻").arg(volume)
                                   : (random.chance(10) ? QStringLiteral("ｼﾘｰｽﾞ") : QString());
        const QString notes =
            fit(QStringLiteral("%1について書かれた本。%2")
                    .arg(random.pick(titleWords()), joinWords(random, titleWords(), 8)),
                100);
        books.insert({
            maybeNull(random, 3, volume),
            maybeNull(random, 5, random.between(1, shape.sizes)),
            maybeNull(random, 50, fit(series, 10)),
            maybeNull(random, 20, QStringLiteral("A-%1").arg(i + 1, 6, 10, QLatin1Char('0'))),
            maybeNull(
                random, 60,
                QStringLiteral("棚%1-%2").arg(random.between(1, 40)).arg(random.between(1, 9))),
            randomDate(random, 8, 1970, 2026),
            maybeNull(random, 3, random.between(1, 2000)),
            title,
            maybeNull(random, 2, random.between(1, shape.authors)),
            randomStamp(random),
            maybeNull(random, 25, notes),
            maybeNull(random, 2, random.between(1, shape.publishers)),
            randomDate(random, 10, 1900, 2026),
            maybeNull(random, 10, random.between(1, 30)),
            maybeNull(random, 2, random.between(1, shape.categories)),
            maybeNull(random, 5, random.between(0, 30000)),
            maybeNull(random, 30, random.pick(shops())),
            maybeNull(random, 40,
                      QStringLiteral("%1.%2")
                          .arg(random.between(0, 999), 3, 10, QLatin1Char('0'))
                          .arg(random.between(1, 99))),
            randomDate(random, 60, 1980, 2026),
            maybeNull(random, 50, random.between(1, 5)),
        });
    }
}

} // namespace

void generateCatalogue(const QString &path, const CatalogueShape &shape) {
    const QString name = openDatabaseFile(path, QStringLiteral("generator"));
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        Random random(shape.seed);
        db.transaction();
        try {
            addMasters(db, random, shape);
            addBooks(db, random, shape);
            if (!db.commit())
                problem = db.lastError().text();
        } catch (const Failure &failure) {
            problem = failure.message();
        }
        if (!problem.isEmpty())
            db.rollback();
    }
    closeDatabase(name);
    if (!problem.isEmpty())
        throw Failure(problem);
}

QString seedDataFolder(const QString &folder, const CatalogueShape &shape) {
    const QDir target(folder);
    QDirIterator shipped(QStringLiteral(HONDANA_STAGED_DATA_DIR), QDir::Files);
    while (shipped.hasNext()) {
        shipped.next();
        QFile::copy(shipped.filePath(), target.filePath(shipped.fileName()));
    }
    const QString catalogue = target.filePath(files::Catalogue);
    QFile::copy(target.filePath(files::CatalogueTemplate), catalogue);
    QFile::setPermissions(catalogue, QFile::ReadOwner | QFile::WriteOwner);
    generateCatalogue(catalogue, shape);
    return catalogue;
}

} // namespace hondana::test
