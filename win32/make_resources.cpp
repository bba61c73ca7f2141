// make_resources: writes the Windows program's resource script and its picture files, on the
// build machine, from the dialog tables and the XPM pictures the Qt window uses.
//
//   make_resources OUTDIR VERSION icon:ID=FILE.xpm ... bitmap:ID=FILE.xpm ...
//
// Writes OUTDIR/discolo.rc, OUTDIR/ID.ico and OUTDIR/ID.bmp; exits 1 with one line on error.
#include "win32/resource_script.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "make_resources: %s\n", message.c_str());
    return 1;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Fail("usage: make_resources OUTDIR VERSION icon:ID=FILE.xpm bitmap:ID=FILE.xpm...");
    }
    const std::string folder = argv[1];
    resources::ResourceFiles files;
    files.version = argv[2];
    for (int i = 3; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t colon = argument.find(':');
        const size_t equals = argument.find('=');
        if (colon == std::string::npos || equals == std::string::npos || equals < colon) {
            return Fail("not KIND:ID=FILE: " + argument);
        }
        const std::string kind = argument.substr(0, colon);
        const int id = std::atoi(argument.substr(colon + 1, equals - colon - 1).c_str());
        const std::string source = argument.substr(equals + 1);
        std::ifstream in(source, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        resources::Xpm image;
        std::string error;
        if (!in || !resources::ParseXpm(text.str(), image, error)) {
            return Fail(source + ": " + (error.empty() ? "cannot be read" : error));
        }
        std::vector<uint8_t> bytes;
        std::string path = folder + "/" + std::to_string(id);
        if (kind == "icon") {
            bytes = resources::IconFile(image);
            path += ".ico";
            files.icons.push_back({id, path});
        } else if (kind == "bitmap") {
            bytes = resources::BitmapFile(image);
            path += ".bmp";
            files.bitmaps.push_back({id, path});
        } else {
            return Fail("unknown kind " + kind);
        }
        if (!WriteFile(path, std::string(bytes.begin(), bytes.end()))) {
            return Fail("cannot write " + path);
        }
    }
    std::string error;
    const std::string script = resources::ResourceScript(files, error);
    if (script.empty()) {
        return Fail(error);
    }
    if (!WriteFile(folder + "/discolo.rc", script)) {
        return Fail("cannot write " + folder + "/discolo.rc");
    }
    return 0;
}
