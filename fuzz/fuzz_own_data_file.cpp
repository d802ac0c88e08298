// The backup file of our own data: any bytes give lines, unreadable lines or a problem, never a
// crash; every line read names a position and a digest or belongs to no record, a wish read
// from a line writes the same values, and a line written from what was read
// reads back the same.
#include "FuzzSupport.h"

#include "maintenance/OwnDataFile.h"

using namespace hondana;
using namespace hondana::owndatafile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Contents contents = parse(bytes);
    fuzz::require(contents.problem.isEmpty() ||
                      (contents.lines.isEmpty() && contents.unreadable.isEmpty()),
                  "a file that cannot be read still gave lines");
    fuzz::require(!contents.problem.isEmpty() ||
                      (contents.version >= OldestVersion && contents.version <= Version),
                  "a file was read in a version nobody wrote");
    for (const Line &line : contents.lines) {
        if (line.position == 0) {
            fuzz::require(line.digest.isEmpty() && line.file == NoRecordFile,
                          "a line of a record without a position");
            if (const std::optional<Wish> wish = wishFromValues(line.values))
                fuzz::require(wishValues(*wish) == line.values,
                              "a wish read from a line writes back differently");
        } else {
            fuzz::require(line.digest.size() == 32, "a line without a whole digest");
        }
        fuzz::require(line.text.size() <= MaxLineLength, "a line longer than the limit");
        const Contents again =
            parse(headerLine() +
                  formatLine(line.file, line.position, line.digest, line.kind, line.values));
        fuzz::require(again.lines.size() == 1, "a line written from a read one does not read");
        const Line &back = again.lines.first();
        fuzz::require(back.file == line.file && back.position == line.position &&
                          back.digest == line.digest && back.kind == line.kind &&
                          back.values == line.values,
                      "a line written from a read one reads back differently");
    }
    return 0;
}
