#include "window/Form1.h"

#include <algorithm>

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "midi/MidiPort.h"
#include "window/AccessibleControls.h"
#include "window/DeviceCaption.h"
#include "window/FailedOpenBox.h"
#include "window/MenuBarFocus.h"
#include "window/TwipsControls.h"

const QString Form1::failedOpenMessage = QStringLiteral("不能打开midi输出！");

Form1::Form1(MidiPort& port, QWidget* parent)
    : QMainWindow(parent)
    , instrument_(port)
    , port_(port)
{
    installAccessibleControls();
    setWindowTitle(QStringLiteral("Tonvelo"));
    // A window that cannot grow offers no maximise, neither its button nor a
    // double click on its title.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    auto* client = new QWidget(this);
    client->setFixedSize(clientTwips.toPixels().size());
    setCentralWidget(client);
    buildMenus();
    buildVelocityBar(client);
    buildKeys(client);
    label2_ = makeLabel(
        client, QStringLiteral("电脑MIDI键盘"), QStringLiteral("华文行楷"), 15.75, { 5280, 7920, 2895, 735 });
    label3_ = makeLabel(client, QStringLiteral("Play with the mouse, or the keys Z–/, A–; and Q–P"),
        QStringLiteral("Times New Roman"), 15.75, { 5280, 9000, 3975, 1095 });
    buildDemoButton(client);
    layout_ = std::make_unique<LayoutScale>(*client, clientTwips);

    setFixedSize(sizeHint());
}

Form1::~Form1() = default;

void Form1::buildMenus()
{
    devices_ = std::make_unique<CheckMenu>(*menuBar(), QStringLiteral("Midi设备"),
        QStringList(deviceEntries, QString()), [this](int16_t i) { device_Click(i); });
    channels_ = std::make_unique<CheckMenu>(*menuBar(), QStringLiteral("通道"),
        QStringList { "1", "2", "3", "4", "5", "6" }, [this](int16_t k) { chan_Click(k); });
    // Desktops open the menu bar with F10; the captions carry no mnemonics for Alt.
    auto* openMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenuBar, &QShortcut::activated, this,
        [this] { menuBar()->setActiveAction(midi_devices()->menuAction()); });
    new MenuBarFocus(*menuBar());
}

void Form1::buildKeys(QWidget* client)
{
    // Created white keys first, each one above the keys before it, so that
    // black keys lie above the white ones and overlapping white keys show
    // the right-hand one on top.
    for (KeyKind kind : { KeyKind::White, KeyKind::Black }) {
        for (const auto& key : keyGrid) {
            if (key.kind != kind)
                continue;
            auto* button = new KeyButton(key, client);
            connect(button, &KeyButton::mouseDown, this, [this](int i) { Command1_MouseDown(i); });
            connect(button, &KeyButton::mouseUp, this, [this](int i) { Command1_MouseUp(i); });
            keys_[static_cast<size_t>(key.index)] = button;
        }
    }
    setTabOrder(vol_, keys_[0]);
    for (size_t i = 1; i < keys_.size(); ++i)
        setTabOrder(keys_[i - 1], keys_[i]);
}

void Form1::buildVelocityBar(QWidget* client)
{
    label1_ = makeLabel(
        client, QStringLiteral("音   量"), QStringLiteral("宋体"), 14.25, { 6120, 3600, 255, 975 });

    vol_ = new VelocityBar(client);
    // The label names the bar for assistive technology.
    label1_->setBuddy(vol_);
    vol_->setGeometry(TwipsRect { 6120, 4800, 375, 2655 }.toPixels());
    connect(vol_, &VelocityBar::velocityChanged, this, [this] { vol_Change(); });
}

void Form1::buildDemoButton(QWidget* client)
{
    command2_ = makeButton(
        client, QStringLiteral("雪花神剑"), QStringLiteral("华文行楷"), 21.75, { 1920, 9120, 2535, 735 });
    setTabOrder(keys_.back(), command2_);
    connect(command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

void Form1::Form_Load()
{
    devices_->show(0, QStringLiteral("MIDI Mapper"));
    const int count = std::min(port_.deviceCount(), deviceEntries - 1);
    for (int i = 0; i < count; ++i)
        devices_->show(i + 1, deviceCaption(port_.deviceName(i)));
    device_Click(0);

    chan_Click(0);

    velocity = 127;
    vol_->setRange(0, 127);
    vol_->setVelocity(velocity);
    vol_->setFocus(Qt::OtherFocusReason);

    heldKeys.fill(0);
}

bool Form1::fitToScreen()
{
    return fitInto(screen()->availableGeometry().size());
}

bool Form1::fitInto(QSize available)
{
    if (!layout_->fitWindow(*this, available))
        return false;
    setFixedSize(sizeHint());
    return true;
}

void Form1::changeEvent(QEvent* event)
{
    // The desktop has framed the window by the time it first activates it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && centred_ && !framed_) {
        framed_ = true;
        if (fitToScreen())
            centreOnScreen();
    }
    QMainWindow::changeEvent(event);
}

void Form1::centreOnScreen()
{
    centred_ = true;
    fitToScreen();
    const QRect available = screen()->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
}

void Form1::device_Click(int16_t index)
{
    devices_->check(index);
    SelectDevice(index - 1);
}

void Form1::chan_Click(int16_t index)
{
    channel = index;
    channels_->check(channel);
}

void Form1::vol_Change()
{
    velocity = static_cast<int16_t>(vol_->velocity());
}

void Form1::SelectDevice(int32_t newId)
{
    if (!instrument_.open(newId))
        showFailedOpen(this, failedOpenMessage);
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_KeyDown(int16_t keyCode, int16_t)
{
    const KeyBinding* key = findKey(keyCode);
    if (!key || computerKeys_.holds(*key, keyCode))
        return; // a key that plays nothing, or the platform repeating a held key
    // A focus moved from the keyboard, so that the key shows the style's focus indicator.
    Command1(key->keyIndex)->setFocus(Qt::ShortcutFocusReason);
    NoteOn(key->keyIndex);
    computerKeys_.hold(*key, keyCode);
    showHeld(key->keyIndex);
}

void Form1::Form_KeyUp(int16_t keyCode, int16_t)
{
    const KeyBinding* key = findKey(keyCode);
    if (!key)
        return;
    // Sent even when the slot shows no press: the press may have gone to another window.
    NoteOff(key->keyIndex);
    computerKeys_.release(*key);
    showHeld(key->keyIndex);
}

void Form1::Form_Deactivate()
{
    for (const KeyBinding* key : computerKeys_.releaseAll()) {
        NoteOff(key->keyIndex);
        showHeld(key->keyIndex);
    }
}

void Form1::showHeld(int16_t keyIndex)
{
    Command1(keyIndex)->setHeldByKeys(computerKeys_.holdsKey(keyIndex));
}

void Form1::Command2_Click()
{
    const bool activationLost = demo_.play(DemoTune, [this](const DemoStep& step) {
        if (step.action == DemoAction::Strike)
            NoteOn(step.key);
        else
            NoteOff(step.key);
    });
    // The keys held back by the tune may have been released in another window.
    if (activationLost)
        Form_Deactivate();
}
