// Dialog 102, the player window: its frame and its 25 controls in template order, which is also
// their tab and stacking order.
#pragma once

#include "player/dialog_table.h"

#include <array>

// Control ids of the player window.
inline constexpr int kIdPlay = 1002;
inline constexpr int kIdPause = 1003;
inline constexpr int kIdStop = 1004;
inline constexpr int kIdFastBackward = 1005;
inline constexpr int kIdFastForward = 1006;
inline constexpr int kIdNext = 1007;
inline constexpr int kIdEject = 1008;
inline constexpr int kIdPrevious = 1009;
inline constexpr int kIdDriveCombo = 1010;
inline constexpr int kIdTrackCombo = 1011;
inline constexpr int kIdTitleField = 1012;
inline constexpr int kIdArtistField = 1013;
inline constexpr int kIdDiscTotalField = 1014;
inline constexpr int kIdTrackTotalField = 1015;
inline constexpr int kIdTrackTimeLabel = 1016;
inline constexpr int kIdDiscTimeLabel = 1017;
inline constexpr int kIdTrackNumberField = 1018;
inline constexpr int kIdTrackTimeMode = 1020;
inline constexpr int kIdDiscTimeMode = 1021;
inline constexpr int kIdTrackPositionCaption = 1022;
inline constexpr int kIdDiscPositionCaption = 1023;
inline constexpr int kIdTitleCaption = 1024;
inline constexpr int kIdTrackCaption = 1025;
inline constexpr int kIdArtistCaption = 1026;
inline constexpr int kIdPositionSlider = 1027;

// A popup with a caption, the window menu and a minimize box, centred, fixed in size, with a
// taskbar button.
inline constexpr DialogTemplate kPlayerDialog{
    "Discolo V1.00", 0, 0, 232, 157, 8, "MS Sans Serif", 0x90CA08C4u, 0x00040000u, true};

// The other resources the player window uses.
inline constexpr int kPlayerDialogId = 102;
inline constexpr int kIconId = 128;
inline constexpr unsigned kAboutCommandId = 0x0010;                // the window menu's About entry
inline constexpr int kAboutMenuStringId = 101;                     // its text:
inline constexpr const char* kAboutMenuText = "&About Discolo..."; //   string 101

// The button faces, in the order start-up puts them on their buttons.
struct ButtonFace {
    int bitmap;
    int control;
};
inline constexpr std::array<ButtonFace, 8> kButtonFaces{{
    {136, kIdPrevious},
    {133, kIdPlay},
    {135, kIdStop},
    {134, kIdPause},
    {130, kIdFastBackward},
    {132, kIdFastForward},
    {131, kIdNext},
    {129, kIdEject},
}};

// clang-format off
inline constexpr std::array<ControlTemplate, 25> kPlayerControls{{
    {kIdPlay,          ControlClass::Button,   "Button3",        5,  25,  60, 14, 0x50010080u, 0, "playButton"},
    {kIdPause,         ControlClass::Button,   "Button3",        65, 25,  19, 14, 0x50010080u, 0, "pauseButton"},
    {kIdStop,          ControlClass::Button,   "Button3",        85, 25,  19, 14, 0x50010080u, 0, "stopButton"},
    {kIdFastBackward,  ControlClass::Button,   "Button3",        25, 41,  19, 14, 0x50010080u, 0, "backButton"},
    {kIdFastForward,   ControlClass::Button,   "Button3",        45, 41,  19, 14, 0x50010080u, 0, "forwardButton"},
    {kIdNext,          ControlClass::Button,   "Button3",        65, 41,  19, 14, 0x50010080u, 0, "nextButton"},
    {kIdEject,         ControlClass::Button,   "Button3",        85, 41,  19, 14, 0x50010080u, 0, "ejectButton"},
    {kIdPrevious,      ControlClass::Button,   "Button3",        5,  41,  19, 14, 0x50010080u, 0, "previousButton"},
    {kIdDriveCombo,    ControlClass::ComboBox, "",               5,  5,  100, 70, 0x50210003u, 0, "driveCombo"},
    {kIdTrackCombo,    ControlClass::ComboBox, "",               37, 102, 190, 85, 0x50210003u, 0, "trackCombo"},
    {kIdTitleField,    ControlClass::Static,   "Title",          37, 85, 190, 12, 0x50020001u, 0x200u, "titleField"},
    {kIdArtistField,   ControlClass::Static,   "Artist",         37, 119, 190, 12, 0x50020001u, 0x200u, "artistField"},
    {kIdDiscTotalField,  ControlClass::Static, "Total time:",    5,  143, 83,  9, 0x50021001u, 0, "discTotalField"},
    {kIdTrackTotalField, ControlClass::Static, "Track Time:",    142, 143, 83, 9, 0x50021001u, 0, "trackTotalField"},
    {kIdTrackTimeLabel,  ControlClass::Static, "Static",         175, 5,  50, 20, 0x50020101u, 0, "trackTimeLabel"},
    {kIdDiscTimeLabel,   ControlClass::Static, "Static",         175, 35, 50, 20, 0x50020001u, 0, "discTimeLabel"},
    {kIdTitleCaption,    ControlClass::Static, "Title",          5,  85,  27,  8, 0x50020000u, 0, "titleCaption"},
    {kIdTrackCaption,    ControlClass::Static, "Track",          5,  102, 29,  8, 0x50020000u, 0, "trackCaption"},
    {kIdArtistCaption,   ControlClass::Static, "Artist",         5,  119, 29,  8, 0x50020000u, 0, "artistCaption"},
    {kIdTrackPositionCaption, ControlClass::Static, "Track Position", 109, 5, 65, 8, 0x50020001u, 0, "trackPositionCaption"},
    {kIdDiscPositionCaption,  ControlClass::Static, "Disc Position",  109, 35, 65, 8, 0x50020001u, 0, "discPositionCaption"},
    {kIdTrackTimeMode, ControlClass::Button,   "Elapsed",        120, 15, 41, 12, 0x50011003u, 0, "trackTimeModeButton"},
    {kIdDiscTimeMode,  ControlClass::Button,   "Elapsed",        120, 45, 41, 12, 0x50011003u, 0, "discTimeModeButton"},
    {kIdPositionSlider, ControlClass::Trackbar, "Slider1",       5,  59, 220, 19, 0x50010000u, 0, "positionSlider"},
    {kIdTrackNumberField, ControlClass::Static, "track 1",       91, 143, 48,  9, 0x50021001u, 0, "trackNumberField"},
}};
// clang-format on
