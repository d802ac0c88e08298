// make_catalogue <folder> [books] [seed] [authors]: a data folder with the shipped files and a
// synthetic catalogue of that many books (100,000 by default) and authors (12,500 by default, as
// many as a real collection of that size has), for trying the program on a large collection.

#include "CatalogueGenerator.h"
#include "base/FileNames.h"
#include "db/DatabaseFile.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: make_catalogue <folder> [books] [seed] [authors]\n");
        return 2;
    }
    const QDir folder(arguments[1]);
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    hondana::test::CatalogueShape shape;
    shape.books = arguments.size() > 2 ? arguments[2].toInt() : 100000;
    shape.seed = arguments.size() > 3 ? arguments[3].toULongLong() : 1;
    shape.authors = arguments.size() > 4 ? arguments[4].toInt() : 12500;
    try {
        // The shipped files when the build made them, then a catalogue of the current layout.
        QDirIterator shipped(QStringLiteral(HONDANA_STAGED_DATA_DIR), QDir::Files);
        while (shipped.hasNext()) {
            shipped.next();
            QFile::copy(shipped.filePath(), folder.filePath(shipped.fileName()));
        }
        const QString catalogue = folder.filePath(hondana::files::Catalogue);
        QFile::remove(catalogue);
        hondana::createDatabaseFile(catalogue, hondana::schema::catalogueStatements());
        if (!QFile::exists(folder.filePath(hondana::files::RestoreTemplate)))
            hondana::createDatabaseFile(folder.filePath(hondana::files::RestoreTemplate),
                                        hondana::schema::catalogueStatements());
        QElapsedTimer timer;
        timer.start();
        hondana::test::generateCatalogue(catalogue, shape);
        std::printf("%d books in %s (%lld ms)\n", shape.books, qPrintable(catalogue),
                    static_cast<long long>(timer.elapsed()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
