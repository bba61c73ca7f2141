// The application object: runs the player window and ends with it.
#include "app/player_app.h"

#include "app/about_dlg.h"
#include "mpris/mpris_player.h"
#include "player/player_dlg.h"
#include "player/player_state.h"

#include <QCoreApplication>

#include <memory>

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
    // The desktop's media keys and controls reach the window through the session bus, when there
    // is one; without it the player runs as ever.
    const std::unique_ptr<MprisPlayer> mediaControls =
        PublishOnSessionBus(dialog.Controller(), dialog);
    if (mediaControls) {
        mediaControls->artUrl = artUrl;
        mediaControls->volume = volume;
        mediaControls->setVolume = setVolume;
    }
    mainWindow = &dialog;
    if (beforeRun) {
        beforeRun(dialog);
    }
    dialog.exec(); // the player lives in here; how it ended makes no difference
    mainWindow = nullptr;
    return false;
}
