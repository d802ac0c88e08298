#pragma once

namespace hondana::test {

// Deletes every window a test left, shown or hidden, and what their closing posted, so that the
// next test starts with no window, no open connection and no pending event of this one's.
void closeEveryWindow();

} // namespace hondana::test
