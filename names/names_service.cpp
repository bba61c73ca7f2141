// The names service: memory, cache, lookup, cover.
#include "names/names_service.h"

#include "names/answer_parse.h"
#include "names/release_choice.h"

#include <QMetaObject>

namespace names {

namespace {

constexpr int kHttpOk = 200;
constexpr int kHttpNotFound = 404;

// Only what the image formats' signatures say is kept: a JPEG or a PNG, nothing else.
const char* ImageSuffix(const QByteArray& image) {
    if (image.startsWith(QByteArray::fromRawData("\xFF\xD8\xFF", 3))) {
        return "jpg";
    }
    if (image.startsWith(QByteArray::fromRawData("\x89PNG\r\n\x1A\n", 8))) {
        return "png";
    }
    return nullptr;
}

QString LookupPath(const DiscIdentity& disc) {
    // The table lets the service fall back to discs with the same table when the ID is unknown.
    return QStringLiteral("/discid/%1?toc=%2&fmt=json&inc=artist-credits+recordings&cdstubs=no")
        .arg(QString::fromStdString(disc.id), QString::fromStdString(disc.TocParameter()));
}

} // namespace

DiscNamesService::DiscNamesService(NamesSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), cache_(settings_.cacheFolder),
      web_(settings_.web) {}

std::optional<DiscNames> DiscNamesService::NamesFor(const DiscIdentity& disc) {
    std::unique_lock lock(mutex_);
    if (const auto known = known_.find(disc.id); known != known_.end()) {
        if (known->second.state == State::Found) {
            return known->second.names;
        }
        return std::nullopt; // being looked up, looked up in vain, or unknown
    }
    Known& known = known_[disc.id];
    if (const std::optional<CacheEntry> cached = cache_.Read(disc)) {
        if (!cached->found) {
            known.state = State::Unknown;
            lock.unlock();
            Announce(disc);
            return std::nullopt;
        }
        known.state = State::Found;
        known.names = cached->names;
        known.cover = cached->coverPath;
        if (known.cover.isEmpty() && !settings_.offline) {
            QMetaObject::invokeMethod(
                this, [this, disc, release = known.names.releaseId] { FetchCover(disc, release); },
                Qt::QueuedConnection);
        }
        return known.names;
    }
    if (settings_.offline) {
        return std::nullopt;
    }
    if (lookups_ >= kMostLookups) {
        // A drive that shows another disc at every refresh gets no queue without end: this disc
        // is asked about again at a later refresh.
        known_.erase(disc.id);
        return std::nullopt;
    }
    ++lookups_;
    QMetaObject::invokeMethod(
        this, [this, disc] { LookUp(disc); }, Qt::QueuedConnection);
    return std::nullopt;
}

QString DiscNamesService::CoverFile(const std::string& discId) const {
    const std::lock_guard lock(mutex_);
    const auto known = known_.find(discId);
    return known == known_.end() ? QString() : known->second.cover;
}

void DiscNamesService::LookUp(const DiscIdentity& disc) {
    web_.AskMusicBrainz(
        LookupPath(disc), kLongestAnswer,
        [this, disc](int status, const QByteArray& body) { Answered(disc, status, body); });
}

void DiscNamesService::Answered(const DiscIdentity& disc, int status, const QByteArray& body) {
    {
        const std::lock_guard lock(mutex_);
        --lookups_;
    }
    std::optional<ReleaseChoice> choice;
    std::optional<std::vector<Release>> releases;
    if (status == kHttpOk) {
        releases = ParseLookupAnswer(body);
        if (!releases) {
            return; // garbage: no names this time, and nothing remembered
        }
        choice = ChooseRelease(*releases, disc);
    } else if (status != kHttpNotFound) {
        return; // no answer, or the service's trouble: no names, silently
    }
    std::unique_lock lock(mutex_);
    Known& known = known_[disc.id];
    if (!choice) {
        known.state = State::Unknown;
        cache_.WriteUnknown(disc);
        lock.unlock();
        Announce(disc);
        return;
    }
    const Release& release = (*releases)[choice->release];
    known.state = State::Found;
    known.names = NamesOf(release, choice->medium, choice->why);
    cache_.WriteFound(disc, known.names);
    lock.unlock();
    emit NamesArrived(QString::fromStdString(disc.id));
    FetchCover(disc, release.id);
}

void DiscNamesService::FetchCover(const DiscIdentity& disc, const std::string& releaseId) {
    if (releaseId.empty()) {
        return;
    }
    const QString path =
        QStringLiteral("/release/%1/front-250").arg(QString::fromStdString(releaseId));
    web_.AskCoverArt(path, kLongestCover, [this, disc](int status, const QByteArray& image) {
        const char* suffix = ImageSuffix(image);
        if (status != kHttpOk || suffix == nullptr) {
            return; // no cover, or something that is none
        }
        std::unique_lock lock(mutex_);
        const QString file = cache_.WriteCover(disc, image, suffix);
        if (file.isEmpty()) {
            return;
        }
        known_[disc.id].cover = file;
        lock.unlock();
        emit CoverArrived(QString::fromStdString(disc.id));
    });
}

void DiscNamesService::Announce(const DiscIdentity& disc) {
    {
        const std::lock_guard lock(mutex_);
        if (!announced_.insert(disc.id).second) {
            return;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, id = QString::fromStdString(disc.id),
         url = QString::fromStdString(disc.submissionUrl)] { emit UnknownDisc(id, url); },
        Qt::QueuedConnection);
}

} // namespace names
