// The player window's layout, bindings and message map. The handlers' bodies live in
// player_behaviour.cpp.
#include "player/player_dlg.h"

#include "app/text_label.h"
#include "player/desktop_id.h"
#include "player/drop_down_combo.h"
#include "player/player_template.h"
#include "player/position_slider.h"
#include "player/static_text.h"
#include "player/text_field_accessible.h"
#include "resources/resources.h"

#include <QAction>
#include <QBitmap>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// The statics that the window binds to label objects; every other static is a plain text.
bool IsBoundLabel(int id) {
    switch (id) {
    case kIdTrackTimeLabel:
    case kIdDiscTimeLabel:
    case kIdTrackPositionCaption:
    case kIdDiscPositionCaption:
    case kIdTitleCaption:
    case kIdTrackCaption:
    case kIdArtistCaption:
        return true;
    default:
        return false;
    }
}

QWidget* CreateButton(const ControlTemplate& control, QWidget* parent) {
    auto* button = new QPushButton(parent);
    const bool pushLikeCheckBox = (control.style & kButtonTypeMask) == kButtonAutoCheckBox &&
                                  (control.style & kButtonPushLike) != 0;
    if (pushLikeCheckBox) {
        button->setCheckable(true);
        button->setAutoDefault(false); // Enter on a check box is the window's OK, not a click
    }
    // A bitmap button shows its picture and never its template caption.
    if ((control.style & kButtonBitmap) == 0) {
        button->setText(QString::fromLatin1(control.text));
    }
    return button;
}

QWidget* CreateStatic(const ControlTemplate& control, QWidget* parent) {
    const QString text = QString::fromLatin1(control.text);
    QLabel* label = nullptr;
    if (IsBoundLabel(control.id)) {
        auto* textLabel = new CTextLabel(text, parent);
        if ((control.style & kStaticNotify) != 0) {
            textLabel->SetOpenOnClick(1);
        }
        label = textLabel;
    } else {
        label = new StaticText(text, parent); // an album title "Rock && Roll" shows "Rock & Roll"
    }
    // Static texts sit at the top of their box and wrap at word boundaries.
    Qt::Alignment horizontal = Qt::AlignLeft;
    switch (control.style & kStaticTypeMask) {
    case kStaticCenter:
        horizontal = Qt::AlignHCenter;
        break;
    case kStaticRight:
        horizontal = Qt::AlignRight;
        break;
    default:
        break;
    }
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(true);
    if ((control.exStyle & kExClientEdge) != 0) {
        label->setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // two-pixel sunken edge
    } else if ((control.style & kStaticSunken) != 0) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    return label;
}

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent) {
    switch (control.controlClass) {
    case ControlClass::Button:
        return CreateButton(control, parent);
    case ControlClass::ComboBox:
        return new DropDownCombo(parent); // keeps entries as added
    case ControlClass::Static:
        return CreateStatic(control, parent);
    case ControlClass::Trackbar:
        return new PositionSlider(parent);
    }
    return nullptr;
}

const QColor kFaceBackground(192, 192, 192);

// What a screen reader calls each control. The picture buttons show the same words as their
// tooltip; the text fields with a caption are named by it and read their text as the value.
struct ControlName {
    int id;
    const char* name;
    bool toolTip;
};
// clang-format off
constexpr std::array<ControlName, 17> kControlNames{{
    {kIdPlay,             "Play",                 true},
    {kIdPause,            "Pause or resume",      true},
    {kIdStop,             "Stop",                 true},
    {kIdPrevious,         "Previous track",       true},
    {kIdFastBackward,     "Back 6 seconds",       true},
    {kIdFastForward,      "Forward 6 seconds",    true},
    {kIdNext,             "Next track",           true},
    {kIdEject,            "Eject or load",        true},
    {kIdDriveCombo,       "Drive",                false},
    {kIdTrackCombo,       "Track",                false},
    {kIdTitleField,       "Title",                false},
    {kIdArtistField,      "Artist",               false},
    {kIdTrackTimeLabel,   "Track position",       false},
    {kIdDiscTimeLabel,    "Disc position",        false},
    {kIdTrackTimeMode,    "Track time remaining", false}, // checked: the readout counts down
    {kIdDiscTimeMode,     "Disc time remaining",  false},
    {kIdPositionSlider,   "Position on the disc", false},
}};
// clang-format on

