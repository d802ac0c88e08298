#pragma once

#include <QString>

namespace hondana {

// The one seam for message boxes, confirmations and beeps. Screens never build message boxes
// themselves; tests replace the service to read the exact text shown and to answer.
class MessageService {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~MessageService() = default;

    // A notice with an OK button only. An empty title shows the application's title.
    virtual void notice(const QString &text, const QString &title = {}, Icon icon = Icon::None) = 0;
    // Yes and No, the stop icon, No as the default button; true only for Yes.
    virtual bool confirm(const QString &text, const QString &title = {}) = 0;
    virtual void beep() = 0;

    static MessageService &instance();
    // Replaces the service (tests); nullptr brings back the message boxes.
    static void setInstance(MessageService *service);
};

// The application's title, shown by every message box that has none of its own.
inline const QString ApplicationTitle = QStringLiteral("本棚帖");

} // namespace hondana
