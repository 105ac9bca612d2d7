#include <QApplication>
#include <QIcon>
#include <QThread>

#include "SystemOutputs.h"
#include "log/SoundEnvironment.h"
#include "midi/MidiPort.h"
#include "window/qt/Fonts.h"
#include "window/qt/QtForm.h"
#include "window/qt/WindowSystemStart.h"

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
    QtForm window(port);
    window.form1().Form_Load();
    window.centreOnScreen();
    window.show();
    return QApplication::exec();
}
