#pragma once

#include "FormFixture.h"
#include "SystemOutputs.h"

// The ports the tests list: those of their own JACK server. A developer's
// desktop may have ALSA sequencer ports too, which would shift every entry.
inline const std::vector<PortApi> jackPortsOnly { PortApi::Jack };

// The real window on the real outputs of this machine (the built-in synth and
// the JACK ports), with message boxes answered as they come.
struct SystemForm {
    explicit SystemForm(SoundfontSearch search = SoundfontSearch::system())
        : port(std::make_unique<SystemOutputs>(std::move(search), jackPortsOnly))
        , form(port)
    {
        form.form1().Form_Load();
        form.show();
    }

    void play(int key)
    {
        const QPoint at
            = form.clientArea()->mapTo(&form, toPixels(keyGrid[static_cast<size_t>(key)].rect).center());
        QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {}, at);
    }

    MessageBoxWatcher boxes;
    MidiPort port;
    QtForm form;
};
