// Where the disc-names layer's names come from in the program: the cache first, then (unless
// offline) a lookup in MusicBrainz by disc ID and table of contents, and the front cover after
// the names. The layer asks from any thread and never waits: a disc not known yet is looked up
// on the service's thread, and NamesArrived tells when its names are there.
#pragma once

#include "names/disc_id.h"
#include "names/name_source.h"
#include "names/names_cache.h"
#include "names/web_service.h"

#include <QObject>
#include <QString>

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace names {

inline constexpr qint64 kLongestCover = 1024 * 1024; // a front-250 is some 20-60 kB
inline constexpr int kMostLookups = 8;               // asked for and not answered yet

struct NamesSettings {
    bool offline = false; // no request at all; the cache still answers
    QString cacheFolder = NamesCache::DefaultFolder();
    WebSettings web;
};

class DiscNamesService : public QObject, public NameSource {
    Q_OBJECT

public:
    explicit DiscNamesService(NamesSettings settings, QObject* parent = nullptr);

    std::optional<DiscNames> NamesFor(const DiscIdentity& disc) override;

    // The file of the disc's front cover, or "" when none has come.
    QString CoverFile(const std::string& discId) const;

    // Requests sent so far, retries and covers included.
    int RequestsSent() const { return web_.Sent(); }

signals:
    // The names of a disc that had none have come; a window showing that disc rebuilds.
    void NamesArrived(const QString& discId);
    void CoverArrived(const QString& discId);
    // MusicBrainz does not know the disc; once per disc, with the URL where it can be added.
    void UnknownDisc(const QString& discId, const QString& submissionUrl);

private:
    enum class State { Asked, Found, Unknown };
    struct Known {
        State state = State::Asked;
        DiscNames names;
        QString cover;
    };

    void LookUp(const DiscIdentity& disc);
    void Answered(const DiscIdentity& disc, int status, const QByteArray& body);
    void FetchCover(const DiscIdentity& disc, const std::string& releaseId);
    void Announce(const DiscIdentity& disc); // UnknownDisc, queued, once per disc

    const NamesSettings settings_;
    NamesCache cache_;
    WebService web_;
    mutable std::mutex mutex_; // guards known_, announced_ and lookups_
    std::map<std::string, Known> known_;
    std::set<std::string> announced_;
    int lookups_ = 0;
};

} // namespace names
