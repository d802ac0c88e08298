#pragma once

namespace hondana {

class LookupSettings;

// Look-ups send ISBNs to the National Diet Library, so they are off until the user says yes.
// The first time a window would look a book up it asks (No is the default); the answer is kept
// in the settings and never asked again. Returns whether look-ups are allowed now.
bool askLookupConsentOnce(LookupSettings &settings);

} // namespace hondana
