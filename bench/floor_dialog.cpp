// The floor the whole program is measured against: a bare Qt dialog with the player's two
// window timers, at the same periods, that do nothing. What discolo costs beyond this is its own.
//
//   floor_dialog [--seconds N] [--exit-after-show] [--screenshot FILE]
//
// --seconds N: quit N seconds after start (default 10). --exit-after-show: quit as soon as the
// window has been painted once. --screenshot FILE: after that first paint save a picture of the
// window and quit, as discolo does with the same option. With DISCOLO_SHOWN_STAMP set in the
// environment, the first paint prints "shown <ns>" (CLOCK_REALTIME nanoseconds) on stderr.
#include "player/player_timers.h"

#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Options {
    int seconds = 10;
    bool exitAfterShow = false;
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
        } else if (argument == "--screenshot" && i + 1 < argc) {
            options.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            return false;
        }
    }
    return true;
}

class FloorDialog : public QDialog {
public:
    explicit FloorDialog(const Options& options) : options_(options) {
        setWindowTitle(QStringLiteral("Floor"));
        resize(400, 180);
        startTimer(kPollIntervalMs);
        startTimer(kDiscIntervalMs);
    }

protected:
    void timerEvent(QTimerEvent* /*event*/) override {} // the ticks cost only their delivery

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
    const Options& options_;
    bool shown_ = false;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: floor_dialog [--seconds N] [--exit-after-show] [--screenshot FILE]\n");
        return 2;
    }
    QApplication application(argc, argv);
    FloorDialog dialog(options);
    dialog.show();
    QTimer::singleShot(options.seconds * 1000, &application, &QApplication::quit);
    return QApplication::exec();
}
