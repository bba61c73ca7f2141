// The player window: its layout, bindings and message map, the handlers that hand each message
// to the controller, and the view model applied to the widgets.
#include "player/player_dlg.h"

#include "app/text_label.h"
#include "player/desktop_id.h"
#include "player/drop_down_combo.h"
#include "player/player_template.h"
#include "player/position_slider.h"
#include "player/readouts.h"
#include "player/static_text.h"
#include "player/text_field_accessible.h"
#include "resources/resources.h"

#include <QAction>
#include <QBitmap>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <utility>

namespace {

constexpr unsigned kSystemCommandMask = 0xFFF0;
constexpr unsigned kCloseCommand = 0xF060; // the window menu's Close

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
      state(playerState), controller(playerState, this, this) {
    LoadDiscoloResources();
    // The icon theme's copy when Discolo is installed (sharp at every size the desktop asks
    // for), else the built-in 32 x 32 icon.
    icon = QIcon::fromTheme(QString::fromLatin1(kDesktopId),
                            QIcon(ResourcePicture(IconResourcePath(kIconId))));
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
    ShowSliderScale(controller.View().slider); // a new trackbar's scale, as the view has it
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
}

void CPlayerDlg::SetButtonFaces() {
    for (const ButtonFace& face : kButtonFaces) {
        auto* button = Bound<QPushButton>(controls, face.control);
        QPixmap picture = ResourcePicture(BitmapResourcePath(face.bitmap));
        if (!picture.isNull()) {
            // The faces are drawn on the classic button grey; that grey lets the button's own
            // face show through, so the glyph sits on the button in any style.
            picture.setMask(picture.createMaskFromColor(kFaceBackground, Qt::MaskInColor));
        }
        button->setIcon(QIcon(picture)); // a missing picture leaves the button without a face
        button->setIconSize(picture.isNull() ? QSize(16, 16) : picture.size());
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

// ---- start-up and closing -------------------------------------------------------------------

bool CPlayerDlg::OnInitDialog() {
    InitDialogBase(); // the first transfer: every bound text still empty
    AppendAboutToSystemMenu(QString::fromLatin1(kAboutMenuText));
    setWindowIcon(icon); // stands for the large and the small icon alike
    for (CTextLabel* readout : {trackTimeLabel, discTimeLabel}) {
        readout->SetForeColor(FromColorRef(kReadoutForeground));
        readout->SetBackColor(FromColorRef(kReadoutBackground));
        readout->SetFontHeight(kReadoutFontHeight);
        readout->SetStaticEdge(1);
    }
    for (CTextLabel* caption :
         {titleCaption, trackCaption, artistCaption, trackPositionCaption, discPositionCaption}) {
        caption->SetBold(1);
    }
    SetButtonFaces();
    return controller.OnInitDialog(); // the ASPI layer, the drives, the first disc, the timers
}

void CPlayerDlg::OnCancel() {
    OnStop(); // the selected drive stops before the window goes
    controller.CloseDown();
    QDialog::reject();
}

void CPlayerDlg::OnSysCommand(unsigned commandId, long /*parameter*/) {
    const unsigned command = commandId & kSystemCommandMask;
    if (command == kAboutCommandId) {
        if (aboutBox) {
            aboutBox();
        }
    } else if (command == kCloseCommand) {
        reject(); // the window menu's Close is the cancel path
    }
}

void CPlayerDlg::ShowError(const std::string& caption, const std::string& text) {
    if (showError) {
        showError(QString::fromStdString(caption), QString::fromStdString(text));
    }
}

void CPlayerDlg::DestroyWindow() {
    // Initialisation runs while the window is being shown, before a modal loop exists to end, so
    // the end is queued: it then ends exec() (or just hides a window shown without one).
    QMetaObject::invokeMethod(
        this, [this] { QDialog::done(QDialog::Rejected); }, Qt::QueuedConnection);
}

uint32_t CPlayerDlg::StartTimer(int /*id*/, int intervalMs) {
    return static_cast<uint32_t>(startTimer(intervalMs)); // timerEvent tells the two apart
}

void CPlayerDlg::KillTimer(uint32_t timer) {
    killTimer(static_cast<int>(timer));
}

// ---- the handlers ---------------------------------------------------------------------------

void CPlayerDlg::OnDriveSelChange() {
    controller.OnDriveSelChange(driveCombo->currentIndex());
}

void CPlayerDlg::OnTrackSelChange() {
    controller.OnTrackSelChange(trackCombo->currentIndex());
}

void CPlayerDlg::OnPlay() {
    controller.OnPlay();
}

void CPlayerDlg::OnStop() {
    controller.OnStop();
}

void CPlayerDlg::OnPauseResume() {
    controller.OnPauseResume();
}

void CPlayerDlg::OnEjectLoad() {
    controller.OnEjectLoad();
}

void CPlayerDlg::OnPreviousTrack() {
    controller.OnPreviousTrack();
}

void CPlayerDlg::OnNextTrack() {
    controller.OnNextTrack();
}

void CPlayerDlg::OnTimer(int id) {
    controller.OnTimer(id);
}

void CPlayerDlg::OnFastForward() {
    controller.OnFastForward();
}

void CPlayerDlg::OnFastBackward() {
    controller.OnFastBackward();
}

void CPlayerDlg::OnTrackDropDown() {
    controller.OnTrackDropDown();
}

void CPlayerDlg::OnTrackTimeMode() {
    controller.OnTrackTimeMode();
}

void CPlayerDlg::OnDiscTimeMode() {
    controller.OnDiscTimeMode();
}

void CPlayerDlg::OnHScroll(int code) {
    controller.OnHScroll(code, positionSlider->GetPos());
}

void CPlayerDlg::OnLButtonUp() {
    controller.OnLButtonUp();
}

void CPlayerDlg::RefreshDisc() {
    controller.RefreshDisc();
}

void CPlayerDlg::SeekAndPlay(int32_t address) {
    controller.SeekAndPlay(address);
}

void CPlayerDlg::PollPosition() {
    controller.PollPosition();
}

bool CPlayerDlg::FastButtonHeld(FastButton button) const {
    return (button == FastButton::Forward ? forwardButton : backButton)->isDown();
}

// ---- the view model on the widgets ----------------------------------------------------------

namespace {

// Texts of the view are the disc's bytes (Latin-1) or the program's own ASCII.
QString FromView(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ShowEntries(QComboBox* combo, const std::vector<std::string>& entries, int selection) {
    combo->clear();
    for (const std::string& entry : entries) {
        combo->addItem(FromView(entry));
    }
    combo->setCurrentIndex(selection); // the program's choice: reaches no handler
}

} // namespace

void CPlayerDlg::ViewChanged(const PlayerView& view, ViewParts parts) {
    if ((parts & kViewTexts) != 0) {
        ShowTexts(view);
    }
    if ((parts & kViewToggles) != 0) {
        for (auto [button, check, caption] :
             {std::tuple{trackTimeModeButton, view.trackTimeCheck, &view.trackTimeCaption},
              std::tuple{discTimeModeButton, view.discTimeCheck, &view.discTimeCaption}}) {
            button->setChecked(check != 0); // the program's change: reaches no handler
            button->setText(FromView(*caption));
        }
        UpdateData(true); // the bound check states take the new ones
    }
    if ((parts & kViewDriveEntries) != 0) {
        ShowEntries(driveCombo, view.driveEntries, view.driveSelection);
    }
    if ((parts & kViewDriveSelection) != 0) {
        driveCombo->setCurrentIndex(view.driveSelection);
    }
    if ((parts & kViewTrackEntries) != 0) {
        ShowEntries(trackCombo, view.trackEntries, view.trackSelection);
    }
    if ((parts & kViewTrackSelection) != 0) {
        trackCombo->setCurrentIndex(view.trackSelection);
    }
    if ((parts & kViewTrackEnabled) != 0) {
        trackCombo->setEnabled(view.trackSelectorEnabled);
    }
    if ((parts & kViewSliderScale) != 0) {
        ShowSliderScale(view.slider);
    }
    if ((parts & kViewSliderPosition) != 0) {
        positionSlider->SetPos(view.slider.position);
    }
}

// The view's texts into the bound members, then to the controls: UpdateData(false).
void CPlayerDlg::ShowTexts(const PlayerView& view) {
    artistText = FromView(view.artistText);
    titleText = FromView(view.titleText);
    trackTotalText = FromView(view.trackTotalText);
    discTotalText = FromView(view.discTotalText);
    trackPositionText = FromView(view.trackPositionText);
    discPositionText = FromView(view.discPositionText);
    trackTimeCheck = view.trackTimeCheck;
    discTimeCheck = view.discTimeCheck;
    trackNumberText = FromView(view.trackNumberText);
    UpdateData(false);
}

void CPlayerDlg::ShowSliderScale(const SliderView& slider) {
    positionSlider->ClearTics(false);
    positionSlider->SetRange(slider.minimum, slider.maximum, slider.redraw);
    positionSlider->SetLineSize(slider.lineSize);
    positionSlider->SetPageSize(slider.pageSize);
    for (const int32_t tick : slider.ticks) {
        positionSlider->SetTic(tick);
    }
}
