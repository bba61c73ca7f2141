// Disc IDs through libdiscid: the table is put as a disc with exactly these addresses.
#include "names/disc_id.h"

#include <discid/discid.h>

#include <array>
#include <memory>
#include <string_view>

namespace names {

namespace {

constexpr size_t kDiscIdLength = 28;
constexpr size_t kLibDiscIdSlots = 100; // the lead-out and tracks 1-99

struct DiscIdDeleter {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

} // namespace

std::string DiscIdentity::TocParameter() const {
    std::string toc = std::to_string(firstTrack);
    for (const int32_t number : {lastTrack, leadOut}) {
        toc += '+';
        toc += std::to_string(number);
    }
    for (const int32_t offset : offsets) {
        toc += '+';
        toc += std::to_string(offset);
    }
    return toc;
}

bool IsDiscIdText(std::string_view text) {
    if (text.size() != kDiscIdLength) {
        return false;
    }
    for (const char c : text) {
        const bool alphanumeric =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alphanumeric && c != '.' && c != '_' && c != '-') {
            return false;
        }
    }
    return true;
}

std::optional<DiscIdentity> IdentifyTracks(const TrackTable& table) {
    const std::vector<TrackEntry>& tracks = table.tracks;
    size_t audioSession = tracks.size();
    while (audioSession > 0 && !tracks[audioSession - 1].isAudio) {
        --audioSession;
    }
    if (audioSession == 0 || table.leadOutStart <= 0) {
        return std::nullopt;
    }
    const int32_t leadOut = audioSession < tracks.size() ? tracks[audioSession].start - kSessionGap
                                                         : table.leadOutStart;

    DiscIdentity identity;
    identity.firstTrack = table.firstTrack;
    identity.lastTrack = table.firstTrack + static_cast<int>(audioSession) - 1;
    identity.leadOut = leadOut + kAddressOffset;
    std::array<int, kLibDiscIdSlots> slots{};
    slots[0] = identity.leadOut;
    for (size_t i = 0; i < audioSession; ++i) {
        const int32_t offset = tracks[i].start + kAddressOffset;
        identity.offsets.push_back(offset);
        slots[static_cast<size_t>(identity.firstTrack) + i] = offset;
    }

    const std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc ||
        discid_put(disc.get(), identity.firstTrack, identity.lastTrack, slots.data()) == 0) {
        return std::nullopt;
    }
    identity.id = discid_get_id(disc.get());
    // Some builds of libdiscid name the site over plain HTTP; it is served over HTTPS.
    const std::string_view url = discid_get_submission_url(disc.get());
    constexpr std::string_view kPlain = "http://";
    identity.submissionUrl = url.starts_with(kPlain)
                                 ? "https://" + std::string(url.substr(kPlain.size()))
                                 : std::string(url);
    if (!IsDiscIdText(identity.id)) {
        return std::nullopt;
    }
    return identity;
}

std::optional<DiscIdentity> IdentifyDisc(std::span<const uint8_t> tocAnswer) {
    const std::optional<TrackTable> table = DecodeTrackTable(tocAnswer);
    return table ? IdentifyTracks(*table) : std::nullopt;
}

} // namespace names
