// Small helpers the kernel check's guest programs share: bytes as hex for the logs, and taking
// on the identity of the user a scenario runs as.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <grp.h>
#include <unistd.h>

namespace guest {

inline std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : " %02x", bytes[i]);
        text += byte;
    }
    return text;
}

// "uid:gid[:group,group...]": the supplementary groups, then the group, then the user.
inline bool DropTo(const std::string& who) {
    unsigned uid = 0;
    unsigned gid = 0;
    std::vector<gid_t> groups;
    char rest[128] = "";
    if (std::sscanf(who.c_str(), "%u:%u:%127s", &uid, &gid, rest) < 2) {
        return false;
    }
    for (char* token = std::strtok(rest, ","); token; token = std::strtok(nullptr, ",")) {
        groups.push_back(static_cast<gid_t>(std::strtoul(token, nullptr, 10)));
    }
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        std::perror("drop privileges");
        return false;
    }
    return true;
}

} // namespace guest
