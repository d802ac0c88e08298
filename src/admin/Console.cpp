#include "admin/Console.h"

#include <iostream>
#include <string>
#include <unistd.h>

namespace hondana::admin {

namespace {

// Often enough to look alive, rarely enough not to slow the work down.
constexpr qint64 RedrawMilliseconds = 100;

} // namespace

void print(std::FILE *stream, const QString &text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool confirm(const QString &question, const QString &what) {
    if (!::isatty(STDIN_FILENO)) {
        print(stderr, QStringLiteral("hondana-admin: %1は確認が必要です。端末以外から実行する"
                                     "ときは --yes を付けてください。")
                          .arg(what));
        return false;
    }
    const QByteArray prompt = (question + QStringLiteral(" [y/N] ")).toUtf8();
    std::fwrite(prompt.constData(), 1, size_t(prompt.size()), stderr);
    std::fflush(stderr);
    std::string answer;
    if (std::getline(std::cin, answer) &&
        (answer == "y" || answer == "Y" || answer == "yes" || answer == "YES"))
        return true;
    print(stderr, QStringLiteral("%1を取りやめました。何も変更していません。").arg(what));
    return false;
}

TerminalProgress::TerminalProgress(const QString &label)
    : m_label(label), m_terminal(::isatty(STDERR_FILENO)),
      m_progress([this](qint64 done, qint64 total) {
          show(done, total);
          return true;
      }) {
    m_sinceLast.start();
}

TerminalProgress::~TerminalProgress() {
    if (m_shown)
        std::fputs("\r\033[K", stderr);
}

void TerminalProgress::show(qint64 done, qint64 total) {
    if (!m_terminal || m_sinceLast.elapsed() < RedrawMilliseconds)
        return;
    m_sinceLast.restart();
    m_shown = true;
    const QString line = total > 0 ? QStringLiteral("\r%1 %2%").arg(m_label).arg(done * 100 / total)
                                   : QStringLiteral("\r%1 %2").arg(m_label).arg(done);
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace hondana::admin
