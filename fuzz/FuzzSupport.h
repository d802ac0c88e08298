#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// Shared by the fuzz targets: a scratch folder for parsers that read files, and checks that
// stop the run with a readable reason when a property of a parser does not hold.
namespace hondana::fuzz {

// A folder that lives as long as the process; every target reuses the same one.
QString scratchFolder();

// Writes `bytes` as `name` in the scratch folder, replacing what was there.
void writeScratchFile(const QString &name, const QByteArray &bytes);

// Aborts (so libFuzzer records the input) when `condition` is false.
void require(bool condition, const char *what);

// Splits the input at its first NUL byte: text before it, bytes after it (empty when none).
struct Split {
    QByteArray first;
    QByteArray second;
};
Split splitAtNul(const uint8_t *data, size_t size);

} // namespace hondana::fuzz
