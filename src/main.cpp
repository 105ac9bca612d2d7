#include <QApplication>
#include <QIcon>
#include <QThread>

#include "midi/MidiPort.h"
#include "midi/SystemOutputs.h"
#include "midi/log/SoundEnvironment.h"
#include "window/Fonts.h"
#include "window/Form1.h"
#include "window/WindowSystemStart.h"

int main(int argc, char* argv[])
{
    prepareSoundEnvironment();
    // Qt takes the first thread that uses it for its main thread, and the
    // synth and port threads below may log before QApplication is built.
    QThread::currentThread();
    auto outputs = std::make_unique<SystemOutputs>();
    // The synth loads and the ports are listed while Qt starts and the window is built.
    outputs->prepareSynth();
    outputs->preparePorts();

    auto start = std::make_unique<WindowSystemStart>();
    QApplication app(argc, argv);
    start.reset();
    QApplication::setApplicationName(QStringLiteral("Tonvelo"));
    // Desktops find the launcher, name and icon through this id.
    QApplication::setDesktopFileName(QStringLiteral(TONVELO_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(TONVELO_APP_ID)));
    registerFontSubstitutes();

    MidiPort port(std::move(outputs));
    Form1 form(port);
    form.Form_Load();
    form.centreOnScreen();
    form.show();
    return QApplication::exec();
}
