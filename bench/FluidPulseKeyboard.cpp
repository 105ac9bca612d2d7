// The yardstick for the synth on PulseAudio: a bare Qt keyboard that plays
// through FluidSynth's own PulseAudio driver at FluidSynth's defaults, as Qt
// keyboards built on FluidSynth do. Z plays C4 at full velocity while held,
// as it does in the keyboard. It runs at normal priority, as on a desktop
// whose user has no realtime rights; the keyboard's own stream does too.

#include <fluidsynth.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "audio/SoundfontSearch.h"

namespace {

class Keys : public QWidget {
public:
    explicit Keys(fluid_synth_t* synth)
        : synth_(synth)
    {
        setWindowTitle("FluidSynth keyboard");
        resize(240, 80);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Z && !event->isAutoRepeat())
            fluid_synth_noteon(synth_, 0, 48, 127);
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Z && !event->isAutoRepeat())
            fluid_synth_noteoff(synth_, 0, 48);
    }

private:
    fluid_synth_t* synth_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setstr(settings, "audio.driver", "pulseaudio");
    fluid_settings_setint(settings, "audio.realtime-prio", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    bool loaded = false;
    for (const auto& file : SoundfontSearch::system().candidates())
        if ((loaded = fluid_synth_sfload(synth, file.c_str(), 1) != FLUID_FAILED))
            break;
    fluid_audio_driver_t* driver = loaded ? new_fluid_audio_driver(settings, synth) : nullptr;
    int status = 1;
    if (driver) {
        Keys keys(synth);
        keys.show();
        status = QApplication::exec();
        delete_fluid_audio_driver(driver);
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return status;
}
