#pragma once

#include <QString>
#include <QUrl>

namespace hondana {

// Where look-ups go and whether the user allowed them, kept in a small settings file of our own
// in the data folder: the catalogue's configuration line is fixed, and the choice belongs to the
// collection, not to the machine.
class LookupSettings {
public:
    static inline const QString FileName = QStringLiteral("hondana.ini");
    static inline const QString DefaultAddress =
        QStringLiteral("https://ndlsearch.ndl.go.jp/api/sru");
    // Set for a proxy or a test server, it wins over the stored address.
    static inline const char *AddressVariable = "HONDANA_LOOKUP_URL";

    enum class Consent { NotAsked, Allowed, Refused };

    explicit LookupSettings(const QString &folder = {});

    // The service's address: the environment's, else the stored one, else the library's own.
    QUrl serviceAddress() const;
    void setServiceAddress(const QString &address);

    Consent consent() const;
    // Throws Failure naming the file when the choice cannot be written.
    void setConsent(bool allowed);

private:
    QString m_path;
};

// The request for one ISBN: the bibliographic description only, at most a few records.
QUrl searchAddress(const QUrl &service, const QString &isbnDigits);

} // namespace hondana
