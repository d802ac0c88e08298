#pragma once

#include <QString>
#include <stdexcept>

namespace hondana {

// A failure the user has to be told about. The message is Japanese, names the file or column
// concerned and says what is wrong, so callers can show it as it stands.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace hondana
