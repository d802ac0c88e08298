#include "widgets/RecordCommands.h"

#include "db/RecordSet.h"
#include "widgets/DataControl.h"
#include "widgets/MessageService.h"

namespace hondana {

bool runRecordCommand(const std::function<void()> &command) {
    try {
        command();
        return true;
    } catch (const RefusedEdit &) {
        return false;
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message());
        return false;
    }
}

void deleteAndMoveOn(RecordSet &set, const QString &nothingToDelete) {
    if (set.isOpen() && set.recordCount() == 0)
        throw Failure(nothingToDelete);
    set.deleteCurrent();
    set.moveNext();
    if (set.eof())
        set.moveLast();
}

bool savePendingChange(DataControl &control) {
    try {
        control.recordSet().update();
        return true;
    } catch (const RefusedEdit &) {
        return false;
    } catch (const Failure &failure) {
        control.reportError(failure);
        return false;
    }
}

} // namespace hondana
