#include "widgets/RecordCommands.h"

#include "db/RecordSet.h"
#include "widgets/DataSource.h"
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

bool savePendingChange(DataSource &source) {
    RecordSet &set = source.recordSet();
    if (!set.isOpen())
        return true;
    return source.runReportingFailure([&set] { set.update(); });
}

bool saveOrDropBeforeClosing(DataSource &source) {
    if (savePendingChange(source))
        return true;
    if (!MessageService::instance().confirm(DropChangeQuestion))
        return false;
    source.discardEdits();
    return true;
}

} // namespace hondana
