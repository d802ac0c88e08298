#include "lookup/LookupSettings.h"

#include "base/Failure.h"
#include "base/FileNames.h"

#include <QSettings>
#include <QUrlQuery>

namespace hondana {

namespace {

const QString AddressKey = QStringLiteral("lookup/address");
const QString ConsentKey = QStringLiteral("lookup/allowed");

void writeSetting(const QString &path, const QString &key, const QVariant &value) {
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Failure(QStringLiteral("設定ファイル「%1」に書き込めません。").arg(path));
}

} // namespace

LookupSettings::LookupSettings(const QString &folder) : m_path(files::resolve(FileName, folder)) {}

QUrl LookupSettings::serviceAddress() const {
    const QString fromEnvironment = qEnvironmentVariable(AddressVariable);
    if (!fromEnvironment.isEmpty())
        return QUrl(fromEnvironment);
    const QSettings settings(m_path, QSettings::IniFormat);
    const QString stored = settings.value(AddressKey).toString();
    return QUrl(stored.isEmpty() ? DefaultAddress : stored);
}

void LookupSettings::setServiceAddress(const QString &address) {
    writeSetting(m_path, AddressKey, address);
}

LookupSettings::Consent LookupSettings::consent() const {
    const QSettings settings(m_path, QSettings::IniFormat);
    const QVariant allowed = settings.value(ConsentKey);
    if (!allowed.isValid())
        return Consent::NotAsked;
    return allowed.toBool() ? Consent::Allowed : Consent::Refused;
}

void LookupSettings::setConsent(bool allowed) {
    writeSetting(m_path, ConsentKey, allowed);
}

QUrl searchAddress(const QUrl &service, const QString &isbnDigits) {
    QUrl address = service;
    QUrlQuery query(address);
    query.addQueryItem(QStringLiteral("operation"), QStringLiteral("searchRetrieve"));
    query.addQueryItem(QStringLiteral("version"), QStringLiteral("1.2"));
    query.addQueryItem(QStringLiteral("recordSchema"), QStringLiteral("dcndl"));
    query.addQueryItem(QStringLiteral("recordPacking"), QStringLiteral("xml"));
    query.addQueryItem(QStringLiteral("onlyBib"), QStringLiteral("true"));
    query.addQueryItem(QStringLiteral("maximumRecords"), QStringLiteral("10"));
    query.addQueryItem(QStringLiteral("query"), QStringLiteral("isbn=") + isbnDigits);
    address.setQuery(query);
    return address;
}

} // namespace hondana