template <typename Widget> Widget* Bound(const std::map<int, QWidget*>& controls, int id) {
    return static_cast<Widget*>(controls.at(id));
}

} // namespace

CPlayerDlg::CPlayerDlg(PlayerState& playerState, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      state(playerState) {
    LoadDiscoloResources();
    // The icon theme's copy when Discolo is installed (sharp at every size the desktop asks
    // for), else the built-in 32 x 32 icon.
    icon = QIcon::fromTheme(QString::fromLatin1(kDesktopId),
                            QIcon(QPixmap(IconResourcePath(kIconId))));
    setWindowIcon(icon); // the window manager draws it for the minimized window and the taskbar
    setWindowTitle(QString::fromLatin1(kPlayerDialog.caption));
    setFont(DialogFont());
    InstallTextFieldAccessibility();
    CreateControls();
    BindControls();
    NameControlsForScreenReaders();
    aboutAction = new QAction(QString::fromLatin1(kAboutMenuText), this);
    aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
    ConnectMessageMap();
    showError = [this](const QString& caption, const QString& text) {
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText); // the stop icon, an OK button and the text as it stands
        box.exec();
    };
}

CPlayerDlg::~CPlayerDlg() = default;

QFont CPlayerDlg::DialogFont() {
    return DialogTemplateFont(kPlayerDialog.fontPoints);
}

DialogBaseUnits CPlayerDlg::BaseUnits() const {
    return BaseUnitsOf(font());
}

QWidget* CPlayerDlg::Control(int id) const {
    const auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

void CPlayerDlg::CreateControls() {
    const DialogBaseUnits units = BaseUnits();
    const QRect frame = MapDialogRect(
        {kPlayerDialog.x, kPlayerDialog.y, kPlayerDialog.width, kPlayerDialog.height}, units);
    setFixedSize(frame.size());

    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : kPlayerControls) {
        QWidget* widget = CreateControl(control, this);
        widget->setObjectName(QString::fromLatin1(control.objectName));
        widget->setProperty("controlId", control.id);
        QRect geometry =
            MapDialogRect({control.x, control.y, control.width, control.height}, units);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // The template's height is that of the dropped list; the closed box is one line.
            const int closedHeight = combo->sizeHint().height();
            const int listHeight = geometry.height() - closedHeight;
            combo->setMaxVisibleItems(
                std::max(1, listHeight / std::max(1, combo->fontMetrics().height())));
            geometry.setHeight(closedHeight);
        }
        widget->setGeometry(geometry);
        ApplyTabStop(widget, control.style, previousTabStop);
        controls.emplace(control.id, widget);
    }
    // The first control of the template is on top of those after it.
    for (auto control = kPlayerControls.rbegin(); control != kPlayerControls.rend(); ++control) {
        controls.at(control->id)->raise();
    }
}

void CPlayerDlg::NameControlsForScreenReaders() {
    for (const ControlName& control : kControlNames) {
        QWidget* widget = controls.at(control.id);
        widget->setAccessibleName(QString::fromLatin1(control.name));
        if (control.toolTip) {
            widget->setToolTip(QString::fromLatin1(control.name));
        }
    }
    // A caption labels the control beside it; screen readers on Linux name a selector by the
    // label that labels it, and read its current entry as its value.
    const std::array<std::pair<int, int>, 5> captions{{
        {kIdTitleCaption, kIdTitleField},
        {kIdTrackCaption, kIdTrackCombo},
        {kIdArtistCaption, kIdArtistField},
        {kIdTrackPositionCaption, kIdTrackTimeLabel},
        {kIdDiscPositionCaption, kIdDiscTimeLabel},
    }};
    for (const auto& [caption, control] : captions) {
        static_cast<QLabel*>(controls.at(caption))->setBuddy(controls.at(control));
    }
}

