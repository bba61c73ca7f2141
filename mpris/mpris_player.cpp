// The player on the media bus: what the bus shows is read from the window and the record, and
// every command is the matching button's handler.
#include "mpris/mpris_player.h"

#include "disc/toc.h"
#include "mpris/mpris_adaptors.h"
#include "player/drop_down_combo.h"
#include "player/player_dlg.h"
#include "player/readouts.h"
#include "player/static_text.h"
#include "player/track_lookup.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr int64_t kMicrosecondsPerSecond = 1000000;

const QString kPlaying = QStringLiteral("Playing");
const QString kPaused = QStringLiteral("Paused");
const QString kStopped = QStringLiteral("Stopped");

QString TrackId(int32_t track) {
    return QString::fromLatin1(kTrackPathPrefix) + QString::number(track);
}

// A track selector entry is "[07]  Title" with CD-Text and "Track 07" without: the title is what
// follows the number, or the whole entry when the disc names no titles.
QString EntryTitle(const QString& entry, int32_t track) {
    const QString prefix = QString::asprintf("[%02d]  ", track);
    return entry.startsWith(prefix) ? entry.mid(prefix.size()) : entry;
}

// A session bus is there when its address is given, or at the usual place of the user's bus.
// Without either, the bus library would try to start a bus of its own; the player does not.
bool SessionBusAdvertised() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

int64_t FramesToMicroseconds(int64_t frames) {
    return frames * kMicrosecondsPerSecond / kFramesPerSecond;
}

int64_t MicrosecondsToFrames(int64_t microseconds) {
    // In two parts, so that no offset a client may send overflows.
    return microseconds / kMicrosecondsPerSecond * kFramesPerSecond +
           microseconds % kMicrosecondsPerSecond * kFramesPerSecond / kMicrosecondsPerSecond;
}

MprisPlayer::MprisPlayer(CPlayerDlg& playerWindow, PlayerState& playerState,
                         QDBusConnection busConnection, QObject* parent)
    : QObject(parent), window(playerWindow), state(playerState),
      connection(std::move(busConnection)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    told = View();
    connect(&window, &CPlayerDlg::Updated, this, &MprisPlayer::Follow);
    connect(&window, &CPlayerDlg::Jumped, this, &MprisPlayer::NoteJump);
}

MprisPlayer::~MprisPlayer() {
    if (!serviceName.isEmpty()) {
        connection.unregisterService(serviceName);
        connection.unregisterObject(QString::fromLatin1(kMprisObjectPath));
    }
}

