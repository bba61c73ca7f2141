// What the player window does: start-up, closing, the transport buttons, the timers, the slider
// and the selectors. Until the player's behaviour is built, every handler returns at once;
// initialisation only makes the first transfer to the controls and the cancel path only ends
// the dialog.
#include "player/player_dlg.h"

bool CPlayerDlg::OnInitDialog() {
    InitDialogBase();
    return true;
}

void CPlayerDlg::OnCancel() { QDialog::reject(); }

void CPlayerDlg::OnSysCommand(unsigned /*commandId*/, long /*parameter*/) {}

void CPlayerDlg::OnDriveSelChange() {}

void CPlayerDlg::OnTrackSelChange() {}

void CPlayerDlg::OnPlay() {}

void CPlayerDlg::OnStop() {}

void CPlayerDlg::OnPauseResume() {}

void CPlayerDlg::OnEjectLoad() {}

void CPlayerDlg::OnPreviousTrack() {}

void CPlayerDlg::OnNextTrack() {}

void CPlayerDlg::OnTimer(int /*id*/) {}

void CPlayerDlg::OnFastForward() {}

void CPlayerDlg::OnFastBackward() {}

void CPlayerDlg::OnTrackDropDown() {}

void CPlayerDlg::OnTrackTimeMode() {}

void CPlayerDlg::OnDiscTimeMode() {}

void CPlayerDlg::OnHScroll(int /*code*/) {}

void CPlayerDlg::OnLButtonUp() {}

void CPlayerDlg::RefreshDisc() {}

void CPlayerDlg::SeekAndPlay(int32_t /*address*/) {}

void CPlayerDlg::PollPosition() {}
