// The first paint: an application-wide event filter that acts once and then goes away.
#include "app/shown_stamp.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <utility>

namespace {

constexpr int kLongestWaitMs = 2000;

class FirstPaint : public QObject {
public:
    FirstPaint(QApplication& application, std::function<void()> atPaint,
               std::function<void()> afterPaint)
        : QObject(&application), atPaint_(std::move(atPaint)), afterPaint_(std::move(afterPaint)) {
        application.installEventFilter(this);
        if (afterPaint_) {
            QTimer::singleShot(kLongestWaitMs, this, [this] { Done(); });
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            if (atPaint_) {
                atPaint_();
            }
            // Posted: it runs once this paint is done and shown.
            QTimer::singleShot(0, this, [this] { Done(); });
            QCoreApplication::instance()->removeEventFilter(this);
        }
        return false;
    }

private:
    void Done() {
        QCoreApplication::instance()->removeEventFilter(this);
        if (std::function<void()> then = std::exchange(afterPaint_, {})) {
            then();
        }
        deleteLater();
    }

    std::function<void()> atPaint_;
    std::function<void()> afterPaint_;
};

void PrintShown() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::fprintf(
        stderr, "shown %lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

} // namespace

void InstallShownStampWhenAsked(QApplication& application) {
    if (qEnvironmentVariableIsSet("DISCOLO_SHOWN_STAMP")) {
        new FirstPaint(application, &PrintShown, {});
    }
}

void AfterFirstPaint(QApplication& application, std::function<void()> then) {
    new FirstPaint(application, {}, std::move(then));
}
