// What the player window does: start-up and closing, the disc refresh, the transport buttons,
// the two timers, the slider and the selectors. Every handler works on the player state record
// and sends its commands to the selected drive; a window without a listed drive sends nothing.
#include "player/player_dlg.h"

#include "app/text_label.h"
#include "disc/cdtext.h"
#include "disc/disc_text_items.h"
#include "disc/toc.h"
#include "drive/aspi.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/srb.h"
#include "player/drop_down_combo.h"
#include "player/player_template.h"
#include "player/position_slider.h"
#include "player/readouts.h"
#include "player/track_lookup.h"
#include "player/track_texts.h"

#include <QMetaObject>
#include <QPushButton>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int32_t kFastStep = 450;            // frames: 6 seconds
constexpr int32_t kPreviousTrackWindow = 225; // frames: within 3 s of a start Previous goes back
constexpr int kRefreshedPerformerRows = 100;  // rows 0-99: every track number a disc can have
constexpr unsigned kSystemCommandMask = 0xFFF0;
constexpr unsigned kCloseCommand = 0xF060; // the window menu's Close

const char* const kUnknownArtist = "unknown artist";
const char* const kNoAudioCd = "No Audio CD inserted";

// The selected drive's address: the low bytes of its entries in the drive list.
struct DriveAddress {
    int adapter = 0;
    int target = 0;
};

// Only a drive that discovery listed is ever addressed: with an empty list (or a selection
// outside it) there is no drive, and the handlers send nothing at all.
std::optional<DriveAddress> SelectedDrive(const PlayerState& state) {
    const int32_t drive = state.currentDrive;
    if (state.driveCount <= 0 || drive < 0 || drive >= state.driveCount || drive >= kMaxDrives) {
        return std::nullopt;
    }
    const auto at = static_cast<size_t>(drive);
    return DriveAddress{state.driveAdapter[at] & 0xFF, state.driveTarget[at] & 0xFF};
}

std::optional<SubChannelPosition> ReadPosition(const DriveAddress& drive) {
    std::array<uint8_t, kSubChannelAnswerLength> answer{};
    // SubQ 1, LBA form, data format 1 (current position), track 0.
    if (ReadSubChannel(drive.adapter, drive.target, 1, 0, 1, 0, kSubChannelAnswerLength, answer) !=
        SS_COMP) {
        return std::nullopt;
    }
    return DecodeSubChannelPosition(answer);
}

// CD-Text bytes are single-byte Latin-1 on the disc; they were cut to their field as bytes, so
// no cut falls inside a character.
QString FromDiscText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString TimeText(int32_t frames) {
    return QString::fromStdString(FormatFrames(frames));
}

QString DiscTotalText(int32_t discEnd) {
    return QStringLiteral("Total disc time: ") + TimeText(discEnd);
}

QString TrackTotalText(int32_t frames) {
    return QStringLiteral("Total track time: ") + TimeText(frames);
}

QString TrackTotalText(const PlayerState& state, int32_t track) {
    return TrackTotalText(TrackLength(state, track));
}

QString TrackNumberText(int32_t track) {
    return QStringLiteral("Track %1").arg(track);
}

} // namespace

std::optional<SubChannelPosition> ReadSelectedPosition(const PlayerState& state) {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    return drive ? ReadPosition(*drive) : std::nullopt;
}

// ---- start-up and closing -------------------------------------------------------------------

