// The button faces and the icon: every pixel of each face against the shapes it is drawn from,
// and each face on its button.
#include "player/player_dlg.h"
#include "resources/resources.h"

#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace {

struct Grid {
    bool black[16][16] = {}; // [y][x]
};

struct Shape {
    enum Kind { RightTriangle, LeftTriangle, UpTriangle, Bar } kind;
    int a, b, c, d; // triangles: the straight edge's column (a); bars: x0, x1, y0, y1
};

// Triangles are 7 columns wide and 13 rows high (rows 2 to 14) with their point on row 8; the
// upward one has its point at (7, 3) and its base from x 1 to 13 on row 9.
void Draw(Grid& grid, const Shape& shape) {
    switch (shape.kind) {
    case Shape::RightTriangle:
    case Shape::LeftTriangle:
        for (int k = 0; k < 7; ++k) {
            const int x = shape.kind == Shape::RightTriangle ? shape.a + k : shape.a - k;
            for (int y = 2 + k; y <= 14 - k; ++y) {
                grid.black[y][x] = true;
            }
        }
        break;
    case Shape::UpTriangle:
        for (int k = 0; k < 7; ++k) {
            for (int x = 7 - k; x <= 7 + k; ++x) {
                grid.black[3 + k][x] = true;
            }
        }
        break;
    case Shape::Bar:
        for (int y = shape.c; y <= shape.d; ++y) {
            for (int x = shape.a; x <= shape.b; ++x) {
                grid.black[y][x] = true;
            }
        }
        break;
    }
}

struct Face {
    int bitmap;
    const char* button;
    std::vector<Shape> shapes;
};

const std::vector<Face>& Faces() {
    static const std::vector<Face> faces{
        {129, "ejectButton", {{Shape::UpTriangle, 0, 0, 0, 0}, {Shape::Bar, 1, 13, 12, 14}}},
        {130,
         "backButton",
         {{Shape::LeftTriangle, 7, 0, 0, 0}, {Shape::LeftTriangle, 14, 0, 0, 0}}},
        {131,
         "nextButton",
         {{Shape::RightTriangle, 0, 0, 0, 0},
          {Shape::RightTriangle, 7, 0, 0, 0},
          {Shape::Bar, 14, 15, 2, 14}}},
        {132,
         "forwardButton",
         {{Shape::RightTriangle, 1, 0, 0, 0}, {Shape::RightTriangle, 8, 0, 0, 0}}},
        {133, "playButton", {{Shape::RightTriangle, 5, 0, 0, 0}}},
        {134, "pauseButton", {{Shape::Bar, 4, 6, 2, 14}, {Shape::Bar, 9, 11, 2, 14}}},
        {135, "stopButton", {{Shape::Bar, 5, 11, 2, 14}}},
        {136,
         "previousButton",
         {{Shape::Bar, 0, 1, 2, 14},
          {Shape::LeftTriangle, 8, 0, 0, 0},
          {Shape::LeftTriangle, 15, 0, 0, 0}}},
    };
    return faces;
}

QImage LoadFace(int bitmap) {
    LoadDiscoloResources();
    return QImage(BitmapResourcePath(bitmap));
}

TEST(ButtonFaces, EveryPixelIsBlackGlyphOrLightGreyAsTheShapesSay) {
    const QRgb black = qRgb(0, 0, 0);
    const QRgb lightGrey = qRgb(192, 192, 192);
    for (const Face& face : Faces()) {
        SCOPED_TRACE(face.bitmap);
        const QImage image = LoadFace(face.bitmap);
        ASSERT_EQ(image.size(), QSize(16, 16));
        EXPECT_LE(image.colorCount(), 16); // a 16-colour palette
        Grid expected;
        for (const Shape& shape : face.shapes) {
            Draw(expected, shape);
        }
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                EXPECT_EQ(image.pixel(x, y), expected.black[y][x] ? black : lightGrey)
                    << "x " << x << " y " << y;
            }
        }
        for (int y : {0, 1, 15}) {
            for (int x = 0; x < 16; ++x) {
                EXPECT_EQ(image.pixel(x, y), lightGrey) << "row " << y << " is empty";
            }
        }
    }
}

TEST(ButtonFaces, TrianglesHaveTheirPointOnRowEight) {
    // Play's point at column 11 is one black pixel, on row 8 only.
    const QImage play = LoadFace(133);
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(play.pixel(11, y) == qRgb(0, 0, 0), y == 8) << y;
    }
    // Its straight edge at column 5 runs from row 2 to row 14.
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(play.pixel(5, y) == qRgb(0, 0, 0), y >= 2 && y <= 14) << y;
    }
}

TEST(ButtonFaces, EachButtonShowsItsFaceAndNoCaption) {
    PlayerState state;
    CPlayerDlg dialog(state);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_NE(button->text(), QStringLiteral("Button3")) << button->objectName().toStdString();
    }
    dialog.SetButtonFaces();
    for (const Face& face : Faces()) {
        SCOPED_TRACE(face.button);
        auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(face.button));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->text().isEmpty());
        ASSERT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->iconSize(), QSize(16, 16));
        // The glyph in black; the grey around it lets the button show through.
        const QImage shown =
            button->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage bitmap = LoadFace(face.bitmap);
        ASSERT_EQ(shown.size(), QSize(16, 16));
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool black = bitmap.pixel(x, y) == qRgb(0, 0, 0);
                EXPECT_EQ(shown.pixel(x, y), black ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0))
                    << "x " << x << " y " << y;
            }
        }
    }
    EXPECT_TRUE(dialog.trackTimeModeButton->icon().isNull());
}

TEST(WindowIcon, IsARoundDiscOfSixteenColoursOnATransparentSquare) {
    LoadDiscoloResources();
    const QImage icon(IconResourcePath(128));
    ASSERT_EQ(icon.size(), QSize(32, 32));
    std::set<QRgb> colours;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (qAlpha(icon.pixel(x, y)) != 0) {
                colours.insert(icon.pixel(x, y));
            }
        }
    }
    EXPECT_LE(colours.size(), 16u);
    EXPECT_GE(colours.size(), 3u);
    for (QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)}) {
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << "outside the disc";
    }
    EXPECT_EQ(qAlpha(icon.pixel(15, 15)), 0) << "the centre hole";
    EXPECT_EQ(qAlpha(icon.pixel(15, 8)), 255) << "the disc itself";
    EXPECT_EQ(qAlpha(icon.pixel(8, 15)), 255);
}

} // namespace
