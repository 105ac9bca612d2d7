#include <gtest/gtest.h>

#include "FormFixture.h"
#include "JackCapture.h"
#include "JackServer.h"
#include "SystemForm.h"
#include "demo/DemoTune.h"

using Bytes = std::vector<std::vector<uint8_t>>;

// The whole tune, in real time, from the demo button to a JACK MIDI client.
TEST(DemoOnJack, TheWholeTuneArrivesByteForByte)
{
    // A long, synchronous cycle: a busy machine may delay a message but never drop it.
    JackServer server(1024, 48000, JackServer::Mode::Synchronous);
    ASSERT_TRUE(server.running());
    JackCapture capture("capture");
    ASSERT_TRUE(capture.ok());

    MessageBoxWatcher boxes;
    MidiPort port(std::make_unique<SystemOutputs>(SoundfontSearch::system(), jackPortsOnly));
    QtForm form(port);
    form.form1().Form_Load();
    form.show();
    ASSERT_EQ(form.device(1)->text().toStdString(), capture.portName());
    form.device(1)->trigger();
    form.form1().chan_Click(2);
    ASSERT_TRUE(port.isOpen());

    form.Command2()->click();

    Bytes expected;
    for (const auto& step : DemoTune) {
        const auto note = static_cast<uint8_t>(midi::noteOfKey(step.key));
        expected.push_back(step.action == DemoAction::Strike ? std::vector<uint8_t> { 0x92, note, 127 }
                                                             : std::vector<uint8_t> { 0x82, note, 0 });
    }
    ASSERT_TRUE(capture.waitFor(expected.size())) << capture.events().size() << " of " << expected.size();
    EXPECT_EQ(capture.bytes(), expected);
}
