// The application object: runs the player window and ends with it.
#include "app/player_app.h"

#include "app/about_dlg.h"
#include "player/player_dlg.h"
#include "player/player_state.h"

#include <QCoreApplication>

CPlayerApp& ThePlayerApp() {
    static CPlayerApp application;
    return application;
}

bool CPlayerApp::InitInstance() {
    QCoreApplication::setApplicationName(QStringLiteral("Discolo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DISCOLO_VERSION));

    CPlayerDlg dialog(ThePlayerState());
    dialog.aboutBox = [&dialog] {
        CAboutDlg about(&dialog);
        about.DoModal(); // which button ended it changes nothing
    };
    mainWindow = &dialog;
    if (beforeRun) {
        beforeRun(dialog);
    }
    dialog.exec(); // the player lives in here; how it ended makes no difference
    mainWindow = nullptr;
    return false;
}
