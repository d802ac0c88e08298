#pragma once

#include "catalogue/Isbn.h"

#include <QDate>
#include <QString>

#include <optional>

namespace hondana {

// A book from outside (a file, a look-up, a scan), before it is ours. Masters are named, not
// numbered: the other catalogue's numbers mean nothing here. Empty texts, null dates and unset
// numbers are left empty in the register.
struct IncomingBook {
    QString title, titleReading, volume;    // 題名, its reading (kana), ｼﾘｰｽﾞ
    std::optional<int> seqNo, totalVolumes; // SEQNO, 全体NO
    QString author, authorReading, publisher, publisherReading, category, size; // master names
    QString id1, id2, callNumber, shop, contents; // 管理番号1, 管理番号2, 請求番号, 購入先, 内容
    QDate bought, published, finished;       // 購入日, 発行日, 読書完了日
    std::optional<int> edition, price, rank; // 版数, 価格, 読感ﾗﾝｸ
    QString readingStamp;                    // 読書ｽﾀﾝﾌﾟ: "済", "未" or empty
    Isbn isbn;
};

} // namespace hondana
