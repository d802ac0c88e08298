// Connection strings and data-link files. The input is a connection string, a NUL byte and the
// bytes of the data-link file "link.udl" beside it. Anything parses or is refused with a
// Failure, and what parses names a file in the working folder and nowhere else.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "db/ConnectionString.h"

using namespace hondana;

namespace {

const QString LinkFile = QStringLiteral("link.udl");

void check(const QString &connectionString) {
    try {
        const ConnectionTarget target =
            parseConnectionString(connectionString, fuzz::scratchFolder());
        fuzz::require(files::isBareName(target.dataSource),
                      "a connection string reaches a file outside the working folder");
    } catch (const Failure &failure) {
        fuzz::require(!failure.message().isEmpty(), "a failure without a message");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const fuzz::Split input = fuzz::splitAtNul(data, size);
    fuzz::writeScratchFile(LinkFile, input.second);
    check(QString::fromUtf8(input.first));
    check(QStringLiteral("FILE NAME=") + LinkFile);
    return 0;
}
