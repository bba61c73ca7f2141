// The disc refresh: the change check, then, for a changed disc, the drive's answers read, decoded
// into a picture of the disc and applied to the record and the view. The reads and the view
// changes keep their order: the reset display is transferred before READ CAPACITY, the track
// list is emptied before the second READ TOC.
#include "player/disc_picture.h"
#include "player/player_controller.h"

#include "disc/cdtext.h"
#include "disc/disc_text_items.h"
#include "drive/commands.h"
#include "drive/srb.h"
#include "player/track_lookup.h"

#include <array>

namespace {

constexpr int kRefreshedPerformerRows = 100; // rows 0-99: every track number a disc can have
constexpr int32_t kSliderPageSize = 50;      // one page is 300 seconds

const char* const kUnknownArtist = "unknown artist";
const char* const kNoAudioCd = "No Audio CD inserted";
const char* const kAudioCd = "Audio CD";

} // namespace

DiscPicture DecodeDiscPicture(const DiscAnswers& answers) {
    DiscPicture picture;
    if (!answers.table) {
        return picture;
    }
    picture.table = answers.table;
    picture.discEnd = ResolveDiscEnd(answers.capacityDiscEnd, *answers.table);
    picture.hasAudio = answers.table->hasAudio;
    picture.hasDiscText = answers.hasDiscText;
    // Every item comes from one walk of the packs.
    const DiscTextItems discText = answers.hasDiscText
                                       ? DiscTextItems(answers.discText, answers.discTextLength)
                                       : DiscTextItems();
    picture.texts = MakeDiscTexts(*answers.table, answers.hasDiscText ? &discText : nullptr);
    return picture;
}

void PlayerController::RefreshDisc() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    std::array<uint8_t, kTocImageSize> toc{};
    if (!CheckTocChange(state_, drive->adapter, drive->target, toc)) {
        return; // the same disc: nothing else is read or written
    }
    RequestSense(drive->adapter, drive->target, toc); // clears what the drive kept; not examined
    ResetDiscDisplay();
    DiscAnswers answers;
    answers.capacityDiscEnd = ReadDiscEnd(*drive, toc);
    ApplyDiscEnd(answers.capacityDiscEnd);
    ReadDiscContents(*drive, toc, answers);
    const DiscPicture picture = DecodeDiscPicture(answers);
    ApplyTrackTable(picture);
    ApplyDiscTitle(picture);
}

// Every performer unknown, the totals, track number and readouts of no disc, shown at once; the
// title and performer fields still show the previous disc's.
void PlayerController::ResetDiscDisplay() {
    for (int row = 0; row < kRefreshedPerformerRows; ++row) {
        state_.trackPerformer[static_cast<size_t>(row)] = kUnknownArtist;
    }
    view_.discTotalText = DiscTotalText(0);
    view_.trackTotalText = TrackTotalText(0);
    view_.trackNumberText = TrackNumberText(1);
    view_.trackPositionText = FormatFrames(0);
    view_.discPositionText = FormatFrames(0);
    state_.firstTrack = 1;
    state_.lastTrack = 1;
    Show(kViewTexts);
}

std::optional<int32_t> PlayerController::ReadDiscEnd(const DriveAddress& drive,
                                                     std::span<uint8_t, kTocImageSize> buffer) {
    if (ReadCapacity(drive.adapter, drive.target, buffer) != SS_COMP) {
        return std::nullopt;
    }
    return DiscEndFromCapacity(buffer);
}

// The total disc time when READ CAPACITY gave it; no title and an empty track list until the
// table of contents says otherwise.
void PlayerController::ApplyDiscEnd(std::optional<int32_t> capacityDiscEnd) {
    if (capacityDiscEnd) {
        view_.discTotalText = DiscTotalText(*capacityDiscEnd);
    }
    view_.titleText = kNoAudioCd;
    view_.trackEntries.clear();
    view_.trackSelection = -1;
    trackTitles_.clear();
    Show(kViewTrackEntries);
    state_.currentTrack = 1;
}

// The table of contents again, and the CD-Text when that table describes a disc. A table that
// cannot describe one counts as one that could not be read.
void PlayerController::ReadDiscContents(const DriveAddress& drive,
                                        std::span<uint8_t, kTocImageSize> toc,
                                        DiscAnswers& answers) {
    if (ReadToc(drive.adapter, drive.target, 0, kTocImageSize, toc) != SS_COMP) {
        return;
    }
    answers.table = DecodeTrackTable(toc);
    if (!answers.table) {
        return;
    }
    // The answer buffer is kept from one rebuild to the next, but nothing in it is: it starts
    // zeroed, as a fresh one would.
    discText_.assign(kDiscTextBufferLength, 0);
    answers.hasDiscText =
        FetchDiscText(drive.adapter, drive.target, discText_, answers.discTextLength);
    answers.discText = discText_;
}

// The track table into the record; the slider's scale, a tick mark per track; one selector
// entry per track with entry 0 selected; the first track's total and number.
void PlayerController::ApplyTrackTable(const DiscPicture& picture) {
    if (!picture.table) {
        return; // firstTrack and lastTrack stay 1, listBaseTrack and trackStart as they were
    }
    StoreTrackTable(state_, *picture.table, picture.discEnd);
    SliderView& slider = view_.slider;
    slider.ticks.clear();
    slider.minimum = 0;
    slider.maximum = SliderPositionOf(picture.discEnd);
    slider.redraw = false;
    slider.lineSize = 1;
    slider.pageSize = kSliderPageSize;
    slider.position = 0;
    for (const TrackEntry& track : picture.table->tracks) {
        // A trackbar takes tick marks inside its range only.
        if (track.sliderTick >= slider.minimum && track.sliderTick <= slider.maximum) {
            slider.ticks.push_back(track.sliderTick);
        }
    }
    Show(kViewSliderScale | kViewSliderPosition);

    for (const TrackText& text : picture.texts.tracks) {
        view_.trackEntries.push_back(text.entry);
        trackTitles_.push_back(text.title);
        if (text.performer) {
            state_.trackPerformer[static_cast<size_t>(text.track)] = *text.performer;
        }
    }
    view_.trackSelection = 0;
    Show(kViewTrackEntries | kViewTrackSelection);
    view_.trackTotalText = TrackTotalText(TrackLength(state_, state_.firstTrack));
    view_.trackNumberText = TrackNumberText(state_.firstTrack);
}

// The album title ("Audio CD", the CD-Text title, or no audio disc with an empty slider and play
// counted as stopped), the first track's performer, the selector enabled for audio; shown.
void PlayerController::ApplyDiscTitle(const DiscPicture& picture) {
    if (picture.hasAudio && !picture.hasDiscText) {
        view_.titleText = kAudioCd;
    } else if (picture.hasDiscText) {
        view_.titleText = picture.texts.albumTitle;
    } else {
        SliderView& slider = view_.slider;
        slider.ticks.clear();
        slider.minimum = 0;
        slider.maximum = 0;
        slider.position = 0; // a trackbar keeps its position inside its range
        slider.redraw = true;
        Show(kViewSliderScale);
        view_.titleText = kNoAudioCd;
        state_.isPlaying = 0;
    }
    view_.artistText = PerformerAt(state_, state_.firstTrack);
    view_.trackSelectorEnabled = picture.hasAudio;
    Show(kViewTrackEnabled);
    Show(kViewTexts);
}
