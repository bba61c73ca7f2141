// The answer's JSON through QJsonDocument; every field is read with a type check and a default.
#include "names/answer_parse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <limits>

namespace names {

namespace {

std::string Text(const QJsonObject& object, const char* key) {
    const QString text = object.value(QLatin1String(key)).toString();
    QByteArray utf8 = text.left(static_cast<qsizetype>(kLongestText)).toUtf8();
    while (static_cast<size_t>(utf8.size()) > kLongestText) {
        // Cut by whole characters: a lead byte goes with its continuation bytes.
        qsizetype cut = static_cast<qsizetype>(kLongestText);
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        utf8.truncate(cut);
    }
    return utf8.toStdString();
}

int32_t Number(const QJsonValue& value) {
    const double number = value.toDouble(0);
    if (!(number >= 0) || number > std::numeric_limits<int32_t>::max()) {
        return 0; // also NaN
    }
    return static_cast<int32_t>(number);
}

// The objects of an array member, at most `most` of them.
template <typename Read>
void EachObject(const QJsonObject& object, const char* key, size_t most, Read read) {
    const QJsonArray array = object.value(QLatin1String(key)).toArray();
    size_t taken = 0;
    for (const QJsonValue& value : array) {
        if (taken == most) {
            return;
        }
        if (value.isObject()) {
            read(value.toObject());
            ++taken;
        }
    }
}

ArtistCredit Credit(const QJsonObject& object) {
    ArtistCredit credit;
    EachObject(object, "artist-credit", kMostCreditParts, [&credit](const QJsonObject& part) {
        credit.push_back({Text(part, "name"), Text(part, "joinphrase")});
    });
    return credit;
}

SubmittedDisc Disc(const QJsonObject& object) {
    SubmittedDisc disc{Text(object, "id"), Number(object.value(QLatin1String("sectors"))), {}};
    const QJsonArray offsets = object.value(QLatin1String("offsets")).toArray();
    for (const QJsonValue& offset : offsets) {
        if (disc.offsets.size() == kMostTracks) {
            break;
        }
        disc.offsets.push_back(Number(offset));
    }
    return disc;
}

ReleaseMedium Medium(const QJsonObject& object) {
    ReleaseMedium medium;
    medium.position = Number(object.value(QLatin1String("position")));
    medium.title = Text(object, "title");
    medium.format = Text(object, "format");
    EachObject(object, "discs", kMostSubmittedDiscs,
               [&medium](const QJsonObject& disc) { medium.discs.push_back(Disc(disc)); });
    EachObject(object, "tracks", kMostTracks, [&medium](const QJsonObject& track) {
        ReleaseTrack entry{Number(track.value(QLatin1String("position"))), Text(track, "title"),
                           Credit(track)};
        if (entry.title.empty()) {
            entry.title = Text(track.value(QLatin1String("recording")).toObject(), "title");
        }
        medium.tracks.push_back(std::move(entry));
    });
    return medium;
}

} // namespace

std::optional<std::vector<Release>> ParseLookupAnswer(const QByteArray& json) {
    if (json.size() > kLongestAnswer) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    std::vector<Release> releases;
    EachObject(document.object(), "releases", kMostReleases,
               [&releases](const QJsonObject& object) {
                   Release release;
                   release.id = Text(object, "id");
                   release.title = Text(object, "title");
                   release.date = Text(object, "date");
                   release.artistCredit = Credit(object);
                   EachObject(object, "media", kMostMedia, [&release](const QJsonObject& medium) {
                       release.media.push_back(Medium(medium));
                   });
                   releases.push_back(std::move(release));
               });
    return releases;
}

} // namespace names