bool CPlayerDlg::OnInitDialog() {
    InitDialogBase(); // the first transfer: every bound text still empty
    AppendAboutToSystemMenu(QString::fromLatin1(kAboutMenuText));
    setWindowIcon(icon); // stands for the large and the small icon alike

    for (CTextLabel* readout : {trackTimeLabel, discTimeLabel}) {
        readout->SetForeColor(FromColorRef(kReadoutForeground));
        readout->SetBackColor(FromColorRef(kReadoutBackground));
        readout->SetFontHeight(kReadoutFontHeight);
        readout->SetStaticEdge(1);
        (readout == trackTimeLabel ? trackPositionText : discPositionText) = TimeText(0);
    }
    for (CTextLabel* caption :
         {titleCaption, trackCaption, artistCaption, trackPositionCaption, discPositionCaption}) {
        caption->SetBold(1);
    }
    SetButtonFaces();

    const uint32_t support = LoadAspi();
    if (support == 0) {
        if (showError) {
            showError(QStringLiteral("Error"),
                      QStringLiteral("ASPI for Win32 is not initialized!"));
        }
        // The window goes without the closing steps. Initialisation runs while the window is
        // being shown, before a modal loop exists to end, so the end is queued: it then ends
        // exec() (or just hides a window shown without one).
        QMetaObject::invokeMethod(
            this, [this] { QDialog::done(QDialog::Rejected); }, Qt::QueuedConnection);
        return true;
    }

    state.hostAdapterCount =
        static_cast<int32_t>(support & 0xFF); // the status byte above is not read
    for (const std::string& caption : DiscoverDrives(state)) {
        driveCombo->addItem(
            QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
    }
    if (state.driveCount == 0) {
        return true; // no drive: blank fields, no timers
    }

    driveCombo->setCurrentIndex(0); // the program's choice: reaches no handler
    state.currentDrive = 0;
    RefreshDisc();

    state.pollTimer = static_cast<uint32_t>(startTimer(kPollIntervalMs));
    state.discTimer = static_cast<uint32_t>(startTimer(kDiscIntervalMs));
    return true;
}

void CPlayerDlg::OnDriveSelChange() {
    OnStop(); // still the drive selected before the change
    const int index = driveCombo->currentIndex();
    if (index < 0 || index >= state.driveCount) {
        return; // no entry names a listed drive
    }
    state.currentDrive = index;
    RefreshDisc(); // rebuilds only when this drive's table of contents differs from the cached one
    artistText = QString::fromLatin1(PerformerAt(state, state.firstTrack));
    UpdateData(false);
}

void CPlayerDlg::OnCancel() {
    OnStop();
    if (state.discTimer != 0) {
        killTimer(static_cast<int>(state.discTimer));
        state.discTimer = 0;
    }
    if (state.pollTimer != 0) {
        killTimer(static_cast<int>(state.pollTimer));
        state.pollTimer = 0;
    }
    UnloadAspi();
    QDialog::reject();
}

void CPlayerDlg::OnSysCommand(unsigned commandId, long /*parameter*/) {
    const unsigned command = commandId & kSystemCommandMask;
    if (command == kAboutCommandId) {
        if (aboutBox) {
            aboutBox();
        }
    } else if (command == kCloseCommand) {
        reject(); // the window menu's Close is the cancel path
    }
}

// ---- the disc refresh -----------------------------------------------------------------------

void CPlayerDlg::RefreshDisc() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    bool hasAudio = false;
    bool hasDiscText = false;
    std::array<uint8_t, kTocImageSize> toc{};
    if (!CheckTocChange(state, drive->adapter, drive->target, toc)) {
        return; // the same disc: nothing else is read or written
    }

    for (int row = 0; row < kRefreshedPerformerRows; ++row) {
        state.trackPerformer[static_cast<size_t>(row)] = kUnknownArtist;
    }
    RequestSense(drive->adapter, drive->target, toc); // clears what the drive kept; not examined
    discTotalText = DiscTotalText(0);
    trackTotalText = TrackTotalText(0);
    trackNumberText = TrackNumberText(1);
    trackPositionText = TimeText(0);
    discPositionText = TimeText(0);
    state.firstTrack = 1;
    state.lastTrack = 1;
    UpdateData(false); // the title and performer still show the previous disc's

    std::optional<int32_t> capacityDiscEnd;
    if (ReadCapacity(drive->adapter, drive->target, toc) == SS_COMP) {
        capacityDiscEnd = DiscEndFromCapacity(toc);
        discTotalText = DiscTotalText(*capacityDiscEnd);
    }
    titleText = QString::fromLatin1(kNoAudioCd);
    trackCombo->clear();
    state.currentTrack = 1;

    // A table of contents that cannot describe a disc counts as one that could not be read.
    std::optional<TrackTable> table;
    if (ReadToc(drive->adapter, drive->target, 0, kTocImageSize, toc) == SS_COMP) {
        table = DecodeTrackTable(toc);
    }
    DiscTexts texts;
    if (table) {
        std::vector<uint8_t> response(kDiscTextBufferLength);
        int32_t discTextLength = 0;
        hasDiscText = FetchDiscText(drive->adapter, drive->target, response, discTextLength);
        // A disc end from READ CAPACITY when that completed, else where the lead-out starts.
        const int32_t discEnd = ResolveDiscEnd(capacityDiscEnd, *table);
        StoreTrackTable(state, *table, discEnd);

        positionSlider->ClearTics(false);
        positionSlider->SetRange(0, SliderPositionOf(discEnd), false);
        positionSlider->SetLineSize(1);
        positionSlider->SetPageSize(50);
        positionSlider->SetPos(0);
        hasAudio = table->hasAudio;
        for (const TrackEntry& track : table->tracks) {
            positionSlider->SetTic(track.sliderTick);
        }

        // Every item comes from one walk of the packs.
        const DiscTextItems discText =
            hasDiscText ? DiscTextItems(response, discTextLength) : DiscTextItems();
        texts = MakeDiscTexts(*table, hasDiscText ? &discText : nullptr);
        for (const TrackText& text : texts.tracks) {
            trackCombo->addItem(FromDiscText(text.entry));
            if (text.performer) {
                state.trackPerformer[static_cast<size_t>(text.track)] = *text.performer;
            }
        }
        trackCombo->setCurrentIndex(0);
        trackTotalText = TrackTotalText(state, state.firstTrack);
        trackNumberText = TrackNumberText(state.firstTrack);
    }

    if (hasAudio && !hasDiscText) {
        titleText = QStringLiteral("Audio CD");
    } else if (hasDiscText) {
        titleText = FromDiscText(texts.albumTitle);
    } else {
        positionSlider->ClearTics(false);
        positionSlider->SetRange(0, 0, true);
        titleText = QString::fromLatin1(kNoAudioCd);
        state.isPlaying = 0;
    }
    artistText = QString::fromLatin1(PerformerAt(state, state.firstTrack));
    Control(kIdTrackCombo)->setEnabled(hasAudio);
    UpdateData(false);
}

