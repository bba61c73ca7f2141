// What the player does: start-up and closing, the transport buttons, the two timers, the slider
// and the selectors (the disc refresh is in disc_refresh.cpp). Every handler works on the player
// state record and the view model, sends its commands to the selected drive, and names the view
// parts it changed at the moment the window would have changed them.
#include "player/player_controller.h"

#include "disc/toc.h"
#include "drive/aspi.h"
#include "drive/audio_status.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/srb.h"
#include "player/player_timers.h"
#include "player/readouts.h"
#include "player/track_lookup.h"
#include "player/track_texts.h"
#include "player/trackbar_codes.h"

#include <algorithm>
#include <array>

namespace {

constexpr int32_t kFastStep = 450;            // frames: 6 seconds
constexpr int32_t kPreviousTrackWindow = 225; // frames: within 3 s of a start Previous goes back

const char* const kRemaining = "Remaining";
const char* const kElapsed = "Elapsed";

// A selector shows an entry it has, or none (-1).
int EntryOrNone(int index, const std::vector<std::string>& entries) {
    return index >= 0 && index < static_cast<int>(entries.size()) ? index : -1;
}

} // namespace

PlayerController::PlayerController(PlayerState& state, PlayerTimers* timers, PlayerWindow* window)
    : state_(state), timers_(timers), window_(window) {}

void PlayerController::AddListener(PlayerListener& listener) {
    listeners_.push_back(&listener);
}

void PlayerController::RemoveListener(PlayerListener& listener) {
    std::erase(listeners_, &listener);
}

void PlayerController::Show(ViewParts parts) {
    if (window_ != nullptr) {
        window_->ViewChanged(view_, parts);
    }
}

// Listeners are told from a copy of the list: one may remove itself meanwhile.
void PlayerController::Settle() {
    for (PlayerListener* listener : std::vector<PlayerListener*>(listeners_)) {
        listener->Settled();
    }
}

void PlayerController::TellJumped(int32_t address) {
    for (PlayerListener* listener : std::vector<PlayerListener*>(listeners_)) {
        listener->Jumped(address);
    }
}

const std::string& PlayerController::TrackTitle(int32_t track) const {
    static const std::string kNone;
    const int64_t entry = int64_t{track} - state_.listBaseTrack;
    if (entry < 0 || entry >= static_cast<int64_t>(trackTitles_.size())) {
        return kNone;
    }
    return trackTitles_[static_cast<size_t>(entry)];
}

// Only a drive that discovery listed is ever addressed: with an empty list (or a selection
// outside it) there is no drive, and the handlers send nothing at all.
std::optional<PlayerController::DriveAddress> PlayerController::SelectedDrive() const {
    const int32_t drive = state_.currentDrive;
    if (state_.driveCount <= 0 || drive < 0 || drive >= state_.driveCount || drive >= kMaxDrives) {
        return std::nullopt;
    }
    const auto at = static_cast<size_t>(drive);
    return DriveAddress{state_.driveAdapter[at] & 0xFF, state_.driveTarget[at] & 0xFF};
}

std::optional<SubChannelPosition> PlayerController::ReadPosition(const DriveAddress& drive) {
    std::array<uint8_t, kSubChannelAnswerLength> answer{};
    // SubQ 1, LBA form, data format 1 (current position), track 0.
    if (ReadSubChannel(drive.adapter, drive.target, 1, 0, 1, 0, kSubChannelAnswerLength, answer) !=
        SS_COMP) {
        return std::nullopt;
    }
    const SubChannelPosition position = DecodeSubChannelPosition(answer);
    audioStatus_ = position.audioStatus;
    return position;
}

void PlayerController::SetSliderPosition(int32_t position) {
    SliderView& slider = view_.slider;
    slider.position =
        std::clamp(position, slider.minimum, std::max(slider.minimum, slider.maximum));
    Show(kViewSliderPosition);
}

