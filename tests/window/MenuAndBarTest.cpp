#include <gtest/gtest.h>

#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <functional>

#include "FormFixture.h"

using Values = std::vector<uint32_t>;

namespace {

QPoint centreOf(int index)
{
    return toPixels(keyGrid[static_cast<size_t>(index)].rect).center();
}

void press(FormFixture& f, int key)
{
    QTest::mousePress(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(key)));
}

void release(FormFixture& f, int key)
{
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, f.windowPoint(centreOf(key)));
}

std::vector<int> checkedEntries(const std::vector<QAction*>& entries)
{
    std::vector<int> checked;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i]->isChecked())
            checked.push_back(static_cast<int>(i));
    return checked;
}

std::vector<int> checkedDevices(const QtForm& form)
{
    std::vector<QAction*> entries;
    for (int i = 0; i < Form1::deviceEntries; ++i)
        entries.push_back(form.device(i));
    return checkedEntries(entries);
}

std::vector<int> checkedChannels(const QtForm& form)
{
    std::vector<QAction*> entries;
    for (int i = 0; i < Form1::channelEntries; ++i)
        entries.push_back(form.chan(i));
    return checkedEntries(entries);
}

QStringList visibleDevices(const QtForm& form)
{
    QStringList names;
    for (int i = 0; i < Form1::deviceEntries; ++i)
        if (form.device(i)->isVisible() && form.device(i)->isEnabled())
            names << form.device(i)->text();
    return names;
}

// Where a part of the bar (arrow, thumb) lies, as the style draws it.
QRect partOf(QScrollBar* bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

QRect thumbOf(QScrollBar* bar)
{
    return partOf(bar, QStyle::SC_ScrollBarSlider);
}

} // namespace

TEST(ChannelMenu, StartsOnChannelOneAndEveryLaterMessageCarriesTheChosenChannel)
{
    FormFixture f;
    EXPECT_EQ(f.form.channeloption()->title(), "通道");
    EXPECT_EQ(f.form.chan(0)->text(), "1");
    EXPECT_EQ(f.form.chan(5)->text(), "6");
    EXPECT_EQ(checkedChannels(f.form), std::vector<int> { 0 });

    f.form.chan(5)->trigger();
    EXPECT_EQ(checkedChannels(f.form), std::vector<int> { 5 });
    press(f, 12);
    release(f, 12);
    EXPECT_EQ(f.values(), (Values { 0x7F3C95, 0x3C85 }));

    // Choosing the marked entry again keeps the mark and the channel.
    f.form.chan(5)->trigger();
    EXPECT_EQ(checkedChannels(f.form), std::vector<int> { 5 });
    EXPECT_EQ(f.form1.channel, 5);
}

TEST(ChannelMenu, ANoteHeldAcrossAChannelChangeEndsOnTheNewChannel)
{
    FormFixture f;
    press(f, 0);
    f.form.chan(1)->trigger();
    release(f, 0);
    EXPECT_EQ(f.values(), (Values { on(48, 0), off(48, 1) }));
    EXPECT_EQ(midi::bytesOf(f.values()[1])[0], 0x81);
}

TEST(Menus, F10OpensTheMenuBarForArrowsReturnAndEscape)
{
    FormFixture f;
    f.form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.form));
    const auto key = [](Qt::Key k) { QTest::keyClick(QGuiApplication::focusWindow(), k); };
    const auto opened = [](QMenu* menu) {
        return QTest::qWaitFor([&] { return QApplication::activePopupWidget() == menu; }, 2000);
    };
    key(Qt::Key_F10);
    ASSERT_TRUE(opened(f.form.midi_devices()));
    key(Qt::Key_Right);
    ASSERT_TRUE(opened(f.form.channeloption()));
    // Opened from the keyboard, its first entry is highlighted.
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.form.channeloption()->isVisible(); }, 2000));
    EXPECT_EQ(f.form1.channel, 1);

    key(Qt::Key_F10);
    ASSERT_TRUE(opened(f.form.midi_devices()));
    key(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.form.midi_devices()->isVisible(); }, 2000));
    // No mnemonics, and nothing played meanwhile; a played key still plays.
    EXPECT_EQ(f.form.midi_devices()->title(), "Midi设备");
    EXPECT_EQ(f.form.channeloption()->title(), "通道");
    EXPECT_TRUE(f.values().empty());
    QTest::keyClick(f.window(), Qt::Key_Z);
    EXPECT_EQ(f.values(), (Values { on(48, 1), off(48, 1) }));
}

