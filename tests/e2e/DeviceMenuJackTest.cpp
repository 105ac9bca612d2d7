#include <gtest/gtest.h>

#include "JackCapture.h"
#include "JackServer.h"
#include "SystemForm.h"

using Bytes = std::vector<std::vector<uint8_t>>;

TEST(DeviceMenuOnJack, ListsPortsInOrderAndPlaysIntoTheChosenOneOnly)
{
    JackServer server(256, 48000, JackServer::Mode::Synchronous);
    ASSERT_TRUE(server.running());
    std::vector<std::unique_ptr<JackCapture>> clients;
    for (const char* name : { "first", "second", "third" }) {
        clients.push_back(std::make_unique<JackCapture>(name));
        ASSERT_TRUE(clients.back()->ok());
    }

    SystemForm w;
    EXPECT_EQ(server.clientsNamed("Tonvelo"), 1) << "the built-in synth";
    ASSERT_TRUE(w.form.device(3)->isVisible());
    EXPECT_FALSE(w.form.device(4)->isVisible());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(w.form.device(i + 1)->text().toStdString(), clients[static_cast<size_t>(i)]->portName());

    w.form.device(2)->trigger();
    EXPECT_EQ(w.form.form1().deviceId, 1);
    w.play(12);
    ASSERT_TRUE(clients[1]->waitFor(2));
    EXPECT_EQ(clients[1]->bytes(), (Bytes { { 0x90, 60, 127 }, { 0x80, 60, 0 } }));
    EXPECT_TRUE(clients[0]->events().empty());
    EXPECT_TRUE(clients[2]->events().empty());
    EXPECT_EQ(server.clientsNamed("Tonvelo"), 1) << "a JACK port";

    // The second client goes away: choosing it again fails once, visibly,
    // and the next device chosen plays.
    clients[1].reset();
    const size_t boxesBefore = w.boxes.texts.size();
    w.form.device(2)->trigger();
    ASSERT_EQ(w.boxes.texts.size(), boxesBefore + 1);
    EXPECT_EQ(w.boxes.texts.back(), Form1::failedOpenMessage);
    EXPECT_TRUE(w.form.device(2)->isChecked());
    w.play(0);

    w.form.device(3)->trigger();
    EXPECT_EQ(w.boxes.texts.size(), boxesBefore + 1);
    w.play(24);
    ASSERT_TRUE(clients[2]->waitFor(2));
    EXPECT_EQ(clients[2]->bytes(), (Bytes { { 0x90, 72, 127 }, { 0x80, 72, 0 } }));
    EXPECT_TRUE(clients[0]->events().empty());
}

TEST(DeviceMenuOnJack, TwelvePortsListTheFirstTen)
{
    JackServer server;
    ASSERT_TRUE(server.running());
    JackCapture many("many", 12);
    ASSERT_TRUE(many.ok());

    SystemForm w;
    int listed = 0;
    for (int i = 1; i < Form1::deviceEntries; ++i)
        listed += w.form.device(i)->isVisible() ? 1 : 0;
    EXPECT_EQ(listed, 10);
    EXPECT_EQ(w.form.device(10)->text().toStdString(), many.portName(9));
    // With a JACK server running, the built-in synth plays through it.
    EXPECT_EQ(w.form.form1().deviceId, -1);
    EXPECT_TRUE(w.port.isOpen());
    EXPECT_TRUE(w.boxes.texts.empty());
}
