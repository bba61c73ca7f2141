// Texts from a disc or from a caller are drawn as they stand: tags, entities and pictures are
// never interpreted, and only the fields' own ampersand rule changes what is drawn.
#include "tests/support/player_on_bus.h"

#include "cdtext/cdtext_encoder.h"
#include "player/static_text.h"

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <climits>

namespace player_test {
namespace {

// What a label drew: how wide its ink is, and whether any of it is the red of the picture file.
struct Ink {
    int width = 0;
    bool red = false;
};

Ink InkOf(QLabel& label) {
    const QImage image = label.grab().toImage();
    const QRect inside = label.contentsRect().adjusted(1, 1, -1, -1);
    // The texts are short and top-aligned: the bottom right corner is background.
    const QRgb background = image.pixel(inside.bottomRight());
    int left = INT_MAX;
    int right = -1;
    Ink ink;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.rgb() == background) {
                continue;
            }
            left = std::min(left, x);
            right = std::max(right, x);
            ink.red = ink.red || (pixel.red() > 200 && pixel.green() < 64 && pixel.blue() < 64);
        }
    }
    ink.width = right >= left ? right - left + 1 : 0;
    return ink;
}

constexpr int kPictureSide = 64;

// The label drew exactly `drawn`, literally, in its own font, and lays itself out as one line
// of text (a label that took its text for markup would also make room for the picture).
void ExpectDrawnLiterally(QLabel& label, const QString& drawn) {
    SCOPED_TRACE(label.objectName().toStdString() + ": " + drawn.toStdString());
    const Ink ink = InkOf(label);
    const QFontMetrics metrics(label.font());
    EXPECT_NEAR(ink.width, metrics.tightBoundingRect(drawn).width(), 3);
    EXPECT_FALSE(ink.red) << "the picture file was drawn";
    EXPECT_LT(label.sizeHint().height(), kPictureSide);
}

class PlainText : public PlayerOnBus {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QImage red(kPictureSide, kPictureSide, QImage::Format_RGB32);
        red.fill(Qt::red);
        ASSERT_TRUE(red.save(Picture()));
    }
    QString Picture() const { return folder.filePath(QStringLiteral("red.png")); }

    QTemporaryDir folder;
};

TEST_F(PlainText, LabelsFieldsAndEntriesShowTagsEntitiesPicturesAndAmpersandsAsTheyStand) {
    const QString texts[] = {
        QStringLiteral("<b>Bold</b> and plain"),
        QStringLiteral("<i>Salt &amp; Pepper</i>"),
        QStringLiteral("<img src=\"%1\"> Cover").arg(Picture()),
        QStringLiteral("<p>Rock && Roll & Co</p>"),
    };

    // Through the label's own operation.
    for (const QString& text : texts) {
        CTextLabel label(QString(), nullptr);
        label.setObjectName(QStringLiteral("label"));
        label.resize(500, 30);
        label.SetLabelText(text);
        EXPECT_EQ(label.text(), text);
        ExpectDrawnLiterally(label, text);
    }

    // Through the disc refresh: the album title, a track's title and its performer. Each disc
    // ends elsewhere, so that each is a new disc to the window.
    vdrive::CdromDrive& drive = AddDrive(std::nullopt);
    Start();
    int32_t leadOut = 60000;
    for (const QString& text : texts) {
        vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 20000}, leadOut += 75);
        cdtext::CdTextAlbum album;
        album.title = text.toStdString();
        album.performer = "Band";
        album.tracks = {{text.toStdString(), text.toStdString(), ""}, {"Two", "B", ""}};
        std::string error;
        ASSERT_TRUE(cdtext::EncodeCdText(album, disc.cdText, error)) << error;
        drive.InsertDisc(disc);
        RefreshTick();
        RefreshTick();

        EXPECT_EQ(TrackEntries().at(0), QStringLiteral("[01]  ") + text);
        for (const char* field : {"titleField", "artistField"}) {
            auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(field));
            ASSERT_NE(label, nullptr);
            EXPECT_TRUE(label->text().startsWith(text.left(3))) << field;
            ExpectDrawnLiterally(*label, PrefixedDisplayText(label->text()));
        }
    }
}

} // namespace
} // namespace player_test
