#include <algorithm>
#include <functional>

#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

#include "FastClock.h"
#include "FormFixture.h"
#include "demo/DemoTune.h"

using Values = std::vector<uint32_t>;
using Async = QWindowSystemInterface::AsynchronousDelivery;
using Sync = QWindowSystemInterface::SynchronousDelivery;

namespace {

constexpr int speed = 100;
// How late the test clock wakes the player from each sleep.
constexpr auto late = std::chrono::milliseconds(5);

Values tuneValues(int channel, int velocity)
{
    Values values;
    for (const auto& step : DemoTune) {
        const int note = midi::noteOfKey(step.key);
        const bool strike = step.action == DemoAction::Strike;
        values.push_back(strike ? on(note, channel, velocity) : off(note, channel));
    }
    return values;
}

Values concat(std::initializer_list<Values> parts)
{
    Values all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The keyboard window with its demo on a fast clock.
struct DemoForm : FormFixture {
    DemoForm()
    {
        form1.demoPlayer().setClock(std::unique_ptr<DemoClock>(clock));
        form.activateWindow();
        active = QTest::qWaitForWindowActive(&form);
    }

    QPoint centre(QWidget* widget) const { return widget->mapTo(&form, widget->rect().center()); }

    void click(QWidget* widget) { QTest::mouseClick(window(), Qt::LeftButton, {}, centre(widget)); }

    // Input as the window system delivers it: queued, not handled on the spot.
    void postClick(QWidget* widget)
    {
        const QPoint at = centre(widget);
        const QPoint global = window()->mapToGlobal(at);
        QWindowSystemInterface::handleMouseEvent<Async>(
            window(), at, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
        QWindowSystemInterface::handleMouseEvent<Async>(
            window(), at, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
    }

    void postKey(Qt::Key key, const QString& text)
    {
        for (auto type : { QEvent::KeyPress, QEvent::KeyRelease })
            postKey(window(), type, key, text);
    }

    static void postKey(QWindow* to, QEvent::Type type, Qt::Key key, const QString& text)
    {
        QWindowSystemInterface::handleKeyEvent<Async>(to, type, key, Qt::NoModifier, text);
    }

    // Handles queued events until `count` messages are recorded.
    bool waitForMessages(size_t count)
    {
        return QTest::qWaitFor([&] { return recording->messages.size() >= count; }, 30000);
    }

    FastClock* clock = new FastClock(speed, late);
    bool active = false;
};

// Runs actions from inside the tune's waits, each once the recording holds a
// given number of messages: after the sleep that follows that step.
class DuringTune {
public:
    DuringTune(const Recording& recording, FastClock& clock)
        : clock_(clock)
    {
        clock.slept = [this, &recording] {
            for (auto& cue : cues_)
                if (!cue.done && recording.messages.size() >= cue.messages) {
                    cue.done = true;
                    cue.action();
                }
        };
    }
    ~DuringTune() { clock_.slept = nullptr; }

    void at(size_t messages, std::function<void()> action)
    {
        cues_.push_back({ messages, std::move(action) });
    }

private:
    struct Cue {
        size_t messages;
        std::function<void()> action;
        bool done = false;
    };
    FastClock& clock_;
    std::vector<Cue> cues_;
};

// Calls `seen` for each event of one type that reaches `target`.
struct EventSpy : QObject {
    EventSpy(QObject* target, QEvent::Type type, std::function<void()> seen)
        : type(type)
        , seen(std::move(seen))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == type)
            seen();
        return false;
    }
    QEvent::Type type;
    std::function<void()> seen;
};

} // namespace

TEST(DemoButton, CaptionFontPlaceAndTabOrder)
{
    DemoForm f;
    QPushButton* button = f.form.Command2();
    EXPECT_EQ(button->text(), QStringLiteral("雪花神剑"));
    EXPECT_EQ(button->font().family(), QStringLiteral("华文行楷"));
    EXPECT_EQ(button->font().pointSizeF(), 21.75);
    EXPECT_EQ(button->font().weight(), QFont::Normal);
    EXPECT_EQ(button->geometry(), toPixels(TwipsRect({ 1920, 9120, 2535, 735 })));
    // The family stands in for one that the system has: the caption draws as glyphs.
    const QFontMetrics metrics(button->font());
    for (QChar c : button->text())
        EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());

    // Tab goes from the last key to the button, and from the button round to the bar.
    ASSERT_TRUE(f.active);
    f.form.Command1(37)->setFocus();
    QTest::keyClick(f.form.Command1(37), Qt::Key_Tab);
    EXPECT_TRUE(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Tab);
    EXPECT_TRUE(f.form.vol()->hasFocus());
}

