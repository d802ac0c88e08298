#pragma once

#include "support/DataFolder.h"
#include "support/TestSql.h"

#include <QString>
#include <QWidget>
#include <memory>

namespace hondana::test {

// A working folder with a fresh catalogue of a few books, made so that every join, order and
// stamp rule of the searches and lists shows:
//   categories 2, 1, 3 (in that order of insertion; 3 has no book), authors 2 and 1, publishers
//   10 and 5;
//   "こころ" volumes 2 and 1 (author 2, publisher 10, category 1);
//   "あ" by author 99, who has no row (category 1, publisher 10);
//   a book without a title and one with an empty title (author 1, publisher 5, category 2);
//   "迷子" in category 77, which has no row (author 1, publisher 5).
struct RetrievalCatalogue {
    DataFolder folder;
    std::unique_ptr<SqlFile> file;

    RetrievalCatalogue();
    void exec(const QString &sql) const { file->exec(sql); }
};

// Stands in for the register, which the lists and the unread list hide while they are open and
// show again when they close; the register's menu is taken meanwhile.
struct RegisterStandIn {
    QWidget window;
    RegisterStandIn();
};

} // namespace hondana::test
