#include "window/Form1.h"

#include <algorithm>

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "midi/MidiMessage.h"
#include "window/AccessibleControls.h"
#include "window/MenuBarFocus.h"

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QString& family, double points, TwipsRect rect)
{
    auto* label = new QLabel(text, parent);
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(rect.toPixels());
    return label;
}

// A desktop that draws the title bar itself (GNOME) fits the title and its
// buttons into the box's width; a box as narrow as its message cut the title short.
void widenForTitle(QMessageBox& box)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const QString title
        = box.windowTitle().isEmpty() ? QGuiApplication::applicationDisplayName() : box.windowTitle();
    constexpr int buttonsAndMargins = 160;
    const int width = QFontMetrics(titleFont).horizontalAdvance(title) + buttonsAndMargins;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
            0, 1, grid->columnCount());
}

} // namespace

const QString Form1::failedOpenMessage = QStringLiteral("不能打开midi输出！");

Form1::Form1(MidiPort& port, QWidget* parent)
    : QMainWindow(parent)
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

    label2_ = makeLabel(
        client, QStringLiteral("电脑MIDI键盘"), QStringLiteral("华文行楷"), 15.75, { 5280, 7920, 2895, 735 });
    label3_ = makeLabel(client, QStringLiteral("Play with the mouse, or the keys Z–/, A–; and Q–P"),
        QStringLiteral("Times New Roman"), 15.75, { 5280, 9000, 3975, 1095 });
    buildDemoButton(client);

    setFixedSize(sizeHint());
}

Form1::~Form1() = default;

void Form1::buildMenus()
{
    midiDevices_ = menuBar()->addMenu(QStringLiteral("Midi设备"));
    for (int i = 0; i < deviceEntries; ++i) {
        // Checkable before it joins the menu, so that it is a choice from the first.
        auto* entry = new QAction(midiDevices_);
        entry->setCheckable(true);
        midiDevices_->addAction(entry);
        entry->setVisible(false);
        entry->setEnabled(false);
        connect(entry, &QAction::triggered, this, [this, i] { device_Click(static_cast<int16_t>(i)); });
        device_[static_cast<size_t>(i)] = entry;
    }
    channelOption_ = menuBar()->addMenu(QStringLiteral("通道"));
    for (int k = 0; k < channelEntries; ++k) {
        auto* entry = new QAction(QString::number(k + 1), channelOption_);
        entry->setCheckable(true);
        channelOption_->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, k] { chan_Click(static_cast<int16_t>(k)); });
        chan_[static_cast<size_t>(k)] = entry;
    }
    // Desktops open the menu bar with F10; the captions carry no mnemonics for Alt.
    auto* openMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenuBar, &QShortcut::activated, this,
        [this] { menuBar()->setActiveAction(midiDevices_->menuAction()); });
    new MenuBarFocus(*menuBar());
}

void Form1::buildVelocityBar(QWidget* client)
{
    label1_ = makeLabel(
        client, QStringLiteral("音   量"), QStringLiteral("宋体"), 14.25, { 6120, 3600, 255, 975 });

    vol_ = new VelocityBar(client);
    // The label names the bar for assistive technology.
    label1_->setBuddy(vol_);
    vol_->setGeometry(TwipsRect { 6120, 4800, 375, 2655 }.toPixels());
    vol_->setSingleStep(1);
    vol_->setPageStep(10);
    vol_->setFocusPolicy(Qt::StrongFocus);
    // Qt's own scroll menu (English, and modal) has no place on this bar.
    vol_->setContextMenuPolicy(Qt::NoContextMenu);
    // The velocity follows the thumb when a drag ends, not while it moves.
    vol_->setTracking(false);
    connect(vol_, &VelocityBar::velocityChanged, this, [this] { vol_Change(); });
}

void Form1::fillDeviceMenu()
{
    device_[0]->setText(QStringLiteral("MIDI Mapper"));
    device_[0]->setVisible(true);
    device_[0]->setEnabled(true);
    const int count = std::min(port_.deviceCount(), deviceEntries - 1);
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromStdString(port_.deviceName(i));
        // A name shows up to its first NUL, and '&' is a letter, not a shortcut marker.
        name.truncate(name.indexOf(QChar(0)) < 0 ? name.size() : name.indexOf(QChar(0)));
        // A runaway name must not stretch the menu across the screen.
        constexpr qsizetype longestName = 60;
        if (name.size() > longestName)
            name = name.left(longestName / 2) + QChar(0x2026) + name.right(longestName / 2 - 1);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = device_[static_cast<size_t>(i + 1)];
        entry->setText(name);
        entry->setVisible(true);
        entry->setEnabled(true);
    }
}

