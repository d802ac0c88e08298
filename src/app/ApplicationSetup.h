#pragma once

class QApplication;

namespace hondana {

// Names the application, makes Qt's own dialogs and buttons speak Japanese, and makes Japanese
// text render on a plain Debian machine: the fonts the forms name fall back to the IPA fonts,
// which also become the application's default font.
void setUpApplication(QApplication &application);

// The font substitutions alone (tests that lay out forms without a whole set-up).
void installFontSubstitutions();

} // namespace hondana
