// The configuration line of JETDB.VER: any file gives one line or a Failure; the line holds no
// line end, and its provider clause is a prefix of it ending in ";".
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/Configuration.h"
#include "db/ConnectionString.h"

using namespace hondana;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::writeScratchFile(files::Configuration,
                           QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    QString line;
    try {
        line = readConfigurationLine(fuzz::scratchFolder());
    } catch (const Failure &failure) {
        fuzz::require(!failure.message().isEmpty(), "a failure without a message");
        return 0;
    }
    fuzz::require(!line.trimmed().isEmpty(), "an empty configuration line was accepted");
    fuzz::require(!line.contains(QLatin1Char('\n')), "the configuration line holds a line end");
    const QString clause = providerClause(line);
    fuzz::require(line.startsWith(clause), "the provider clause is not a prefix of the line");
    fuzz::require(clause.isEmpty() || clause.endsWith(QLatin1Char(';')),
                  "the provider clause does not end in ;");
    try {
        fuzz::require(
            files::isBareName(parseConnectionString(line, fuzz::scratchFolder()).dataSource),
            "the configuration line reaches a file outside the working folder");
    } catch (const Failure &) {
    }
    return 0;
}