void Form1::Form_Load()
{
    fillDeviceMenu();
    device_Click(0);

    channel = 0;
    chan_[0]->setChecked(true);

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
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize client = clientTwips.toPixels().size();
    const int menu = height() - clientArea()->height();
    const double scale
        = std::min({ 1.0, double(available.width() - frame.left() - frame.right()) / client.width(),
            double(available.height() - frame.top() - frame.bottom() - menu) / client.height() });
    if (scale == scale_)
        return false;
    setLayoutScale(scale);
    return true;
}

void Form1::setLayoutScale(double scale)
{
    if (unscaled_.empty())
        for (QWidget* control : clientArea()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            unscaled_.push_back({ control, control->geometry(), control->font() });
    for (const auto& [control, rect, font] : unscaled_) {
        if (auto* key = qobject_cast<KeyButton*>(control))
            key->setScale(scale);
        else
            control->setGeometry(
                TwipsRect { rect.x() * 15, rect.y() * 15, rect.width() * 15, rect.height() * 15 }.toPixels(
                    scale));
        QFont scaled = font;
        scaled.setPointSizeF(font.pointSizeF() * scale);
        control->setFont(scaled);
    }
    scale_ = scale;
    clientArea()->setFixedSize(clientTwips.toPixels(scale).size());
    setFixedSize(sizeHint());
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
    device_[static_cast<size_t>(deviceId + 1)]->setChecked(false);
    device_[static_cast<size_t>(index)]->setChecked(true);
    SelectDevice(index - 1);
}

void Form1::chan_Click(int16_t index)
{
    chan_[static_cast<size_t>(channel)]->setChecked(false);
    channel = index;
    chan_[static_cast<size_t>(channel)]->setChecked(true);
}

void Form1::vol_Change()
{
    velocity = static_cast<int16_t>(vol_->velocity());
}

void Form1::NoteOn(int16_t keyIndex)
{
    port_.send(hMidiOut, midi::noteOnValue(midi::noteOfKey(keyIndex), channel, velocity));
}

void Form1::NoteOff(int16_t keyIndex)
{
    port_.send(hMidiOut, midi::noteOffValue(midi::noteOfKey(keyIndex), channel));
}

void Form1::SelectDevice(int32_t newId)
{
    deviceId = newId;
    port_.close(hMidiOut);
    hMidiOut = 0;
    if (port_.open(deviceId, hMidiOut) != 0) {
        QMessageBox box(QMessageBox::NoIcon, QString(), failedOpenMessage, QMessageBox::Ok, this);
        widenForTitle(box);
        box.exec();
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    port_.close(hMidiOut);
    hMidiOut = 0;
}

void Form1::Command1_MouseDown(int index)
{
    NoteOn(static_cast<int16_t>(index));
}

void Form1::Command1_MouseUp(int index)
{
    NoteOff(static_cast<int16_t>(index));
}

void Form1::Form_KeyDown(int16_t keyCode, int16_t)
{
    const KeyBinding* key = findKey(keyCode);
    if (!key)
        return;
    int16_t& held = heldKeys[static_cast<size_t>(key->slot - 1)];
    if (held == keyCode)
        return; // the platform repeating a held key
    // A focus moved from the keyboard, so that the key shows the style's focus indicator.
    Command1(key->keyIndex)->setFocus(Qt::ShortcutFocusReason);
    NoteOn(key->keyIndex);
    held = keyCode;
    showHeld(key->keyIndex);
}

void Form1::Form_KeyUp(int16_t keyCode, int16_t)
{
    const KeyBinding* key = findKey(keyCode);
    if (!key)
        return;
    // Sent even when the slot shows no press: the press may have gone to another window.
    NoteOff(key->keyIndex);
    heldKeys[static_cast<size_t>(key->slot - 1)] = 0;
    showHeld(key->keyIndex);
}

void Form1::Form_Deactivate()
{
    for (const auto& key : KeyMap) {
        int16_t& held = heldKeys[static_cast<size_t>(key.slot - 1)];
        if (held != 0) {
            NoteOff(key.keyIndex);
            held = 0;
            showHeld(key.keyIndex);
        }
    }
}

void Form1::showHeld(int16_t keyIndex)
{
    // Two computer keys may hold one key.
    const bool held = std::any_of(KeyMap.begin(), KeyMap.end(), [&](const KeyBinding& key) {
        return key.keyIndex == keyIndex && heldKeys[static_cast<size_t>(key.slot - 1)] != 0;
    });
    Command1(keyIndex)->setHeldByKeys(held);
}

void Form1::buildDemoButton(QWidget* client)
{
    command2_ = new QPushButton(QStringLiteral("雪花神剑"), client);
    QFont font(QStringLiteral("华文行楷"));
    font.setPointSizeF(21.75);
    font.setWeight(QFont::Normal);
    command2_->setFont(font);
    command2_->setGeometry(TwipsRect { 1920, 9120, 2535, 735 }.toPixels());
    setTabOrder(keys_.back(), command2_);
    connect(command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
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
