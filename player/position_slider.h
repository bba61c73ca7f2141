// The position slider: a horizontal slider that draws tick marks at any positions it is given
// and reports what the user does as trackbar notification codes, after it has moved.
#pragma once

#include "player/trackbar_codes.h"

#include <QSlider>

#include <vector>

class PositionSlider : public QSlider {
    Q_OBJECT

public:
    explicit PositionSlider(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum, bool redraw = false);
    void SetRangeMin(int minimum, bool redraw = false);
    void SetRangeMax(int maximum, bool redraw = false);
    int GetRangeMin() const { return minimum(); }
    int GetRangeMax() const { return maximum(); }
    void SetPos(int position); // the program's move: reports nothing
    int GetPos() const { return value(); }
    void SetLineSize(int size);
    int GetLineSize() const { return singleStep(); }
    void SetPageSize(int size);
    int GetPageSize() const { return pageStep(); }

    // A tick mark at a position inside the range; false (and nothing set) outside it.
    bool SetTic(int position);
    void ClearTics(bool redraw = false);
    // The ticks set with SetTic; the first and last positions always carry one as well.
    const std::vector<int>& GetTics() const { return tics; }
    // Where the tick of a position is drawn, in the slider's pixels.
    int TicX(int position) const;
    static constexpr int kTicLength = 4;

signals:
    // One trackbar code per user action; the slider's value is already the new position.
    void scrolled(int code);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void ReportAction(int action);
    static bool IsNavigationKey(int key);

    std::vector<int> tics;
    bool mouseActive = false;
    int wheelRemainder = 0;
};
