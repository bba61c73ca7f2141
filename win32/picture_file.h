// A picture of a window saved as a file: PNG or, for a name ending in ".bmp", BMP. No library:
// the PNG is stored without compression, which every reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, row by row from the top
};

// The file's bytes, in the format the name's suffix asks for (PNG when it names no other).
std::vector<uint8_t> PictureFileBytes(const Picture& picture, const std::string& path);
