// Reading a cue sheet's disc: silence between the pieces, each piece from its file.
#include "vdrive/sheet_audio.h"

#include <algorithm>

namespace vdrive {
namespace {

// A sheet may name a file per track: a few stay open (the one playing, the next, one a reader
// elsewhere on the disc is at), the rest are opened again when their turn comes.
constexpr size_t kOpenFiles = 4;

} // namespace

SheetAudioSource::SheetAudioSource(const std::vector<SheetAudioFile>& files,
                                   std::vector<SheetAudioPiece> pieces)
    : pieces_(std::move(pieces)), lastUse_(files.size(), 0) {
    for (const SheetAudioFile& file : files) {
        readers_.push_back(file.path.empty()
                               ? nullptr
                               : std::make_unique<MediaFileReader>(file.path, file.content));
    }
}

MediaFileReader* SheetAudioSource::Reader(size_t file) const {
    if (file >= readers_.size() || !readers_[file]) {
        return nullptr;
    }
    if (!readers_[file]->IsOpen()) {
        size_t open = 0;
        size_t oldest = readers_.size();
        for (size_t f = 0; f < readers_.size(); ++f) {
            if (readers_[f] && readers_[f]->IsOpen()) {
                ++open;
                if (oldest == readers_.size() || lastUse_[f] < lastUse_[oldest]) {
                    oldest = f;
                }
            }
        }
        if (open >= kOpenFiles && oldest < readers_.size()) {
            readers_[oldest]->Close();
        }
    }
    lastUse_[file] = ++uses_;
    return readers_[file].get();
}

bool SheetAudioSource::ReadPiece(const SheetAudioPiece& piece, int32_t from,
                                 std::span<uint8_t> frames) const {
    MediaFileReader* reader = Reader(piece.file);
    if (reader == nullptr) {
        return false;
    }
    const uint64_t first = piece.offset + uint64_t(from - piece.lba) * piece.stride;
    if (piece.stride == kFrameBytes) {
        return reader->Read(first, frames);
    }
    // CD+G sectors: the audio, then the sub-channel, which READ CD of user data leaves out.
    for (size_t at = 0; at < frames.size(); at += kFrameBytes) {
        if (!reader->Read(first + at / kFrameBytes * piece.stride,
                          frames.subspan(at, kFrameBytes))) {
            return false;
        }
    }
    return true;
}

bool SheetAudioSource::ReadFrames(int32_t lba, std::span<uint8_t> frames) const {
    std::fill(frames.begin(), frames.end(), uint8_t{0});
    const int64_t end = int64_t{lba} + static_cast<int64_t>(frames.size() / kFrameBytes);
    // The first piece that ends after `lba`.
    auto piece = std::upper_bound(
        pieces_.begin(), pieces_.end(), int64_t{lba},
        [](int64_t at, const SheetAudioPiece& p) { return at < int64_t{p.lba} + p.frames; });
    const std::lock_guard<std::mutex> lock(mutex_);
    for (; piece != pieces_.end() && piece->lba < end; ++piece) {
        const int32_t from = std::max(lba, piece->lba);
        const int64_t to = std::min(end, int64_t{piece->lba} + piece->frames);
        const auto at = static_cast<size_t>(from - lba) * kFrameBytes;
        const auto length = static_cast<size_t>(to - from) * kFrameBytes;
        if (!ReadPiece(*piece, from, frames.subspan(at, length))) {
            return false;
        }
    }
    return true;
}

} // namespace vdrive