// ---- the transport ------------------------------------------------------------------------

void CPlayerDlg::SeekAndPlay(int32_t address) {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    SeekLba(drive->adapter, drive->target, address); // the address as given, before the range test
    const int32_t from = PlayableAddress(address);
    if (state.isPlaying != 0) {
        // To the disc end; past the end the length is negative, and the drive refuses it.
        const int64_t length = int64_t{DiscEndOf(state)} - from - 1;
        PlayAudioLba(drive->adapter, drive->target, from, static_cast<int32_t>(length));
    } else {
        PlayAudioLba(drive->adapter, drive->target, from, 0); // no audio: the drive stays put
    }
    positionSlider->SetPos(SliderPositionOf(from));
    emit Jumped(from);
}

void CPlayerDlg::OnPlay() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    const int index = trackCombo->currentIndex();
    const int32_t selectedTrack = state.listBaseTrack + index;
    const bool trackSelected = index >= 0 && HasTrackEntries(selectedTrack);
    state.playStarted = 1;
    const std::optional<SubChannelPosition> position = ReadPosition(*drive);
    if (state.isPlaying != 0) {
        return; // a running play is not restarted
    }
    state.isPlaying = 1;
    if (position) {
        SeekAndPlay(position->position);
    } else {
        // Without the drive's position, play from the start of the chosen track.
        SeekAndPlay(trackSelected ? TrackStartAt(state, selectedTrack) : 0);
    }
    if (trackSelected) {
        state.currentTrack = selectedTrack; // an empty selector leaves the current track alone
    }
}

void CPlayerDlg::OnPauseResume() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive || state.playStarted == 0) {
        return;
    }
    if (state.isPlaying != 0) {
        PauseAudio(drive->adapter, drive->target);
    } else {
        ResumeAudio(drive->adapter, drive->target);
    }
    state.isPlaying = 1 - state.isPlaying; // whatever the drive said: the next poll corrects it
}

void CPlayerDlg::OnStop() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    SeekLba(drive->adapter, drive->target, 0); // moving the head ends the play: that is the stop
    state.isPlaying = 0;
    positionSlider->SetPos(0);
    state.currentTrack = 1;
    emit Jumped(0);
}

void CPlayerDlg::OnFastBackward() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    const std::optional<SubChannelPosition> position = ReadPosition(*drive);
    if (position && position->position >= kFastStep) {
        SeekAndPlay(position->position - kFastStep);
    }
}

void CPlayerDlg::OnFastForward() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    if (const std::optional<SubChannelPosition> position = ReadPosition(*drive)) {
        SeekAndPlay(position->position + kFastStep); // no test against the disc end
    }
}

void CPlayerDlg::OnNextTrack() {
    if (!SelectedDrive(state)) {
        return;
    }
    const int index = trackCombo->currentIndex();
    if (index >= trackCombo->count() - 1) {
        return; // the last entry, or an empty list
    }
    state.positionSynced = false;
    state.currentTrack = state.firstTrack + index + 1;
    SeekAndPlay(TrackStartAt(state, state.currentTrack));
}

void CPlayerDlg::OnPreviousTrack() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    const int index = trackCombo->currentIndex();
    if (index <= 0) {
        return; // the first entry, or none: not even a restart
    }
    const std::optional<SubChannelPosition> position = ReadPosition(*drive);
    const int32_t current = TrackInTable(state.currentTrack);
    if (position && position->position <= TrackStartAt(state, current) + kPreviousTrackWindow) {
        state.currentTrack = state.firstTrack + index - 1;
    } else {
        state.currentTrack = current; // later in the track, or no position: restart it
    }
    state.positionSynced = false;
    SeekAndPlay(TrackStartAt(state, state.currentTrack));
}

