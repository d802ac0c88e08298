#pragma once

#include <QString>

namespace hondana {

class Connection;
class RecordStorage;
struct RecordFields;

// The grouped lists' child commands, as their SHAPE texts hold them.
namespace childcommands {
extern const QString ByCategory;
extern const QString ByAuthor;
extern const QString ByPublisher;
} // namespace childcommands

// Answers `source` from memory when it is a stored query over the books (TQ1 to TQ3, while the
// file's view is the one the schema describes) or a grouped list's child command: the books
// read once and shared (CatalogueRows), the small master lists joined to them here and the
// rows sorted as the SQL orders them, with the engine's rules for nulls, numbers and texts.
// The engine would look each book's four master names up one by one. Fills `fields` and
// `storage` (read only) as reading the source would and returns true; returns false and
// touches nothing for any other source. Throws Failure when the rows cannot be read.
bool answerFromMemory(Connection &connection, const QString &source, RecordFields &fields,
                      RecordStorage &storage);

} // namespace hondana