void CPlayerDlg::BindControls() {
    positionSlider = Bound<PositionSlider>(controls, kIdPositionSlider);
    trackCaption = Bound<CTextLabel>(controls, kIdTrackCaption);
    titleCaption = Bound<CTextLabel>(controls, kIdTitleCaption);
    artistCaption = Bound<CTextLabel>(controls, kIdArtistCaption);
    discPositionCaption = Bound<CTextLabel>(controls, kIdDiscPositionCaption);
    trackPositionCaption = Bound<CTextLabel>(controls, kIdTrackPositionCaption);
    trackTimeModeButton = Bound<QPushButton>(controls, kIdTrackTimeMode);
    discTimeModeButton = Bound<QPushButton>(controls, kIdDiscTimeMode);
    discTimeLabel = Bound<CTextLabel>(controls, kIdDiscTimeLabel);
    trackTimeLabel = Bound<CTextLabel>(controls, kIdTrackTimeLabel);
    trackCombo = Bound<DropDownCombo>(controls, kIdTrackCombo);
    driveCombo = Bound<DropDownCombo>(controls, kIdDriveCombo);
    stopButton = Bound<QPushButton>(controls, kIdStop);
    backButton = Bound<QPushButton>(controls, kIdFastBackward);
    previousButton = Bound<QPushButton>(controls, kIdPrevious);
    playButton = Bound<QPushButton>(controls, kIdPlay);
    pauseButton = Bound<QPushButton>(controls, kIdPause);
    nextButton = Bound<QPushButton>(controls, kIdNext);
    forwardButton = Bound<QPushButton>(controls, kIdFastForward);
    ejectButton = Bound<QPushButton>(controls, kIdEject);
}

// The message map, in map order. Only the user's actions reach a handler: selectors report
// choices (activated), buttons clicks, the slider its trackbar codes; a change the program makes
// to a selection, a check state or the slider's position runs nothing.
void CPlayerDlg::ConnectMessageMap() {
    // 1: the window menu's About entry.
    connect(aboutAction, &QAction::triggered, this, [this] { OnSysCommand(kAboutCommandId, 0); });
    // 2, 3: the minimized window's icon is the window icon, drawn by the window manager.
    connect(driveCombo, &QComboBox::activated, this, [this] { OnDriveSelChange(); });
    connect(trackCombo, &QComboBox::activated, this, [this] { OnTrackSelChange(); });
    connect(playButton, &QPushButton::clicked, this, [this] { OnPlay(); });
    connect(stopButton, &QPushButton::clicked, this, [this] { OnStop(); });
    connect(pauseButton, &QPushButton::clicked, this, [this] { OnPauseResume(); });
    connect(ejectButton, &QPushButton::clicked, this, [this] { OnEjectLoad(); });
    connect(previousButton, &QPushButton::clicked, this, [this] { OnPreviousTrack(); });
    connect(nextButton, &QPushButton::clicked, this, [this] { OnNextTrack(); });
    // 12: the timers arrive through timerEvent.
    connect(forwardButton, &QPushButton::clicked, this, [this] { OnFastForward(); });
    connect(backButton, &QPushButton::clicked, this, [this] { OnFastBackward(); });
    connect(trackCombo, &DropDownCombo::droppedDown, this, [this] { OnTrackDropDown(); });
    connect(trackTimeModeButton, &QPushButton::clicked, this, [this] { OnTrackTimeMode(); });
    connect(discTimeModeButton, &QPushButton::clicked, this, [this] { OnDiscTimeMode(); });
    connect(positionSlider, &PositionSlider::scrolled, this, [this](int code) { OnHScroll(code); });
    // 19: a left-button release on the window itself arrives through mouseReleaseEvent.

    // Once a handler the user ran has returned (its connection above comes first), observers of
    // the window look again.
    for (QPushButton* button :
         {playButton, stopButton, pauseButton, ejectButton, previousButton, nextButton,
          forwardButton, backButton, trackTimeModeButton, discTimeModeButton}) {
        connect(button, &QPushButton::clicked, this, &CPlayerDlg::Updated);
    }
    for (QComboBox* combo : {driveCombo, trackCombo}) {
        connect(combo, &QComboBox::activated, this, &CPlayerDlg::Updated);
    }
    connect(positionSlider, &PositionSlider::scrolled, this, &CPlayerDlg::Updated);
}

