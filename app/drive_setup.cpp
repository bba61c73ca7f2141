// Setting up the player's drives for each way discolo is started.
#include "app/drive_setup.h"

#include "vdrive/demo_bus.h"
#include "vdrive/demo_discs.h"

#ifdef _WIN32
#include "drive/srb.h"
#include "platform/module.h"
#else
#include "vdrive/cue_sheet.h"
#endif

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr size_t kProductNameLength =
    9; // what the drive selector shows: the product from its 8th character

// Messages are printed as one line, whatever bytes a file name brings along.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

vdrive::Clock& ClockOf(const DriveSetupOptions& options) {
    return options.clock != nullptr ? *options.clock : vdrive::DefaultClock();
}

#ifdef _WIN32
// The Windows build reads no CUE sheets: its command line takes no --image.
bool SetUpImages(const std::vector<std::string>& /*sheets*/, PlayerDrives& /*drives*/,
                 std::string& error, const DriveSetupOptions& /*options*/) {
    error = "CUE sheets are read only by the Linux build";
    return false;
}

// The system's own ASPI library, when one is installed and knows host adapters. Wine's answers
// that it has none.
bool SystemAspiAnswers() {
    const std::optional<AspiLibrary> library = OpenAspiLibrary();
    if (!library) {
        return false;
    }
    const uint32_t support = library->entries.getSupportInfo();
    CloseModule(library->module);
    return (support >> 8 & 0xFF) == SS_COMP && (support & 0xFF) > 0;
}
#else
bool SetUpImages(const std::vector<std::string>& sheets, PlayerDrives& drives, std::string& error,
                 const DriveSetupOptions& options) {
    if (sheets.size() > static_cast<size_t>(kMaxImages)) {
        error = "at most " + std::to_string(kMaxImages) + " images at once (" +
                std::to_string(sheets.size()) + " given)";
        return false;
    }
    // Every sheet is loaded before any drive exists: one bad sheet stops the start.
    std::vector<vdrive::DiscImage> discs(sheets.size());
    for (size_t i = 0; i < sheets.size(); ++i) {
        std::string problem;
        if (!vdrive::LoadCueSheet(sheets[i], discs[i], problem)) {
            error = OneLine(problem);
            return false;
        }
    }
    auto bus = std::make_unique<vdrive::Bus>(ClockOf(options));
    for (size_t i = 0; i < sheets.size(); ++i) {
        const BusAddress address = ImageDriveAddress(static_cast<int>(i));
        bus->AddDrive(address.adapter, address.target, std::move(discs[i]),
                      vdrive::DriveSetup{ImageDriveIdentity(sheets[i]), false});
    }
    bus->Install();
    drives.bus = std::move(bus);
    return true;
}
#endif

} // namespace

BusAddress ImageDriveAddress(int index) {
    return {index / kTargetsPerAdapter, index % kTargetsPerAdapter};
}

vdrive::Identity ImageDriveIdentity(const std::string& sheetPath) {
    std::string name = std::filesystem::path(sheetPath).stem().string();
    if (name.size() > kProductNameLength) {
        name.resize(kProductNameLength);
    }
    if (name.empty()) {
        name = "IMAGE";
    }
    // INQUIRY fields are printable ASCII.
    for (char& c : name) {
        if (c < 0x20 || c > 0x7E) {
            c = '_';
        }
    }
    return vdrive::Identity{kDriveVendor, "CD-ROM " + name, "1.00"};
}

bool SetUpDrives(const CommandLine& commandLine, PlayerDrives& drives, std::string& error,
                 const DriveSetupOptions& options) {
    drives = PlayerDrives{};
    switch (commandLine.drives) {
    case CommandLine::Drives::Real:
#if defined(__linux__)
        InstallSgLayer(options.sg);
        drives.notice = OneLine(SgPermissionMessage(SgDeniedDevices()));
#elif defined(_WIN32)
        // The ASPI library when one is installed; otherwise the pass-through that Windows 2000
        // and later have for every CD-ROM drive.
        if (!SystemAspiAnswers()) {
            InstallSptiLayer(options.spti);
            drives.notice = OneLine(SptiPermissionMessage(SptiDeniedDrives()));
        }
#endif
        // Elsewhere the module seam loads the system's own ASPI layer, or reports that there is
        // none.
        return true;
    case CommandLine::Drives::Demo: {
        auto bus = std::make_unique<vdrive::Bus>(ClockOf(options));
        vdrive::PopulateDemoBus(*bus, vdrive::DemoCdTextDisc(), vdrive::DemoMixedDisc());
        bus->Install();
        drives.bus = std::move(bus);
        return true;
    }
    case CommandLine::Drives::Images:
        return SetUpImages(commandLine.images, drives, error, options);
    }
    return false;
}
