#include "player/static_text.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

TEST(StaticText, DrawsDoubledAmpersandsOnceAndDropsMnemonicMarks) {
    struct Row {
        const char* windowText;
        const char* shown;
    };
    for (Row row : {Row{"Rock && Roll", "Rock & Roll"}, Row{"&&&&", "&&"}, Row{"&About", "About"},
                    Row{"Me &", "Me "}, Row{"No ampersand", "No ampersand"}, Row{"", ""}}) {
        EXPECT_EQ(PrefixedDisplayText(QString::fromLatin1(row.windowText)),
                  QString::fromLatin1(row.shown))
            << row.windowText;
    }
}

TEST(StaticText, KeepsTheWindowTextAndDrawsItAsAPlainLabelWouldTheShownText) {
    StaticText field(QStringLiteral("Tides && Tin Roofs"));
    QLabel plain(QStringLiteral("Tides & Tin Roofs"));
    for (QLabel* label : {static_cast<QLabel*>(&field), &plain}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(false); // one line: a plain label then draws as the field does
        label->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        label->resize(300, 24);
    }
    EXPECT_EQ(field.text(), QStringLiteral("Tides && Tin Roofs"))
        << "the window text is the bound value";
    EXPECT_EQ(field.grab().toImage(), plain.grab().toImage());
}

} // namespace
