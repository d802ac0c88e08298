#pragma once

#include <QString>
#include <QTemporaryDir>

namespace hondana::test {

// A temporary working folder for one test: optionally seeded with the shipped data set,
// made the current directory while the object lives, removed afterwards.
class DataFolder {
public:
    enum Seed { Empty, ShippedFiles };
    explicit DataFolder(Seed seed = ShippedFiles);
    ~DataFolder();
    DataFolder(const DataFolder &) = delete;
    DataFolder &operator=(const DataFolder &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const;
    // Copies one shipped file (from the staged data set) into the folder under `as`.
    void copyShipped(const QString &name, const QString &as = {}) const;
    // The folder that holds the staged data set of the build.
    static QString shippedDataDir();

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

} // namespace hondana::test
