// The demo bus. Product names follow the usual "CD-ROM " + model pattern, so that the drive
// selector, which shows the product from its eighth character on, shows the model.
#include "vdrive/demo_bus.h"

#include <utility>

namespace vdrive {

Identity DemoDriveIdentity() {
    return Identity{kDriveVendor, "CD-ROM VX-6012SA", "1.12"};
}

Identity DemoSecondDriveIdentity() {
    return Identity{kDriveVendor, "CD-ROM VX-4020SA", "1.08"};
}

Identity DemoForeignDriveIdentity() {
    return Identity{"NORDISK ", "CD-ROM ND-2400S ", "3.01"};
}

void PopulateDemoBus(Bus& bus, DiscImage cdTextDisc, DiscImage mixedDisc) {
    bus.SetAdapterCount(2);
    bus.AddDisk(0, 0);

    CdromDrive& playing =
        bus.AddDrive(0, 3, std::move(cdTextDisc), DriveSetup{DemoDriveIdentity(), false});
    playing.StartPlayingTrack(2);

    // The other maker's drive is of the kind that answers a disc without CD-Text with a bare
    // header.
    bus.AddDrive(0, 5, mixedDisc, DriveSetup{DemoForeignDriveIdentity(), true});
    bus.AddDrive(1, 2, std::move(mixedDisc), DriveSetup{DemoSecondDriveIdentity(), false});
}

} // namespace vdrive
