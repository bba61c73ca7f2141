// The window's first paint: what runs right after it (the sound output opens then, so that the
// window shows first), and, for measurements, a stamp: with DISCOLO_SHOWN_STAMP in the
// environment, the first paint of a window prints "shown <ns since the epoch>" on standard error,
// so that a script can time the start.
#pragma once

#include <functional>

class QApplication;

void InstallShownStampWhenAsked(QApplication& application);

// Runs `then` once on the application's thread, right after the first paint of a window (or after
// two seconds, should no window paint by then).
void AfterFirstPaint(QApplication& application, std::function<void()> then);
