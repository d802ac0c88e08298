#include "app/ApplicationSetup.h"

#include "widgets/MessageService.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace hondana {

namespace {

const QString ProportionalGothic = QStringLiteral("IPAPGothic");
const QString FixedGothic = QStringLiteral("IPAGothic");
constexpr int DefaultPointSize = 9;

void installQtTranslations(QApplication &application) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_ja"), folder))
        QCoreApplication::installTranslator(translator);
    else
        delete translator; // Qt's dialogs stay in English; nothing else depends on it.
}

} // namespace

void installFontSubstitutions() {
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {ProportionalGothic, FixedGothic});
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), {ProportionalGothic, FixedGothic});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), {FixedGothic, ProportionalGothic});
    QFont::insertSubstitutions(QStringLiteral("MS Gothic"), {FixedGothic, ProportionalGothic});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐ明朝"), {QStringLiteral("IPAPMincho")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ 明朝"), {QStringLiteral("IPAMincho")});
}

void setUpApplication(QApplication &application) {
    QCoreApplication::setApplicationName(QStringLiteral("hondana"));
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.hondana.Hondana")); // data/desktop/
    QGuiApplication::setApplicationDisplayName(ApplicationTitle);
    installQtTranslations(application);
    installFontSubstitutions();
    QFont font(ProportionalGothic, DefaultPointSize);
    font.setFamilies({ProportionalGothic, FixedGothic});
    QApplication::setFont(font);
}

} // namespace hondana
