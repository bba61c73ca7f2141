// Where the disc-names layer gets a disc's names: what a lookup found, when it is known.
#pragma once

#include "names/disc_id.h"
#include "names/release_choice.h"

#include <optional>

namespace names {

class NameSource {
public:
    virtual ~NameSource() = default;
    // The disc's names when they are known now, else nothing; the source may then go and find
    // them, but never waits for them here. Called from any thread, for a disc without CD-Text.
    virtual std::optional<DiscNames> NamesFor(const DiscIdentity& disc) = 0;
};

} // namespace names
