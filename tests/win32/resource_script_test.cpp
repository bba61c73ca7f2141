// The Windows program's resources made from the dialog tables and pictures: the script's
// strings and pictures, and (in the Windows build) dialogs 102 and 100 as discolo.exe carries
// them, read back from its resources and compared with the tables field by field.
#include "win32/resource_script.h"

#include "app/about_template.h"
#include "player/player_template.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ResourceScript, QuotesTextsAsTheResourceCompilerReadsThem) {
    struct Case {
        const char* text;
        const char* script;
    };
    const Case cases[] = {
        {"Discolo V1.00", "\"Discolo V1.00\""},
        {"Say \"hi\"", "\"Say \"\"hi\"\"\""},
        {"C:\\disc", "\"C:\\\\disc\""},
        {"\xA9 2026", "\"\xA9 2026\""}, // Latin-1 stays: the script is read as code page 1252
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resources::ScriptString(c.text), c.script);
    }
}

TEST(ResourceScript, RefusesPicturesItCannotRepresent) {
    resources::Xpm image;
    std::string error;
    const std::string tooManyColours = [] {
        std::string xpm = "\"1 1 18 1\",";
        for (int i = 0; i < 18; ++i) {
            xpm += "\"" + std::string(1, static_cast<char>('a' + i)) + " c #0000" +
                   (i < 10 ? "0" : "1") + std::to_string(i % 10) + "\",";
        }
        return xpm + "\"a\"";
    }();
    for (const std::string& bad :
         {std::string("\"2 1 1 1\", \". c #C0C0C0\", \".\""), // a row too short
          std::string("\"1 1 1 1\", \". c red\", \".\""),     // a colour by name
          std::string("\"1 1 1 1\", \". c #000000\", \"x\""), // a colour not listed
          tooManyColours}) {
        EXPECT_FALSE(resources::ParseXpm(bad, image, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

// The play face as a BMP file: a 4-bit picture whose palette is the image's, read back pixel by
// pixel from the bottom-up rows.
TEST(ResourceScript, MakesAFourBitBitmapOfAFace) {
    resources::Xpm image;
    std::string error;
    ASSERT_TRUE(resources::ParseXpm(ReadText(DISCOLO_SOURCE_DIR "/resources/bitmaps/play.xpm"),
                                    image, error))
        << error;
    const std::vector<uint8_t> file = resources::BitmapFile(image);
    ASSERT_EQ(file.size(), 14u + 40 + 64 + 16 * 8);
    EXPECT_EQ(file[28], 4) << "bits per pixel";
    EXPECT_EQ(file[54 + 7 * 4], 0xC0) << "palette entry 7 is light grey";
    auto pixel = [&file](int x, int y) {
        const uint8_t byte = file[118 + static_cast<size_t>((15 - y) * 8 + x / 2)];
        return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
    };
    EXPECT_EQ(pixel(5, 8), 0) << "the triangle's straight edge";
    EXPECT_EQ(pixel(11, 8), 0) << "its point";
    EXPECT_EQ(pixel(12, 8), 7);
    EXPECT_EQ(pixel(5, 1), 7) << "row 1 is empty";
}

#ifdef _WIN32

// Reads a dialog template as the dialog manager does.
class TemplateReader {
public:
    explicit TemplateReader(const uint8_t* at) : at_(at) {}
    uint16_t Word() {
        const uint16_t value = static_cast<uint16_t>(at_[0] | at_[1] << 8);
        at_ += 2;
        return value;
    }
    uint32_t Dword() {
        const uint32_t low = Word();
        return low | uint32_t{Word()} << 16;
    }
    // A string, or an ordinal as "#N".
    std::string SzOrOrdinal() {
        if (at_[0] == 0xFF && at_[1] == 0xFF) {
            at_ += 2;
            return "#" + std::to_string(Word());
        }
        std::string text;
        for (uint16_t c = Word(); c != 0; c = Word()) {
            text += static_cast<char>(c < 0x100 ? c : '?');
        }
        return text;
    }
    void AlignDword(const uint8_t* base) {
        while ((at_ - base) % 4 != 0) {
            ++at_;
        }
    }
    const uint8_t* At() const { return at_; }

private:
    const uint8_t* at_;
};

// The class a template names by ordinal or by name.
std::string ClassOf(const std::string& named) {
    if (named == "#128") {
        return "Button";
    }
    if (named == "#130") {
        return "Static";
    }
    if (named == "#133") {
        return "ComboBox";
    }
    return named;
}

std::string TableClass(ControlClass controlClass) {
    switch (controlClass) {
    case ControlClass::Button:
        return "Button";
    case ControlClass::ComboBox:
        return "ComboBox";
    case ControlClass::Static:
        return "Static";
    case ControlClass::Trackbar:
        return "msctls_trackbar32";
    }
    return "";
}

void ExpectDialog(HMODULE module, int id, const DialogTemplate& table,
                  std::span<const ControlTemplate> controls) {
    SCOPED_TRACE(id);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    ASSERT_NE(found, nullptr);
    const auto* base = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    TemplateReader read(base);
    const bool extended = base[2] == 0xFF && base[3] == 0xFF;
    ASSERT_EQ(extended, table.extended);
    uint32_t style = 0;
    uint32_t exStyle = 0;
    if (extended) {
        read.Dword(); // version and signature
        EXPECT_EQ(read.Dword(), 0u) << "help id";
        exStyle = read.Dword();
        style = read.Dword();
    } else {
        style = read.Dword();
        exStyle = read.Dword();
    }
    EXPECT_EQ(style, table.style);
    EXPECT_EQ(exStyle, table.exStyle);
    const uint16_t count = read.Word();
    ASSERT_EQ(count, controls.size());
    EXPECT_EQ(static_cast<int16_t>(read.Word()), table.x);
    EXPECT_EQ(static_cast<int16_t>(read.Word()), table.y);
    EXPECT_EQ(read.Word(), table.width);
    EXPECT_EQ(read.Word(), table.height);
    EXPECT_EQ(read.SzOrOrdinal(), "") << "menu";
    EXPECT_EQ(read.SzOrOrdinal(), "") << "class";
    EXPECT_EQ(read.SzOrOrdinal(), table.caption);
    EXPECT_EQ(read.Word(), table.fontPoints);
    if (extended) {
        EXPECT_EQ(read.Word(), 0) << "weight";
        EXPECT_EQ(read.Word(), 1 << 8) << "not italic, DEFAULT_CHARSET";
    }
    EXPECT_EQ(read.SzOrOrdinal(), table.fontFace);
    for (const ControlTemplate& control : controls) {
        SCOPED_TRACE(control.objectName);
        read.AlignDword(base);
        uint32_t itemStyle = 0;
        uint32_t itemExStyle = 0;
        uint32_t itemId = 0;
        if (extended) {
            EXPECT_EQ(read.Dword(), 0u) << "help id";
            itemExStyle = read.Dword();
            itemStyle = read.Dword();
        } else {
            itemStyle = read.Dword();
            itemExStyle = read.Dword();
        }
        const int x = static_cast<int16_t>(read.Word());
        const int y = static_cast<int16_t>(read.Word());
        const int width = read.Word();
        const int height = read.Word();
        itemId = extended ? read.Dword() : read.Word();
        const std::string className = ClassOf(read.SzOrOrdinal());
        const std::string text = read.SzOrOrdinal();
        const uint16_t extra = read.Word();
        EXPECT_EQ(itemId, static_cast<uint32_t>(control.id));
        EXPECT_EQ(_stricmp(className.c_str(), TableClass(control.controlClass).c_str()), 0)
            << className; // class names are the same in any case
        const bool icon = control.controlClass == ControlClass::Static &&
                          (control.style & kStaticTypeMask) == 3 && control.text[0] == '\0';
        EXPECT_EQ(text, icon ? "#" + std::to_string(kIconId) : std::string(control.text));
        EXPECT_EQ(itemStyle, control.style);
        EXPECT_EQ(itemExStyle, control.exStyle);
        EXPECT_EQ(x, control.x);
        EXPECT_EQ(y, control.y);
        EXPECT_EQ(width, control.width);
        EXPECT_EQ(height, control.height);
        EXPECT_EQ(extra, 0);
    }
}

TEST(ResourceScript, DiscoloExeCarriesBothDialogsAsTheTablesHaveThem) {
    HMODULE module = LoadLibraryExW(L"" DISCOLO_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << DISCOLO_EXE;
    ExpectDialog(module, kPlayerDialogId, kPlayerDialog, kPlayerControls);
    ExpectDialog(module, kAboutDialogId, kAboutDialog, kAboutControls);

    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(module, kAboutMenuStringId, text, 64), 0);
    EXPECT_EQ(std::wstring(text), L"&About Discolo...");
    for (const ButtonFace& face : kButtonFaces) {
        HANDLE bitmap = LoadImageW(module, MAKEINTRESOURCEW(face.bitmap), IMAGE_BITMAP, 0, 0, 0);
        BITMAP info{};
        ASSERT_NE(bitmap, nullptr) << face.bitmap;
        GetObjectW(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 16);
        EXPECT_EQ(info.bmHeight, 16);
        DeleteObject(bitmap);
    }
    EXPECT_NE(LoadImageW(module, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, 32, 32, 0), nullptr);

    // The version resource: 1.0.12.0 in its fixed part.
    HRSRC version = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_NE(version, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, version)));
    const auto size = SizeofResource(module, version);
    bool found = false;
    for (DWORD at = 0; at + 16 <= size; at += 4) {
        const auto* words = reinterpret_cast<const DWORD*>(bytes + at);
        if (words[0] == 0xFEEF04BD) { // VS_FIXEDFILEINFO's signature
            found = true;
            EXPECT_EQ(words[2], (1u << 16) | 0u) << "file version 1.0";
            EXPECT_EQ(words[3], (12u << 16) | 0u) << "file version .12.0";
            EXPECT_EQ(words[8], 4u) << "for 32-bit Windows";
            EXPECT_EQ(words[9], 1u) << "an application";
        }
    }
    EXPECT_TRUE(found);
    FreeLibrary(module);
}

#endif

} // namespace