void CPlayerDlg::OnEjectLoad() {
    const std::optional<DriveAddress> drive = SelectedDrive(state);
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

void CPlayerDlg::OnTimer(int id) {
    if (id == kDiscTimerId) {
        RefreshDisc();
    }
    if (id == kPollTimerId) {
        PollPosition();
    }
    emit Updated();
}

void CPlayerDlg::PollPosition() {
    // A held fast button steps once per tick.
    if (forwardButton->isDown()) {
        OnFastForward();
    }
    if (backButton->isDown()) {
        OnFastBackward();
    }

    const std::optional<DriveAddress> drive = SelectedDrive(state);
    if (!drive) {
        return;
    }
    const std::optional<SubChannelPosition> answer = ReadPosition(*drive);
    if (!answer) {
        return; // the display keeps its last state until a read succeeds
    }
    state.isPlaying =
        CountsAsPlaying(answer->audioStatus, answer->position, state.lastPolledPosition) ? 1 : 0;
    state.lastPolledPosition = answer->position;

    const int32_t shownTrack = ShownTrack(state, state.isPlaying != 0, answer->track);
    if (shownTrack == TrackInTable(state.currentTrack)) {
        state.positionSynced = true;
    }
    if (state.positionSynced) {
        // After a jump the display holds until the drive reports the track it was sent to.
        const int32_t position = ShownPosition(answer->position);
        discPositionText =
            QString::fromStdString(DiscReadout(state, position, state.discTimeRemaining));
        trackPositionText = QString::fromStdString(
            TrackReadout(state, shownTrack, position, state.trackTimeRemaining));
        if (!state.sliderDragging) {
            positionSlider->SetPos(SliderPositionOf(position));
        }
        // The selector and the track fields follow the drive only while the user has not
        // dropped the list down since the last choice.
        const int entry = shownTrack - state.listBaseTrack;
        if (trackCombo->currentIndex() != entry && state.trackListClosed) {
            trackTotalText = TrackTotalText(state, shownTrack);
            trackNumberText = TrackNumberText(shownTrack);
            // The program's choice reaches no handler; an entry the list does not have (track 1
            // after Stop on a disc numbered from 3) clears the selection.
            trackCombo->setCurrentIndex(entry < trackCombo->count() ? std::max(entry, -1) : -1);
            state.currentTrack = shownTrack;
            artistText = QString::fromLatin1(PerformerAt(state, shownTrack));
        }
    }
    UpdateData(false);
}

void CPlayerDlg::OnHScroll(int code) {
    switch (code) {
    case kTbLineUp:
    case kTbLineDown:
    case kTbPageUp:
    case kTbPageDown:
        break;
    case kTbThumbTrack:
        state.sliderDragging = true;
        break;
    default:
        state.sliderDragging = false;
        return; // the end of a drag, Home, End: no seek
    }
    if (!SelectedDrive(state)) {
        return;
    }
    const int32_t target = FramesAtSliderPosition(positionSlider->GetPos());
    state.currentTrack = TrackBelowTarget(state, target, state.currentTrack);
    state.positionSynced = false;
    SeekAndPlay(target);
}

void CPlayerDlg::OnLButtonUp() {
    state.sliderDragging = false;
}

void CPlayerDlg::OnTrackSelChange() {
    if (!SelectedDrive(state)) {
        return;
    }
    const int index = trackCombo->currentIndex();
    const int32_t track = state.firstTrack + index;
    if (index < 0 || !IsDiscTrack(state, track)) {
        return; // nothing chosen, or an entry that names no track of the disc
    }
    state.positionSynced = false;
    state.currentTrack = track;
    trackTotalText = TrackTotalText(state, track);
    trackNumberText = TrackNumberText(track);
    artistText = QString::fromLatin1(PerformerAt(state, track));
    state.trackListClosed = true;
    SeekAndPlay(TrackStartAt(state, track));
    UpdateData(false);
}

void CPlayerDlg::OnTrackDropDown() {
    state.trackListClosed = false;
}

namespace {

// The toggle's new state, shown on the button: checked (pushed in) and "Remaining", or "Elapsed".
void ShowTimeMode(QPushButton* button, bool remaining) {
    button->setChecked(remaining); // the program's change: reaches no handler
    button->setText(remaining ? QStringLiteral("Remaining") : QStringLiteral("Elapsed"));
}

} // namespace

void CPlayerDlg::OnTrackTimeMode() {
    state.trackTimeRemaining = !state.trackTimeRemaining;
    ShowTimeMode(trackTimeModeButton, state.trackTimeRemaining);
    UpdateData(true); // the bound check state takes the new one
}

void CPlayerDlg::OnDiscTimeMode() {
    state.discTimeRemaining = !state.discTimeRemaining;
    ShowTimeMode(discTimeModeButton, state.discTimeRemaining);
    UpdateData(true);
}
