// The player window's content as plain data: every text it shows, the two selectors, the slider
// and the toggles. The controller writes it and names the parts it changed; a window (Qt, Win32,
// or a test's stand-in) applies those parts to its controls. Texts are the disc's bytes
// (single-byte Latin-1) or the program's own ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The parts of the view that one change notification names. Each is what the window does with
// one message or one data transfer, so a window applies exactly what the controller changed, in
// the order it changed it; parts named together are applied in the order of their bits.
enum ViewPart : uint32_t {
    // The bound texts and both check states, all at once: UpdateData(FALSE). A window rewrites
    // only the texts that differ from what its control shows.
    kViewTexts = 1u << 0,
    // A toggle's check state (BM_SETCHECK) and its caption, "Elapsed" or "Remaining".
    kViewToggles = 1u << 1,
    kViewDriveEntries = 1u << 2,   // the drive selector's entries, then its selection
    kViewDriveSelection = 1u << 3, // CB_SETCURSEL on the drive selector
    kViewTrackEntries = 1u << 4,   // the track selector emptied (CB_RESETCONTENT) and refilled
    kViewTrackSelection = 1u << 5, // CB_SETCURSEL on the track selector: -1 selects nothing
    kViewTrackEnabled = 1u << 6,   // EnableWindow on the track selector
    // The slider's scale: its tick marks cleared without redraw, its range (redrawn at once only
    // when SliderView::redraw says so), line and page size, then one tick mark per entry.
    kViewSliderScale = 1u << 7,
    kViewSliderPosition = 1u << 8, // TBM_SETPOS, with redraw
};
using ViewParts = uint32_t;

// The trackbar. Its position stays inside its range, as a trackbar keeps it.
struct SliderView {
    int32_t minimum = 0; // a new trackbar's range, line and page size
    int32_t maximum = 100;
    int32_t lineSize = 1;
    int32_t pageSize = 20;
    int32_t position = 0;
    std::vector<int32_t> ticks; // positions of the tick marks, in the order they were set
    // The last change of the range asked for a redraw at once; otherwise the slider shows it at
    // its next paint (the refresh sets a disc's scale without redraw, and an empty one with).
    bool redraw = false;
};

struct PlayerView {
    // Bound to the window's fields, in the order the window transfers them.
    std::string artistText;
    std::string titleText;
    std::string trackTotalText;
    std::string discTotalText;
    std::string trackPositionText;
    std::string discPositionText;
    int trackTimeCheck = 0; // 1: the track readout shows the time remaining
    int discTimeCheck = 0;
    std::string trackNumberText;

    // The toggles' captions.
    std::string trackTimeCaption = "Elapsed";
    std::string discTimeCaption = "Elapsed";

    std::vector<std::string> driveEntries; // "ID:3   VX-6012SA", one per listed drive
    int driveSelection = -1;
    std::vector<std::string> trackEntries; // entry i names track listBaseTrack + i
    int trackSelection = -1;
    bool trackSelectorEnabled = true;

    SliderView slider;
};
