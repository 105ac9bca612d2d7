#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "JackCapture.h"
#include "JackServer.h"
#include "SystemForm.h"
#include "audio/SynthEngine.h"

namespace fs = std::filesystem;

namespace {

// A soundfont search that only looks in a folder of the test's own.
struct SoundfontFolder {
    SoundfontFolder()
        : path(fs::temp_directory_path() / ("tonvelo-sf-" + std::to_string(getpid())))
    {
        fs::create_directories(path);
    }
    ~SoundfontFolder() { fs::remove_all(path); }

    SoundfontSearch search() const { return { "", {}, { path.string() } }; }

    void addTruncatedCopy(const std::string& source, double fraction) const
    {
        std::ifstream in(source, std::ios::binary);
        std::vector<char> data((std::istreambuf_iterator<char>(in)), {});
        ASSERT_FALSE(data.empty()) << source;
        data.resize(static_cast<size_t>(double(data.size()) * fraction));
        std::ofstream(path / "cut.sf2", std::ios::binary).write(data.data(), std::streamsize(data.size()));
    }

    void addFile(const std::string& name, const std::string& content) const
    {
        std::ofstream(path / name, std::ios::binary) << content;
    }

    fs::path path;
};

// The soundfont the built-in synth really loads on this machine.
std::string loadableSoundfont()
{
    for (const auto& file : SoundfontSearch::system().candidates())
        if (SynthEngine(SoundfontSearch { file, {}, {} }).ok())
            return fs::canonical(file).string();
    return {};
}

} // namespace

TEST(Faults, TheJackServerDiesUnderAnOpenPort)
{
    // Once with another device chosen before the window closes, once closing on the dead port.
    for (bool chooseAnother : { true, false }) {
        auto server = std::make_unique<JackServer>();
        ASSERT_TRUE(server->running());
        auto capture = std::make_unique<JackCapture>("victim");
        ASSERT_TRUE(capture->ok());

        SystemForm w;
        w.form.device(1)->trigger();
        ASSERT_TRUE(w.port.isOpen());
        w.play(0);
        ASSERT_TRUE(capture->waitFor(2));

        server->kill();
        const size_t boxes = w.boxes.texts.size();
        for (int key = 0; key < 38; ++key)
            w.play(key);
        EXPECT_EQ(w.boxes.texts.size(), boxes) << "later notes are lost silently";

        // The window still takes input.
        w.form.chan(3)->trigger();
        EXPECT_EQ(w.form.form1().channel, 3);
        if (chooseAnother) {
            w.form.device(0)->trigger();
            EXPECT_EQ(w.form.form1().deviceId, -1);
            w.play(12);
        }
        w.form.close();
        EXPECT_FALSE(w.port.isOpen());
    }
}

TEST(Faults, NoMissingOrDamagedSoundfontOpensTheBuiltInSynth)
{
    SoundfontFolder folder;
    {
        SystemForm w(folder.search());
        ASSERT_EQ(w.boxes.texts.size(), 1u) << "empty folder";
        EXPECT_EQ(w.boxes.texts[0], Form1::failedOpenMessage);
        EXPECT_FALSE(w.port.isOpen());
        w.play(0);
    }

    folder.addFile("text.sf2", "not a soundfont at all");
    const std::string soundfont = loadableSoundfont();
    ASSERT_FALSE(soundfont.empty()) << "no soundfont here to cut a damaged copy from";
    folder.addTruncatedCopy(soundfont, 0.5);
    for (const auto& entry : fs::directory_iterator(folder.path))
        ASSERT_FALSE(SynthEngine(SoundfontSearch { entry.path().string(), {}, {} }).ok()) << entry.path();
    {
        SystemForm w(folder.search());
        ASSERT_EQ(w.boxes.texts.size(), 1u) << "damaged files";
        EXPECT_FALSE(w.port.isOpen());
        // The window stays usable: another device can be chosen.
        w.form.chan(1)->trigger();
        EXPECT_EQ(w.form.form1().channel, 1);
    }
}
