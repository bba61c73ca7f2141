#include "cdtext/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
    std::string name;
    std::string input;
    std::string expected;
};

TEST(TextEncoding, SheetFilesBecomeUtf8WhateverTheyWereWrittenIn) {
    const std::vector<Row> rows = {
        {"plain ASCII", "TITLE \"x\"", "TITLE \"x\""},
        {"UTF-8 kept", "Se\xC3\xB1or", "Se\xC3\xB1or"},
        {"UTF-8 BOM dropped", "\xEF\xBB\xBFSe\xC3\xB1or", "Se\xC3\xB1or"},
        {"Windows-1252 curly quotes and euro",
         "\x93"
         "a\x94 \x80",
         "\xE2\x80\x9C"
         "a\xE2\x80\x9D \xE2\x82\xAC"},
        {"an undefined Windows-1252 byte keeps its Latin-1 code point", "\x81", "\xC2\x81"},
        {"a lone continuation byte is not UTF-8", "caf\xE9", "caf\xC3\xA9"},
        {"an overlong form is not UTF-8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"UTF-16LE with BOM", std::string("\xFF\xFEN\0\xF1\0", 6), "N\xC3\xB1"},
        {"UTF-16BE with BOM", std::string("\xFE\xFF\0N\0\xF1", 6), "N\xC3\xB1"},
        {"UTF-16LE surrogate pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},
        {"UTF-16LE unpaired surrogate", std::string("\xFF\xFE\x3D\xD8", 4), "\xEF\xBF\xBD"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(cdtext::DecodeTextFile(row.input), row.expected) << row.name;
    }
}

TEST(TextEncoding, CdTextGetsIso88591WithQuestionMarksForTheRest) {
    const std::vector<Row> rows = {
        {"Latin-1 letters", "Se\xC3\xB1or Caf\xC3\xA9", "Se\xF1or Caf\xE9"},
        {"beyond Latin-1", "\xE2\x80\x93 \xE3\x81\x82 \xF0\x9F\x98\x80", "? ? ?"},
        {"control characters",
         "a\tb\x7F"
         "c\xC2\x85",
         "a?b?c?"},
        {"broken UTF-8", "a\xE2\x80z", "a??z"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(cdtext::Utf8ToLatin1(row.input), row.expected) << row.name;
    }
}

} // namespace
