// Enumeration of SCSI devices through sysfs. Every entry's `device` link leads to the SCSI
// device directory named "host:channel:target:lun", which also holds the device type.
#include "platform/sg_devices.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxAdapters = 255; // bits 0-7 of the support info
constexpr int kMaxTarget = 255;   // SRB_Target is one byte

struct Address {
    int host = 0;
    int channel = 0;
    int target = 0;
    int lun = 0;
    auto operator<=>(const Address&) const = default;
};

// "2:0:1:0" -> {2, 0, 1, 0}; anything else -> nothing.
std::optional<Address> ParseAddress(std::string_view text) {
    std::array<int, 4> parts{};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        auto [next, error] = std::from_chars(at, end, parts[i]);
        if (error != std::errc{} || parts[i] < 0) {
            return std::nullopt;
        }
        at = next;
        if (i + 1 < parts.size()) {
            if (at == end || *at != ':') {
                return std::nullopt;
            }
            ++at;
        }
    }
    if (at != end) {
        return std::nullopt;
    }
    return Address{parts[0], parts[1], parts[2], parts[3]};
}

int ReadType(const fs::path& deviceDir) {
    std::ifstream file(deviceDir / "type");
    int type = -1;
    if (!(file >> type)) {
        return -1;
    }
    return type;
}

// "sg12" with prefix "sg" -> 12; other names -> nothing.
std::optional<int> NodeNumber(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    int number = 0;
    const char* end = name.data() + name.size();
    auto [next, error] = std::from_chars(name.data() + prefix.size(), end, number);
    if (error != std::errc{} || next != end) {
        return std::nullopt;
    }
    return number;
}

struct Found {
    std::string name;
    int number;
    fs::path deviceDir;
    Address address;
};

// The nodes of one sysfs class whose names are `prefix` and a number, in numeric order.
std::vector<Found> ListClass(const fs::path& classDir, std::string_view prefix) {
    std::vector<Found> found;
    std::error_code error;
    fs::directory_iterator entries(classDir, error);
    if (error) {
        return found;
    }
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        const std::optional<int> number = NodeNumber(name, prefix);
        if (!number) {
            continue;
        }
        const fs::path deviceDir = fs::canonical(entry.path() / "device", error);
        if (error) {
            continue;
        }
        const std::optional<Address> address = ParseAddress(deviceDir.filename().string());
        if (!address) {
            continue;
        }
        found.push_back({name, *number, deviceDir, *address});
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.number < b.number; });
    return found;
}

} // namespace

bool IsCdDevice(const SgDevice& device) {
    return device.type == kScsiTypeCdRom || device.type == kScsiTypeWorm;
}

bool SgNodeBelongsTo(const std::string& sysfsRoot, const std::string& className,
                     const std::string& name, int host, int target) {
    std::error_code error;
    const fs::path deviceDir =
        fs::canonical(fs::path(sysfsRoot) / "class" / className / name / "device", error);
    if (error) {
        return false; // the name is no one's now
    }
    const std::optional<Address> address = ParseAddress(deviceDir.filename().string());
    return address && *address == Address{host, 0, target, 0};
}

std::vector<SgDevice> EnumerateSgDevices(const std::string& sysfsRoot) {
    const fs::path root(sysfsRoot);
    std::map<Address, SgDevice> byAddress;
    for (const Found& generic : ListClass(root / "class" / "scsi_generic", "sg")) {
        SgDevice& device = byAddress[generic.address];
        if (device.genericNode.empty()) { // the lowest-numbered node wins a duplicate address
            device.genericNode = generic.name;
            device.type = ReadType(generic.deviceDir);
        }
    }
    for (const Found& block : ListClass(root / "class" / "block", "sr")) {
        SgDevice& device = byAddress[block.address];
        if (device.blockNode.empty()) {
            device.blockNode = block.name;
            if (device.genericNode.empty()) {
                device.type = ReadType(block.deviceDir);
            }
        }
    }

    std::vector<SgDevice> devices;
    int lastHost = -1;
    int adapter = -1;
    for (auto& [address, device] : byAddress) { // ordered by host, channel, target, lun
        if (address.channel != 0 || address.lun != 0 || address.target > kMaxTarget) {
            continue;
        }
        if (address.host != lastHost) {
            lastHost = address.host;
            ++adapter;
        }
        if (adapter >= kMaxAdapters) {
            break;
        }
        device.adapter = adapter;
        device.host = address.host;
        device.target = address.target;
        devices.push_back(device);
    }
    return devices;
}
