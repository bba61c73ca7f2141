// The application object: it runs the player window until it closes, gives it the About box, and
// --screenshot takes its picture and ends it.
#include "app/about_dlg.h"
#include "app/player_app.h"
#include "app/screenshot.h"

#include "player/player_dlg.h"
#include "player/player_state.h"
#include "vdrive/bus.h"
#include "vdrive/demo_discs.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// The player runs over a virtual drive, as it would in the demo; each test starts it afresh.
class RunningPlayer : public testing::Test {
protected:
    void SetUp() override {
        ThePlayerState() = PlayerState{};
        ThePlayerApp().beforeRun = nullptr;
        bus.AddDrive(0, 0, vdrive::DemoCdTextDisc());
        bus.Install();
        ASSERT_TRUE(directory.isValid());
    }

    // Runs the player; `whileRunning` runs inside it once it shows. A player still open after
    // ten seconds is closed, so a fault ends in failed checks instead of a hang.
    bool Run(const std::function<void(CPlayerDlg&)>& whileRunning) {
        QTimer::singleShot(0, qApp, [&] {
            CPlayerDlg* player = ThePlayerApp().MainWindow();
            ASSERT_NE(player, nullptr);
            whileRunning(*player);
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, qApp, [] {
            if (CPlayerDlg* player = ThePlayerApp().MainWindow()) {
                ADD_FAILURE() << "the player was still open";
                player->done(QDialog::Rejected);
            }
        });
        guard.start(10000);
        return ThePlayerApp().InitInstance();
    }

    QString PicturePath() const { return directory.filePath(QStringLiteral("shot.png")); }

    vdrive::ManualClock clock;
    vdrive::Bus bus{clock};
    QTemporaryDir directory;
};

TEST_F(RunningPlayer, InitInstanceRunsThePlayerWindowUntilItClosesAndReturnsFalse) {
    bool ran = false;
    const bool result = Run([&](CPlayerDlg& player) {
        ran = true;
        EXPECT_EQ(player.parentWidget(), nullptr) << "a window of its own";
        EXPECT_TRUE(player.isVisible());
        EXPECT_TRUE(player.isModal());
        EXPECT_EQ(QApplication::activeModalWidget(), &player);
        EXPECT_EQ(player.windowTitle(), QStringLiteral("Discolo V1.00"));
        EXPECT_TRUE(static_cast<bool>(player.aboutBox)) << "the About command has a box to show";
        player.reject();
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(result);
    EXPECT_EQ(ThePlayerApp().MainWindow(), nullptr);
    EXPECT_EQ(QCoreApplication::applicationVersion(), QStringLiteral("1.0.12.0"));
}

TEST_F(RunningPlayer, TheAboutBoxOpensModallyOverThePlayerAndLeavesItRunning) {
    const int escape = Qt::Key_Escape;
    for (const int ending : {int(Qt::Key_Escape), int(Qt::Key_Return)}) {
        SCOPED_TRACE(ending == escape ? "Escape" : "Enter");
        bool seen = false;
        Run([&](CPlayerDlg& player) {
            QTimer::singleShot(0, qApp, [&] {
                auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
                ASSERT_NE(about, nullptr);
                seen = true;
                EXPECT_EQ(about->parentWidget(), &player);
                EXPECT_EQ(about->windowTitle(), QStringLiteral("About Discolo"));
                EXPECT_NEAR(about->frameGeometry().center().x(),
                            player.frameGeometry().center().x(), 1);
                EXPECT_NEAR(about->frameGeometry().center().y(),
                            player.frameGeometry().center().y(), 1);
                QTest::keyClick(about, static_cast<Qt::Key>(ending));
            });
            player.aboutBox();
            EXPECT_TRUE(player.isVisible()) << "the player stays";
            EXPECT_EQ(QApplication::activeModalWidget(), &player);
            EXPECT_EQ(player.findChild<CAboutDlg*>(), nullptr) << "the box is gone with its call";
            player.reject();
        });
        EXPECT_TRUE(seen);
    }
}

TEST_F(RunningPlayer, AScreenshotSavesThePlayerWindowAndEndsIt) {
    QSize playerSize;
    ScreenshotOutcome outcome;
    ScheduleScreenshot(ThePlayerApp(), PicturePath(), 50, outcome);
    EXPECT_FALSE(Run([&](CPlayerDlg& player) { playerSize = player.size(); }));

    EXPECT_TRUE(outcome.saved) << outcome.error;
    EXPECT_TRUE(outcome.error.empty());
    QImageReader reader(PicturePath());
    EXPECT_EQ(reader.format(), QByteArray("png"));
    const QImage picture = reader.read();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), playerSize * qApp->devicePixelRatio());
}

TEST_F(RunningPlayer, AScreenshotTakesTheMessageBoxOverThePlayerThenClosesBoth) {
    QSize boxSize;
    ScreenshotOutcome outcome;
    ScheduleScreenshot(ThePlayerApp(), PicturePath(), 100, outcome);
    bool boxReturned = false;
    Run([&](CPlayerDlg& player) {
        QTimer::singleShot(20, qApp, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            EXPECT_NE(box, &player);
            boxSize = box->size();
        });
        QMessageBox::critical(&player, QStringLiteral("Error"),
                              QStringLiteral("ASPI for Win32 is not initialized!"));
        boxReturned = true;
    });
    EXPECT_TRUE(boxReturned);
    EXPECT_TRUE(outcome.saved) << outcome.error;
    const QImage picture(PicturePath());
    ASSERT_FALSE(picture.isNull());
    ASSERT_TRUE(boxSize.isValid());
    EXPECT_EQ(picture.size(), boxSize * qApp->devicePixelRatio());
}

