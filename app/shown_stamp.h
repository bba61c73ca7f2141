// For measurements: with DISCOLO_SHOWN_STAMP in the environment, the first paint of a window
// prints "shown <ns since the epoch>" on standard error, so that a script can time the start.
#pragma once

class QApplication;

void InstallShownStampWhenAsked(QApplication& application);
