// The first-paint stamp: an application-wide event filter that prints once and then goes away.
#include "app/shown_stamp.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace {

class ShownStamp : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::fprintf(stderr, "shown %lld\n",
                         static_cast<long long>(
                             std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            deleteLater();
            QCoreApplication::instance()->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace

void InstallShownStampWhenAsked(QApplication& application) {
    if (qEnvironmentVariableIsSet("DISCOLO_SHOWN_STAMP")) {
        application.installEventFilter(new ShownStamp(&application));
    }
}
