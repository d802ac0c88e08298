#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

namespace hondana {

// Creates a new database file at `path` by running `statements` in one transaction, then
// `insert` once per row of `rows` (bound values). Replaces nothing: an existing file is an
// error. Throws Failure. Used by the build tool that makes the shipped templates, and by tests.
void createDatabaseFile(const QString &path, const QStringList &statements,
                        const QString &insert = {}, const QList<QVariantList> &rows = {});

} // namespace hondana
