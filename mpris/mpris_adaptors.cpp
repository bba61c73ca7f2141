// The MPRIS adaptors: every property and method is the MprisPlayer's.
#include "mpris/mpris_adaptors.h"

#include "mpris/mpris_player.h"

MprisRootAdaptor::MprisRootAdaptor(MprisPlayer* mprisPlayer)
    : QDBusAbstractAdaptor(mprisPlayer), player(mprisPlayer) {}

QString MprisRootAdaptor::Identity() const {
    return QStringLiteral("Discolo");
}

QString MprisRootAdaptor::DesktopEntry() const {
    return QString::fromLatin1(kDesktopId);
}

void MprisRootAdaptor::Raise() {
    player->Raise();
}

void MprisRootAdaptor::Quit() {
    player->Quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisPlayer* mprisPlayer)
    : QDBusAbstractAdaptor(mprisPlayer), player(mprisPlayer) {
    setAutoRelaySignals(true); // the player's Seeked goes out as this interface's
}

QString MprisPlayerAdaptor::PlaybackStatus() const {
    return player->View().playbackStatus;
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
    return player->View().metadata;
}

double MprisPlayerAdaptor::Volume() const {
    return player->Volume();
}

void MprisPlayerAdaptor::SetVolume(double volume) {
    player->SetVolume(volume);
}

qlonglong MprisPlayerAdaptor::Position() const {
    return player->Position();
}

bool MprisPlayerAdaptor::CanGoNext() const {
    return player->View().canGoNext;
}

bool MprisPlayerAdaptor::CanGoPrevious() const {
    return player->View().canGoPrevious;
}

bool MprisPlayerAdaptor::CanPlay() const {
    return player->View().canPlay;
}

bool MprisPlayerAdaptor::CanPause() const {
    return player->View().canPause;
}

bool MprisPlayerAdaptor::CanSeek() const {
    return player->View().canSeek;
}

bool MprisPlayerAdaptor::CanControl() const {
    return player->View().canControl;
}

void MprisPlayerAdaptor::Next() {
    player->Next();
}

void MprisPlayerAdaptor::Previous() {
    player->Previous();
}

void MprisPlayerAdaptor::Pause() {
    player->Pause();
}

void MprisPlayerAdaptor::PlayPause() {
    player->PlayPause();
}

void MprisPlayerAdaptor::Stop() {
    player->Stop();
}

void MprisPlayerAdaptor::Play() {
    player->Play();
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    player->Seek(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    player->SetPosition(trackId.path(), position);
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) {
    player->OpenUri(uri);
}
