#include "window/qt/QtForm.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "window/ControlOrder.h"
#include "window/ScreenFit.h"
#include "window/qt/AccessibleControls.h"
#include "window/qt/FailedOpenBox.h"
#include "window/qt/MenuBarFocus.h"
#include "window/qt/TwipsControls.h"

QtForm::QtForm(MidiPort& port, QWidget* parent)
    : QMainWindow(parent)
    , form1_(port, *this, demoHost_)
{
    installAccessibleControls();
    setWindowTitle(QString::fromUtf8(windowCaption));
    // A window that cannot grow offers no maximise, neither its button nor a
    // double click on its title.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    auto* client = new QWidget(this);
    client->setFixedSize(toPixels(controls::client).size());
    setCentralWidget(client);
    buildMenus();
    buildVelocityBar(client);
    buildKeys(client);
    label2_ = makeLabel(client, controls::Label2);
    label3_ = makeLabel(client, controls::Label3);
    buildDemoButton(client);
    const auto control = [this](TabStop stop) -> QWidget* {
        if (stop.control == TabStop::Control::key)
            return Command1(stop.keyIndex);
        return stop.control == TabStop::Control::vol ? static_cast<QWidget*>(vol_) : command2_;
    };
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(control(tabOrder[i - 1]), control(tabOrder[i]));
    layout_ = std::make_unique<LayoutScale>(*client, controls::client);
    // The first control of the tab order has the focus when the window opens.
    vol_->setFocus(Qt::OtherFocusReason);

    setFixedSize(sizeHint());
}

QtForm::~QtForm() = default;

void QtForm::buildMenus()
{
    devices_ = std::make_unique<CheckMenu>(
        *menuBar(), form1_.midi_devices(), [this](int16_t i) { form1_.device_Click(i); });
    channels_ = std::make_unique<CheckMenu>(
        *menuBar(), form1_.channeloption(), [this](int16_t k) { form1_.chan_Click(k); });
    // Desktops open the menu bar with F10; the captions carry no mnemonics for Alt.
    auto* openMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenuBar, &QShortcut::activated, this,
        [this] { menuBar()->setActiveAction(midi_devices()->menuAction()); });
    new MenuBarFocus(*menuBar());
    // An open menu has the keyboard: a key released there is not the window's.
    for (QMenu* menu : { midi_devices(), channeloption() }) {
        connect(menu, &QMenu::aboutToShow, this, [this] { form1_.modalLoopBegan(); });
        connect(menu, &QMenu::aboutToHide, this, [this] { form1_.modalLoopEnded(); });
    }
}

void QtForm::buildKeys(QWidget* client)
{
    // Each key made lies above those made before it.
    for (int index : stackingOrder) {
        auto* button = new KeyButton(keyGrid[static_cast<size_t>(index)], client);
        connect(button, &KeyButton::mouseDown, this,
            [this](int i) { form1_.Command1_MouseDown(static_cast<int16_t>(i)); });
        connect(button, &KeyButton::mouseUp, this,
            [this](int i) { form1_.Command1_MouseUp(static_cast<int16_t>(i)); });
        keys_[static_cast<size_t>(index)] = button;
    }
}

void QtForm::buildVelocityBar(QWidget* client)
{
    label1_ = makeLabel(client, controls::Label1);
    vol_ = new VelocityBar(client);
    // The label names the bar for assistive technology.
    label1_->setBuddy(vol_);
    vol_->setGeometry(toPixels(controls::vol));
    connect(vol_, &VelocityBar::velocityChanged, this, [this] { form1_.vol_Change(); });
}

void QtForm::buildDemoButton(QWidget* client)
{
    command2_ = makeButton(client, controls::Command2);
    connect(command2_, &QPushButton::clicked, this, [this] { form1_.Command2_Click(); });
}

void QtForm::showEntry(MenuName menu, int16_t index, const MenuEntry& entry)
{
    (menu == MenuName::midi_devices ? devices_ : channels_)->show(index, entry);
}

void QtForm::showMessage(const char* text)
{
    showFailedOpen(this, QString::fromUtf8(text));
}

void QtForm::focusKey(int16_t keyIndex)
{
    // A focus moved from the keyboard, so that the key shows the style's focus indicator.
    Command1(keyIndex)->setFocus(Qt::ShortcutFocusReason);
}

void QtForm::showHeldByKeys(int16_t keyIndex, bool held)
{
    Command1(keyIndex)->setHeldByKeys(held);
}

void QtForm::setVolRange(int16_t min, int16_t max)
{
    vol_->setVelocityRange(min, max);
}

bool QtForm::fitToScreen()
{
    return fitInto(screen()->availableGeometry().size());
}

bool QtForm::fitInto(QSize available)
{
    if (!layout_->fitWindow(*this, available))
        return false;
    setFixedSize(sizeHint());
    return true;
}

void QtForm::changeEvent(QEvent* event)
{
    // The desktop has framed the window by the time it first activates it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && centred_ && !framed_) {
        framed_ = true;
        if (fitToScreen())
            centreOnScreen();
    }
    QMainWindow::changeEvent(event);
}

void QtForm::centreOnScreen()
{
    centred_ = true;
    fitToScreen();
    const QRect available = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    move(available.left() + centredStart(available.width(), frame.width()),
        available.top() + centredStart(available.height(), frame.height()));
}

void QtForm::closeEvent(QCloseEvent* event)
{
    form1_.Form_Unload();
    event->accept();
}
