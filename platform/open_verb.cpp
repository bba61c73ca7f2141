// The "open" verb: a file or a URL goes to the desktop; any other text opens nothing.
#include "platform/open_verb.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <utility>

namespace {

QUrl UrlFor(const QString& text) {
    const QFileInfo file(text);
    if (file.exists()) {
        return QUrl::fromLocalFile(file.absoluteFilePath());
    }
    return QUrl(text, QUrl::StrictMode);
}

void OpenOnDesktop(const QString& text) {
    QDesktopServices::openUrl(UrlFor(text));
}

OpenService& CurrentService() {
    static OpenService service = OpenOnDesktop;
    return service;
}

} // namespace

bool IsOpenable(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    if (QFileInfo::exists(text)) {
        return true;
    }
    // A one-letter scheme is a drive letter, and text with blanks is a caption, not an address.
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() >= 2 && !text.contains(QLatin1Char(' '));
}

bool OpenWithDesktop(const QString& text) {
    if (!IsOpenable(text)) {
        return false;
    }
    CurrentService()(text);
    return true;
}

OpenService InstallOpenService(OpenService service) {
    OpenService previous = std::exchange(CurrentService(), std::move(service));
    if (!CurrentService()) {
        CurrentService() = OpenOnDesktop;
    }
    return previous;
}
