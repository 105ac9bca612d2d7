#include "window/Form1.h"

#include <QCloseEvent>
#include <QMessageBox>

#include "midi/MidiMessage.h"

namespace {

// The controls reach this far right and down (the English label's corner).
constexpr TwipsRect clientTwips{0, 0, 9255, 10095};

QLabel* makeLabel(QWidget* parent, const QString& text, const QString& family, TwipsRect rect)
{
    auto* label = new QLabel(text, parent);
    QFont font(family);
    font.setPointSizeF(15.75);
    font.setWeight(QFont::Normal);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(rect.toPixels());
    return label;
}

} // namespace

const QString Form1::failedOpenMessage = QStringLiteral("不能打开midi输出！");

Form1::Form1(MidiPort& port, QWidget* parent) : QMainWindow(parent), port_(port)
{
    setWindowTitle(QStringLiteral("Tonvelo"));
    auto* client = new QWidget(this);
    client->setFixedSize(clientTwips.toPixels().size());
    setCentralWidget(client);

    // Created white keys first, each one above the keys before it, so that
    // black keys lie above the white ones and overlapping white keys show
    // the right-hand one on top.
    for (KeyKind kind : {KeyKind::White, KeyKind::Black}) {
        for (const auto& key : keyGrid) {
            if (key.kind != kind)
                continue;
            auto* button = new KeyButton(key, client);
            connect(button, &KeyButton::mouseDown, this, [this](int i) { Command1_MouseDown(i); });
            connect(button, &KeyButton::mouseUp, this, [this](int i) { Command1_MouseUp(i); });
            keys_[static_cast<size_t>(key.index)] = button;
        }
    }
    for (size_t i = 1; i < keys_.size(); ++i)
        setTabOrder(keys_[i - 1], keys_[i]);

    label2_ = makeLabel(client, QStringLiteral("电脑MIDI键盘"), QStringLiteral("华文行楷"),
                        {5280, 7920, 2895, 735});
    label3_ = makeLabel(client, QStringLiteral("Play with the mouse, or the keys Z–/, A–; and Q–P"),
                        QStringLiteral("Times New Roman"), {5280, 9000, 3975, 1095});

    setFixedSize(sizeHint());
}

Form1::~Form1() = default;

void Form1::Form_Load()
{
    SelectDevice(-1);
    channel = 0;
    velocity = 127;
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
