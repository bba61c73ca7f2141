// A small HTTP server on 127.0.0.1 (a free port it picks) for the lookup tests: it answers GETs
// by path with the replies a test gave it, and keeps what it was asked. It runs on a thread of
// its own, so that a test may block (waiting for a program it started) while it answers.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QThread;

namespace lookup_test {

struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QByteArray location; // sent as Location (a redirect)
    bool silent = false; // takes the request and never answers

    static Reply Json(int status, QByteArray body) {
        return {status, std::move(body), "application/json", {}, false};
    }
    static Reply Image(QByteArray bytes) { return {200, std::move(bytes), "image/png", {}, false}; }
    static Reply Redirect(QByteArray location) {
        return {307, {}, "text/plain", std::move(location), false};
    }
    static Reply Silent() { return {200, {}, {}, {}, true}; }
};

struct Request {
    QString target; // path and query as sent
    QByteArray userAgent;
};

class LookupServer {
public:
    LookupServer();
    ~LookupServer();
    LookupServer(const LookupServer&) = delete;
    LookupServer& operator=(const LookupServer&) = delete;

    // "http://127.0.0.1:<port>"
    QString Root() const;

    // Replies for paths that start with `prefix` (the longest prefix wins), in turn; the last one
    // is repeated. A path no prefix matches gets a 404.
    void On(const QString& prefix, std::vector<Reply> replies);

    std::vector<Request> Requests() const;

    // Used by the server's thread.
    Reply Take(const QString& path);
    void Note(Request request);

private:
    mutable std::mutex mutex_;
    std::map<QString, std::vector<Reply>> replies_;
    std::vector<Request> requests_;
    std::unique_ptr<QThread> thread_;
    quint16 port_ = 0;
};

// The bytes of a file under tests/data/musicbrainz.
QByteArray RecordedAnswer(const char* name);

} // namespace lookup_test
