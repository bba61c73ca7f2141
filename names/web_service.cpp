// Requests to the web services with their rules, on Qt Network.
#include "names/web_service.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace names {

namespace {

QString Root(const char* variable, const char* otherwise) {
    QString root = qEnvironmentVariable(variable);
    if (root.isEmpty()) {
        root = QString::fromLatin1(otherwise);
    }
    while (root.endsWith(QLatin1Char('/'))) {
        root.chop(1);
    }
    return root;
}

} // namespace

WebSettings WebSettings::FromEnvironment(const QString& version) {
    WebSettings settings;
    settings.musicBrainzRoot = Root("DISCOLO_MUSICBRAINZ_URL", kMusicBrainzRoot);
    settings.coverArtRoot = Root("DISCOLO_COVERART_URL", kCoverArtRoot);
    settings.userAgent =
        QStringLiteral("Discolo/%1 ( %2 )").arg(version, QLatin1String(kProjectUrl)).toLatin1();
    return settings;
}

WebService::WebService(WebSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), network_(new QNetworkAccessManager(this)) {}

WebService::~WebService() {
    // Replies still running end without calling back into a service that is gone.
    for (QNetworkReply* reply : network_->findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
        reply->abort();
    }
}

void WebService::AskMusicBrainz(const QString& path, qint64 longest, Done done) {
    waiting_.push_back({settings_.musicBrainzRoot + path, longest, std::move(done), false});
    SendNextMusicBrainz();
}

void WebService::AskCoverArt(const QString& path, qint64 longest, Done done) {
    Send({settings_.coverArtRoot + path, longest, std::move(done), false}, false);
}

void WebService::SendNextMusicBrainz() {
    if (musicBrainzBusy_ || waiting_.empty()) {
        return;
    }
    const qint64 wait =
        lastMusicBrainz_.isValid() ? settings_.spacingMs - lastMusicBrainz_.elapsed() : 0;
    musicBrainzBusy_ = true;
    if (wait > 0) {
        QTimer::singleShot(static_cast<int>(wait), this, [this] {
            musicBrainzBusy_ = false;
            SendNextMusicBrainz();
        });
        return;
    }
    Asked asked = std::move(waiting_.front());
    waiting_.pop_front();
    lastMusicBrainz_.start();
    Send(std::move(asked), true);
}

void WebService::Send(Asked asked, bool rateLimited) {
    QNetworkRequest request{QUrl(asked.url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, settings_.userAgent);
    request.setRawHeader("Accept", rateLimited ? "application/json" : "image/jpeg, image/png");
    // The same for everyone, rather than the desktop's languages: names are not translated.
    request.setRawHeader("Accept-Language", "en");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = network_->get(request);
    ++sent_;

    struct Progress {
        QByteArray body;
        bool cutOff = false; // ended by the time-out or the size limit
    };
    auto progress = std::make_shared<Progress>();
    const qint64 longest = asked.longest;
    auto cutOff = [reply, progress] {
        progress->cutOff = true;
        reply->abort();
    };
    connect(reply, &QNetworkReply::readyRead, this, [reply, progress, longest, cutOff] {
        progress->body += reply->read(longest + 1 - progress->body.size());
        if (progress->body.size() > longest) {
            cutOff();
        }
    });
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, cutOff);
    deadline->start(settings_.timeoutMs);

    connect(reply, &QNetworkReply::finished, this,
            [this, reply, progress, rateLimited, asked = std::move(asked)]() mutable {
                reply->deleteLater();
                if (!progress->cutOff) {
                    progress->body += reply->read(asked.longest + 1 - progress->body.size());
                    progress->cutOff = progress->body.size() > asked.longest;
                }
                const int status =
                    progress->cutOff
                        ? 0
                        : reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                if (status == 503 && rateLimited && !asked.retried) {
                    bool number = false;
                    const int seconds = reply->rawHeader("Retry-After").trimmed().toInt(&number);
                    const int wait = number ? std::clamp(seconds * 1000, settings_.spacingMs,
                                                         settings_.longestRetryWaitMs)
                                            : settings_.retryWaitMs;
                    asked.retried = true;
                    waiting_.push_front(std::move(asked));
                    QTimer::singleShot(wait, this, [this] {
                        musicBrainzBusy_ = false;
                        SendNextMusicBrainz();
                    });
                    return;
                }
                if (rateLimited) {
                    musicBrainzBusy_ = false;
                }
                const Done done = std::move(asked.done);
                done(status, status == 0 ? QByteArray() : progress->body);
                if (rateLimited) {
                    SendNextMusicBrainz();
                }
            });
}

} // namespace names
