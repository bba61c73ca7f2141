// Taking the picture of --screenshot and ending the player afterwards.
#include "app/screenshot.h"

#include "app/player_app.h"
#include "player/player_dlg.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <QTimer>

namespace {

constexpr int kEndingStepMs = 20;

// What the user sees on top: a modal box over the player (the player itself is modal too).
QWidget* ShownWindow(CPlayerDlg& player) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != &player && modal->isVisible()) {
        return modal;
    }
    return &player;
}

// Closes the boxes over the player one at a time, then ends the player. A box's own loop has
// to return before the next step can take effect, so this goes in steps until the player is
// gone; the timer goes with the window.
void EndPlayer(CPlayerDlg& player) {
    auto* timer = new QTimer(&player);
    QObject::connect(timer, &QTimer::timeout, &player, [&player] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != &player) {
            modal->close();
        } else if (player.isVisible()) {
            player.done(QDialog::Accepted);
        } else {
            // The player hid itself before its run began (a window closing from its own
            // start-up): nothing can end that run any more, so every running loop ends.
            QCoreApplication::exit(0);
        }
    });
    timer->start(kEndingStepMs);
}

} // namespace

bool SavePicture(const QImage& picture, const QString& path, std::string& error) {
    if (picture.isNull()) {
        error = "there was no window to take a picture of";
        return false;
    }
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    QImageWriter writer(path,
                        QImageWriter::supportedImageFormats().contains(suffix) ? suffix : "png");
    if (!writer.write(picture)) {
        error = "cannot save the picture to " + path.toStdString() + ": " +
                writer.errorString().toStdString();
        return false;
    }
    return true;
}

void ScheduleScreenshot(CPlayerApp& application, const QString& path, int delayMs,
                        ScreenshotOutcome& outcome) {
    // Stays so when the window closes first: the timer goes with the window and never fires.
    outcome = ScreenshotOutcome{false, "the window closed before the picture was taken"};
    application.beforeRun = [path, delayMs, &outcome](CPlayerDlg& player) {
        QTimer::singleShot(delayMs, &player, [&player, path, &outcome] {
            outcome.error.clear();
            outcome.saved = SavePicture(ShownWindow(player)->grab().toImage(), path, outcome.error);
            EndPlayer(player);
        });
    };
}
