#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>

#include "window/Controls.h"
#include "window/Form1.h"
#include "window/FormView.h"
#include "window/qt/CheckMenu.h"
#include "window/qt/KeyButton.h"
#include "window/qt/KeyFilter.h"
#include "window/qt/LayoutScale.h"
#include "window/qt/QtDemoHost.h"
#include "window/qt/TwipsPixels.h"
#include "window/qt/VelocityBar.h"

class MidiPort;

// The keyboard window in Qt. It makes the controls, lays them out from their
// twips and hands their events to Form1, which does the rest.
class QtForm : public QMainWindow, private FormView {
    Q_OBJECT

    // First, so that Form1 can take it.
    QtDemoHost demoHost_ { *this };
    Form1 form1_;

public:
    explicit QtForm(MidiPort& port, QWidget* parent = nullptr);
    ~QtForm() override;

    Form1& form1() { return form1_; }

    // Centred on its screen, laid out first at the scale that fits it there.
    void centreOnScreen();
    // On a screen whose available area cannot hold the window (frame included
    // once the desktop reports it), the client area is laid out at the largest
    // uniform scale that fits. True when that changed the scale.
    bool fitToScreen();
    bool fitInto(QSize available);

    KeyButton* Command1(int index) const { return keys_[static_cast<size_t>(index)]; }
    QAction* device(int index) const { return devices_->entry(index); }
    QAction* chan(int index) const { return channels_->entry(index); }
    QMenu* midi_devices() const { return devices_->menu(); }
    QMenu* channeloption() const { return channels_->menu(); }
    VelocityBar* vol() const { return vol_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QLabel* Label3() const { return label3_; }
    QPushButton* Command2() const { return command2_; }
    QWidget* clientArea() const { return centralWidget(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showEntry(MenuName menu, int16_t index, const MenuEntry& entry) override;
    void showMessage(const char* text) override;
    void focusKey(int16_t keyIndex) override;
    void showHeldByKeys(int16_t keyIndex, bool held) override;
    void setVolRange(int16_t min, int16_t max) override;
    void setVolValue(int16_t value) override { vol_->setVelocity(value); }
    int16_t volValue() const override { return static_cast<int16_t>(vol_->velocity()); }

    void buildMenus();
    void buildKeys(QWidget* client);
    void buildVelocityBar(QWidget* client);
    void buildDemoButton(QWidget* client);

    std::array<KeyButton*, keyGrid.size()> keys_ {};
    std::unique_ptr<CheckMenu> devices_;
    std::unique_ptr<CheckMenu> channels_;
    VelocityBar* vol_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QPushButton* command2_ = nullptr;

    std::unique_ptr<LayoutScale> layout_;
    bool centred_ = false;
    bool framed_ = false;

    // Last, so that it is gone before the rest of the window.
    KeyFilter keyFilter_ { *this,
        { [this](const ComputerKey& key) { form1_.keyDown(key); },
            [this](const ComputerKey& key) { form1_.keyUp(key); }, [this] { form1_.Form_Deactivate(); } } };
};