TEST(VelocityBar, RunsFrom127AtTheTopTo0AtTheBottomAndStartsAt127)
{
    FormFixture f;
    VelocityBar* vol = f.form.vol();
    EXPECT_EQ(vol->orientation(), Qt::Vertical);
    EXPECT_EQ(vol->velocity(), 127);
    EXPECT_EQ(f.form1.velocity, 127);
    EXPECT_EQ(f.form.Label1()->text(), "音   量");
    // The first control in tab order, and the one with the focus at start.
    EXPECT_EQ(QApplication::focusWidget(), vol);
    EXPECT_EQ(vol->nextInFocusChain(), f.form.Command1(0));
    EXPECT_LT(thumbOf(vol).center().y(), vol->height() / 4);

    vol->setVelocity(0);
    EXPECT_GT(thumbOf(vol).center().y(), vol->height() * 3 / 4);
    press(f, 0);
    EXPECT_EQ(f.values(), (Values { on(48, 0, 0) }));
}

TEST(VelocityBar, EveryControlMovesTheThumbTheWayItPointsAndTheVelocityFollows)
{
    FormFixture f;
    VelocityBar* vol = f.form.vol();
    const auto click = [&](QPoint at) {
        QTest::mousePress(vol, Qt::LeftButton, {}, at);
        QTest::mouseRelease(vol, Qt::LeftButton, {}, at);
    };
    const auto wheel = [&](int delta) {
        const QPointF at = vol->rect().center();
        QWheelEvent event(
            at, vol->mapToGlobal(at), {}, { 0, delta }, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(vol, &event);
    };
    const QPoint up = partOf(vol, QStyle::SC_ScrollBarSubLine).center();
    const QPoint down = partOf(vol, QStyle::SC_ScrollBarAddLine).center();
    // Each step: what it does, the velocity after it, and which way the thumb went (-1 up, +1 down).
    struct Step {
        const char* what;
        std::function<void()> act;
        int velocity;
        int thumb;
    };
    const std::vector<Step> steps {
        { "Down", [&] { QTest::keyClick(vol, Qt::Key_Down); }, 126, +1 },
        { "Page Down", [&] { QTest::keyClick(vol, Qt::Key_PageDown); }, 116, +1 },
        { "Up", [&] { QTest::keyClick(vol, Qt::Key_Up); }, 117, -1 },
        { "Page Down", [&] { QTest::keyClick(vol, Qt::Key_PageDown); }, 107, +1 },
        { "Page Down", [&] { QTest::keyClick(vol, Qt::Key_PageDown); }, 97, +1 },
        { "the lower arrow", [&] { click(down); }, 96, +1 },
        { "the upper arrow", [&] { click(up); }, 97, -1 },
        { "the trough below the thumb", [&] { click({ down.x(), thumbOf(vol).bottom() + 3 }); }, 87, +1 },
        { "the trough above the thumb", [&] { click({ up.x(), thumbOf(vol).top() - 3 }); }, 97, -1 },
        { "the wheel turned down", [&] { wheel(-120); }, 94, +1 },
        { "the wheel turned up", [&] { wheel(120); }, 97, -1 },
        { "End", [&] { QTest::keyClick(vol, Qt::Key_End); }, 0, +1 },
        { "the upper arrow at the bottom", [&] { click(up); }, 1, -1 },
        { "Home", [&] { QTest::keyClick(vol, Qt::Key_Home); }, 127, -1 },
        { "the lower arrow at the top", [&] { click(down); }, 126, +1 },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const int before = thumbOf(vol).center().y();
        step.act();
        EXPECT_EQ(f.form1.velocity, step.velocity);
        EXPECT_EQ(vol->velocity(), step.velocity);
        const int moved = thumbOf(vol).center().y() - before;
        EXPECT_EQ((moved > 0) - (moved < 0), step.thumb);
    }
}

TEST(VelocityBar, ADragSetsTheVelocityOnlyWhenItEnds)
{
    FormFixture f;
    VelocityBar* vol = f.form.vol();
    const QPoint grab = thumbOf(vol).center();
    QTest::mousePress(vol, Qt::LeftButton, {}, grab);
    for (int y = grab.y(); y <= vol->height(); y += 10) {
        QMouseEvent move(QEvent::MouseMove, QPointF(grab.x(), y), vol->mapToGlobal(QPointF(grab.x(), y)),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vol, &move);
    }
    EXPECT_EQ(f.form1.velocity, 127);
    QTest::mouseRelease(vol, Qt::LeftButton, {}, QPoint(grab.x(), vol->height()));
    EXPECT_EQ(f.form1.velocity, 0);
}

TEST(VelocityBar, ANoteStruckLoudStillEndsAfterTheBarMoved)
{
    FormFixture f;
    f.form.vol()->setVelocity(100);
    press(f, 7);
    f.form.vol()->setVelocity(20);
    release(f, 7);
    press(f, 7);
    EXPECT_EQ(f.values(), (Values { on(55, 0, 100), off(55), on(55, 0, 20) }));
}

TEST(DeviceMenu, ListsTheBuiltInSynthThenThePortsAndMarksTheChoice)
{
    FormFixture f({ "Port A", "Port B", "Port C" });
    EXPECT_EQ(f.form.midi_devices()->title(), "Midi设备");
    EXPECT_EQ(visibleDevices(f.form), (QStringList { "MIDI Mapper", "Port A", "Port B", "Port C" }));
    EXPECT_EQ(checkedDevices(f.form), std::vector<int> { 0 });
    EXPECT_EQ(f.form1.deviceId, -1);

    f.form.device(2)->trigger();
    EXPECT_EQ(checkedDevices(f.form), std::vector<int> { 2 });
    EXPECT_EQ(f.form1.deviceId, 1);
    press(f, 0);
    ASSERT_EQ(f.recording->messages.size(), 1u);
    EXPECT_EQ(f.recording->messages[0].deviceId, 1);

    // A click on the marked entry reopens the same device and keeps the mark.
    const int opens = f.recording->opens;
    f.form.device(2)->trigger();
    EXPECT_EQ(checkedDevices(f.form), std::vector<int> { 2 });
    EXPECT_EQ(f.recording->opens, opens + 1);
    EXPECT_EQ(f.recording->opens - f.recording->closes, 1);

    f.form.device(0)->trigger();
    EXPECT_EQ(f.form1.deviceId, -1);
    EXPECT_EQ(checkedDevices(f.form), std::vector<int> { 0 });
    EXPECT_TRUE(f.boxes.texts.empty());
}

TEST(DeviceMenu, AFailedOpenKeepsTheMarkOnTheClickedEntryAndIsReportedOnce)
{
    FormFixture f({ "Gone" }, { 0 });
    f.form.device(1)->trigger();
    ASSERT_EQ(f.boxes.texts.size(), 1u);
    EXPECT_EQ(f.boxes.texts[0], Form1::failedOpenMessage);
    EXPECT_EQ(checkedDevices(f.form), std::vector<int> { 1 });
    EXPECT_FALSE(f.port.isOpen());
    press(f, 0);
    EXPECT_TRUE(f.values().empty());

    f.form.device(0)->trigger();
    EXPECT_EQ(f.boxes.texts.size(), 1u);
    release(f, 0);
    EXPECT_EQ(f.values(), (Values { off(48) }));
}

TEST(DeviceMenu, ShowsAtMostTenPortsAndNamesAsTheyAre)
{
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i)
        names.push_back("Port " + std::to_string(i));
    // As under Wine: '&' is no shortcut marker, and a runaway name is cut in its middle.
    names[1] = "A&B Synth";
    names[2] = std::string("Cut\0here", 8);
    names[3] = "Flügel 钢琴 Ω";
    names[4] = std::string(40, 'a') + std::string(40, 'z');
    names[5] = "";
    FormFixture f(names);
    const QStringList shown = visibleDevices(f.form);
    ASSERT_EQ(shown.size(), 11);
    EXPECT_EQ(shown[2], "A&&B Synth");
    EXPECT_EQ(shown[3], "Cut");
    EXPECT_EQ(shown[4], "Flügel 钢琴 Ω");
    EXPECT_EQ(shown[5], QString(30, 'a') + "…" + QString(29, 'z'));
    EXPECT_EQ(shown[6], "");
    EXPECT_EQ(shown[10], "Port 9");
    EXPECT_LT(f.form.midi_devices()->sizeHint().width(), 600);

    // The entry of the nameless port still opens its device.
    f.form.device(6)->trigger();
    EXPECT_EQ(f.form1.deviceId, 5);
    EXPECT_TRUE(f.port.isOpen());
}
