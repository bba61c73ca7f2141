// Text conversions for disc images: cue sheets arrive as UTF-8, UTF-16 or a Windows code page;
// CD-Text stores ISO-8859-1.
#pragma once

#include <string>
#include <string_view>

namespace cdtext {

// Turns the bytes of a text file into UTF-8: a UTF-8 BOM is dropped, UTF-16 with a BOM (either
// byte order) is decoded, text without a BOM is kept when it is valid UTF-8 and read as
// Windows-1252 (a superset of ISO-8859-1) otherwise.
std::string DecodeTextFile(std::string_view bytes);

bool IsValidUtf8(std::string_view text);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined keep their
// ISO-8859-1 meaning (C1 controls).
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to ISO-8859-1 for CD-Text: a character the set lacks, a control character or a broken
// UTF-8 sequence becomes '?'.
std::string Utf8ToLatin1(std::string_view text);

} // namespace cdtext
