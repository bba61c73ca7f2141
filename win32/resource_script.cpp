// The resource script and the picture files of the Windows program.
#include "win32/resource_script.h"

#include "app/about_template.h"
#include "player/player_template.h"

#include <array>
#include <cstdio>
#include <map>
#include <sstream>

namespace resources {

namespace {

constexpr uint32_t kPaletteSize = 16;
constexpr uint32_t kStaticIconStyle = 0x00000003u;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The strings of a C source: what stands between double quotes, comments left out.
std::vector<std::string> QuotedStrings(const std::string& text) {
    std::vector<std::string> strings;
    size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, 2, "/*") == 0) {
            const size_t end = text.find("*/", at + 2);
            at = end == std::string::npos ? text.size() : end + 2;
        } else if (text[at] == '"') {
            const size_t end = text.find('"', at + 1);
            if (end == std::string::npos) {
                break;
            }
            strings.push_back(text.substr(at + 1, end - at - 1));
            at = end + 1;
        } else {
            ++at;
        }
    }
    return strings;
}

bool ParseColour(const std::string& value, uint32_t& colour) {
    if (value.size() != 7 || value[0] != '#') {
        return false;
    }
    colour = 0;
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return false;
        }
        colour = colour << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

// The BITMAPINFOHEADER and the 16-entry palette of a 4-bit image `rows` high.
void PutInfoAndPalette(std::vector<uint8_t>& out, const Xpm& image, int rows, uint32_t bytes) {
    PutLe(out, 40, 4); // header size
    PutLe(out, static_cast<uint32_t>(image.width), 4);
    PutLe(out, static_cast<uint32_t>(rows), 4); // positive: bottom-up
    PutLe(out, 1, 2);                           // planes
    PutLe(out, 4, 2);                           // bits per pixel
    PutLe(out, 0, 4);                           // BI_RGB
    PutLe(out, bytes, 4);                       // image size
    PutLe(out, 0, 4);                           // pixels per metre, x
    PutLe(out, 0, 4);                           //   and y
    PutLe(out, kPaletteSize, 4);                // colours used
    PutLe(out, 0, 4);                           // colours important: all
    for (uint32_t i = 0; i < kPaletteSize; ++i) {
        const uint32_t rgb = i < image.palette.size() ? image.palette[i] : 0;
        PutLe(out, rgb & 0xFF, 1);       // blue
        PutLe(out, rgb >> 8 & 0xFF, 1);  // green
        PutLe(out, rgb >> 16 & 0xFF, 1); // red
        PutLe(out, 0, 1);                // reserved
    }
}

