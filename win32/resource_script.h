// The Windows program's resources made from the same tables and pictures as the Qt window's: the
// resource script (dialogs 102 and 100, the string table, the pictures, the version) from the
// dialog tables, and the button faces and the icon as BMP and ICO files from their XPM images.
// Plain C++ with no Windows header: make_resources runs it on the build machine.
#pragma once

#include "player/dialog_table.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace resources {

// An XPM image with at most 16 colours: its pixels as palette indexes, in the order the image
// lists its colours. A "None" colour is transparent: such pixels are kTransparent.
struct Xpm {
    static constexpr uint8_t kTransparent = 0xFF;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> palette; // 0x00RRGGBB, in the image's order, "None" left out
    std::vector<uint8_t> pixels;   // row by row from the top
};

// Reads the strings of an XPM file. False with the reason in one line when it is not an XPM of
// one or two characters per pixel and at most 16 colours.
bool ParseXpm(const std::string& text, Xpm& image, std::string& error);

// A 4-bit BMP file of the image (16-entry palette, the image's colours first, the rest black).
std::vector<uint8_t> BitmapFile(const Xpm& image);
// An ICO file with one 4-bit image; transparent pixels are masked out.
std::vector<uint8_t> IconFile(const Xpm& image);

// A text as a resource script string: quoted, a quote doubled, a backslash doubled. Bytes above
// 0x7F stay as they are (the script is read as code page 1252).
std::string ScriptString(const char* text);

// One dialog as a resource script statement: DIALOGEX or DIALOG by the template's kind, its
// frame, style, caption and font, and one CONTROL per table entry with the template's class
// name. A static with the icon style and no text shows icon `iconId`.
std::string DialogScript(int id, const DialogTemplate& dialog,
                         std::span<const ControlTemplate> controls, int iconId);

struct NumberedFile {
    int id;
    std::string path;
};

struct ResourceFiles {
    std::string version; // "1.0.12.0"
    std::vector<NumberedFile> bitmaps;
    std::vector<NumberedFile> icons;
};

// The whole script: both dialogs, string 101, the pictures by path and the version resource.
// Empty, with the reason in `error`, when the version is not four numbers.
std::string ResourceScript(const ResourceFiles& files, std::string& error);

} // namespace resources
