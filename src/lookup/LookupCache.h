#pragma once

#include "catalogue/Isbn.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace hondana {

// The service's answers kept in a small database file of their own in the data folder, so an
// ISBN asked once is answered again without the network. The catalogue and its backup set never
// hold them: the cache can be deleted at any time and is filled again by the next look-ups.
class LookupCache {
public:
    static inline const QString FileName = QStringLiteral("hondana-lookup.sqlite");

    // Opens (creating when missing) the cache in `folder`, the current directory when empty.
    // Throws Failure naming the file when it cannot be opened or is no cache of ours.
    explicit LookupCache(const QString &folder = {});
    ~LookupCache();
    LookupCache(const LookupCache &) = delete;
    LookupCache &operator=(const LookupCache &) = delete;

    // The answer kept for `isbn`, if any.
    std::optional<QByteArray> find(const Isbn &isbn) const;
    // Keeps `answer` for `isbn`, replacing an earlier one, in one transaction. Throws Failure.
    void store(const Isbn &isbn, const QByteArray &answer);

    QString filePath() const { return m_path; }

private:
    QString m_path;
    QString m_connection;
};

} // namespace hondana
