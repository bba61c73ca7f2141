// The names cache: one JSON file a disc, written atomically with QSaveFile.
#include "names/names_cache.h"

#include "names/answer_parse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace names {

namespace {

constexpr char kFormat[] = "discolo-disc-names";
constexpr const char* kCoverSuffixes[] = {"jpg", "png"};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QJsonValue& value) {
    return value.toString().toStdString();
}

QJsonObject Head(const DiscIdentity& disc, const QDateTime& now, bool found) {
    QJsonObject entry;
    entry.insert(QStringLiteral("format"), QLatin1String(kFormat));
    entry.insert(QStringLiteral("version"), kCacheVersion);
    entry.insert(QStringLiteral("discid"), Q(disc.id));
    entry.insert(QStringLiteral("toc"), Q(disc.TocParameter()));
    entry.insert(QStringLiteral("looked-up"), now.toUTC().toString(Qt::ISODate));
    entry.insert(QStringLiteral("found"), found);
    return entry;
}

QJsonObject Names(const std::string& title, const std::string& performer) {
    QJsonObject names;
    names.insert(QStringLiteral("title"), Q(title));
    names.insert(QStringLiteral("performer"), Q(performer));
    return names;
}

} // namespace

QString NamesCache::DefaultFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.cache");
    }
    return base + QStringLiteral("/discolo");
}

NamesCache::NamesCache(QString folder) : folder_(std::move(folder)) {}

QString NamesCache::PathOf(const std::string& discId, const char* suffix) const {
    return folder_ + QLatin1Char('/') + Q(discId) + QLatin1Char('.') + QLatin1String(suffix);
}

std::optional<CacheEntry> NamesCache::Read(const DiscIdentity& disc, const QDateTime& now) const {
    if (!IsDiscIdText(disc.id)) {
        return std::nullopt;
    }
    QFile file(PathOf(disc.id, "json"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLongestEntry) {
        return std::nullopt;
    }
    const QJsonObject entry = QJsonDocument::fromJson(file.read(kLongestEntry)).object();
    if (entry.value(QStringLiteral("format")).toString() != QLatin1String(kFormat) ||
        entry.value(QStringLiteral("version")).toInt() != kCacheVersion ||
        S(entry.value(QStringLiteral("discid"))) != disc.id ||
        !entry.value(QStringLiteral("found")).isBool()) {
        return std::nullopt;
    }
    CacheEntry read;
    read.found = entry.value(QStringLiteral("found")).toBool();
    if (!read.found) {
        const QDateTime asked =
            QDateTime::fromString(entry.value(QStringLiteral("looked-up")).toString(), Qt::ISODate);
        if (!asked.isValid() || asked > now || asked.secsTo(now) >= kUnknownKeptSeconds) {
            return std::nullopt;
        }
        return read;
    }
    const QJsonObject album = entry.value(QStringLiteral("album")).toObject();
    read.names.releaseId = S(entry.value(QStringLiteral("release")));
    read.names.match = S(entry.value(QStringLiteral("match")));
    read.names.albumTitle = S(album.value(QStringLiteral("title")));
    read.names.albumPerformer = S(album.value(QStringLiteral("performer")));
    const QJsonArray tracks = entry.value(QStringLiteral("tracks")).toArray();
    for (const QJsonValue& track : tracks) {
        if (read.names.tracks.size() == static_cast<size_t>(kMostTracks)) {
            break;
        }
        const QJsonObject names = track.toObject();
        read.names.tracks.push_back(
            {S(names.value(QStringLiteral("title"))), S(names.value(QStringLiteral("performer")))});
    }
    for (const char* suffix : kCoverSuffixes) {
        if (QFileInfo::exists(PathOf(disc.id, suffix))) {
            read.coverPath = PathOf(disc.id, suffix);
            break;
        }
    }
    // A disc played again is one of the last to go when the folder is trimmed.
    file.close();
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    return read;
}

bool NamesCache::WriteFound(const DiscIdentity& disc, const DiscNames& names,
                            const QDateTime& now) {
    QJsonObject entry = Head(disc, now, true);
    entry.insert(QStringLiteral("release"), Q(names.releaseId));
    entry.insert(QStringLiteral("match"), Q(names.match));
    entry.insert(QStringLiteral("album"), Names(names.albumTitle, names.albumPerformer));
    QJsonArray tracks;
    for (const TrackNames& track : names.tracks) {
        tracks.append(Names(track.title, track.performer));
    }
    entry.insert(QStringLiteral("tracks"), tracks);
    return WriteEntry(disc, QJsonDocument(entry).toJson());
}

bool NamesCache::WriteUnknown(const DiscIdentity& disc, const QDateTime& now) {
    return WriteEntry(disc, QJsonDocument(Head(disc, now, false)).toJson());
}

bool NamesCache::WriteEntry(const DiscIdentity& disc, const QByteArray& json) {
    if (!IsDiscIdText(disc.id) || !QDir().mkpath(folder_)) {
        return false;
    }
    QSaveFile file(PathOf(disc.id, "json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        return false;
    }
    Trim();
    return true;
}

QString NamesCache::WriteCover(const DiscIdentity& disc, const QByteArray& image,
                               const char* suffix) {
    if (!IsDiscIdText(disc.id) || !QDir().mkpath(folder_)) {
        return {};
    }
    QSaveFile file(PathOf(disc.id, suffix));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
        return {};
    }
    for (const char* other : kCoverSuffixes) {
        if (QLatin1String(other) != QLatin1String(suffix)) {
            QFile::remove(PathOf(disc.id, other)); // a cover of another kind from before
        }
    }
    Trim();
    return PathOf(disc.id, suffix);
}

void NamesCache::Trim() const {
    // Entries with their covers, the most recently used first.
    QFileInfoList entries =
        QDir(folder_).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Time);
    qint64 bytes = 0;
    int kept = 0;
    for (const QFileInfo& entry : entries) {
        qint64 size = entry.size();
        QStringList covers;
        for (const char* suffix : kCoverSuffixes) {
            const QFileInfo cover(PathOf(entry.completeBaseName().toStdString(), suffix));
            if (cover.exists()) {
                size += cover.size();
                covers << cover.filePath();
            }
        }
        if (kept < kMostEntries && bytes + size <= kMostBytes) {
            ++kept;
            bytes += size;
            continue;
        }
        QFile::remove(entry.filePath());
        for (const QString& cover : covers) {
            QFile::remove(cover);
        }
    }
}

} // namespace names
