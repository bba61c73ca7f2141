// The desktop's "open" verb: hands a text that names an existing file or a URL with a scheme to
// the desktop's open service. The service is a seam, so tests see what would have been opened.
#pragma once

#include <QString>

#include <functional>

// Receives the exact text to open; the default asks the desktop (QDesktopServices::openUrl).
using OpenService = std::function<void(const QString& target)>;

// True when the text names an existing file or directory, or is a URL with a scheme of two or
// more characters ("03:25" or "C:" are not URLs).
bool IsOpenable(const QString& text);

// Hands the text to the open service when it is openable; returns whether it did. Nothing else
// is reported: whether the desktop managed to open it stays the desktop's business.
bool OpenWithDesktop(const QString& text);

// Replaces the open service and returns the previous one; an empty service restores the desktop.
OpenService InstallOpenService(OpenService service);
