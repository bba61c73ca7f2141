// CAboutDlg: the About box with the program's icon, name and version and its notice, laid out
// from the dialog 100 table in dialog units of its own font.
#pragma once

#include "player/dialog_template.h"

#include <QDialog>

class QEvent;
class QShowEvent;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // The owner is the window the box opens over, usually the player. Without one, the box opens
    // over the application's active window, as the framework picks an owner when none is given.
    explicit CAboutDlg(QWidget* owner = nullptr);
    ~CAboutDlg() override;

    // Runs the box modally; OK, Escape and the close box all end it. The result says which
    // (QDialog::Accepted for OK), though no caller needs it.
    int DoModal();

    // The font the box is laid out in: the template's 8 points of the desktop's sans serif.
    static QFont DialogFont();
    DialogBaseUnits BaseUnits() const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateControls();
    void LayOut(); // the frame and every control, from the table and the current font
    void CentreOverOwner();

    bool centred = false;
};
