#include "core/Configuration.h"

#include "base/Failure.h"
#include "base/FileNames.h"

#include <QFile>

namespace hondana {

namespace {
// A connection string is a few hundred characters; anything far longer is not a configuration.
constexpr qint64 MaxLineBytes = 4096;
} // namespace

QString readConfigurationLine(const QString &folder) {
    QFile file(files::resolve(files::Configuration, folder));
    if (!file.exists())
        throw Failure(QStringLiteral("設定ファイル「%1」がありません。").arg(files::Configuration));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("設定ファイル「%1」を読めません: %2")
                          .arg(files::Configuration, file.errorString()));
    QByteArray bytes = file.read(MaxLineBytes + 1);
    qsizetype end = bytes.indexOf('\n');
    if (end < 0) {
        if (bytes.size() > MaxLineBytes)
            throw Failure(QStringLiteral("設定ファイル「%1」の1行目が長すぎます。")
                              .arg(files::Configuration));
        end = bytes.size();
    }
    QByteArray line = bytes.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("\xef\xbb\xbf"))
        line.remove(0, 3);
    const QString text = QString::fromUtf8(line);
    if (text.trimmed().isEmpty())
        throw Failure(
            QStringLiteral("設定ファイル「%1」の1行目が空です。").arg(files::Configuration));
    return text;
}

QString providerClause(const QString &line) {
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'));
    return semicolon < 0 ? QString() : line.left(semicolon + 1);
}

} // namespace hondana
