// The bus of `discolo --demo`: several devices, two drives the player lists, one of them already
// playing a disc with CD-Text. The discs come from the caller (the built-in demo discs).
#pragma once

#include "vdrive/bus.h"

namespace vdrive {

// The drives the demo bus holds, by what a user sees of them.
Identity DemoDriveIdentity();        // adapter 0 target 3: "ID:3   VX-6012SA"
Identity DemoSecondDriveIdentity();  // adapter 1 target 2: "ID:2   VX-4020SA"
Identity DemoForeignDriveIdentity(); // adapter 0 target 5: another maker's drive, not listed

// Adapter 0: a direct-access disk at target 0, a drive with `cdTextDisc` at target 3 already
// playing track 2 to the end of the disc, another maker's drive with a copy of `mixedDisc` at
// target 5. Adapter 1: a drive with `mixedDisc` at target 2.
void PopulateDemoBus(Bus& bus, DiscImage cdTextDisc, DiscImage mixedDisc);

} // namespace vdrive
