#pragma once

#include <QString>

namespace hondana::test {

// How big a synthetic catalogue is. Masters are a few thousand rows by default, like a
// collection gathered over many years.
struct CatalogueShape {
    int books = 1000;
    int authors = 5000;
    int publishers = 800;
    int categories = 60;
    int sizes = 12;
    quint64 seed = 1;
};

// Adds a realistic synthetic collection to the existing catalogue database at `path`: Japanese
// titles, authors and publishers with some ASCII and half-width katakana, every column used,
// some of them null, reading stamps "未", "済", "*" and empty. Every text fits its column in
// code page 932. The same shape and seed give the same rows. One transaction; throws Failure.
void generateCatalogue(const QString &path, const CatalogueShape &shape);

// Fills `folder` as a user's data folder starts: the shipped files of the build, and a
// catalogue made from the template holding a collection of `shape`. Returns the catalogue's
// path. Throws Failure.
QString seedDataFolder(const QString &folder, const CatalogueShape &shape);

} // namespace hondana::test
