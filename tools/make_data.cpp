// Builds the data set that a user's data folder starts with: the catalogue templates, the
// version template, the agreement database, the configuration line, the data-link files and
// the help. Everything is made from the text sources in data/ and the schema in the core
// library, so no binary file has to be kept in the repository.
//
// Usage: make_data <source folder> <output folder>

#include "BuildFiles.h"
#include "base/Failure.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/DatabaseFile.h"
#include "db/OwnTables.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

using namespace hondana;

namespace {

const QString HelpContextMap = QStringLiteral("context.map");

// Databases are built beside their final name and moved over it, so an interrupted build never
// leaves a half-made template that a later build would take as finished.
void writeDatabase(const QString &path, const QStringList &statements, const QString &insert = {},
                   const QList<QVariantList> &rows = {}) {
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    createDatabaseFile(partial, statements, insert, rows);
    QFile::remove(path);
    if (!QFile::rename(partial, path))
        throw Failure(QStringLiteral("%1: cannot move into place").arg(path));
}

// The agreement is shown in a text box, which wants one kind of line end; a trailing blank line
// of the source is not part of it.
QString agreementText(const QString &sourceDir) {
    QString text =
        QString::fromUtf8(buildfiles::read(sourceDir + QStringLiteral("/agreement.txt")));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.trimmed().isEmpty())
        throw Failure(QStringLiteral("agreement.txt is empty"));
    return text;
}

// Data-link files keep the layout older installations wrote: a section header, a comment, and
// the connection string on the third line.
QByteArray dataLink(const QString &connectionString) {
    return QStringLiteral(
               "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n%1\r\n")
        .arg(connectionString)
        .toUtf8();
}

// "<context id> <page>", the page one of the help's own.
bool isContextLine(const QString &line, const QStringList &pages) {
    const QStringList fields = line.simplified().split(QLatin1Char(' '));
    if (fields.size() != 2)
        return false;
    bool numeric = false;
    fields[0].toInt(&numeric);
    return numeric && pages.contains(fields[1]);
}

// Copies the help pages and checks that every topic the context map names is there, so a broken
// map fails the build instead of the help window.
void writeHelp(const QString &sourceDir, const QString &outDir) {
    const QDir source(sourceDir + QStringLiteral("/help"));
    QDir target(outDir + QLatin1Char('/') + files::HelpFolder);
    if (!target.exists() && !QDir().mkpath(target.path()))
        throw Failure(QStringLiteral("%1: cannot create").arg(target.path()));
    const QStringList pages =
        source.entryList({QStringLiteral("*.html"), QStringLiteral("*.css"), HelpContextMap},
                         QDir::Files, QDir::Name);
    // Pages removed from the sources must not linger in the staged set.
    for (const QString &old : target.entryList(QDir::Files)) {
        if (!pages.contains(old))
            QFile::remove(target.filePath(old));
    }
    for (const QString &page : pages)
        buildfiles::write(target.filePath(page), buildfiles::read(source.filePath(page)));

    const QString map = QString::fromUtf8(buildfiles::read(source.filePath(HelpContextMap)));
    for (const QString &line : map.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!isContextLine(line, pages))
            throw Failure(QStringLiteral("%1: bad line \"%2\"").arg(HelpContextMap, line));
    }
}

void makeDataSet(const QString &sourceDir, const QString &outDir) {
    if (!QDir().mkpath(outDir))
        throw Failure(QStringLiteral("%1: cannot create").arg(outDir));
    const QDir out(outDir);
    const QStringList catalogue = schema::catalogueStatements() + owntables::statements();
    writeDatabase(out.filePath(files::CatalogueTemplate), catalogue);
    writeDatabase(out.filePath(files::RestoreTemplate), catalogue);
    writeDatabase(out.filePath(files::VersionTemplate),
                  schema::versionStatements(AppState::CurrentVersion));
    writeDatabase(out.filePath(files::AgreementDatabase), schema::agreementTableStatements(),
                  QStringLiteral("INSERT INTO KYODAKU (ID, TEXT) VALUES (?, ?)"),
                  {{1, agreementText(sourceDir)}});

    buildfiles::write(out.filePath(files::Configuration),
                      "Provider=Microsoft.Jet.OLEDB.3.51;Persist Security Info=False;"
                      "Data Source=TOSHO.mdb;Mode=Share Deny None;\r\n");
    buildfiles::write(
        out.filePath(files::CatalogueLink),
        dataLink(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=TOSHO.mdb;"
                                "Mode=Share Deny None;Persist Security Info=False")));
    buildfiles::write(out.filePath(files::AgreementLink),
                      dataLink(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;"
                                              "Mode=Read;Persist Security Info=False")
                                   .arg(files::AgreementDatabase)));
    writeHelp(sourceDir, outDir);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_data <source folder> <output folder>\n");
        return 2;
    }
    try {
        makeDataSet(args[1], args[2]);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "make_data: %s\n", qPrintable(failure.message()));
        return 1;
    }
    return 0;
}