uint32_t RowBytes(int width, int bitsPerPixel) {
    return static_cast<uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// The 4-bit rows bottom-up; transparent pixels as index 0.
void PutPixels(std::vector<uint8_t>& out, const Xpm& image) {
    const uint32_t rowBytes = RowBytes(image.width, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < image.width; ++x) {
            uint8_t index = image.pixels[static_cast<size_t>(y * image.width + x)];
            if (index == Xpm::kTransparent) {
                index = 0;
            }
            row[static_cast<size_t>(x / 2)] |=
                static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

const char* ClassName(ControlClass controlClass) {
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
    return "Static";
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

bool ParseVersion(const std::string& version, std::array<unsigned, 4>& parts) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char end = 0;
    if (std::sscanf(version.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &end) != 4 || a > 65535 ||
        b > 65535 || c > 65535 || d > 65535) {
        return false;
    }
    parts = {a, b, c, d};
    return true;
}

} // namespace

bool ParseXpm(const std::string& text, Xpm& image, std::string& error) {
    image = Xpm{};
    const std::vector<std::string> strings = QuotedStrings(text);
    int width = 0, height = 0, colours = 0, perPixel = 0;
    if (strings.empty() ||
        std::sscanf(strings[0].c_str(), "%d %d %d %d", &width, &height, &colours, &perPixel) != 4 ||
        width <= 0 || height <= 0 || width > 256 || height > 256 || perPixel < 1 || perPixel > 2 ||
        colours < 1 || colours > static_cast<int>(kPaletteSize) + 1) {
        error = "not an XPM image of up to 256 x 256 pixels and 16 colours";
        return false;
    }
    if (strings.size() != static_cast<size_t>(1 + colours + height)) {
        error = "the XPM image has " + std::to_string(strings.size()) + " strings, not " +
                std::to_string(1 + colours + height);
        return false;
    }
    std::map<std::string, uint8_t> indexOf;
    const auto keyLength = static_cast<size_t>(perPixel);
    for (int i = 0; i < colours; ++i) {
        const std::string& line = strings[static_cast<size_t>(1 + i)];
        const size_t c = line.find(" c ", keyLength);
        if (line.size() < keyLength || c == std::string::npos) {
            error = "colour line \"" + line + "\" is not \"<key> c <colour>\"";
            return false;
        }
        const std::string key = line.substr(0, keyLength);
        const std::string value = line.substr(c + 3);
        uint32_t rgb = 0;
        if (value == "None") {
            indexOf[key] = Xpm::kTransparent;
        } else if (ParseColour(value, rgb) && image.palette.size() < kPaletteSize) {
            indexOf[key] = static_cast<uint8_t>(image.palette.size());
            image.palette.push_back(rgb);
        } else {
            error = "colour \"" + value + "\" is not #RRGGBB or None, or one colour too many";
            return false;
        }
    }
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y) {
        const std::string& row = strings[static_cast<size_t>(1 + colours + y)];
        if (row.size() != static_cast<size_t>(width) * keyLength) {
            error = "row " + std::to_string(y) + " is not " + std::to_string(width) + " pixels";
            return false;
        }
        for (int x = 0; x < width; ++x) {
            const auto found =
                indexOf.find(row.substr(static_cast<size_t>(x) * keyLength, keyLength));
            if (found == indexOf.end()) {
                error = "row " + std::to_string(y) + " uses a colour the image does not list";
                return false;
            }
            image.pixels.push_back(found->second);
        }
    }
    return true;
}

std::vector<uint8_t> BitmapFile(const Xpm& image) {
    const uint32_t pixelBytes = RowBytes(image.width, 4) * static_cast<uint32_t>(image.height);
    const uint32_t offset = 14 + 40 + kPaletteSize * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLe(out, offset + pixelBytes, 4); // file size
    PutLe(out, 0, 4);                   // reserved
    PutLe(out, offset, 4);              // where the pixels start
    PutInfoAndPalette(out, image, image.height, pixelBytes);
    PutPixels(out, image);
    return out;
}

std::vector<uint8_t> IconFile(const Xpm& image) {
    const uint32_t maskRow = RowBytes(image.width, 1);
    const uint32_t pixelBytes = RowBytes(image.width, 4) * static_cast<uint32_t>(image.height);
    const uint32_t maskBytes = maskRow * static_cast<uint32_t>(image.height);
    const uint32_t imageBytes = 40 + kPaletteSize * 4 + pixelBytes + maskBytes;
    std::vector<uint8_t> out;
    PutLe(out, 0, 2); // reserved
    PutLe(out, 1, 2); // an icon
    PutLe(out, 1, 2); // one image
    PutLe(out, static_cast<uint32_t>(image.width) & 0xFF, 1);
    PutLe(out, static_cast<uint32_t>(image.height) & 0xFF, 1);
    PutLe(out, kPaletteSize, 1); // colours
    PutLe(out, 0, 1);            // reserved
    PutLe(out, 1, 2);            // planes
    PutLe(out, 4, 2);            // bits per pixel
    PutLe(out, imageBytes, 4);
    PutLe(out, 22, 4); // the image follows this directory
    // An icon's height counts the colour rows and the mask rows.
    PutInfoAndPalette(out, image, image.height * 2, pixelBytes + maskBytes);
    PutPixels(out, image);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < image.width; ++x) {
            if (image.pixels[static_cast<size_t>(y * image.width + x)] == Xpm::kTransparent) {
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::string ScriptString(const char* text) {
    std::string quoted = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"') {
            quoted += "\"\"";
        } else if (*c == '\\') {
            quoted += "\\\\";
        } else {
            quoted += *c;
        }
    }
    return quoted + "\"";
}

std::string DialogScript(int id, const DialogTemplate& dialog,
                         std::span<const ControlTemplate> controls, int iconId) {
    std::ostringstream script;
    script << id << (dialog.extended ? " DIALOGEX " : " DIALOG ") << dialog.x << ", " << dialog.y
           << ", " << dialog.width << ", " << dialog.height << (dialog.extended ? ", 0" : "")
           << "\n";
    script << "STYLE " << Hex(dialog.style) << "\n";
    if (dialog.exStyle != 0) {
        script << "EXSTYLE " << Hex(dialog.exStyle) << "\n";
    }
    script << "CAPTION " << ScriptString(dialog.caption) << "\n";
    script << "FONT " << dialog.fontPoints << ", " << ScriptString(dialog.fontFace);
    if (dialog.extended) {
        script << ", 0, 0, 1"; // weight as the face has it, not italic, DEFAULT_CHARSET
    }
    script << "\nBEGIN\n";
    for (const ControlTemplate& control : controls) {
        const bool icon = control.controlClass == ControlClass::Static &&
                          (control.style & kStaticTypeMask) == kStaticIconStyle &&
                          control.text[0] == '\0';
        script << "    CONTROL " << (icon ? std::to_string(iconId) : ScriptString(control.text))
               << ", " << control.id << ", " << ScriptString(ClassName(control.controlClass))
               << ", " << Hex(control.style) << ", " << control.x << ", " << control.y << ", "
               << control.width << ", " << control.height;
        if (control.exStyle != 0 || dialog.extended) {
            script << ", " << Hex(control.exStyle);
        }
        script << "\n";
    }
    script << "END\n";
    return script.str();
}

std::string ResourceScript(const ResourceFiles& files, std::string& error) {
    std::array<unsigned, 4> version{};
    if (!ParseVersion(files.version, version)) {
        error = "the version \"" + files.version + "\" is not four numbers";
        return {};
    }
    const std::string numbers = std::to_string(version[0]) + "," + std::to_string(version[1]) +
                                "," + std::to_string(version[2]) + "," + std::to_string(version[3]);
    const std::string spaced = std::to_string(version[0]) + ", " + std::to_string(version[1]) +
                               ", " + std::to_string(version[2]) + ", " +
                               std::to_string(version[3]);
    std::ostringstream script;
    script << "// Made by make_resources from the dialog tables and the pictures: do not edit.\n"
              "#pragma code_page(1252)\n"
              "LANGUAGE 0x09, 0x01 // English (United States)\n\n";
    script << DialogScript(kPlayerDialogId, kPlayerDialog, kPlayerControls, kIconId) << "\n";
    script << DialogScript(kAboutDialogId, kAboutDialog, kAboutControls, kIconId) << "\n";
    script << "STRINGTABLE\nBEGIN\n    " << kAboutMenuStringId << ", "
           << ScriptString(kAboutMenuText) << "\nEND\n\n";
    for (const NumberedFile& icon : files.icons) {
        script << icon.id << " ICON " << ScriptString(icon.path.c_str()) << "\n";
    }
    for (const NumberedFile& bitmap : files.bitmaps) {
        script << bitmap.id << " BITMAP " << ScriptString(bitmap.path.c_str()) << "\n";
    }
    script << "\n1 VERSIONINFO\n"
           << "FILEVERSION " << numbers << "\nPRODUCTVERSION " << numbers << "\n"
           << "FILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\n"
           << "FILEOS 0x4      // 32-bit Windows\n"
           << "FILETYPE 0x1    // an application\n"
           << "FILESUBTYPE 0x0\n"
           << "BEGIN\n"
           << "    BLOCK \"StringFileInfo\"\n    BEGIN\n        BLOCK \"040904B0\"\n        BEGIN\n"
           << "            VALUE \"CompanyName\", \"the Discolo developers\"\n"
           << "            VALUE \"FileDescription\", \"Discolo audio-CD player\"\n"
           << "            VALUE \"FileVersion\", \"" << spaced << "\"\n"
           << "            VALUE \"InternalName\", \"Discolo\"\n"
           << "            VALUE \"LegalCopyright\", " << ScriptString(kAboutNoticeText) << "\n"
           << "            VALUE \"OriginalFilename\", \"discolo.exe\"\n"
           << "            VALUE \"ProductName\", \"Discolo\"\n"
           << "            VALUE \"ProductVersion\", \"" << spaced << "\"\n"
           << "        END\n    END\n"
           << "    BLOCK \"VarFileInfo\"\n    BEGIN\n"
           << "        VALUE \"Translation\", 0x0409, 1200\n"
           << "    END\n"
           << "END\n";
    return script.str();
}

} // namespace resources