bool MprisPlayer::Publish() {
    const QString path = QString::fromLatin1(kMprisObjectPath);
    if (!connection.isConnected() ||
        !connection.registerObject(path, this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    const QString name = QString::fromLatin1(kMprisServiceName);
    for (const QString& candidate :
         {name, name + QStringLiteral(".instance") +
                    QString::number(QCoreApplication::applicationPid())}) {
        if (connection.registerService(candidate)) {
            serviceName = candidate;
            told = View();
            return true;
        }
    }
    connection.unregisterObject(path);
    return false;
}

bool MprisPlayer::DiscIn() const {
    // The disc refresh enables the track selector only for a disc with audio tracks.
    return state.driveCount > 0 && window.trackCombo->isEnabled() && window.trackCombo->count() > 0;
}

int32_t MprisPlayer::Track() const {
    return DiscIn() && IsDiscTrack(state, state.currentTrack) ? state.currentTrack : 0;
}

bool MprisPlayer::KnownAddress(int32_t& address) const {
    if (jumped && state.lastPolledPosition == polledAtJump) {
        address = jumpAddress; // no poll since the jump
        return true;
    }
    if (state.lastPolledPosition == kNoPolledPosition) {
        return false;
    }
    address = ShownPosition(state.lastPolledPosition);
    return true;
}

bool MprisPlayer::NothingToResume() const {
    // The view's pause is inferred from the window; the drive knows. One that does not say, or
    // does not answer, is taken at the window's word.
    const std::optional<SubChannelPosition> position = ReadSelectedPosition(state);
    return position && (position->audioStatus == kAudioStatusCompleted ||
                        position->audioStatus == kAudioStatusStoppedByError ||
                        position->audioStatus == kAudioStatusNone);
}

MprisView MprisPlayer::View() const {
    MprisView view;
    const bool disc = DiscIn();
    int32_t address = 0;
    const bool known = KnownAddress(address);
    if (disc && state.isPlaying != 0) {
        view.playbackStatus = kPlaying;
    } else if (disc && state.playStarted != 0 && known &&
               address > TrackStartAt(state, state.firstTrack)) {
        // Pause/Resume answers only once Play was pressed; a drive at the disc's start is stopped.
        view.playbackStatus = kPaused;
    } else {
        view.playbackStatus = kStopped;
    }
    const int entry = window.trackCombo->currentIndex();
    view.canControl = disc;
    view.canPlay = disc;
    view.canSeek = disc;
    view.canPause = disc && state.playStarted != 0;
    view.canGoNext = disc && entry < window.trackCombo->count() - 1;
    view.canGoPrevious = disc && entry > 0;

    const int32_t track = Track();
    if (track == 0) {
        return view;
    }
    view.metadata.insert(QStringLiteral("mpris:trackid"),
                         QVariant::fromValue(QDBusObjectPath(TrackId(track))));
    view.metadata.insert(QStringLiteral("mpris:length"),
                         static_cast<qlonglong>(FramesToMicroseconds(TrackLength(state, track))));
    view.metadata.insert(QStringLiteral("xesam:trackNumber"), static_cast<int>(track));
    // The texts as the window shows them: the fields draw a doubled ampersand once.
    const QString title =
        EntryTitle(window.trackCombo->itemText(track - state.listBaseTrack), track);
    if (!title.isEmpty()) {
        view.metadata.insert(QStringLiteral("xesam:title"), title);
    }
    const QString artist = PrefixedDisplayText(QString::fromLatin1(PerformerAt(state, track)));
    if (!artist.isEmpty()) {
        view.metadata.insert(QStringLiteral("xesam:artist"), QStringList{artist});
    }
    const QString album = PrefixedDisplayText(window.titleText);
    if (!album.isEmpty()) {
        view.metadata.insert(QStringLiteral("xesam:album"), album);
    }
    const QString art = artUrl ? artUrl() : QString();
    if (!art.isEmpty()) {
        view.metadata.insert(QStringLiteral("mpris:artUrl"), art);
    }
    return view;
}

int64_t MprisPlayer::FramesIntoTrack() const {
    const int32_t track = Track();
    int32_t address = 0;
    if (track == 0 || !KnownAddress(address)) {
        return 0;
    }
    const int64_t into = int64_t{address} - TrackStartAt(state, track);
    return std::clamp<int64_t>(into, 0, TrackLength(state, track));
}

int64_t MprisPlayer::Position() const {
    return FramesToMicroseconds(FramesIntoTrack());
}

void MprisPlayer::NoteJump(int32_t address) {
    int32_t before = 0;
    if (!KnownAddress(before) || before != address) {
        seekToTell = true; // a play from where the drive already is moves nothing
    }
    jumped = true;
    jumpAddress = address;
    polledAtJump = state.lastPolledPosition;
}

void MprisPlayer::Follow() {
    if (jumped && state.lastPolledPosition != polledAtJump) {
        jumped = false; // a poll has seen the drive since
    }
    const MprisView now = View();
    QVariantMap changed;
    auto note = [&changed](const char* name, const QVariant& was, const QVariant& is) {
        if (was != is) {
            changed.insert(QString::fromLatin1(name), is);
        }
    };
    note("PlaybackStatus", told.playbackStatus, now.playbackStatus);
    note("Metadata", told.metadata, now.metadata);
    note("CanPlay", told.canPlay, now.canPlay);
    note("CanPause", told.canPause, now.canPause);
    note("CanGoNext", told.canGoNext, now.canGoNext);
    note("CanGoPrevious", told.canGoPrevious, now.canGoPrevious);
    note("CanSeek", told.canSeek, now.canSeek);
    note("CanControl", told.canControl, now.canControl);
    told = now;
    if (!changed.isEmpty() && !serviceName.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromLatin1(kMprisObjectPath),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        signal << QString::fromLatin1(kMprisPlayerInterface) << changed << QStringList();
        connection.send(signal);
    }
    if (seekToTell) {
        seekToTell = false;
        if (now.playbackStatus != kStopped) {
            emit Seeked(static_cast<qlonglong>(Position()));
        }
    }
}

void MprisPlayer::Raise() {
    window.showNormal();
    window.raise();
    window.activateWindow();
}

void MprisPlayer::Quit() {
    window.close(); // as the close box: the window's cancel path
}

void MprisPlayer::Play() {
    if (DiscIn()) {
        window.OnPlay();
    }
    Follow();
}

void MprisPlayer::Pause() {
    const MprisView view = View();
    if (view.playbackStatus == kPlaying && view.canPause) {
        window.OnPauseResume();
    }
    Follow();
}

void MprisPlayer::PlayPause() {
    const MprisView view = View();
    if (view.playbackStatus == kStopped) {
        if (view.canPlay) {
            window.OnPlay();
        }
    } else if (view.canPause) {
        if (view.playbackStatus == kPaused && NothingToResume()) {
            window.OnPlay(); // the play ended, or a jump ended the pause: the key starts a play
        } else {
            window.OnPauseResume(); // pauses a play, resumes a pause
        }
    }
    Follow();
}

void MprisPlayer::Stop() {
    if (DiscIn()) {
        window.OnStop();
    }
    Follow();
}

void MprisPlayer::Next() {
    if (View().canGoNext) {
        window.OnNextTrack();
    }
    Follow();
}

void MprisPlayer::Previous() {
    if (View().canGoPrevious) {
        window.OnPreviousTrack();
    }
    Follow();
}

void MprisPlayer::Seek(int64_t offset) {
    const int32_t track = Track();
    if (track != 0) {
        const int64_t into = FramesIntoTrack() + MicrosecondsToFrames(offset);
        if (into > TrackLength(state, track)) {
            if (View().canGoNext) {
                window.OnNextTrack(); // past the track's end: on to the next, as Next
            }
        } else {
            window.SeekAndPlay(TrackStartAt(state, track) +
                               static_cast<int32_t>(std::max<int64_t>(into, 0)));
        }
    }
    Follow();
}

void MprisPlayer::SetPosition(const QString& trackId, int64_t position) {
    const int32_t track = Track();
    // A position for a track that is no longer current, or outside the track, changes nothing.
    // Compared in microseconds: in frames, a position just past the end rounds down onto it.
    if (track != 0 && trackId == TrackId(track) && position >= 0 &&
        position <= FramesToMicroseconds(TrackLength(state, track))) {
        window.SeekAndPlay(TrackStartAt(state, track) +
                           static_cast<int32_t>(MicrosecondsToFrames(position)));
    }
    Follow();
}

void MprisPlayer::OpenUri(const QString& /*uri*/) {
    // The player plays the disc in the drive and opens nothing else.
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::NotSupported,
                       QStringLiteral("Discolo plays only the disc in the drive"));
    }
}

std::unique_ptr<MprisPlayer> PublishOnSessionBus(CPlayerDlg& window, PlayerState& state) {
    if (!SessionBusAdvertised()) {
        return nullptr;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return nullptr;
    }
    auto player = std::make_unique<MprisPlayer>(window, state, bus);
    if (!player->Publish()) {
        return nullptr;
    }
    return player;
}
