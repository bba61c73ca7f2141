// Fuzz target: arbitrary cue sheets, and the files they name, through the virtual drive's CUE
// loader. The input up to its first NUL byte is the sheet; the rest is the content of every
// file the sheet may name here (data.bin, data.wav, data.cdt), so file parsing is reached too.
#include "vdrive/cue_sheet.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path& WorkFolder() {
    static const fs::path folder = [] {
        fs::path path =
            fs::temp_directory_path() / ("discolo-fuzz-cue-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

void Write(const fs::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* split = data;
    while (split < end && *split != 0) {
        ++split;
    }
    const fs::path& folder = WorkFolder();
    Write(folder / "sheet.cue", data, static_cast<size_t>(split - data));
    const uint8_t* files = split < end ? split + 1 : end;
    const size_t filesSize = static_cast<size_t>(end - files);
    for (const char* name : {"data.bin", "data.wav", "data.cdt"}) {
        Write(folder / name, files, filesSize);
    }

    vdrive::DiscImage disc;
    std::string error;
    (void)vdrive::LoadCueSheet((folder / "sheet.cue").string(), disc, error);
    vdrive::CueLoadOptions assumeLengths;
    assumeLengths.missingFileTailFrames = 4500;
    (void)vdrive::LoadCueSheet((folder / "sheet.cue").string(), assumeLengths, disc, error);
    return 0;
}
