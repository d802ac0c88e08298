#include "widgets/LookupConsent.h"

#include "base/Failure.h"
#include "lookup/LookupSettings.h"
#include "widgets/MessageService.h"

namespace hondana {

bool askLookupConsentOnce(LookupSettings &settings) {
    switch (settings.consent()) {
    case LookupSettings::Consent::Allowed:
        return true;
    case LookupSettings::Consent::Refused:
        return false;
    case LookupSettings::Consent::NotAsked:
        break;
    }
    const bool allowed = MessageService::instance().confirm(QStringLiteral(
        "書誌を照会するため、ISBN を国立国会図書館 (国立国会図書館サーチ) に送ります。\n"
        "照会を使いますか?\n\n"
        "この答えは記憶され、次からは尋ねません。スキャンの画面でいつでも変えられます。"));
    try {
        settings.setConsent(allowed);
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), {}, MessageService::Icon::Warning);
    }
    return allowed;
}

} // namespace hondana
