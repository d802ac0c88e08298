#include "app/Shell.h"

#include "app/AboutBox.h"
#include "app/AgreementWindow.h"
#include "app/MainMenu.h"
#include "base/Failure.h"
#include "collection/CollectionWindows.h"
#include "core/DataFolderLock.h"
#include "core/Startup.h"
#include "importing/ImportWindow.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "retrieval/DetailReport.h"
#include "retrieval/GroupedList.h"
#include "retrieval/QueryScreen.h"
#include "scan/ShelfScanWindow.h"
#include "statistics/StatisticsWindow.h"
#include "utilities/UtilitiesWindow.h"
#include "widgets/MessageService.h"
#include "widgets/WindowRegistry.h"

#include <QDir>

namespace hondana {

void registerShellWindows() {
    WindowRegistry &registry = WindowRegistry::instance();
    registry.registerFactory(MainMenu::Name, [] { return new MainMenu; });
    registry.registerFactory(AgreementWindow::Name, [] { return new AgreementWindow; });
    registry.registerFactory(AboutBox::Name, [] { return new AboutBox; });
}

void registerAllWindows() {
    registerShellWindows();
    registerBookRegister();
    registerMasterEditors();
    registerQueryScreens();
    registerGroupedLists();
    registerReport();
    registerUtilities();
    registerCollectionWindows();
    registerImportWindow();
    registerScanWindow();
    registerStatisticsWindow();
}

bool startProgram() {
    FirstWindow first;
    try {
        holdDataFolder(QDir::currentPath());
        first = decideFirstWindow();
    } catch (const Failure &failure) {
        releaseDataFolder();
        MessageService::instance().notice(
            QStringLiteral("本棚帖を起動できません。\n\n%1").arg(failure.message()), {},
            MessageService::Icon::Critical);
        return false;
    }
    return WindowRegistry::instance().show(first == FirstWindow::MainMenu ? MainMenu::Name
                                                                          : AgreementWindow::Name);
}

} // namespace hondana
