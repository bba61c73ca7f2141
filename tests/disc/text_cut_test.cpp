#include "disc/text_cut.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CutText, KeepsWholeCharactersWithinTheByteLimit) {
    const struct {
        const char* name;
        std::string text;
        size_t limit;
        std::string cut;
    } rows[] = {
        {"shorter than the limit", "Intro", 93, "Intro"},
        {"exactly the limit", "abcde", 5, "abcde"},
        {"plain text cut at the limit", "abcdefgh", 5, "abcde"},
        {"limit 0", "abc", 0, ""},
        {"two-byte sequence across the cut", "abcd\xC3\xA4x", 5, "abcd"},
        {"two-byte sequence ending at the cut", "abc\xC3\xA4x", 5, "abc\xC3\xA4"},
        {"three-byte sequence, one byte in", "abcd\xE2\x82\xAC", 5, "abcd"},
        {"three-byte sequence, two bytes in", "abc\xE2\x82\xAC", 5, "abc"},
        {"four-byte sequence, three bytes in", "ab\xF0\x9F\x8E\xA4", 5, "ab"},
        {"Latin-1 byte that looks like a lead", "abcd\xE4xyz", 5, "abcd\xE4"},
        {"Latin-1 bytes after a lead-looking byte", "abc\xE4\xE9z", 5, "abc\xE4\xE9"},
        {"stray continuation bytes", "ab\x80\x80\x80\x80z", 5, "ab\x80\x80\x80"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CutText(row.text, row.limit), row.cut) << row.name;
    }
}

} // namespace
