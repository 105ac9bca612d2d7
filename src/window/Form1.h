#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>

#include "demo/DemoPlayer.h"
#include "window/CheckMenu.h"
#include "window/HeldKeys.h"
#include "window/Instrument.h"
#include "window/KeyButton.h"
#include "window/KeyFilter.h"
#include "window/LayoutScale.h"
#include "window/VelocityBar.h"

class MidiPort;

// The keyboard window. It builds the controls and wires them to the
// instrument it plays and to the computer keys it holds.
class Form1 : public QMainWindow {
    Q_OBJECT

    // First, so that the names below that stand for their state can refer to it.
    Instrument instrument_;
    HeldKeys computerKeys_;

public:
    static const QString failedOpenMessage;

    explicit Form1(MidiPort& port, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: opens the output; a failed open is reported before the window shows.
    void Form_Load();
    // Centred on its screen, laid out first at the scale that fits it there.
    void centreOnScreen();
    // On a screen whose available area cannot hold the window (frame included
    // once the desktop reports it), the client area is laid out at the largest
    // uniform scale that fits. True when that changed the scale.
    bool fitToScreen();
    bool fitInto(QSize available);

    void NoteOn(int16_t keyIndex) { instrument_.NoteOn(keyIndex); }
    void NoteOff(int16_t keyIndex) { instrument_.NoteOff(keyIndex); }
    void SelectDevice(int32_t newId);

    // Menu and bar handlers, public so that tests click exactly as a user would.
    void device_Click(int16_t index);
    void chan_Click(int16_t index);
    void vol_Change();

    KeyButton* Command1(int index) const { return keys_[static_cast<size_t>(index)]; }
    QAction* device(int index) const { return devices_->entry(index); }
    QAction* chan(int index) const { return channels_->entry(index); }
    QMenu* midi_devices() const { return devices_->menu(); }
    QMenu* channeloption() const { return channels_->menu(); }
    VelocityBar* vol() const { return vol_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QLabel* Label3() const { return label3_; }
    QWidget* clientArea() const { return centralWidget(); }

    // The client area: the controls reach this far right and down (the English label's corner).
    static constexpr TwipsRect clientTwips { 0, 0, 9255, 10095 };

    // The demo button: plays DemoTune, public like the handlers above.
    void Command2_Click();
    QPushButton* Command2() const { return command2_; }
    DemoPlayer& demoPlayer() { return demo_; }

    static constexpr int deviceEntries = 11; // "MIDI Mapper" and up to 10 ports
    static constexpr int channelEntries = 6;

    // The instrument's state under the names the handlers use.
    int32_t& deviceId = instrument_.deviceId;
    int32_t& hMidiOut = instrument_.hMidiOut;
    int16_t& channel = instrument_.channel;
    int16_t& velocity = instrument_.velocity;

    // Computer-keyboard play. KeyFilter calls these for every real press and
    // release of the window, before the focused control sees the key.
    void Form_KeyDown(int16_t keyCode, int16_t shift);
    void Form_KeyUp(int16_t keyCode, int16_t shift);
    // The window lost the activation: a key released elsewhere would
    // otherwise sound on and swallow its next press.
    void Form_Deactivate();

    // Slot s of KeyMap is heldKeys[s - 1]: its key code while the key is held, else 0.
    std::array<int16_t, KeyMap.size()>& heldKeys = computerKeys_.codes;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Form_Unload() { instrument_.close(); }
    void Command1_MouseDown(int index) { NoteOn(static_cast<int16_t>(index)); }
    void Command1_MouseUp(int index) { NoteOff(static_cast<int16_t>(index)); }
    // Tells key `keyIndex` whether a computer key holds it.
    void showHeld(int16_t keyIndex);

    void buildMenus();
    void buildKeys(QWidget* client);
    void buildVelocityBar(QWidget* client);
    void buildDemoButton(QWidget* client);

    MidiPort& port_;
    std::array<KeyButton*, keyGrid.size()> keys_ {};
    std::unique_ptr<CheckMenu> devices_;
    std::unique_ptr<CheckMenu> channels_;
    VelocityBar* vol_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QPushButton* command2_ = nullptr;
    DemoPlayer demo_ { this };

    std::unique_ptr<LayoutScale> layout_;
    bool centred_ = false;
    bool framed_ = false;

    // Last, so that it is gone before the rest of the window.
    KeyFilter keyFilter_ { *this, computerKeys_,
        { [this](int16_t code, int16_t shift) { Form_KeyDown(code, shift); },
            [this](int16_t code, int16_t shift) { Form_KeyUp(code, shift); },
            [this] { Form_Deactivate(); } } };
};
