// Reading a MusicBrainz disc lookup's JSON answer (an exact one, {"id", "offsets", "releases"},
// or a fuzzy one, {"release-count", "releases"}) into plain records. The answer comes from the
// network and is not trusted: anything of the wrong type is passed over, every list and text is
// bounded, and garbage gives nothing rather than a crash.
#pragma once

#include "names/release.h"

#include <QByteArray>

#include <cstddef>
#include <optional>
#include <vector>

namespace names {

inline constexpr qsizetype kLongestAnswer = 4 * 1024 * 1024; // bytes; real answers are < 1 MB
inline constexpr size_t kMostReleases = 100;
inline constexpr size_t kMostMedia = 100;
inline constexpr size_t kMostTracks = 255;
inline constexpr size_t kMostSubmittedDiscs = 100;
inline constexpr size_t kMostCreditParts = 32;
inline constexpr size_t kLongestText = 1024; // bytes of UTF-8, cut at a character

// The releases of an answer, or nothing when it is no JSON object or longer than kLongestAnswer.
// An object without releases is an answer with none.
std::optional<std::vector<Release>> ParseLookupAnswer(const QByteArray& json);

} // namespace names