// As the player does when it finds no ASPI layer: a message box from its start-up, then it
// closes before its run has begun.
class CloseAfterMessageAtStartUp : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* player = qobject_cast<CPlayerDlg*>(watched);
        if (player != nullptr && event->type() == QEvent::Show && !shown) {
            shown = true;
            QMessageBox::critical(player, QStringLiteral("Error"),
                                  QStringLiteral("ASPI for Win32 is not initialized!"));
            player->done(QDialog::Rejected);
        }
        return false;
    }
    bool shown = false;
};

TEST_F(RunningPlayer, AScreenshotEndsAPlayerThatClosedItselfAfterAMessageAtStartUp) {
    ScreenshotOutcome outcome;
    ScheduleScreenshot(ThePlayerApp(), PicturePath(), 100, outcome);
    CloseAfterMessageAtStartUp startUp;
    auto screenshot = ThePlayerApp().beforeRun;
    ThePlayerApp().beforeRun = [&](CPlayerDlg& player) {
        player.installEventFilter(&startUp);
        screenshot(player);
    };
    EXPECT_FALSE(ThePlayerApp().InitInstance());
    EXPECT_TRUE(startUp.shown);
    EXPECT_TRUE(outcome.saved) << outcome.error;
    EXPECT_FALSE(QImage(PicturePath()).isNull()) << "the message box";

    // Ending every loop leaves the application quitting; a main loop run and left clears that
    // for the tests that follow in this process.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

TEST_F(RunningPlayer, AScreenshotOfAWindowThatClosedFirstIsAnError) {
    ScreenshotOutcome outcome;
    ScheduleScreenshot(ThePlayerApp(), PicturePath(), 60000, outcome);
    Run([](CPlayerDlg& player) { player.reject(); });
    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(outcome.error, "the window closed before the picture was taken");
    EXPECT_FALSE(QFile::exists(PicturePath()));
}

TEST(SavePicture, WritesTheFormatOfTheSuffixAndPngWithoutOne) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::cyan);
    const std::pair<const char*, QByteArray> cases[] = {
        {"shot.png", "png"}, {"shot.PNG", "png"}, {"shot.bmp", "bmp"},
        {"shot", "png"},     {"shot.xyz", "png"},
    };
    for (const auto& [name, format] : cases) {
        const QString path = directory.filePath(QString::fromLatin1(name));
        std::string error;
        EXPECT_TRUE(SavePicture(picture, path, error)) << name << ": " << error;
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), format) << name;
        EXPECT_EQ(reader.read().size(), QSize(40, 30)) << name;
    }
}

TEST(SavePicture, NamesThePathItCouldNotWrite) {
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("no/such/folder/shot.png"));
    QImage picture(4, 4, QImage::Format_RGB32);
    std::string error;
    EXPECT_FALSE(SavePicture(picture, path, error));
    EXPECT_EQ(error.rfind("cannot save the picture to " + path.toStdString() + ": ", 0), 0u)
        << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);

    EXPECT_FALSE(SavePicture(QImage(), directory.filePath(QStringLiteral("x.png")), error));
    EXPECT_EQ(error, "there was no window to take a picture of");
}

} // namespace
