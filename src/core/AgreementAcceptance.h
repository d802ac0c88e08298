#pragma once

#include "base/Progress.h"

namespace hondana {

// What accepting the usage agreement came to.
enum class Acceptance {
    // The acceptance is recorded and the version database installed: go on to the main menu.
    Recorded,
    // The catalogue of an earlier release was rebuilt in the current layout: start again.
    Upgraded,
    // An earlier release's catalogue, but no version template to upgrade with; nothing changed.
    NoUpgradeInformation,
    // The acceptance was recorded and the version is current already; nothing changed.
    AlreadyUpgraded,
};

// Accepts the usage agreement in the working directory of AppState: records the first
// acceptance, or upgrades a catalogue that an earlier release accepted (backup, restore, then
// the version database), and updates the admission. Before the catalogue and the version
// database are replaced, every connection to them is closed. Throws Failure with a Japanese
// message; a failing upgrade leaves the version database as it was, so the upgrade is offered
// again at the next start. Only the rebuild, which takes a while, reports to `progress`.
Acceptance acceptAgreement(const Progress &progress = {});

} // namespace hondana
