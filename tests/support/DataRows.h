#pragma once

// A `_data` table written once: its named columns, one row per case, and the current row's value
// in a column, read by name where the test needs it.

#include <QtTest>
#include <array>

namespace hondana::test {

template <typename... T> void columns(const std::array<const char *, sizeof...(T)> &names) {
    size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

// Texts go in as QString.
template <typename... T> void row(const char *name, T... values) {
    (QTest::newRow(name) << ... << values);
}

template <typename T> T cell(const char *column) {
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}

inline QString text(const char *column) {
    return cell<QString>(column);
}

} // namespace hondana::test
