// The About box: built from its table, placed in dialog units, centred over its owner.
#include "app/about_dlg.h"

#include "app/about_template.h"
#include "player/player_dlg.h"
#include "resources/resources.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>

namespace {

QWidget* CreateStatic(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(parent);
    if ((control.style & kStaticTypeMask) == kStaticIcon) {
        LoadDiscoloResources();
        label->setPixmap(ResourcePicture(IconResourcePath(kIconId)));
        return label;
    }
    label->setTextFormat(Qt::PlainText); // the texts are shown as they stand, '&' included
    label->setText(QString::fromLatin1(control.text));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QWidget* CreateButton(const ControlTemplate& control, QDialog* dialog) {
    auto* button = new QPushButton(QString::fromLatin1(control.text), dialog);
    if ((control.style & kButtonTypeMask) == kButtonDefPushButton) {
        button->setDefault(true); // Enter anywhere in the box presses it
    }
    if (control.id == kIdOk) {
        QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
    }
    return button;
}

const ControlTemplate* FindControl(const QString& objectName) {
    for (const ControlTemplate& control : kAboutControls) {
        if (objectName == QLatin1String(control.objectName)) {
            return &control;
        }
    }
    return nullptr;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromLatin1(kAboutDialog.caption));
    setFont(DialogFont());
    CreateControls();
    LayOut();
}

CAboutDlg::~CAboutDlg() = default;

int CAboutDlg::DoModal() {
    return exec();
}

QFont CAboutDlg::DialogFont() {
    return DialogTemplateFont(kAboutDialog.fontPoints);
}

DialogBaseUnits CAboutDlg::BaseUnits() const {
    return BaseUnitsOf(font());
}

void CAboutDlg::CreateControls() {
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : kAboutControls) {
        QWidget* widget = control.controlClass == ControlClass::Button
                              ? CreateButton(control, this)
                              : CreateStatic(control, this);
        widget->setObjectName(QString::fromLatin1(control.objectName));
        widget->setProperty("controlId", control.id);
        ApplyTabStop(widget, control.style, previousTabStop);
    }
}

void CAboutDlg::LayOut() {
    const DialogBaseUnits units = BaseUnits();
    setFixedSize(
        MapDialogRect({kAboutDialog.x, kAboutDialog.y, kAboutDialog.width, kAboutDialog.height},
                      units)
            .size());
    for (QWidget* widget : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const ControlTemplate* control = FindControl(widget->objectName());
        if (control == nullptr) {
            continue;
        }
        QRect geometry =
            MapDialogRect({control->x, control->y, control->width, control->height}, units);
        if ((control->style & kStaticTypeMask) == kStaticIcon &&
            control->controlClass == ControlClass::Static) {
            // An icon static takes the size of its icon, whatever the template says.
            const QPixmap icon = static_cast<QLabel*>(widget)->pixmap();
            if (!icon.isNull()) {
                geometry.setSize(icon.deviceIndependentSize().toSize());
            }
        }
        widget->setGeometry(geometry);
    }
}

void CAboutDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        LayOut(); // dialog units follow the font
    }
    QDialog::changeEvent(event);
}

void CAboutDlg::showEvent(QShowEvent* event) {
    if (!centred && !event->spontaneous()) {
        centred = true;
        CentreOverOwner();
    }
    QDialog::showEvent(event);
}

// Centred over the owner's frame, moved back into the working area of the owner's screen where
// it would stick out; with no owner, centred in the screen's working area.
void CAboutDlg::CentreOverOwner() {
    QWidget* owner =
        parentWidget() != nullptr ? parentWidget()->window() : QApplication::activeWindow();
    if (owner == this) {
        owner = nullptr;
    }
    const QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QPoint centre = owner != nullptr ? owner->frameGeometry().center() : area.center();
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(frame);
    int x = centre.x() - outer.width() / 2;
    int y = centre.y() - outer.height() / 2;
    x = std::max(area.left(), std::min(x, area.right() + 1 - outer.width()));
    y = std::max(area.top(), std::min(y, area.bottom() + 1 - outer.height()));
    move(x, y);
}
