// The player on the media bus: what the bus shows is read from the controller, and every
// command is the controller's handler of the matching button.
#include "mpris/mpris_player.h"

#include "disc/toc.h"
#include "drive/audio_status.h"
#include "mpris/mpris_adaptors.h"
#include "player/player_controller.h"
#include "player/readouts.h"
#include "player/static_text.h"
#include "player/track_lookup.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QWidget>

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

// A text as the window's fields draw it: a doubled ampersand once.
QString AsDrawn(const std::string& text) {
    return PrefixedDisplayText(
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
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

MprisPlayer::MprisPlayer(PlayerController& playerController, QWidget& playerWindow,
                         QDBusConnection busConnection, QObject* parent)
    : QObject(parent), player(playerController), window(playerWindow),
      connection(std::move(busConnection)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    told = View();
    player.AddListener(*this);
}

MprisPlayer::~MprisPlayer() {
    player.RemoveListener(*this);
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
    const PlayerView& view = player.View();
    return player.State().driveCount > 0 && view.trackSelectorEnabled && !view.trackEntries.empty();
}

int32_t MprisPlayer::Track() const {
    const int32_t current = player.State().currentTrack;
    return DiscIn() && IsDiscTrack(player.State(), current) ? current : 0;
}

bool MprisPlayer::KnownAddress(int32_t& address) const {
    const int32_t polled = player.State().lastPolledPosition;
    if (jumped && polled == polledAtJump) {
        address = jumpAddress; // no poll since the jump
        return true;
    }
    if (polled == kNoPolledPosition) {
        return false;
    }
    address = ShownPosition(polled);
    return true;
}

bool MprisPlayer::NothingToResume() const {
    // The view's pause is inferred; the controller knows what the drive last said of its play,
    // and what its own commands did since. Not knowing, it is taken at the view's word.
    const std::optional<uint8_t> status = player.KnownAudioStatus();
    return status && (*status == kAudioStatusCompleted || *status == kAudioStatusStoppedByError ||
                      *status == kAudioStatusNone);
}

MprisView MprisPlayer::View() const {
    const PlayerState& state = player.State();
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
    const int entry = player.View().trackSelection;
    const int entries = static_cast<int>(player.View().trackEntries.size());
    view.canControl = disc;
    view.canPlay = disc;
    view.canSeek = disc;
    view.canPause = disc && state.playStarted != 0;
    view.canGoNext = disc && entry < entries - 1;
    view.canGoPrevious = disc && entry > 0;
    view.volume = Volume();
    const int32_t track = Track();
    if (track != 0) {
        view.metadata = Metadata(track);
    }
    const QString art = artUrl ? artUrl() : QString();
    if (!art.isEmpty()) {
        view.metadata.insert(QStringLiteral("mpris:artUrl"), art);
    }
    return view;
}

// Every field of a track's metadata is set here.
QVariantMap MprisPlayer::Metadata(int32_t track) const {
    const PlayerState& state = player.State();
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(TrackId(track))));
    metadata.insert(QStringLiteral("mpris:length"),
                    static_cast<qlonglong>(FramesToMicroseconds(TrackLength(state, track))));
    metadata.insert(QStringLiteral("xesam:trackNumber"), static_cast<int>(track));
    // The texts as the window shows them: a track's name as its entry lists it, the performer
    // and album as the fields draw them.
    const std::string& name = player.TrackTitle(track);
    if (!name.empty()) {
        metadata.insert(QStringLiteral("xesam:title"),
                        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    const QString artist = AsDrawn(PerformerAt(state, track));
    if (!artist.isEmpty()) {
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{artist});
    }
    const QString album = AsDrawn(player.View().titleText);
    if (!album.isEmpty()) {
        metadata.insert(QStringLiteral("xesam:album"), album);
    }
    return metadata;
}

int64_t MprisPlayer::FramesIntoTrack() const {
    const int32_t track = Track();
    int32_t address = 0;
    if (track == 0 || !KnownAddress(address)) {
        return 0;
    }
    const int64_t into = int64_t{address} - TrackStartAt(player.State(), track);
    return std::clamp<int64_t>(into, 0, TrackLength(player.State(), track));
}

int64_t MprisPlayer::Position() const {
    return FramesToMicroseconds(FramesIntoTrack());
}

double MprisPlayer::Volume() const {
    return volume ? volume() : 1.0;
}

void MprisPlayer::SetVolume(double requested) {
    if (setVolume) {
        setVolume(requested);
        Settled(); // tells the bus the volume it now has
    }
}

void MprisPlayer::Jumped(int32_t address) {
    int32_t before = 0;
    if (!KnownAddress(before) || before != address) {
        seekToTell = true; // a play from where the drive already is moves nothing
    }
    jumped = true;
    jumpAddress = address;
    polledAtJump = player.State().lastPolledPosition;
}

void MprisPlayer::Settled() {
    if (jumped && player.State().lastPolledPosition != polledAtJump) {
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
    note("Volume", told.volume, now.volume);
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
        player.OnPlay();
    }
}

void MprisPlayer::Pause() {
    const MprisView view = View();
    if (view.playbackStatus == kPlaying && view.canPause) {
        player.OnPauseResume();
    }
}

void MprisPlayer::PlayPause() {
    const MprisView view = View();
    if (view.playbackStatus == kStopped) {
        if (view.canPlay) {
            player.OnPlay();
        }
    } else if (view.canPause) {
        if (view.playbackStatus == kPaused && NothingToResume()) {
            player.OnPlay(); // the play ended, or a jump ended the pause: the key starts a play
        } else {
            player.OnPauseResume(); // pauses a play, resumes a pause
        }
    }
}

void MprisPlayer::Stop() {
    if (DiscIn()) {
        player.OnStop();
    }
}

void MprisPlayer::Next() {
    if (View().canGoNext) {
        player.OnNextTrack();
    }
}

void MprisPlayer::Previous() {
    if (View().canGoPrevious) {
        player.OnPreviousTrack();
    }
}

void MprisPlayer::Seek(int64_t offset) {
    const int32_t track = Track();
    if (track != 0) {
        const int64_t into = FramesIntoTrack() + MicrosecondsToFrames(offset);
        if (into > TrackLength(player.State(), track)) {
            if (View().canGoNext) {
                player.OnNextTrack(); // past the track's end: on to the next, as Next
            }
        } else {
            player.SeekAndPlay(TrackStartAt(player.State(), track) +
                               static_cast<int32_t>(std::max<int64_t>(into, 0)));
        }
    }
}

void MprisPlayer::SetPosition(const QString& trackId, int64_t position) {
    const int32_t track = Track();
    // A position for a track that is no longer current, or outside the track, changes nothing.
    // Compared in microseconds: in frames, a position just past the end rounds down onto it.
    if (track != 0 && trackId == TrackId(track) && position >= 0 &&
        position <= FramesToMicroseconds(TrackLength(player.State(), track))) {
        player.SeekAndPlay(TrackStartAt(player.State(), track) +
                           static_cast<int32_t>(MicrosecondsToFrames(position)));
    }
}

void MprisPlayer::OpenUri(const QString& /*uri*/) {
    // The player plays the disc in the drive and opens nothing else.
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::NotSupported,
                       QStringLiteral("Discolo plays only the disc in the drive"));
    }
}

std::unique_ptr<MprisPlayer> PublishOnSessionBus(PlayerController& player, QWidget& window) {
    if (!SessionBusAdvertised()) {
        return nullptr;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return nullptr;
    }
    auto media = std::make_unique<MprisPlayer>(player, window, bus);
    if (!media->Publish()) {
        return nullptr;
    }
    return media;
}
