// Texts from the network made fit for CD-Text, which the window reads as single-byte ISO-8859-1:
// what ISO-8859-1 holds stays as it is, every other script is romanized.
#pragma once

#include <string>
#include <string_view>

namespace names {

// The text as ISO-8859-1 bytes (one byte a character). Characters outside ISO-8859-1 go through
// ICU's "Any-Latin" transliteration (Cyrillic, Greek, kana, Han, Hangul, ... to Latin letters),
// then "Latin-ASCII" for what still does not fit (letters with other marks, typographic quotes
// and dashes); what neither can write is left out. Control characters are dropped (line breaks
// and tabs become spaces), runs of spaces become one, and spaces at either end go. Broken UTF-8
// counts as characters that cannot be written.
std::string RomanizeToLatin1(std::string_view utf8);

} // namespace names
