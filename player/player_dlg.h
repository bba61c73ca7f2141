// CPlayerDlg: the player window, a view of the player's controller. Its layout comes from the
// dialog 102 table, its texts and toggle states are bound members copied to and from the
// controls by UpdateData, and one message map connects every control's signal to its handler,
// which hands the message to the controller. What the controller changes in its view model the
// window shows, part by part, as it changes.
#pragma once

#include "player/dialog_template.h"
#include "player/player_controller.h"
#include "player/player_state.h"
#include "player/player_template.h"
#include "player/player_timers.h"
#include "player/player_window.h"

#include <QDialog>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>

class CTextLabel;
class DropDownCombo;
class PositionSlider;
class QAction;
class QPushButton;

class CPlayerDlg : public QDialog, private PlayerWindow, private PlayerTimers {
    Q_OBJECT

public:
    explicit CPlayerDlg(PlayerState& state, QWidget* parent = nullptr);
    ~CPlayerDlg() override;

    // Controls, in declaration order; the widgets belong to the window.
    PositionSlider* positionSlider = nullptr;
    CTextLabel* trackCaption = nullptr;
    CTextLabel* titleCaption = nullptr;
    CTextLabel* artistCaption = nullptr;
    CTextLabel* discPositionCaption = nullptr;
    CTextLabel* trackPositionCaption = nullptr;
    QPushButton* trackTimeModeButton = nullptr;
    QPushButton* discTimeModeButton = nullptr;
    CTextLabel* discTimeLabel = nullptr;
    CTextLabel* trackTimeLabel = nullptr;
    DropDownCombo* trackCombo = nullptr;
    DropDownCombo* driveCombo = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* backButton = nullptr;
    QPushButton* previousButton = nullptr;
    QPushButton* playButton = nullptr;
    QPushButton* pauseButton = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* forwardButton = nullptr;
    QPushButton* ejectButton = nullptr;

    // Bound values, copied to the controls by UpdateData(false) and back by UpdateData(true).
    QString artistText;
    QString titleText;
    QString trackTotalText;
    QString discTotalText;
    QString trackPositionText;
    QString discPositionText;
    int trackTimeCheck = 0;
    int discTimeCheck = 0;
    QString trackNumberText;
    QIcon icon; // icon 128

    // false: every bound text and both check states to the controls, a control touched only when
    // it differs; true: the controls' texts and check states into the members. Always succeeds.
    bool UpdateData(bool saveAndValidate = true);

    // The control with a template id (nullptr for an unknown id).
    QWidget* Control(int id) const;
    // The font the window is laid out in: the template's 8 points of the desktop's sans serif.
    static QFont DialogFont();
    DialogBaseUnits BaseUnits() const;

    // The button faces, bitmaps 129 to 136, each on its button.
    void SetButtonFaces();
    // The About entry of the window menu (right click, or F1), with the text of string 101.
    // Adding it twice adds nothing.
    void AppendAboutToSystemMenu(const QString& text);
    QAction* AboutAction() const { return aboutAction; }

    // What the About command shows: the application sets it to run its About box (the box
    // lives with the application, above the player). Unset, the command does nothing.
    std::function<void()> aboutBox;
    // The one message the player shows, "ASPI for Win32 is not initialized!": a critical message
    // box with this caption and text by default; tests replace it to see the message without a
    // modal loop.
    std::function<void(const QString& caption, const QString& text)> showError;

    // The controller behind the window: what the window shows is its view model.
    PlayerController& Controller() { return controller; }
    const PlayerController& Controller() const { return controller; }

    // Handlers: each hands its message, with what the control reports, to the controller.
    virtual bool OnInitDialog();
    virtual void OnCancel();
    virtual void OnSysCommand(unsigned commandId, long parameter);
    virtual void OnDriveSelChange();
    virtual void OnTrackSelChange();
    virtual void OnPlay();
    virtual void OnStop();
    virtual void OnPauseResume();
    virtual void OnEjectLoad();
    virtual void OnPreviousTrack();
    virtual void OnNextTrack();
    virtual void OnTimer(int id);
    virtual void OnFastForward();
    virtual void OnFastBackward();
    virtual void OnTrackDropDown();
    virtual void OnTrackTimeMode();
    virtual void OnDiscTimeMode();
    virtual void OnHScroll(int code);
    virtual void OnLButtonUp();
    virtual void RefreshDisc();
    virtual void SeekAndPlay(int32_t address);
    virtual void PollPosition();

    void reject() override; // the cancel path: close box, Escape, the window menu's Close

protected:
    // The base part of the dialog's initialisation: the first transfer of the bound values.
    void InitDialogBase();
    void DoDataExchange(bool saveAndValidate);

    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    PlayerState& state;

private:
    void CreateControls();
    void BindControls();
    void NameControlsForScreenReaders();
    void ConnectMessageMap();
    void ExchangeText(bool saveAndValidate, int id, QString& value);
    void ExchangeCheck(bool saveAndValidate, int id, int& value);

    // PlayerWindow: the view model shown, the fast buttons' state, the message, the end.
    void ViewChanged(const PlayerView& view, ViewParts parts) override;
    bool FastButtonHeld(FastButton button) const override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void DestroyWindow() override;
    // PlayerTimers: the window's own timers.
    uint32_t StartTimer(int id, int intervalMs) override;
    void KillTimer(uint32_t timer) override;

    void ShowTexts(const PlayerView& view);
    void ShowSliderScale(const SliderView& slider);

    std::map<int, QWidget*> controls;
    QAction* aboutAction = nullptr;
    bool initialised = false;
    PlayerController controller;
};