// The track total, the track number and the performer of `track`, shown at the next transfer.
void PlayerController::SetTrackFields(int32_t track) {
    view_.trackTotalText = TrackTotalText(TrackLength(state_, track));
    view_.trackNumberText = TrackNumberText(track);
    view_.artistText = PerformerAt(state_, track);
}

// ---- start-up and closing -------------------------------------------------------------------

bool PlayerController::OnInitDialog() {
    const Handling handling(*this);
    view_.trackPositionText = FormatFrames(0); // shown by the first transfer, the refresh's
    view_.discPositionText = FormatFrames(0);

    const uint32_t support = LoadAspi();
    if (support == 0) {
        if (window_ != nullptr) {
            window_->ShowError("Error", "ASPI for Win32 is not initialized!");
            window_->DestroyWindow(); // the window goes without the closing steps
        }
        return true;
    }
    state_.hostAdapterCount =
        static_cast<int32_t>(support & 0xFF); // the status byte above is not read
    view_.driveEntries = DiscoverDrives(state_);
    Show(kViewDriveEntries);
    if (state_.driveCount == 0) {
        return true; // no drive: blank fields, no timers
    }

    view_.driveSelection = 0;
    Show(kViewDriveSelection);
    state_.currentDrive = 0;
    RefreshDisc();

    if (timers_ != nullptr) {
        state_.pollTimer = timers_->StartTimer(kPollTimerId, kPollIntervalMs);
        state_.discTimer = timers_->StartTimer(kDiscTimerId, kDiscIntervalMs);
    }
    return true;
}

void PlayerController::OnDriveSelChange(int index) {
    const Handling handling(*this);
    index = EntryOrNone(index, view_.driveEntries); // what the selector shows now
    view_.driveSelection = index;
    Show(kViewDriveSelection);
    OnStop(); // still the drive selected before the change
    if (index < 0 || index >= state_.driveCount) {
        return; // no entry names a listed drive
    }
    state_.currentDrive = index;
    RefreshDisc(); // rebuilds only when this drive's table of contents differs from the cached one
    view_.artistText = PerformerAt(state_, state_.firstTrack);
    Show(kViewTexts);
}

void PlayerController::OnCancel() {
    const Handling handling(*this);
    OnStop();
    CloseDown();
}

void PlayerController::CloseDown() {
    const Handling handling(*this);
    for (uint32_t* timer : {&state_.discTimer, &state_.pollTimer}) {
        if (*timer != 0) {
            if (timers_ != nullptr) {
                timers_->KillTimer(*timer);
            }
            *timer = 0;
        }
    }
    UnloadAspi();
}

// ---- the transport ------------------------------------------------------------------------

void PlayerController::SeekAndPlay(int32_t address) {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    // The address as given, before the range test. Moving the head ends any play or pause.
    if (SeekLba(drive->adapter, drive->target, address) == SS_COMP) {
        audioStatus_ = kAudioStatusNone;
    }
    const int32_t from = PlayableAddress(address);
    if (state_.isPlaying != 0) {
        // To the disc end; past the end the length is negative, and the drive refuses it.
        const int64_t length = int64_t{DiscEndOf(state_)} - from - 1;
        if (PlayAudioLba(drive->adapter, drive->target, from, static_cast<int32_t>(length)) ==
                SS_COMP &&
            length > 0) {
            audioStatus_ = kAudioStatusPlaying;
        }
    } else {
        PlayAudioLba(drive->adapter, drive->target, from, 0); // no audio: the drive stays put
    }
    SetSliderPosition(SliderPositionOf(from));
    TellJumped(from);
}

void PlayerController::OnPlay() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    const int index = view_.trackSelection;
    const int32_t selectedTrack = state_.listBaseTrack + index;
    const bool trackSelected = index >= 0 && HasTrackEntries(selectedTrack);
    state_.playStarted = 1;
    const std::optional<SubChannelPosition> position = ReadPosition(*drive);
    if (state_.isPlaying != 0) {
        return; // a running play is not restarted
    }
    state_.isPlaying = 1;
    if (position) {
        SeekAndPlay(position->position);
    } else {
        // Without the drive's position, play from the start of the chosen track.
        SeekAndPlay(trackSelected ? TrackStartAt(state_, selectedTrack) : 0);
    }
    if (trackSelected) {
        state_.currentTrack = selectedTrack; // an empty selector leaves the current track alone
    }
}

