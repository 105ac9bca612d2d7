#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

#include <QLoggingCategory>

#include "AlsaConfig.h"
#include "Pitch.h"
#include "WaitUntil.h"
#include "audio/SoundfontSearch.h"
#include "midi/MidiMessage.h"
#include "midi/synth/SynthOutput.h"

namespace {

std::mutex loggedMutex;
std::string logged;

// From any thread that logs.
void keep(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    const std::lock_guard lock(loggedMutex);
    logged += std::string(context.category ? context.category : "") + ": " + text.toStdString() + "\n";
}

// Every sound server out of reach, even on a desktop.
void hideSoundServers()
{
    const std::string absent = "/nonexistent/tonvelo-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", ("tonvelo-absent-" + std::to_string(getpid())).c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + absent).c_str(), 1);
    setenv("PIPEWIRE_REMOTE", absent.c_str(), 1);
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
}

} // namespace

TEST(OutputLog, SaysWhyTheSynthDidNotOpenOnlyWhenAskedTo)
{
    hideSoundServers();
    const QtMessageHandler previous = qInstallMessageHandler(keep);

    EXPECT_TRUE(SynthOutput::open(SoundfontSearch::system())->waitingForDevice());
    EXPECT_EQ(logged, "") << "the log is off by default";

    QLoggingCategory::setFilterRules(QStringLiteral("tonvelo.*=true"));
    EXPECT_TRUE(SynthOutput::open(SoundfontSearch::system())->waitingForDevice());
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    for (const char* tried : { "pulseaudio: ", "audio driver alsa" })
        EXPECT_NE(logged.find(std::string("tonvelo.output: ") + tried), std::string::npos) << tried;
    EXPECT_NE(logged.find("tonvelo.output: synth: no audio output opened"), std::string::npos) << logged;
}

// A card that takes 44.1 kHz alone (support/AlsaCard.cpp) keeps what it
// played: middle C there sounds in tune. Once it stops taking sound, as a
// server's plugin does when its server died, it is let go and opened anew.
TEST(OutputLog, TheSynthPlaysInTuneOnAnAlsaCardThatRefuses48kHzAndOpensItAgainOnceItStops)
{
#ifndef TONVELO_ALSA_CARD
    GTEST_SKIP() << "built without ALSA";
#else
    hideSoundServers();
    const std::string played = ::testing::TempDir() + "tonvelo-card-" + std::to_string(getpid());
    std::ofstream(played + ".conf") << cardAsDefault(played, "stops 1500");
    setenv("ALSA_CONFIG_PATH", (played + ".conf").c_str(), 1);
    const QtMessageHandler previous = qInstallMessageHandler(keep);
    QLoggingCategory::setFilterRules(QStringLiteral("tonvelo.*=true"));
    auto synth = SynthOutput::open(SoundfontSearch::system());
    ASSERT_FALSE(synth->waitingForDevice()) << logged;
    synth->send(midi::noteOnValue(60, 0, 127));
    EXPECT_TRUE(waitUntil([] {
        const std::lock_guard lock(loggedMutex);
        const auto back = logged.find("alsa: back; the synth plays again");
        return back != std::string::npos && logged.find("alsa: gone; looking") < back;
    })) << logged;
    synth.reset();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    EXPECT_NE(logged.find("tonvelo.output: alsa: the synth renders at 44100 Hz"), std::string::npos)
        << logged;

    std::vector<float> left;
    std::ifstream raw(played, std::ios::binary);
    for (int16_t frame[2]; raw.read(reinterpret_cast<char*>(frame), sizeof frame);)
        left.push_back(frame[0] / 32768.0f);
    const auto onset = std::find_if(left.begin(), left.end(), [](float s) { return std::fabs(s) > 0.01f; });
    ASSERT_GT(left.end() - onset, 4410 + 22050) << "middle C did not sound";
    EXPECT_NEAR(dominantPitch({ onset + 4410, onset + 4410 + 22050 }, 44100), 261.63, 261.63 * 0.02);
    std::filesystem::remove(played);
    std::filesystem::remove(played + ".conf");
#endif
}
