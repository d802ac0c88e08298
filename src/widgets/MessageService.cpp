#include "widgets/MessageService.h"

#include <QApplication>
#include <QMessageBox>

namespace hondana {

namespace {

QMessageBox::Icon toQt(MessageService::Icon icon) {
    switch (icon) {
    case MessageService::Icon::Information:
        return QMessageBox::Information;
    case MessageService::Icon::Warning:
        return QMessageBox::Warning;
    case MessageService::Icon::Critical:
        return QMessageBox::Critical;
    case MessageService::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString titleOrDefault(const QString &title) {
    return title.isEmpty() ? ApplicationTitle : title;
}

class MessageBoxService final : public MessageService {
public:
    void notice(const QString &text, const QString &title, Icon icon) override {
        QMessageBox box(toQt(icon), titleOrDefault(title), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }
    bool confirm(const QString &text, const QString &title) override {
        QMessageBox box(QMessageBox::Critical, titleOrDefault(title), text,
                        QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    void beep() override { QApplication::beep(); }
};

MessageService *&replacement() {
    static MessageService *service = nullptr;
    return service;
}

} // namespace

MessageService &MessageService::instance() {
    static MessageBoxService boxes;
    MessageService *service = replacement();
    return service ? *service : boxes;
}

void MessageService::setInstance(MessageService *service) {
    replacement() = service;
}

} // namespace hondana
