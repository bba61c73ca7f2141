// What lookups found, kept per disc under $XDG_CACHE_HOME/discolo/ (~/.cache/discolo/ without
// it), so that a disc seen before has its names at once, without a request.
//
// One file a disc, <disc ID>.json, UTF-8 JSON:
//   {"format": "discolo-disc-names", "version": 1, "discid": "<the disc ID>",
//    "toc": "<first+last+lead-out+offsets>", "looked-up": "<UTC, ISO 8601>", "found": true,
//    "release": "<MBID>", "match": "<why this release>",
//    "album": {"title": "...", "performer": "..."},
//    "tracks": [{"title": "...", "performer": "..."}, ...]}      (performer "": the album's)
// A disc MusicBrainz does not know: the same head with "found": false and nothing else; it is
// asked for again a day after. The front cover is <disc ID>.jpg or <disc ID>.png beside it.
// Texts are kept in full Unicode: a change of how the window's texts are made needs no request.
//
// A file that is not valid JSON, is of another format or version, names another disc or is
// larger than any entry can be is a miss, and the next entry for the disc replaces it. Every
// file is written whole to a temporary file and then renamed over the old one. The folder holds
// at most kMostEntries discs and kMostBytes in all; beyond that the entries used longest ago go.
#pragma once

#include "names/release_choice.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace names {

inline constexpr int kCacheVersion = 1;
inline constexpr int kMostEntries = 2000;
inline constexpr qint64 kMostBytes = 64 * 1024 * 1024;
inline constexpr qint64 kLongestEntry = 1024 * 1024;
inline constexpr qint64 kUnknownKeptSeconds = 24 * 60 * 60;

struct CacheEntry {
    bool found = false;
    DiscNames names;   // when found
    QString coverPath; // the cover's file, when there is one
};

class NamesCache {
public:
    // The folder of the process's user: $XDG_CACHE_HOME/discolo, or $HOME/.cache/discolo.
    static QString DefaultFolder();

    explicit NamesCache(QString folder);

    const QString& Folder() const { return folder_; }

    // The entry for the disc, or nothing when there is none to trust: no file, a damaged one, or
    // an unknown disc looked up more than a day before `now`.
    std::optional<CacheEntry> Read(const DiscIdentity& disc,
                                   const QDateTime& now = QDateTime::currentDateTimeUtc()) const;

    bool WriteFound(const DiscIdentity& disc, const DiscNames& names,
                    const QDateTime& now = QDateTime::currentDateTimeUtc());
    bool WriteUnknown(const DiscIdentity& disc,
                      const QDateTime& now = QDateTime::currentDateTimeUtc());
    // Keeps an image beside the disc's names, as <disc ID>.jpg or .png (`suffix`): the file's
    // path, or "" when it could not be written.
    QString WriteCover(const DiscIdentity& disc, const QByteArray& image, const char* suffix);

private:
    QString PathOf(const std::string& discId, const char* suffix) const;
    bool WriteEntry(const DiscIdentity& disc, const QByteArray& json);
    void Trim() const;

    QString folder_;
};

} // namespace names
