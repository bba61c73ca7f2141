// The About box: its table, its controls and texts, its layout in dialog units of its font, the
// three ways to end it and where it opens.
#include "app/about_dlg.h"
#include "app/about_template.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct ExpectedControl {
    ControlClass controlClass;
    const char* text;
    int x, y, w, h;
    uint32_t style;
    const char* name;
};

// Dialog 100 as drawn up: template order, texts, dialog units and style words.
const ExpectedControl kExpected[] = {
    {ControlClass::Static, "", 11, 17, 20, 20, 0x50000003, "iconField"},
    {ControlClass::Static, "Discolo V1.00", 40, 10, 119, 8, 0x50020080, "versionField"},
    {ControlClass::Static, "\xA9 2026 the Discolo developers", 40, 25, 119, 8, 0x50020000,
     "noticeField"},
    {ControlClass::Button, "OK", 178, 7, 32, 14, 0x50030001, "okButton"},
};

TEST(AboutTemplate, HoldsTheFrameAndFourControlsInTemplateOrder) {
    EXPECT_STREQ(kAboutDialog.caption, "About Discolo");
    EXPECT_EQ(QRect(kAboutDialog.x, kAboutDialog.y, kAboutDialog.width, kAboutDialog.height),
              QRect(0, 0, 217, 55));
    EXPECT_EQ(kAboutDialog.fontPoints, 8);
    ASSERT_EQ(kAboutControls.size(), std::size(kExpected));
    for (size_t i = 0; i < kAboutControls.size(); ++i) {
        const ControlTemplate& actual = kAboutControls[i];
        const ExpectedControl& expected = kExpected[i];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(actual.controlClass, expected.controlClass);
        EXPECT_STREQ(actual.text, expected.text);
        EXPECT_EQ(QRect(actual.x, actual.y, actual.width, actual.height),
                  QRect(expected.x, expected.y, expected.w, expected.h));
        EXPECT_EQ(actual.style, expected.style);
        EXPECT_STREQ(actual.objectName, expected.name);
        EXPECT_EQ(actual.id, expected.controlClass == ControlClass::Button ? 1 : 65535);
    }
}

// Every control where the table puts it in the box's font; the icon at its place in its own size.
void ExpectLaidOutByItsFont(const CAboutDlg& about) {
    const DialogBaseUnits units = BaseUnitsOf(about.font());
    EXPECT_EQ(about.size(), MapDialogRect({0, 0, 217, 55}, units).size());
    EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "the box is not resizable";
    for (const ExpectedControl& expected : kExpected) {
        SCOPED_TRACE(expected.name);
        const auto* widget = about.findChild<QWidget*>(QString::fromLatin1(expected.name));
        ASSERT_NE(widget, nullptr);
        const QRect mapped = MapDialogRect({expected.x, expected.y, expected.w, expected.h}, units);
        if (std::string(expected.name) == "iconField") {
            EXPECT_EQ(widget->geometry(), QRect(mapped.topLeft(), QSize(32, 32)));
        } else {
            EXPECT_EQ(widget->geometry(), mapped);
        }
    }
}

TEST(AboutBox, ShowsTheIconNameVersionNoticeAndADefaultOk) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Discolo"));
    EXPECT_EQ(about.font().pointSize(), 8);

    const auto* icon = about.findChild<QLabel*>(QStringLiteral("iconField"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32)) << "icon 128";
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("versionField"))->text(),
              QStringLiteral("Discolo V1.00"));
    const auto* notice = about.findChild<QLabel*>(QStringLiteral("noticeField"));
    EXPECT_EQ(notice->text(), QStringLiteral("\u00A9 2026 the Discolo developers"));
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), notice->width())
        << "the notice is one line";

    const auto* ok = about.findChild<QPushButton*>(QStringLiteral("okButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(icon->focusPolicy(), Qt::NoFocus);

    const Qt::WindowFlags flags = about.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

TEST(AboutBox, LaysOutInDialogUnitsOfItsFontAndFollowsAChangeOfFont) {
    CAboutDlg about;
    ExpectLaidOutByItsFont(about);
    const QSize small = about.size();

    QFont large = CAboutDlg::DialogFont();
    large.setPointSize(16);
    about.setFont(large);
    ExpectLaidOutByItsFont(about);
    EXPECT_GT(about.width(), small.width());
    EXPECT_GT(about.height(), small.height());
}

struct Ending {
    const char* name;
    std::function<void(CAboutDlg&)> act;
    int result;
};

TEST(AboutBox, OkEnterEscapeAndTheCloseBoxAllEndIt) {
    const Ending endings[] = {
        {"OK clicked",
         [](CAboutDlg& about) {
             QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("okButton")),
                               Qt::LeftButton);
         },
         QDialog::Accepted},
        {"Enter", [](CAboutDlg& about) { QTest::keyClick(&about, Qt::Key_Return); },
         QDialog::Accepted},
        {"Escape", [](CAboutDlg& about) { QTest::keyClick(&about, Qt::Key_Escape); },
         QDialog::Rejected},
        {"close box", [](CAboutDlg& about) { about.close(); }, QDialog::Rejected},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        CAboutDlg about;
        bool acted = false;
        QTimer::singleShot(0, &about, [&] {
            acted = about.isVisible() && about.isModal();
            ending.act(about);
        });
        // A box that did not end would keep DoModal from returning: the guard ends it instead.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &about, [&] { about.done(-1); });
        guard.start(5000);
        EXPECT_EQ(about.DoModal(), ending.result);
        EXPECT_TRUE(acted);
        EXPECT_FALSE(about.isVisible());
    }
}

class OwnedAboutBox : public testing::Test {
protected:
    void SetUp() override {
        owner.setWindowTitle(QStringLiteral("owner"));
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        QApplication::setActiveWindow(&owner);
    }
    // Where the box's frame is while it shows.
    QRect FrameOfShownBox(CAboutDlg& about) {
        about.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&about));
        const QRect frame = about.frameGeometry();
        about.close();
        return frame;
    }
    QWidget owner;
};

TEST_F(OwnedAboutBox, OpensCentredOverItsOwner) {
    owner.setGeometry(120, 90, 420, 300);
    CAboutDlg about(&owner);
    const QRect frame = FrameOfShownBox(about);
    EXPECT_NEAR(frame.center().x(), owner.frameGeometry().center().x(), 1);
    EXPECT_NEAR(frame.center().y(), owner.frameGeometry().center().y(), 1);
}

TEST_F(OwnedAboutBox, WithoutAnOwnerOpensOverTheActiveWindow) {
    owner.setGeometry(60, 200, 500, 200);
    ASSERT_EQ(QApplication::activeWindow(), &owner);
    CAboutDlg about;
    const QRect frame = FrameOfShownBox(about);
    EXPECT_NEAR(frame.center().x(), owner.frameGeometry().center().x(), 1);
    EXPECT_NEAR(frame.center().y(), owner.frameGeometry().center().y(), 1);
}

TEST_F(OwnedAboutBox, StaysInsideTheScreenWhenItsOwnerIsAtTheEdge) {
    const QRect area = owner.screen()->availableGeometry();
    owner.setGeometry(area.left(), area.top(), 100, 60); // smaller than the box, in the corner
    CAboutDlg about(&owner);
    const QRect frame = FrameOfShownBox(about);
    EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y();
    EXPECT_EQ(frame.topLeft(), area.topLeft());
}

} // namespace
