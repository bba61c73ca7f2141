// Fuzz target: arbitrary cue sheets, and the files they name, through the virtual drive's CUE
// loader. The input up to its first NUL byte is the sheet; the rest is the content of every
// file the sheet may name here (data.bin, data.wav, data.cdt), so file parsing is reached too.
//
// The loader reads files, so the input is written to a folder in memory (/dev/shm): a folder on
// disk costs a write-back per input when a file is truncated, which made this target some ten
// times slower than the loader itself. A file is rewritten only when its content changed, and
// the three data files are one file under three names.
#include "vdrive/cue_sheet.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void RemoveWorkFolder();

// Made on first use and removed when the fuzzer exits; never destroyed before that.
const fs::path& WorkFolder() {
    static const fs::path* folder = [] {
        std::error_code ec;
        const fs::path memory = "/dev/shm";
        const fs::path base = fs::is_directory(memory, ec) ? memory : fs::temp_directory_path();
        auto* path = new fs::path(base / ("discolo-fuzz-cue-" + std::to_string(getpid())));
        fs::create_directories(*path);
        std::atexit(RemoveWorkFolder);
        return path;
    }();
    return *folder;
}

void RemoveWorkFolder() {
    std::error_code ec;
    fs::remove_all(WorkFolder(), ec);
}

// A file of the work folder with what it holds now.
class WorkFile {
public:
    explicit WorkFile(const char* name) : path_(WorkFolder() / name) {}

    void Hold(std::string_view content) {
        if (written_ && content == content_) {
            return;
        }
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        content_.assign(content);
        written_ = true;
    }
    std::string Path() const { return path_.string(); }

private:
    fs::path path_;
    std::string content_;
    bool written_ = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static WorkFile sheet("sheet.cue");
    // data.wav and data.cdt are other names of data.bin: one write serves all three.
    static WorkFile files = [] {
        WorkFile file("data.bin");
        file.Hold("");
        for (const char* name : {"data.wav", "data.cdt"}) {
            fs::create_hard_link(file.Path(), WorkFolder() / name);
        }
        return file;
    }();

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = std::min(input.find('\0'), input.size());
    sheet.Hold(input.substr(0, split));
    const std::string_view content = split < input.size() ? input.substr(split + 1) : "";
    files.Hold(content);

    // With missing files assumed to be there, then strictly; the strict load takes another way
    // only where a file was missing, so it runs only then.
    vdrive::DiscImage disc;
    std::string error;
    vdrive::CueLoadOptions assumeLengths;
    assumeLengths.missingFileTailFrames = 4500;
    vdrive::CueLoadReport report;
    (void)vdrive::LoadCueSheet(sheet.Path(), assumeLengths, disc, error, &report);
    if (!report.assumed.empty()) {
        (void)vdrive::LoadCueSheet(sheet.Path(), disc, error);
    }
    return 0;
}
