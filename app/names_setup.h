// Names for discs without CD-Text: the disc-names layer over the drives' layer, its service
// (cache and MusicBrainz), and what the window and the media bus do with what it finds.
#pragma once

#include "app/command_line.h"
#include "names/names_layer.h"
#include "names/names_service.h"
#include "player/player_state.h"

#include <QString>

#include <functional>
#include <memory>

class CPlayerDlg;

struct PlayerNames {
    std::unique_ptr<names::DiscNamesService> service;
    // Declared after the service, which it asks: it goes first. It must go after a layer put
    // over it (the digital play's) and before the drives' layer.
    std::unique_ptr<names::NamesLayer> layer;
};

// Puts the disc-names layer over the layer SetUpDrives installed, except for --demo (its discs
// are made up). --offline keeps it from the network. The service's settings come from the
// environment (the services' roots) unless `settings` is given. A disc MusicBrainz does not know
// gets its UnknownDiscLine on standard error; names that arrive rebuild the application's window
// (RebuildWhenNamesArrive) and its cover goes to the media bus. Needs a QCoreApplication.
void SetUpNames(const CommandLine& commandLine, PlayerNames& names,
                std::optional<names::NamesSettings> settings = std::nullopt);

// What standard error is told about a disc MusicBrainz does not know (without the program's name).
std::string UnknownDiscLine(const QString& submissionUrl);

// When a disc's names arrive and the window's selected drive still holds that disc (its last
// table of contents in `state` is that disc's), the window rebuilds its display as on a disc
// change: the rebuild sends no play command, and the next poll puts the position right.
void RebuildWhenNamesArrive(names::DiscNamesService& service, std::function<CPlayerDlg*()> window,
                            PlayerState& state);

// The file:// URL of the front cover of the disc the window shows, or "".
QString ShownCoverUrl(const names::DiscNamesService& service, const PlayerState& state);
