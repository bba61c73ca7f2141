// The player on the desktop's media bus (MPRIS 2): media keys, the panel's media controls and
// tools such as playerctl see what the window shows and press the window's own buttons. The
// object reads the player's controller (its view, its record and what it knows of the drive's
// play) and follows the controller's own notifications; every command runs the controller's
// handler of the matching button, so the window and the bus cannot disagree. It sends no drive
// command of its own.
#pragma once

#include "player/desktop_id.h"
#include "player/player_window.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>

class PlayerController;
class QWidget;

inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.discolo";
inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisRootInterface = "org.mpris.MediaPlayer2";
inline constexpr const char* kMprisPlayerInterface = "org.mpris.MediaPlayer2.Player";
inline constexpr const char* kTrackPathPrefix = "/org/discolo/track/";

// What the bus shows of the player at one moment; two views differ exactly where the bus has to
// be told.
struct MprisView {
    QString playbackStatus; // "Playing", "Paused" or "Stopped"
    QVariantMap metadata;   // empty without a disc
    bool canPlay = false;
    bool canPause = false;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canSeek = false;
    bool canControl = false;
    double volume = 1.0;
};

// Frames (75 a second) as the bus's microseconds, and back (truncated toward zero).
int64_t FramesToMicroseconds(int64_t frames);
int64_t MicrosecondsToFrames(int64_t microseconds);

// The calls of the bus reach it through its adaptors, which hand it their calling context, so
// that it can answer one with an error.
class MprisPlayer : public QObject, protected QDBusContext, private PlayerListener {
    Q_OBJECT

public:
    // Follows the player from now on; nothing is on the bus until Publish. `window` is the one
    // raised and closed on the bus's request.
    MprisPlayer(PlayerController& player, QWidget& window, QDBusConnection connection,
                QObject* parent = nullptr);
    ~MprisPlayer() override;

    // Puts the object on the bus and takes the name org.mpris.MediaPlayer2.discolo, or, when
    // another player has it, ...discolo.instance<pid>. False when the bus refuses both.
    bool Publish();
    // The URL of the cover of the disc shown (mpris:artUrl), "" when there is none; unset: none.
    std::function<QString()> artUrl;
    // The digital play's volume (0 to 1) and how to set it. Unset: the drives play on their own
    // path, and the bus shows a volume of 1 that setting does not change.
    std::function<double()> volume;
    std::function<void(double)> setVolume;

    // The bus name taken by Publish; empty before.
    QString ServiceName() const { return serviceName; }

    // What the bus shows now, read from the controller.
    MprisView View() const;
    // Microseconds into the current track: the latest poll, or the latest jump after it.
    int64_t Position() const;
    // The volume as the bus shows it, and a request to set it; a change is announced.
    double Volume() const;
    void SetVolume(double volume);

    // org.mpris.MediaPlayer2
    void Raise();
    void Quit();
    // org.mpris.MediaPlayer2.Player: each runs the matching button's handler.
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(int64_t offset);
    void SetPosition(const QString& trackId, int64_t position);
    // Not supported: the caller gets a D-Bus error.
    void OpenUri(const QString& uri);

signals:
    // For the player interface's Seeked signal.
    void Seeked(qlonglong position);

private:
    // After the controller ran a handler or a tick: the properties that differ from what the bus
    // was last told, in one PropertiesChanged, then Seeked after a jump. Nothing otherwise.
    void Settled() override;
    void Jumped(int32_t address) override;
    // The track's metadata: its id, length, number, title, performer and the album.
    QVariantMap Metadata(int32_t track) const;
    // The track the window treats as current, or 0 when it names no track of the disc.
    int32_t Track() const;
    // The frame address the drive was last seen or sent at; false before either.
    bool KnownAddress(int32_t& address) const;
    int64_t FramesIntoTrack() const;
    bool DiscIn() const;
    bool NothingToResume() const; // the drive holds no paused play, as far as the player knows

    PlayerController& player;
    QWidget& window;
    QDBusConnection connection;
    QString serviceName;
    MprisView told; // what the bus was last told
    bool jumped = false;
    int32_t jumpAddress = 0;
    int32_t polledAtJump = 0; // lastPolledPosition when the jump was made
    bool seekToTell = false;
};

// The player on the session bus, or nullptr, silently, when there is no session bus (or it
// refuses the player): the player then runs exactly as without it.
std::unique_ptr<MprisPlayer> PublishOnSessionBus(PlayerController& player, QWidget& window);
