// Setting up the disc names and following them in the window.
#include "app/names_setup.h"

#include "app/command_line.h"

#include "app/player_app.h"
#include "names/disc_id.h"
#include "player/player_dlg.h"

#include <QUrl>

#include <algorithm>
#include <cstdio>

void SetUpNames(const CommandLine& commandLine, PlayerNames& names,
                std::optional<names::NamesSettings> settings) {
    names.layer.reset();
    names.service.reset();
    if (commandLine.drives == CommandLine::Drives::Demo) {
        return;
    }
    if (!settings) {
        settings = names::NamesSettings{};
        settings->web = names::WebSettings::FromEnvironment(QStringLiteral(DISCOLO_VERSION));
    }
    settings->offline = settings->offline || commandLine.offline;
    names.service = std::make_unique<names::DiscNamesService>(*settings);
    names.layer = names::NamesLayer::OverInstalled(*names.service);
    if (!names.layer) {
        names.service.reset();
        return; // no drive layer at all: the window says so
    }
    names.layer->Install();

    QObject::connect(names.service.get(), &names::DiscNamesService::UnknownDisc,
                     [](const QString&, const QString& submissionUrl) {
                         std::fprintf(stderr, "%s\n",
                                      ProgramLine(UnknownDiscLine(submissionUrl)).c_str());
                     });
    RebuildWhenNamesArrive(
        *names.service, [] { return ThePlayerApp().MainWindow(); }, ThePlayerState());
    names::DiscNamesService* service = names.service.get();
    ThePlayerApp().artUrl = [service] { return ShownCoverUrl(*service, ThePlayerState()); };
}

std::string UnknownDiscLine(const QString& submissionUrl) {
    return "MusicBrainz does not know the disc in the drive; anyone can add it at " +
           submissionUrl.toStdString();
}

void RebuildWhenNamesArrive(names::DiscNamesService& service, std::function<CPlayerDlg*()> window,
                            PlayerState& state) {
    QObject::connect(&service, &names::DiscNamesService::NamesArrived,
                     [window = std::move(window), &state](const QString& discId) {
                         CPlayerDlg* shown = window();
                         const std::optional<names::DiscIdentity> disc =
                             names::IdentifyDisc(state.tocImage);
                         if (shown == nullptr || !disc || disc->id != discId.toStdString()) {
                             return; // another disc by now, or none
                         }
                         // The table the refresh compares with is forgotten, so that it counts
                         // the disc as changed and rebuilds.
                         std::ranges::fill(state.tocImage, uint8_t{0});
                         shown->RefreshDisc();
                     });
}

QString ShownCoverUrl(const names::DiscNamesService& service, const PlayerState& state) {
    const std::optional<names::DiscIdentity> disc = names::IdentifyDisc(state.tocImage);
    const QString file = disc ? service.CoverFile(disc->id) : QString();
    return file.isEmpty() ? QString() : QUrl::fromLocalFile(file).toString();
}
