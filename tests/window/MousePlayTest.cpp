#include <gtest/gtest.h>

#include "FormFixture.h"

using Values = std::vector<uint32_t>;

namespace {

QPoint centreOf(int index)
{
    return toPixels(keyGrid[static_cast<size_t>(index)].rect).center();
}

} // namespace

TEST(MousePlay, WhereBlackKeyCoversWhiteKeyTheBlackKeyPlays)
{
    FormFixture f;
    // Inside both key 0 (104..136 px) and key 1 (128..146 px), in the black key's height.
    const QPoint shared(132, 5880 / 15 + 10);
    ASSERT_TRUE(toPixels(keyGrid[0].rect).contains(shared));
    ASSERT_TRUE(toPixels(keyGrid[1].rect).contains(shared));

    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(shared));
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, f.windowPoint(shared));
    EXPECT_EQ(f.values(), (Values { on(49), off(49) }));
}

TEST(MousePlay, WhereTwoWhiteKeysOverlapTheRightHandOnePlays)
{
    FormFixture f;
    // Key 0 ends at 2055 twips, key 2 starts at 2040: the shared pixel is 136, below the black key.
    const QPoint shared(136, 5880 / 15 + 100);
    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(shared));
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, f.windowPoint(shared));
    EXPECT_EQ(f.values(), (Values { on(50), off(50) }));
}

TEST(MousePlay, EveryMouseButtonPlaysAndTheLastKeyIsNote85)
{
    FormFixture f;
    for (auto button : { Qt::RightButton, Qt::MiddleButton, Qt::LeftButton }) {
        QTest::mousePress(f.window(), button, {}, f.windowPoint(centreOf(0)));
        QTest::mouseRelease(f.window(), button, {}, f.windowPoint(centreOf(0)));
    }
    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(37)));
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(37)));
    EXPECT_EQ(f.values(), (Values { on(48), off(48), on(48), off(48), on(48), off(48), on(85), off(85) }));
}

TEST(MousePlay, ReleaseAfterDraggingOffTheKeyEndsThatKeysNote)
{
    FormFixture f;
    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(16)));
    QTest::mouseMove(f.window(), f.windowPoint(centreOf(19)));
    QTest::mouseMove(f.window(), f.windowPoint(QPoint(600, 600)));
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, f.windowPoint(QPoint(600, 600)));
    EXPECT_EQ(f.values(), (Values { on(64), off(64) }));
}

TEST(MousePlay, ADoubleClickIsTwoPressesAndNothingMore)
{
    FormFixture f;
    QTest::mouseDClick(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(12)));
    EXPECT_EQ(f.values(), (Values { on(60), off(60), on(60), off(60) }));
}

TEST(Startup, OpensTheBuiltInSynthWithChannelOneAndFullVelocity)
{
    FormFixture f;
    EXPECT_EQ(f.form1.deviceId, -1);
    EXPECT_NE(f.form1.hMidiOut, 0);
    EXPECT_EQ(f.form1.channel, 0);
    EXPECT_EQ(f.form1.velocity, 127);
    EXPECT_EQ(f.form.windowTitle(), "Tonvelo");
    EXPECT_TRUE(f.boxes.texts.empty());
    // Every control fits in the client area.
    const QRect client = f.form.clientArea()->rect();
    for (auto* child : f.form.clientArea()->findChildren<QWidget*>())
        EXPECT_TRUE(client.contains(child->geometry())) << child->metaObject()->className();
}

TEST(Startup, AFailedOpenIsReportedOnceAndLaterNotesAreSilentlyLost)
{
    FormFixture f({}, { -1 });
    ASSERT_EQ(f.boxes.texts.size(), 1u);
    EXPECT_EQ(f.boxes.texts[0], Form1::failedOpenMessage);
    EXPECT_EQ(f.boxes.icons[0], QMessageBox::NoIcon);
    EXPECT_EQ(f.boxes.titles[0], QString());
    EXPECT_EQ(f.boxes.buttons[0], 1);
    EXPECT_FALSE(f.port.isOpen());

    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(0)));
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(0)));
    EXPECT_TRUE(f.values().empty());
    EXPECT_EQ(f.boxes.texts.size(), 1u);

    // Each further attempt that fails is reported once more; one that works plays.
    f.form1.SelectDevice(-1);
    EXPECT_EQ(f.boxes.texts.size(), 2u);
    f.provider->failing.clear();
    f.form1.SelectDevice(-1);
    EXPECT_EQ(f.boxes.texts.size(), 2u);
    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(0)));
    EXPECT_EQ(f.values(), (Values { on(48) }));
}

TEST(Shutdown, ClosingTheWindowClosesThePortAndSendsNothing)
{
    FormFixture f;
    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(5)));
    f.form.close();
    EXPECT_EQ(f.values(), (Values { on(53) }));
    EXPECT_FALSE(f.port.isOpen());
    EXPECT_EQ(f.recording->opens, f.recording->closes);
}
