// The drop-down notice comes first, so its handler runs before the list is on the screen.
#include "player/drop_down_combo.h"

void DropDownCombo::showPopup() {
    emit droppedDown();
    QComboBox::showPopup();
}