void PlayerController::OnPauseResume() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive || state_.playStarted == 0) {
        return;
    }
    if (state_.isPlaying != 0) {
        if (PauseAudio(drive->adapter, drive->target) == SS_COMP) {
            audioStatus_ = kAudioStatusPaused;
        }
    } else if (ResumeAudio(drive->adapter, drive->target) == SS_COMP) {
        audioStatus_ = kAudioStatusPlaying;
    }
    state_.isPlaying = 1 - state_.isPlaying; // whatever the drive said: the next poll corrects it
}

void PlayerController::OnStop() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    // Moving the head ends the play: that is the stop.
    if (SeekLba(drive->adapter, drive->target, 0) == SS_COMP) {
        audioStatus_ = kAudioStatusNone;
    }
    state_.isPlaying = 0;
    SetSliderPosition(0);
    state_.currentTrack = 1;
    TellJumped(0);
}

void PlayerController::OnFastBackward() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    const std::optional<SubChannelPosition> position = ReadPosition(*drive);
    if (position && position->position >= kFastStep) {
        SeekAndPlay(position->position - kFastStep);
    }
}

void PlayerController::OnFastForward() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    if (const std::optional<SubChannelPosition> position = ReadPosition(*drive)) {
        SeekAndPlay(position->position + kFastStep); // no test against the disc end
    }
}

void PlayerController::OnNextTrack() {
    const Handling handling(*this);
    if (!SelectedDrive()) {
        return;
    }
    const int index = view_.trackSelection;
    if (index >= static_cast<int>(view_.trackEntries.size()) - 1) {
        return; // the last entry, or an empty list
    }
    state_.positionSynced = false;
    state_.currentTrack = state_.firstTrack + index + 1;
    SeekAndPlay(TrackStartAt(state_, state_.currentTrack));
}

void PlayerController::OnPreviousTrack() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    const int index = view_.trackSelection;
    if (index <= 0) {
        return; // the first entry, or none: not even a restart
    }
    const std::optional<SubChannelPosition> position = ReadPosition(*drive);
    const int32_t current = TrackInTable(state_.currentTrack);
    if (position && position->position <= TrackStartAt(state_, current) + kPreviousTrackWindow) {
        state_.currentTrack = state_.firstTrack + index - 1;
    } else {
        state_.currentTrack = current; // later in the track, or no position: restart it
    }
    state_.positionSynced = false;
    SeekAndPlay(TrackStartAt(state_, state_.currentTrack));
}

void PlayerController::OnEjectLoad() {
    const Handling handling(*this);
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    OnStop();
    LoadMedium(drive->adapter, drive->target);
    // With a ready disc the load changed nothing and the tray opens; a tray that was open has
    // just closed, and opens again only if the drive is already ready.
    if (TestUnitReady(drive->adapter, drive->target) == SS_COMP) {
        EjectMedium(drive->adapter, drive->target);
    }
}

// ---- the timers, the slider and the selectors ---------------------------------------------

void PlayerController::OnTimer(int id) {
    const Handling handling(*this);
    if (id == kDiscTimerId) {
        RefreshDisc();
    }
    if (id == kPollTimerId) {
        PollPosition();
    }
}

