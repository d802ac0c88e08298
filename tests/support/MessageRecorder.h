#pragma once

#include "widgets/MessageService.h"

#include <QGuiApplication>
#include <QList>
#include <QStringList>

namespace hondana::test {

// Stands in for the message boxes while it lives: records every text and title shown and
// answers confirmations from a queue (No when the queue is empty).
class MessageRecorder final : public MessageService {
public:
    MessageRecorder() { MessageService::setInstance(this); }
    ~MessageRecorder() override { MessageService::setInstance(nullptr); }

    void notice(const QString &text, const QString &title, Icon) override {
        texts << text;
        titles << title;
        if (QGuiApplication::overrideCursor())
            ++shownBusy;
    }
    bool confirm(const QString &text, const QString &title) override {
        texts << text;
        titles << title;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void beep() override { ++beeps; }

    QStringList texts;
    QStringList titles;
    QList<bool> answers;
    int beeps = 0;
    int shownBusy = 0; // notices shown while a busy cursor was still set
};

} // namespace hondana::test
