#include "core/AppState.h"

namespace hondana {

AppState &AppState::instance() {
    static AppState state;
    return state;
}

} // namespace hondana