void CPlayerDlg::SetButtonFaces() {
    const std::array<std::pair<int, QPushButton*>, 8> faces{{
        {136, previousButton},
        {133, playButton},
        {135, stopButton},
        {134, pauseButton},
        {130, backButton},
        {132, forwardButton},
        {131, nextButton},
        {129, ejectButton},
    }};
    for (const auto& [bitmap, button] : faces) {
        QPixmap face(BitmapResourcePath(bitmap));
        if (!face.isNull()) {
            // The faces are drawn on the classic button grey; that grey lets the button's own
            // face show through, so the glyph sits on the button in any style.
            face.setMask(face.createMaskFromColor(kFaceBackground, Qt::MaskInColor));
        }
        button->setIcon(QIcon(face)); // a missing picture leaves the button without a face
        button->setIconSize(face.isNull() ? QSize(16, 16) : face.size());
    }
}

void CPlayerDlg::AppendAboutToSystemMenu(const QString& text) {
    if (text.isEmpty() || actions().contains(aboutAction)) {
        return;
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    aboutAction->setText(text);
    addAction(aboutAction);
}

bool CPlayerDlg::UpdateData(bool saveAndValidate) {
    DoDataExchange(saveAndValidate);
    return true;
}

void CPlayerDlg::DoDataExchange(bool saveAndValidate) {
    ExchangeText(saveAndValidate, kIdArtistField, artistText);
    ExchangeText(saveAndValidate, kIdTitleField, titleText);
    ExchangeText(saveAndValidate, kIdTrackTotalField, trackTotalText);
    ExchangeText(saveAndValidate, kIdDiscTotalField, discTotalText);
    ExchangeText(saveAndValidate, kIdTrackTimeLabel, trackPositionText);
    ExchangeText(saveAndValidate, kIdDiscTimeLabel, discPositionText);
    ExchangeCheck(saveAndValidate, kIdTrackTimeMode, trackTimeCheck);
    ExchangeCheck(saveAndValidate, kIdDiscTimeMode, discTimeCheck);
    ExchangeText(saveAndValidate, kIdTrackNumberField, trackNumberText);
}

void CPlayerDlg::ExchangeText(bool saveAndValidate, int id, QString& value) {
    auto* label = static_cast<QLabel*>(controls.at(id));
    if (saveAndValidate) {
        value = label->text();
    } else if (label->text() != value) {
        label->setText(value); // an unchanged text is left alone, so it does not flicker
    }
}

void CPlayerDlg::ExchangeCheck(bool saveAndValidate, int id, int& value) {
    auto* button = static_cast<QPushButton*>(controls.at(id));
    if (saveAndValidate) {
        value = button->isChecked() ? 1 : 0;
    } else if (button->isChecked() != (value != 0)) {
        button->setChecked(value != 0); // reports nothing: clicked comes only from the user
    }
}

void CPlayerDlg::InitDialogBase() {
    UpdateData(false);
}

void CPlayerDlg::reject() {
    OnCancel();
}

void CPlayerDlg::showEvent(QShowEvent* event) {
    if (!initialised && !event->spontaneous()) {
        initialised = true;
        // Opens centred in the screen's working area, wherever the parent is; the frame counts
        // as far as the window system already knows it.
        if (const QScreen* screen = this->screen()) {
            const QMargins frame =
                windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
            const QSize outer = size().grownBy(frame);
            const QRect area = screen->availableGeometry();
            move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
        }
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CPlayerDlg::timerEvent(QTimerEvent* event) {
    // Start-up keeps the ids of the two window timers in the player state; they are timers 1
    // (the position poll) and 2 (the disc refresh) to the handler.
    const auto id = static_cast<uint32_t>(event->timerId());
    if (id != 0 && id == state.pollTimer) {
        OnTimer(kPollTimerId);
    } else if (id != 0 && id == state.discTimer) {
        OnTimer(kDiscTimerId);
    } else {
        QDialog::timerEvent(event);
    }
}

void CPlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp();
    }
    QDialog::mouseReleaseEvent(event);
}

void CPlayerDlg::keyPressEvent(QKeyEvent* event) {
    // Enter that no button took is the window's OK: it ends the dialog without the closing steps.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
