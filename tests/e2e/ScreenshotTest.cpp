#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <QImage>

#include "KeyPicture.h"
#include "ProgramOnX.h"
#include "XWindows.h"
#include "XvfbServer.h"
#include "window/qt/QtForm.h"

namespace {

// The real program on its own X server, at one scale factor.
struct Shot {
    QImage picture;
    QRect geometry;
    int boxes = 0;
    std::string error;
};

Shot takeShot(int scale)
{
    Shot shot;
    // Room for the window at scale 2.
    XvfbServer x("2560x1600x24");
    if (!x.running()) {
        shot.error = "Xvfb did not start";
        return shot;
    }
    ProgramOnX program(TONVELO_PROGRAM, x.display(), { "QT_SCALE_FACTOR=" + std::to_string(scale) });
    const unsigned long window = program.waitForMainWindow(std::chrono::seconds(60));
    if (!window) {
        shot.error = "no main window showed; the program said:\n" + program.process().output();
        return shot;
    }
    shot.boxes = program.boxesAnswered();
    shot.geometry = xwindows::geometry(x.display(), window);
    shot.picture = program.settledPicture(window, std::chrono::seconds(30));
    if (shot.picture.isNull())
        shot.error = "the window never settled";
    return shot;
}

// Share of a picture's dark pixels that are neither ink nor background:
// the smeared edges of letters.
double smearedShare(const QImage& picture, QRect area)
{
    const int background = qGray(picture.pixel(area.topLeft()));
    int ink = 0;
    int smeared = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int g = qGray(picture.pixel(x, y));
            if (g > background - 16)
                continue;
            ++ink;
            const double f = double(g) / background;
            if (f > 0.25 && f < 0.75)
                ++smeared;
        }
    }
    return ink ? double(smeared) / ink : 1.0;
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

} // namespace

class Screenshot : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::filesystem::create_directories(TONVELO_SCREENSHOT_DIR);
        for (int scale : { 1, 2 }) {
            shots_[scale] = takeShot(scale);
            if (!shots_[scale].picture.isNull())
                shots_[scale].picture.save(QString::fromUtf8(TONVELO_SCREENSHOT_DIR)
                    + (scale == 1 ? "/tonvelo.png" : "/tonvelo@2x.png"));
        }
    }

    static const Shot& shot(int scale) { return shots_[scale]; }

private:
    static inline std::map<int, Shot> shots_;
};

TEST_F(Screenshot, KeysCoverTheirRectanglesInDevicePixelsAtScaleOneAndTwo)
{
    for (int scale : { 1, 2 }) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ASSERT_FALSE(shot(scale).picture.isNull()) << shot(scale).error;
        EXPECT_EQ(joined(keyRectangleFaults(shot(scale).picture, scale)), "");
    }
    // White key 0 at (1560, 5880, 495, 2175) twips and black key 1 at (1920, 5880, 285, 1140),
    // read straight off the picture at scale 2: twips / 15 * 2.
    const QImage& big = shot(2).picture;
    const QPoint o = clientOrigin(big, 2);
    const QRgb frame = qRgb(96, 96, 96);
    EXPECT_EQ(big.pixel(o + QPoint(208, 784)), frame);
    EXPECT_EQ(big.pixel(o + QPoint(209, 785)), frame);
    EXPECT_EQ(big.pixel(o + QPoint(210, 984)), qRgb(255, 255, 255));
    EXPECT_EQ(big.pixel(o + QPoint(208 + 65, 784 + 289)), frame);
    EXPECT_EQ(big.pixel(o + QPoint(256 + 2, 784 + 2)), qRgb(255, 224, 192));
    EXPECT_EQ(big.pixel(o + QPoint(256 + 37, 784 + 151)), frame);
}

TEST_F(Screenshot, EveryControlIsTwiceAsLargeAtScaleTwo)
{
    ASSERT_FALSE(shot(1).picture.isNull()) << shot(1).error;
    ASSERT_FALSE(shot(2).picture.isNull()) << shot(2).error;
    EXPECT_EQ(shot(1).geometry.width(), toPixels(controls::client).width());
    EXPECT_EQ(shot(2).geometry.size(), shot(1).geometry.size() * 2);
    EXPECT_EQ(shot(2).picture.size(), shot(1).picture.size() * 2);
    // Only the scale differs: the same message box was answered, at most one.
    EXPECT_EQ(shot(2).boxes, shot(1).boxes);
    EXPECT_LE(shot(1).boxes, 1);
}

TEST_F(Screenshot, TextIsDrawnAtDeviceResolutionNotEnlarged)
{
    ASSERT_FALSE(shot(1).picture.isNull()) << shot(1).error;
    ASSERT_FALSE(shot(2).picture.isNull()) << shot(2).error;
    const double small = smearedShare(shot(1).picture, labelArea(shot(1).picture, 1));
    const double big = smearedShare(shot(2).picture, labelArea(shot(2).picture, 2));
    EXPECT_LT(big, small) << "letters at scale 2 have softer edges than at scale 1";
    EXPECT_GT(detailedBlockShare(shot(2).picture, labelArea(shot(2).picture, 2)), 0.3)
        << "letters at scale 2 look like a 96-dpi picture blown up";
}

// The README's copy is refreshed by `cmake --build build --target screenshot`.
// Fonts differ between machines, so it is held to the layout, not to every pixel,
// and not to the menu bar's height, which follows the desktop's default font.
TEST_F(Screenshot, TheCommittedScreenshotShowsTheCurrentLayout)
{
    ASSERT_FALSE(shot(1).picture.isNull()) << shot(1).error;
    const QImage committed(QString::fromUtf8(TONVELO_COMMITTED_SCREENSHOT));
    ASSERT_FALSE(committed.isNull()) << TONVELO_COMMITTED_SCREENSHOT << " is missing";
    EXPECT_EQ(committed.width(), shot(1).picture.width());
    EXPECT_EQ(joined(keyRectangleFaults(committed, 1)), "");
}
