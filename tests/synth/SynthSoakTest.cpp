#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <unistd.h>

#include "audio/SynthEngine.h"
#include "midi/MidiMessage.h"

namespace {

long residentBytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool underSanitizer = true; // its quarantine holds freed memory back on purpose
#else
constexpr bool underSanitizer = false;
#endif

} // namespace

TEST(SynthSoak, AMillionNotesLeaveNoVoiceAndNoGrowth)
{
    SynthEngine engine(SoundfontSearch::system(), 48000.0);
    ASSERT_TRUE(engine.ok());
    std::mt19937 random(12345);
    std::vector<float> left(64), right(64);
    auto render = [&](int frames) {
        left.resize(static_cast<size_t>(frames));
        right.resize(static_cast<size_t>(frames));
        fluid_synth_write_float(engine.synth(), frames, left.data(), 0, 1, right.data(), 0, 1);
    };

    constexpr int pairs = 1'000'000;
    constexpr int warmUp = 100'000;
    long afterWarmUp = 0;
    for (int i = 0; i < pairs; ++i) {
        const int note = 48 + static_cast<int>(random() % 38);
        const int channel = static_cast<int>(random() % 6);
        engine.play(midi::noteOnValue(note, channel, static_cast<int>(random() % 128)));
        engine.play(midi::noteOffValue(note, channel));
        if (i % 500 == 0)
            render(64);
        if (i == warmUp)
            afterWarmUp = residentBytes();
    }
    const long growth = residentBytes() - afterWarmUp;
    if (!underSanitizer) {
        EXPECT_LT(growth, 1 << 20) << "resident memory grew by " << growth << " bytes";
    }

    // Every released voice dies away within a few seconds of sound.
    for (int chunk = 0; chunk < 100 && fluid_synth_get_active_voice_count(engine.synth()) > 0; ++chunk)
        render(4800);
    EXPECT_EQ(fluid_synth_get_active_voice_count(engine.synth()), 0);
}
