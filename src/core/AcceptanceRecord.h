#pragma once

#include "db/Connection.h"

#include <QString>

namespace hondana {

// The acceptance table DOUI of the catalogue, reached through the main connection string.
// It is empty until the user accepts the usage agreement, and holds one row afterwards.
class AcceptanceRecord {
public:
    // Opens the catalogue; throws Failure when it is missing or not a catalogue.
    explicit AcceptanceRecord(const QString &mainConnectionString);

    bool exists();
    // Records the acceptance (its columns are informational: nothing reads them).
    void add();
    // Releases the catalogue; also done when the object goes.
    void close() { m_connection.close(); }

private:
    Connection m_connection;
};

} // namespace hondana
