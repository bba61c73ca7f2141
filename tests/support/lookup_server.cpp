// The lookup tests' HTTP server: HTTP/1.1 GET only, one request a connection.
#include "tests/support/lookup_server.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <future>

namespace lookup_test {

namespace {

QByteArray StatusLine(int status) {
    const char* reason = status == 200   ? "OK"
                         : status == 307 ? "Temporary Redirect"
                         : status == 404 ? "Not Found"
                         : status == 503 ? "Service Unavailable"
                                         : "Status";
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\n";
}

void Serve(LookupServer& server, QTcpSocket* socket) {
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0 || socket->property("served").toBool()) {
        return;
    }
    socket->setProperty("served", true);
    const QList<QByteArray> lines = head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request{QString::fromLatin1(requestLine.value(1)), {}};
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("user-agent:")) {
            request.userAgent = line.mid(11).trimmed();
        }
    }
    const QString path = request.target.section(QLatin1Char('?'), 0, 0);
    server.Note(request);
    const Reply reply = server.Take(path);
    if (reply.silent) {
        return; // the connection stays open and nothing comes
    }
    QByteArray answer = StatusLine(reply.status);
    answer += "Content-Type: " + reply.contentType + "\r\n";
    if (!reply.location.isEmpty()) {
        answer += "Location: " + reply.location + "\r\n";
    }
    answer += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    answer += "Connection: close\r\n\r\n";
    socket->write(answer + reply.body);
    socket->disconnectFromHost();
}

} // namespace

LookupServer::LookupServer() {
    std::promise<quint16> listening;
    auto port = listening.get_future();
    thread_.reset(QThread::create([this, &listening] {
        QTcpServer tcp;
        if (!tcp.listen(QHostAddress::LocalHost, 0)) {
            listening.set_value(0);
            return;
        }
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this, &tcp] {
            while (QTcpSocket* socket = tcp.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { Serve(*this, socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        listening.set_value(tcp.serverPort());
        QEventLoop loop; // until the thread is told to quit
        loop.exec();
    }));
    thread_->start();
    port_ = port.get();
}

LookupServer::~LookupServer() {
    thread_->quit();
    thread_->wait();
}

QString LookupServer::Root() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

void LookupServer::On(const QString& prefix, std::vector<Reply> replies) {
    const std::lock_guard lock(mutex_);
    replies_[prefix] = std::move(replies);
}

std::vector<Request> LookupServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

Reply LookupServer::Take(const QString& path) {
    const std::lock_guard lock(mutex_);
    auto best = replies_.end();
    for (auto it = replies_.begin(); it != replies_.end(); ++it) {
        if (path.startsWith(it->first) &&
            (best == replies_.end() || it->first.size() > best->first.size())) {
            best = it;
        }
    }
    if (best == replies_.end() || best->second.empty()) {
        return Reply::Json(404, "{\"error\": \"Not Found\"}");
    }
    Reply reply = best->second.front();
    if (best->second.size() > 1) {
        best->second.erase(best->second.begin());
    }
    return reply;
}

void LookupServer::Note(Request request) {
    const std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
}

QByteArray RecordedAnswer(const char* name) {
    QFile file(QStringLiteral(DISCOLO_REALDATA_DIR "/musicbrainz/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace lookup_test
