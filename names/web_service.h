// The two web services a disc's names come from, and their rules, in one place: MusicBrainz (the
// names) and the Cover Art Archive (the front cover). Every request carries the User-Agent
// "Discolo/<version> ( <project URL> )"; MusicBrainz gets at most one request a second, a 503 is
// answered by waiting (as long as Retry-After says, within limits) and asking once more; every
// request ends after 10 s, and an answer larger than its limit is dropped. Nothing waits on the
// network: requests run on the event loop of the thread the service lives on.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace names {

inline constexpr const char* kMusicBrainzRoot = "https://musicbrainz.org/ws/2";
inline constexpr const char* kCoverArtRoot = "https://coverartarchive.org";
inline constexpr const char* kProjectUrl = "https://discolo.org";

struct WebSettings {
    QString musicBrainzRoot = QString::fromLatin1(kMusicBrainzRoot);
    QString coverArtRoot = QString::fromLatin1(kCoverArtRoot);
    QByteArray userAgent; // "Discolo/<version> ( <project URL> )"
    int timeoutMs = 10000;
    int spacingMs = 1000;   // between two MusicBrainz requests
    int retryWaitMs = 2000; // after a 503 without Retry-After
    int longestRetryWaitMs = 10000;

    // The roots from DISCOLO_MUSICBRAINZ_URL and DISCOLO_COVERART_URL when set (a mirror, or a
    // test's server), else the services' own.
    static WebSettings FromEnvironment(const QString& version);
};

class WebService : public QObject {
    Q_OBJECT

public:
    // The HTTP status and the body of an answer; status 0 when none came (no connection, the
    // time-out, an answer over its limit).
    using Done = std::function<void(int status, const QByteArray& body)>;

    explicit WebService(WebSettings settings, QObject* parent = nullptr);
    ~WebService() override;

    // GET <MusicBrainz root><path>, in turn with the other MusicBrainz requests.
    void AskMusicBrainz(const QString& path, qint64 longest, Done done);
    // GET <Cover Art root><path>, following redirects.
    void AskCoverArt(const QString& path, qint64 longest, Done done);

    // Requests sent so far (each try counts).
    int Sent() const { return sent_; }

private:
    struct Asked {
        QString url;
        qint64 longest = 0;
        Done done;
        bool retried = false;
    };

    void Send(Asked asked, bool rateLimited);
    void SendNextMusicBrainz();

    WebSettings settings_;
    QNetworkAccessManager* network_;
    std::deque<Asked> waiting_; // MusicBrainz requests not sent yet
    bool musicBrainzBusy_ = false;
    QElapsedTimer lastMusicBrainz_;
    int sent_ = 0;
};

} // namespace names
