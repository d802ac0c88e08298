#include "app/Shell.h"

#include "app/KYODAKU.h"
#include "app/MAINM.h"
#include "app/frmAbout.h"
#include "base/Failure.h"
#include "core/Startup.h"
#include "masters/MasterEditor.h"
#include "register/MEISAI.h"
#include "retrieval/GroupedList.h"
#include "retrieval/MEIPR.h"
#include "retrieval/QueryScreen.h"
#include "utilities/ALLDEL.h"
#include "widgets/MessageService.h"
#include "widgets/WindowRegistry.h"

namespace hondana {

void registerShellWindows() {
    WindowRegistry &registry = WindowRegistry::instance();
    registry.registerFactory(MAINM::Name, [] { return new MAINM; });
    registry.registerFactory(KYODAKU::Name, [] { return new KYODAKU; });
    registry.registerFactory(frmAbout::Name, [] { return new frmAbout; });
}

void registerAllWindows() {
    registerShellWindows();
    registerBookRegister();
    registerMasterEditors();
    registerQueryScreens();
    registerGroupedLists();
    registerReport();
    registerUtilities();
}

bool startProgram() {
    FirstWindow first;
    try {
        first = decideFirstWindow();
    } catch (const Failure &failure) {
        MessageService::instance().notice(
            QStringLiteral("本棚帖を起動できません。\n\n%1").arg(failure.message()), {},
            MessageService::Icon::Critical);
        return false;
    }
    return WindowRegistry::instance().show(first == FirstWindow::MainMenu ? MAINM::Name
                                                                          : KYODAKU::Name);
}

} // namespace hondana
