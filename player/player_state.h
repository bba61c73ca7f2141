// The player's one record: drive list, selected drive, the disc's track table and performers,
// and the flags of playback and display. Functions take it by reference, so tests make their own;
// the program uses the one instance that ThePlayerState() returns.
#pragma once

#include "drive/toc_layout.h"

#include <array>
#include <cstdint>
#include <string>

inline constexpr int kMaxDrives = 32;
inline constexpr int kTrackTableSize = 120;
inline constexpr int kPerformerMaxLength = 119;
inline constexpr int32_t kNoPolledPosition =
    370000; // beyond any disc: the first poll never counts as advancing

struct PlayerState {
    // Drive list, filled once by discovery
    int32_t hostAdapterCount = 0;
    std::array<int32_t, kMaxDrives> driveAdapter{};
    std::array<int32_t, kMaxDrives> driveTarget{};
    int32_t driveCount = 0;
    int32_t currentDrive = 0;

    // Disc, rebuilt by the disc refresh
    int32_t firstTrack = 0;
    int32_t lastTrack = 0;
    int32_t listBaseTrack = 0;
    std::array<int32_t, kTrackTableSize> trackStart{};
    std::array<std::string, kTrackTableSize> trackPerformer{}; // at most 119 characters each
    std::array<uint8_t, kTocImageSize> tocImage{};

    // Playback and display
    int32_t currentTrack = 1;
    int32_t isPlaying = 0;
    int32_t playStarted = 0;
    bool positionSynced = true;
    bool trackListClosed = true;
    bool trackTimeRemaining = false;
    bool discTimeRemaining = false;
    bool sliderDragging = false;
    int32_t lastPolledPosition = kNoPolledPosition;
    uint32_t pollTimer = 0;
    uint32_t discTimer = 0;
};

// The record of this process.
inline PlayerState& ThePlayerState() {
    static PlayerState state;
    return state;
}