TEST(DemoTune, PlaysEveryStepInTableOrderOnTheCurrentChannelAndVelocity)
{
    DemoForm f;
    f.form1.channel = 2;
    f.form1.velocity = 0;
    const auto clicked = f.clock->now();
    f.click(f.form.Command2());
    const auto returned = f.clock->now();

    // A note-on at velocity 0 stays a note-on (0x92), it does not become a note-off.
    EXPECT_EQ(f.values(), tuneValues(2, 0));
    // Each step goes out at click time + the pauses before it, however late
    // the sleep before it woke, and the click returns after the last pause.
    std::vector<size_t> offTime;
    auto due = clicked;
    for (size_t i = 0; i < DemoTune.size() && i < f.recording->messages.size(); ++i) {
        const auto sent = f.clock->at(f.recording->messages[i].time);
        if (sent < due || sent > due + late)
            offTime.push_back(i + 1);
        due += std::chrono::milliseconds(DemoTune[i].pause);
    }
    EXPECT_EQ(offTime, std::vector<size_t> {});
    EXPECT_GE(returned - clicked, std::chrono::milliseconds(72860));
    EXPECT_LE(returned - clicked, std::chrono::milliseconds(72860) + late);
}

TEST(DemoTune, InputDuringTheTuneIsHandledAfterItInOrder)
{
    DemoForm f;
    ASSERT_TRUE(f.active);
    int doubleClicks = 0;
    const EventSpy spy(f.form.Command1(5), QEvent::MouseButtonDblClick, [&] { ++doubleClicks; });
    DuringTune during(*f.recording, *f.clock);
    // Space on the focused button, a key played with the mouse, a second click on the button.
    during.at(20, [&] { f.postKey(Qt::Key_Space, QStringLiteral(" ")); });
    // A double click on a key: one click, then Qt's double click.
    during.at(40, [&] {
        f.postClick(f.form.Command1(5));
        f.postClick(f.form.Command1(5));
    });
    during.at(60, [&] { f.postClick(f.form.Command2()); });
    // F10 opens the menus once everything before it has been handled.
    during.at(80, [&] { f.postKey(Qt::Key_F10, QString()); });
    f.click(f.form.Command2());

    ASSERT_TRUE(f.waitForMessages(3 * DemoTune.size() + 4));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == f.form.midi_devices(); }));
    const Values tune = tuneValues(0, 127);
    EXPECT_EQ(f.values(), concat({ tune, tune, { on(53), off(53), on(53), off(53) }, tune }));
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_FALSE(f.form.Command1(5)->isHeld());
}

TEST(DemoTune, TheWindowPaintsDuringTheTune)
{
    DemoForm f;
    // How many messages had gone out at each paint of one key.
    std::vector<size_t> paints;
    const EventSpy spy(
        f.form.Command1(0), QEvent::Paint, [&] { paints.push_back(f.recording->messages.size()); });
    DuringTune during(*f.recording, *f.clock);
    during.at(30, [&] { f.form.Command1(0)->update(); });
    f.click(f.form.Command2());
    const auto duringTune = [](size_t sent) { return sent >= 30 && sent < DemoTune.size(); };
    EXPECT_TRUE(std::any_of(paints.begin(), paints.end(), duringTune));
}

TEST(DemoTune, ClosingDuringTheTuneEndsItAndClosesTheWindowAtOnce)
{
    for (bool fromWindowSystem : { true, false }) {
        DemoForm f;
        DuringTune during(*f.recording, *f.clock);
        during.at(20, [&] { f.postKey(Qt::Key_Z, QStringLiteral("z")); });
        during.at(30, [&] {
            fromWindowSystem ? (void)QWindowSystemInterface::handleCloseEvent<Sync>(f.window())
                             : (void)f.form.close();
        });
        f.click(f.form.Command2());

        // No further step, no note-off, and the key pressed meanwhile goes unheard.
        const Values tune = tuneValues(0, 127);
        EXPECT_EQ(f.values(), Values(tune.begin(), tune.begin() + 30));
        EXPECT_FALSE(f.form.isVisible());
        EXPECT_FALSE(f.port.isOpen());
    }
}

TEST(DemoTune, AClickFromWithinTheTunePlaysItOnceMoreAfterwards)
{
    DemoForm f;
    DuringTune during(*f.recording, *f.clock);
    during.at(30, [&] { f.form.Command2()->click(); });
    f.click(f.form.Command2());
    EXPECT_EQ(f.values(), concat({ tuneValues(0, 127), tuneValues(0, 127) }));
}