void PlayerController::PollPosition() {
    const Handling handling(*this);
    // A held fast button steps once per tick.
    if (window_ != nullptr && window_->FastButtonHeld(FastButton::Forward)) {
        OnFastForward();
    }
    if (window_ != nullptr && window_->FastButtonHeld(FastButton::Backward)) {
        OnFastBackward();
    }
    const std::optional<DriveAddress> drive = SelectedDrive();
    if (!drive) {
        return;
    }
    const std::optional<SubChannelPosition> answer = ReadPosition(*drive);
    if (!answer) {
        return; // the display keeps its last state until a read succeeds
    }
    state_.isPlaying =
        CountsAsPlaying(answer->audioStatus, answer->position, state_.lastPolledPosition) ? 1 : 0;
    state_.lastPolledPosition = answer->position;

    const int32_t shownTrack = ShownTrack(state_, state_.isPlaying != 0, answer->track);
    if (shownTrack == TrackInTable(state_.currentTrack)) {
        state_.positionSynced = true;
    }
    if (state_.positionSynced) {
        // After a jump the display holds until the drive reports the track it was sent to.
        const int32_t position = ShownPosition(answer->position);
        view_.discPositionText = DiscReadout(state_, position, state_.discTimeRemaining);
        view_.trackPositionText =
            TrackReadout(state_, shownTrack, position, state_.trackTimeRemaining);
        if (!state_.sliderDragging) {
            SetSliderPosition(SliderPositionOf(position));
        }
        // The selector and the track fields follow the drive only while the user has not
        // dropped the list down since the last choice.
        const int entry = shownTrack - state_.listBaseTrack;
        if (view_.trackSelection != entry && state_.trackListClosed) {
            SetTrackFields(shownTrack);
            // An entry the list does not have (track 1 after Stop on a disc numbered from 3)
            // clears the selection.
            view_.trackSelection = EntryOrNone(entry, view_.trackEntries);
            Show(kViewTrackSelection);
            state_.currentTrack = shownTrack;
        }
    }
    Show(kViewTexts);
}

void PlayerController::OnHScroll(int code, int position) {
    const Handling handling(*this);
    SetSliderPosition(position); // where the user left the thumb
    switch (code) {
    case kTbLineUp:
    case kTbLineDown:
    case kTbPageUp:
    case kTbPageDown:
        break;
    case kTbThumbTrack:
        state_.sliderDragging = true;
        break;
    default:
        state_.sliderDragging = false;
        return; // the end of a drag, Home, End: no seek
    }
    if (!SelectedDrive()) {
        return;
    }
    const int32_t target = FramesAtSliderPosition(view_.slider.position);
    state_.currentTrack = TrackBelowTarget(state_, target, state_.currentTrack);
    state_.positionSynced = false;
    SeekAndPlay(target);
}

void PlayerController::OnLButtonUp() {
    const Handling handling(*this);
    state_.sliderDragging = false;
}

void PlayerController::OnTrackSelChange(int index) {
    const Handling handling(*this);
    index = EntryOrNone(index, view_.trackEntries); // the user's choice, as the selector shows it
    view_.trackSelection = index;
    Show(kViewTrackSelection);
    if (!SelectedDrive()) {
        return;
    }
    const int32_t track = state_.firstTrack + index;
    if (index < 0 || !IsDiscTrack(state_, track)) {
        return; // nothing chosen, or an entry that names no track of the disc
    }
    state_.positionSynced = false;
    state_.currentTrack = track;
    SetTrackFields(track);
    state_.trackListClosed = true;
    SeekAndPlay(TrackStartAt(state_, track));
    Show(kViewTexts);
}

void PlayerController::OnTrackDropDown() {
    const Handling handling(*this);
    state_.trackListClosed = false;
}

// The toggle's new state: checked (pushed in) and "Remaining", or "Elapsed". The bound check
// state takes it too, as the window's transfer from its controls would.
void PlayerController::SetTimeMode(bool remaining, int& check, std::string& caption) {
    check = remaining ? 1 : 0;
    caption = remaining ? kRemaining : kElapsed;
    Show(kViewToggles);
}

void PlayerController::OnTrackTimeMode() {
    const Handling handling(*this);
    state_.trackTimeRemaining = !state_.trackTimeRemaining;
    SetTimeMode(state_.trackTimeRemaining, view_.trackTimeCheck, view_.trackTimeCaption);
}

void PlayerController::OnDiscTimeMode() {
    const Handling handling(*this);
    state_.discTimeRemaining = !state_.discTimeRemaining;
    SetTimeMode(state_.discTimeRemaining, view_.discTimeCheck, view_.discTimeCaption);
}
