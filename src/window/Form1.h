#pragma once

#include <array>
#include <cstdint>

#include <QLabel>
#include <QMainWindow>

#include "midi/MidiPort.h"
#include "window/KeyButton.h"

// The keyboard window. It holds all of the program's state: the open port,
// the channel and velocity of the notes it sends, and the computer keys held.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    static const QString failedOpenMessage;

    explicit Form1(MidiPort& port, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: opens the output; a failed open is reported before the window shows.
    void Form_Load();

    void NoteOn(int16_t keyIndex);
    void NoteOff(int16_t keyIndex);
    void SelectDevice(int32_t newId);

    KeyButton* Command1(int index) const { return keys_[static_cast<size_t>(index)]; }
    QLabel* Label2() const { return label2_; }
    QLabel* Label3() const { return label3_; }
    QWidget* clientArea() const { return centralWidget(); }

    int32_t deviceId = 0;
    int32_t hMidiOut = 0;
    int16_t channel = 0;
    int16_t velocity = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Unload();
    void Command1_MouseDown(int index);
    void Command1_MouseUp(int index);

    MidiPort& port_;
    std::array<KeyButton*, keyGrid.size()> keys_{};
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
};
