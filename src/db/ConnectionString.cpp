#include "db/ConnectionString.h"

#include "base/Failure.h"
#include "base/FileNames.h"

#include <QFile>
#include <QStringDecoder>

namespace hondana {

namespace {

// Longer than any sensible data-link file; a bigger file is not one of ours.
constexpr qint64 MaxDataLinkBytes = 64 * 1024;

bool isKnownProvider(const QString &provider) {
    static const QStringList known = {QStringLiteral("Microsoft.Jet.OLEDB.3.51"),
                                      QStringLiteral("Microsoft.Jet.OLEDB.4.0"),
                                      QStringLiteral("SQLite"), QStringLiteral("MSDataShape")};
    for (const QString &name : known) {
        if (provider.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString decodeDataLink(const QByteArray &bytes) {
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff")) {
        auto decoder = QStringDecoder(bytes.startsWith("\xff\xfe") ? QStringDecoder::Utf16LE
                                                                   : QStringDecoder::Utf16BE);
        return decoder.decode(bytes.mid(2));
    }
    QByteArray body = bytes;
    if (body.startsWith("\xef\xbb\xbf"))
        body.remove(0, 3);
    return QString::fromUtf8(body);
}

} // namespace

QString readDataLinkFile(const QString &fileName, const QString &folder) {
    const QString path = files::resolve(fileName, folder);
    QFile file(path);
    if (!file.exists())
        throw Failure(QStringLiteral("接続ファイル「%1」がありません。").arg(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("接続ファイル「%1」を読めません: %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.read(MaxDataLinkBytes + 1);
    if (bytes.size() > MaxDataLinkBytes)
        throw Failure(QStringLiteral("接続ファイル「%1」が大きすぎます。").arg(fileName));
    const QStringList lines = decodeDataLink(bytes).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('[')))
            continue;
        return line;
    }
    throw Failure(QStringLiteral("接続ファイル「%1」に接続文字列がありません。").arg(fileName));
}

namespace {

// `fromDataLink` names the data-link file the string came from; such a string may not name
// another one, or a file naming itself would never end.
ConnectionTarget parse(const QString &connectionString, const QString &folder,
                       const QString &fromDataLink) {
    ConnectionTarget target;
    QString provider;
    QString dataProvider;
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals < 0) {
            if (part.trimmed().isEmpty())
                continue;
            throw Failure(QStringLiteral("接続文字列の「%1」が読めません。").arg(part.trimmed()));
        }
        const QString key = part.left(equals).trimmed().toLower();
        const QString value = part.mid(equals + 1).trimmed();
        if (key == QLatin1String("file name")) {
            if (value.isEmpty())
                throw Failure(QStringLiteral("接続文字列に接続ファイル名がありません。"));
            if (!fromDataLink.isEmpty())
                throw Failure(QStringLiteral("接続ファイル「%1」が別の接続ファイル「%2」を指して"
                                             "います。接続文字列を直接書いてください。")
                                  .arg(fromDataLink, value));
            return parse(readDataLinkFile(value, folder), folder, value);
        }
        if (key == QLatin1String("provider"))
            provider = value;
        else if (key == QLatin1String("data provider"))
            dataProvider = value;
        else if (key == QLatin1String("data source"))
            target.dataSource = value;
    }
    for (const QString &name : {provider, dataProvider}) {
        if (!name.isEmpty() && !isKnownProvider(name))
            throw Failure(QStringLiteral("接続文字列のプロバイダー「%1」は使えません。").arg(name));
    }
    target.shaping = provider.compare(QLatin1String("MSDataShape"), Qt::CaseInsensitive) == 0;
    if (target.dataSource.isEmpty())
        throw Failure(
            QStringLiteral("接続文字列にデータベースファイル (Data Source) がありません。"));
    if (!files::isBareName(target.dataSource))
        throw Failure(QStringLiteral("接続文字列のデータベースファイル「%1」は作業フォルダーの外を"
                                     "指しています。ファイル名だけを書いてください。")
                          .arg(target.dataSource));
    return target;
}

} // namespace

ConnectionTarget parseConnectionString(const QString &connectionString, const QString &folder) {
    return parse(connectionString, folder, {});
}

} // namespace hondana
