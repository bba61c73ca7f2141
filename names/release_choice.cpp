// Choosing the release that is the disc, and taking its names.
#include "names/release_choice.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace names {

namespace {

bool SameTable(const SubmittedDisc& submitted, const DiscIdentity& disc) {
    if (submitted.offsets.size() != disc.offsets.size() ||
        std::abs(submitted.sectors - disc.leadOut) > kLeadOutTolerance) {
        return false;
    }
    for (size_t i = 0; i < disc.offsets.size(); ++i) {
        if (std::abs(submitted.offsets[i] - disc.offsets[i]) > kOffsetTolerance) {
            return false;
        }
    }
    return true;
}

bool ListsId(const ReleaseMedium& medium, const std::string& id) {
    return std::ranges::any_of(medium.discs,
                               [&id](const SubmittedDisc& disc) { return disc.id == id; });
}

bool ListsTable(const ReleaseMedium& medium, const DiscIdentity& disc) {
    return std::ranges::any_of(medium.discs, [&disc](const SubmittedDisc& submitted) {
        return SameTable(submitted, disc);
    });
}

size_t TitledTracks(const ReleaseMedium& medium, const DiscIdentity& disc) {
    const size_t counted = std::min(medium.tracks.size(), static_cast<size_t>(disc.TrackCount()));
    return static_cast<size_t>(
        std::count_if(medium.tracks.begin(), medium.tracks.begin() + static_cast<long>(counted),
                      [](const ReleaseTrack& track) { return !track.title.empty(); }));
}

struct Candidate {
    size_t release;
    size_t medium;
    size_t titled;
};

// The candidate that sorts first wins: most titled tracks, earliest date (none last), lowest
// MBID, lowest medium position.
bool Before(const std::vector<Release>& releases, const Candidate& a, const Candidate& b) {
    const Release& ra = releases[a.release];
    const Release& rb = releases[b.release];
    const auto key = [](const Release& release, const Candidate& c, const ReleaseMedium& medium) {
        return std::make_tuple(-static_cast<long long>(c.titled), release.date.empty(),
                               release.date, release.id, medium.position);
    };
    return key(ra, a, ra.media[a.medium]) < key(rb, b, rb.media[b.medium]);
}

} // namespace

std::string CreditText(const ArtistCredit& credit) {
    std::string text;
    for (const CreditPart& part : credit) {
        text += part.name + part.joinPhrase;
    }
    return text;
}

std::optional<ReleaseChoice> ChooseRelease(const std::vector<Release>& releases,
                                           const DiscIdentity& disc) {
    for (const bool exact : {true, false}) {
        std::vector<Candidate> candidates;
        for (size_t r = 0; r < releases.size(); ++r) {
            for (size_t m = 0; m < releases[r].media.size(); ++m) {
                const ReleaseMedium& medium = releases[r].media[m];
                const bool matches = exact ? ListsId(medium, disc.id) : ListsTable(medium, disc);
                if (matches && !medium.tracks.empty()) {
                    candidates.push_back({r, m, TitledTracks(medium, disc)});
                }
            }
        }
        if (candidates.empty()) {
            continue;
        }
        const Candidate best =
            *std::ranges::min_element(candidates, [&](const Candidate& a, const Candidate& b) {
                return Before(releases, a, b);
            });
        ReleaseChoice choice{best.release, best.medium, exact, {}};
        choice.why = std::string(exact ? "disc ID" : "table of contents") + " on medium " +
                     std::to_string(releases[best.release].media[best.medium].position) +
                     " of release " + releases[best.release].id + ", the first of " +
                     std::to_string(candidates.size()) +
                     " matching media by titled tracks, date, id";
        return choice;
    }
    return std::nullopt;
}

DiscNames NamesOf(const Release& release, size_t medium, const std::string& match) {
    DiscNames names;
    names.releaseId = release.id;
    names.match = match;
    names.albumTitle = release.title;
    names.albumPerformer = CreditText(release.artistCredit);
    if (medium >= release.media.size()) {
        return names;
    }
    const ReleaseMedium& chosen = release.media[medium];
    if (release.media.size() > 1) {
        names.albumTitle = !chosen.title.empty()
                               ? chosen.title
                               : release.title + " (disc " + std::to_string(chosen.position) + ")";
    }
    for (const ReleaseTrack& track : chosen.tracks) {
        const std::string performer = CreditText(track.artistCredit);
        names.tracks.push_back(
            {track.title, performer == names.albumPerformer ? std::string() : performer});
    }
    return names;
}

} // namespace names
