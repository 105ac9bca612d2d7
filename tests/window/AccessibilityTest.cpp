#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QAccessible>
#include <QMenuBar>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include "FormFixture.h"

namespace {

QAccessibleInterface* face(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// What a screen reader is told took the focus, while one lives; Qt tells
// nothing unless one listens.
struct FocusAnnouncements {
    FocusAnnouncements()
    {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler(&hear);
    }
    ~FocusAnnouncements()
    {
        QAccessible::installUpdateHandler(nullptr);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
    }
    static void hear(QAccessibleEvent* event)
    {
        if (event->type() == QAccessible::Focus)
            heard.push_back(event->object());
    }
    static inline std::vector<QObject*> heard;
};

} // namespace

TEST(Accessibility, EveryKeyIsNamedByItsPitchAndSaysWhetherItIsBlackOrWhite)
{
    // One name per note, so no two keys share one, as their captions do.
    FormFixture f;
    const char* pitches[] = { "C", "C♯", "D", "D♯", "E", "F", "F♯", "G", "G♯", "A", "A♯", "B" };
    for (const KeyInfo& key : keyGrid) {
        const int note = midi::noteOfKey(key.index);
        QAccessibleInterface* button = face(f.form.Command1(key.index));
        EXPECT_EQ(button->role(), QAccessible::PushButton);
        EXPECT_EQ(button->text(QAccessible::Name),
            QString::fromUtf8(pitches[note % 12]) + QString::number(note / 12 - 1));
        EXPECT_EQ(
            button->text(QAccessible::Description), key.kind == KeyKind::White ? "white key" : "black key");
        EXPECT_EQ(f.form.Command1(key.index)->text(), QString::fromUtf8(key.caption));
    }
}

TEST(Accessibility, AKeyIsPressedWhileTheMouseOrAComputerKeyHoldsIt)
{
    FormFixture f;
    const auto pressed = [&](int key) { return face(f.form.Command1(key))->state().pressed; };
    const QPoint centre = f.windowPoint(toPixels(keyGrid[5].rect).center());
    QTest::mousePress(f.window(), Qt::LeftButton, {}, centre);
    EXPECT_TRUE(pressed(5));
    QTest::mouseRelease(f.window(), Qt::LeftButton, {}, centre);
    EXPECT_FALSE(pressed(5));

    QTest::keyPress(f.window(), Qt::Key_Z);
    EXPECT_TRUE(pressed(0));
    EXPECT_FALSE(pressed(5));
    QTest::keyRelease(f.window(), Qt::Key_Z);
    EXPECT_FALSE(pressed(0));
}

TEST(Accessibility, TheVelocityBarIsNamedByItsLabelAndReadsTheVelocity)
{
    FormFixture f;
    QAccessibleInterface* bar = face(f.form.vol());
    EXPECT_EQ(bar->text(QAccessible::Name), "音   量");
    ASSERT_EQ(bar->relations(QAccessible::Label).size(), 1);
    EXPECT_EQ(bar->relations(QAccessible::Label)[0].first->object(), f.form.Label1());
    ASSERT_TRUE(bar->valueInterface());
    EXPECT_EQ(bar->valueInterface()->currentValue(), 127);
    EXPECT_EQ(bar->valueInterface()->maximumValue(), 127);

    QTest::keyClick(f.form.vol(), Qt::Key_End);
    EXPECT_EQ(bar->valueInterface()->currentValue(), 0);
    bar->valueInterface()->setCurrentValue(100);
    EXPECT_EQ(f.form1.velocity, 100);
}

TEST(Accessibility, DeviceAndChannelEntriesAreChoicesCheckedOrNot)
{
    FormFixture f({ "Port A" });
    f.form1.chan_Click(2);
    // Only the entries shown: "MIDI Mapper" and the one port, not the hidden slots.
    for (auto [menu, shown] :
        { std::pair { f.form.midi_devices(), 2 }, std::pair { f.form.channeloption(), 6 } }) {
        QAccessibleInterface* list = face(menu);
        ASSERT_EQ(list->childCount(), shown);
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface* entry = list->child(i);
            EXPECT_EQ(entry->role(), QAccessible::RadioButton);
            EXPECT_TRUE(entry->state().checkable);
            EXPECT_FALSE(entry->text(QAccessible::Name).isEmpty());
            EXPECT_EQ(entry->state().checked, menu->actions()[i]->isChecked());
            EXPECT_EQ(list->indexOfChild(entry), i);
            EXPECT_EQ(entry->parent(), list);
        }
    }
    EXPECT_EQ(face(f.form.device(1))->text(QAccessible::Name), "Port A");
}

TEST(Accessibility, MovingFromMenuToMenuKeepsTheFocusInTheMenusUntilOneCloses)
{
    FormFixture f;
    f.form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.form));
    QTest::keyClick(f.window(), Qt::Key_Z);
    const auto key = [](Qt::Key k) { QTest::keyClick(QGuiApplication::focusWindow(), k); };
    const FocusAnnouncements announcements;
    key(Qt::Key_F10);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == f.form.midi_devices(); }, 2000));
    key(Qt::Key_Right);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == f.form.channeloption(); }, 2000));
    // Qt's bar hands the window's focus back to whatever held it when it
    // moves to the next menu; that is not for a screen reader to announce.
    const auto& heard = FocusAnnouncements::heard;
    EXPECT_EQ(std::count(heard.begin(), heard.end(), f.form.Command1(0)), 0);
    EXPECT_GT(std::count(heard.begin(), heard.end(), f.form.channeloption()), 0);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.form.Command1(0)->hasFocus(); }, 2000));
    EXPECT_EQ(f.form1.channel, 1);
}
