// What a MusicBrainz disc lookup answers, as far as naming a disc needs it: the releases, their
// media, the disc IDs and tables submitted for each medium, and the tracks. Texts are UTF-8 as
// the service sends them, already bounded in size by the parser; everything else is left out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace names {

// One part of an artist credit: "Marina" + " & " + "the Diamonds".
struct CreditPart {
    std::string name; // the name as credited
    std::string joinPhrase;
};
using ArtistCredit = std::vector<CreditPart>;

// "name1 join1 name2 join2 ...": the credit as a line of text.
std::string CreditText(const ArtistCredit& credit);

// One table of contents submitted for a medium (several pressings may differ).
struct SubmittedDisc {
    std::string id;
    int32_t sectors = 0;          // the lead-out, + 150
    std::vector<int32_t> offsets; // + 150, one per track the disc ID counts
};

struct ReleaseTrack {
    int position = 0; // 1.. on its medium
    std::string title;
    ArtistCredit artistCredit; // empty: the release's
};

struct ReleaseMedium {
    int position = 0; // 1.. in the release
    std::string title;
    std::string format;
    std::vector<SubmittedDisc> discs;
    std::vector<ReleaseTrack> tracks; // in position order
};

struct Release {
    std::string id; // the release's MBID
    std::string title;
    std::string date; // "YYYY", "YYYY-MM" or "YYYY-MM-DD"; may be empty
    ArtistCredit artistCredit;
    std::vector<ReleaseMedium> media;
};

} // namespace names
