// The floor the whole program is measured against: a bare Qt dialog with the player's two window
// timers, at the same periods, and the player's two time readouts (the project's own label
// control, in the player's font, colours, frame, size and place), which the position timer moves
// on every second, as the player's do while a disc plays. What discolo costs beyond this is its
// own.
//
//   floor_dialog [--seconds N] [--exit-after-show] [--screenshot FILE] [--bare]
//
// --seconds N: quit N seconds after start (default 10). --exit-after-show: quit as soon as the
// window has been painted once. --screenshot FILE: after that first paint save a picture of the
// window and quit, as discolo does with the same option. --bare: the earlier floor, a 400 x 180
// dialog without readouts whose timers do nothing, so nothing is drawn after the first paint.
// With DISCOLO_SHOWN_STAMP set in the environment, the first paint prints "shown <ns>"
// (CLOCK_REALTIME nanoseconds) on stderr.
#include "app/text_label.h"
#include "player/dialog_template.h"
#include "player/player_template.h"
#include "player/player_timers.h"
#include "player/readouts.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Options {
    int seconds = 10;
    bool exitAfterShow = false;
    bool bare = false;
    QString screenshot;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--seconds" && i + 1 < argc) {
            char* end = nullptr;
            const long seconds = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || seconds < 0 || seconds > 86400) {
                return false;
            }
            options.seconds = static_cast<int>(seconds);
        } else if (argument == "--exit-after-show") {
            options.exitAfterShow = true;
        } else if (argument == "--bare") {
            options.bare = true;
        } else if (argument == "--screenshot" && i + 1 < argc) {
            options.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            return false;
        }
    }
    return true;
}

const ControlTemplate& TemplateOf(int id) {
    return *std::find_if(kPlayerControls.begin(), kPlayerControls.end(),
                         [id](const ControlTemplate& control) { return control.id == id; });
}

QString TimeText(qint64 seconds) {
    return QString::asprintf("%02lld:%02lld", seconds / 60 % 100, seconds % 60);
}

class FloorDialog : public QDialog {
public:
    explicit FloorDialog(const Options& options) : options_(options) {
        setWindowTitle(QStringLiteral("Floor"));
        if (options.bare) {
            resize(400, 180);
        } else {
            AddReadouts();
        }
        pollTimer_ = startTimer(kPollIntervalMs);
        startTimer(kDiscIntervalMs);
        clock_.start();
    }

protected:
    void timerEvent(QTimerEvent* event) override {
        // The disc tick costs only its delivery; the position tick shows the time as the
        // player's poll does, which changes both texts once a second.
        if (event->timerId() != pollTimer_ || options_.bare) {
            return;
        }
        const qint64 seconds = clock_.elapsed() / 1000;
        for (CTextLabel* readout : {trackReadout_, discReadout_}) {
            const QString text = TimeText(readout == trackReadout_ ? seconds : seconds + 83);
            if (readout->text() != text) {
                readout->setText(text);
            }
        }
    }

    void paintEvent(QPaintEvent* event) override {
        QDialog::paintEvent(event);
        if (shown_) {
            return;
        }
        shown_ = true;
        if (qEnvironmentVariableIsSet("DISCOLO_SHOWN_STAMP")) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::fprintf(stderr, "shown %lld\n",
                         static_cast<long long>(
                             std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        }
        if (!options_.screenshot.isEmpty() || options_.exitAfterShow) {
            // After this paint has reached the window.
            QTimer::singleShot(0, this, [this] {
                if (!options_.screenshot.isEmpty() && !grab().save(options_.screenshot)) {
                    std::fprintf(stderr, "floor_dialog: cannot write %s\n",
                                 qPrintable(options_.screenshot));
                    QApplication::exit(1);
                    return;
                }
                QApplication::quit();
            });
        }
    }

private:
    // The player's window size and its two readouts, placed and styled as the player does.
    void AddReadouts() {
        setFont(DialogTemplateFont(kPlayerDialog.fontPoints));
        const DialogBaseUnits units = BaseUnitsOf(font());
        setFixedSize(
            MapDialogRect({0, 0, kPlayerDialog.width, kPlayerDialog.height}, units).size());
        for (const int id : {kIdTrackTimeLabel, kIdDiscTimeLabel}) {
            const ControlTemplate& control = TemplateOf(id);
            auto* readout = new CTextLabel(TimeText(0), this);
            readout->setGeometry(
                MapDialogRect({control.x, control.y, control.width, control.height}, units));
            readout->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            readout->setWordWrap(true);
            readout->SetForeColor(FromColorRef(kReadoutForeground));
            readout->SetBackColor(FromColorRef(kReadoutBackground));
            readout->SetFontHeight(kReadoutFontHeight);
            readout->SetStaticEdge(1);
            (id == kIdTrackTimeLabel ? trackReadout_ : discReadout_) = readout;
        }
    }

    const Options& options_;
    bool shown_ = false;
    int pollTimer_ = 0;
    QElapsedTimer clock_;
    CTextLabel* trackReadout_ = nullptr;
    CTextLabel* discReadout_ = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: floor_dialog [--seconds N] [--exit-after-show] "
                             "[--screenshot FILE] [--bare]\n");
        return 2;
    }
    QApplication application(argc, argv);
    FloorDialog dialog(options);
    dialog.show();
    QTimer::singleShot(options.seconds * 1000, &application, &QApplication::quit);
    return QApplication::exec();
}
