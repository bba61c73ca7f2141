// The position slider: tick marks and the translation of user actions into trackbar codes.
#include "player/position_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks); // the ticks are drawn here, at arbitrary positions
    setTracking(true);
    connect(this, &QAbstractSlider::actionTriggered, this, &PositionSlider::ReportAction);
}

void PositionSlider::SetRange(int minimum, int maximum, bool redraw) {
    setRange(minimum, maximum);
    if (redraw) {
        update();
    }
}

void PositionSlider::SetRangeMin(int minimum, bool redraw) {
    SetRange(minimum, std::max(minimum, maximum()), redraw);
}

void PositionSlider::SetRangeMax(int maximum, bool redraw) {
    SetRange(std::min(minimum(), maximum), maximum, redraw);
}

void PositionSlider::SetPos(int position) {
    setValue(position);
}

void PositionSlider::SetLineSize(int size) {
    setSingleStep(size);
}

void PositionSlider::SetPageSize(int size) {
    setPageStep(size);
}

bool PositionSlider::SetTic(int position) {
    if (position < minimum() || position > maximum()) {
        return false;
    }
    tics.push_back(position);
    update();
    return true;
}

void PositionSlider::ClearTics(bool redraw) {
    tics.clear();
    if (redraw) {
        update();
    }
}

int PositionSlider::TicX(int position) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = width() - handle.width();
    return QStyle::sliderPositionFromValue(minimum(), maximum(), position, span) +
           handle.width() / 2;
}

void PositionSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const int bottom = height() - 2;
    auto drawTic = [&](int position) {
        if (position >= minimum() && position <= maximum()) {
            const int x = TicX(position);
            painter.drawLine(x, bottom - kTicLength + 1, x, bottom);
        }
    };
    drawTic(minimum());
    drawTic(maximum());
    for (int position : tics) {
        drawTic(position);
    }
}

void PositionSlider::ReportAction(int action) {
    int code = 0;
    switch (action) {
    case SliderSingleStepSub:
        code = kTbLineUp;
        break;
    case SliderSingleStepAdd:
        code = kTbLineDown;
        break;
    case SliderPageStepSub:
        code = kTbPageUp;
        break;
    case SliderPageStepAdd:
        code = kTbPageDown;
        break;
    case SliderToMinimum:
        code = kTbTop;
        break;
    case SliderToMaximum:
        code = kTbBottom;
        break;
    case SliderMove:
        if (!isSliderDown()) {
            return; // a move by the program, not a drag
        }
        code = kTbThumbTrack;
        break;
    default:
        return;
    }
    // The value follows the thumb before anyone hears of the move, so a handler reads the new one.
    setValue(sliderPosition());
    emit scrolled(code);
}

bool PositionSlider::IsNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
    // Up and Left go toward the start, Down and Right toward the end, as on a trackbar.
    SliderAction action = SliderNoAction;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        action = SliderSingleStepSub;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        action = SliderSingleStepAdd;
        break;
    case Qt::Key_PageUp:
        action = SliderPageStepSub;
        break;
    case Qt::Key_PageDown:
        action = SliderPageStepAdd;
        break;
    case Qt::Key_Home:
        action = SliderToMinimum;
        break;
    case Qt::Key_End:
        action = SliderToMaximum;
        break;
    default:
        QSlider::keyPressEvent(event);
        return;
    }
    triggerAction(action);
    event->accept();
}

void PositionSlider::keyReleaseEvent(QKeyEvent* event) {
    if (!IsNavigationKey(event->key())) {
        QSlider::keyReleaseEvent(event);
        return;
    }
    if (!event->isAutoRepeat()) {
        emit scrolled(kTbEndTrack);
    }
    event->accept();
}

void PositionSlider::mousePressEvent(QMouseEvent* event) {
    QSlider::mousePressEvent(event);
    mouseActive = mouseActive || event->isAccepted();
}

void PositionSlider::mouseReleaseEvent(QMouseEvent* event) {
    const bool dragging = isSliderDown();
    QSlider::mouseReleaseEvent(event);
    if (!mouseActive || event->buttons() != Qt::NoButton) {
        return; // the end comes with the last button let go
    }
    mouseActive = false;
    if (dragging) {
        emit scrolled(kTbThumbPosition);
    }
    emit scrolled(kTbEndTrack);
}

void PositionSlider::wheelEvent(QWheelEvent* event) {
    // Each notch is one line; up goes toward the end, as wheels do on every other slider.
    const QPoint delta = event->angleDelta();
    wheelRemainder += delta.y() != 0 ? delta.y() : delta.x();
    constexpr int kNotch = 120;
    bool moved = false;
    while (wheelRemainder >= kNotch) {
        wheelRemainder -= kNotch;
        triggerAction(SliderSingleStepAdd);
        moved = true;
    }
    while (wheelRemainder <= -kNotch) {
        wheelRemainder += kNotch;
        triggerAction(SliderSingleStepSub);
        moved = true;
    }
    if (moved) {
        emit scrolled(kTbEndTrack);
    }
    event->accept();
}
