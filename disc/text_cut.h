// Cutting a text to the byte limit of the field it goes into, without splitting a UTF-8
// multi-byte sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest prefix of text of at most limit bytes. When the cut would fall inside a complete
// UTF-8 sequence, the whole sequence goes; bytes that form no such sequence (single-byte
// Latin-1 text) are cut at exactly limit bytes.
std::string CutText(std::string_view text, size_t limit);
