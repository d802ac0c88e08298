#pragma once

#include <QString>

#include <functional>

namespace hondana {

class DataSource;
class RecordSet;

// The record-editing buttons of the data screens (追加, 更新, 削除, コピー) catch their own
// failures and show the description alone in an OK-only message. A refusal a bound control has
// already reported through its data source's error event is not shown twice. Returns whether
// the command ran through.
bool runRecordCommand(const std::function<void()> &command);

// Deletes the current row without asking, then stands on the row that followed it, or on the
// new last row when the deleted one was last. With no row at all, refuses with `nothingToDelete`
// and changes nothing. Throws Failure.
void deleteAndMoveOn(RecordSet &set, const QString &nothingToDelete);

// Writes a change the screen still holds (typed text included), as the navigator does before a
// move, so that closing never drops it. A refusal goes through the data source's error event;
// returns false then and the change stays pending. A set that never opened, or was closed, holds
// nothing: that is no refusal.
bool savePendingChange(DataSource &source);

// Saves a pending change before a window closes. When it cannot be written, the refusal is
// shown and the user is asked whether to close without it (No is the default): Yes drops the
// change, No keeps it and the window. Returns whether the window may close.
bool saveOrDropBeforeClosing(DataSource &source);
inline const QString DropChangeQuestion =
    QStringLiteral("変更を保存できません。変更を取り消して閉じますか？");

} // namespace hondana
