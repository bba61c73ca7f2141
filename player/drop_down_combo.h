// A selector that says when its list is about to drop down, before the list shows.
#pragma once

#include <QComboBox>

class DropDownCombo : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override;

signals:
    void droppedDown();
};
