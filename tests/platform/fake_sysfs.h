// A sysfs tree in a temporary folder, laid out as the kernel lays it out: the SCSI device
// directories under devices/, and class/scsi_generic/sgN and class/block/srN as links into them.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class FakeSysfs {
public:
    FakeSysfs() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "discolo-sysfs-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            root = pattern;
        }
    }
    ~FakeSysfs() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    const std::string& Root() const { return root; }

    // The SCSI device "host:channel:target:lun" with its type; made once, kept by later calls.
    std::filesystem::path Device(const std::string& address, int type = 5) {
        const std::string host = address.substr(0, address.find(':'));
        const std::filesystem::path dir = std::filesystem::path(root) / "devices" / "pci0000:00" /
                                          ("host" + host) / ("target" + Target(address)) / address;
        if (!std::filesystem::exists(dir)) {
            std::filesystem::create_directories(dir);
            std::ofstream(dir / "type") << type << "\n";
        }
        return dir;
    }

    // A node of `className` ("scsi_generic" or "block") belonging to the device at `address`.
    void AddNode(const std::string& className, const std::string& name, const std::string& address,
                 int type = 5) {
        const std::filesystem::path nodeDir = Device(address, type) / className / name;
        std::filesystem::create_directories(nodeDir);
        std::filesystem::create_directory_symlink("../..", nodeDir / "device");
        const std::filesystem::path classDir = std::filesystem::path(root) / "class" / className;
        std::filesystem::create_directories(classDir);
        std::filesystem::create_directory_symlink(nodeDir, classDir / name);
    }
    void AddGeneric(const std::string& name, const std::string& address, int type = 5) {
        AddNode("scsi_generic", name, address, type);
    }
    void AddBlock(const std::string& name, const std::string& address, int type = 5) {
        AddNode("block", name, address, type);
    }

    // The node is gone: its class entry and its folder under the device (an unplug).
    void RemoveNode(const std::string& className, const std::string& name) {
        const std::filesystem::path entry =
            std::filesystem::path(root) / "class" / className / name;
        std::error_code ignored;
        const std::filesystem::path nodeDir = std::filesystem::canonical(entry, ignored);
        std::filesystem::remove(entry, ignored);
        if (!nodeDir.empty()) {
            std::filesystem::remove_all(nodeDir, ignored);
        }
    }

    // A class entry that leads nowhere useful (no device link, or a link to a foreign name).
    void AddStray(const std::string& className, const std::string& name, bool withDeviceLink) {
        const std::filesystem::path dir = std::filesystem::path(root) / "class" / className / name;
        std::filesystem::create_directories(dir);
        if (withDeviceLink) {
            const std::filesystem::path other =
                std::filesystem::path(root) / "devices" / "virtual" / name;
            std::filesystem::create_directories(other);
            std::filesystem::create_directory_symlink(other, dir / "device");
        }
    }

private:
    static std::string Target(const std::string& address) {
        return address.substr(0, address.rfind(':'));
    }

    std::string root;
};
