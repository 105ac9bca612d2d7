#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

// The rooms of src/, bottom-up, as the README's layout lists them: a room
// includes only itself and the rooms before it. A folder not listed belongs
// to the room that holds it; "" is the top, the files beside main.cpp.
const std::vector<std::string> rooms { "log", "audio", "midi", "midi/synth", "midi/ports", "midi/winmm",
    "demo", "window", "window/qt", "window/win32", "" };

// The room of a path under src/, -1 for none.
int roomOf(const std::string& path)
{
    const auto folder = std::filesystem::path(path).parent_path().generic_string();
    int found = -1;
    for (int i = 0; i < static_cast<int>(rooms.size()); ++i) {
        const auto& room = rooms[static_cast<size_t>(i)];
        const bool holds = room.empty() ? folder.empty() : folder == room || folder.starts_with(room + "/");
        if (holds && (found < 0 || room.size() > rooms[static_cast<size_t>(found)].size()))
            found = i;
    }
    return found;
}

TEST(Layout, EveryIncludeLooksDown)
{
    const std::filesystem::path src = TONVELO_SOURCE_DIR "/src";
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        if (!entry.is_regular_file())
            continue;
        const auto file = entry.path().lexically_relative(src).generic_string();
        const int room = roomOf(file);
        EXPECT_GE(room, 0) << file << " lies in no room of the layout";
        ++files;
        std::ifstream in(entry.path());
        std::smatch match;
        for (std::string line; std::getline(in, line);) {
            if (!std::regex_search(line, match, include))
                continue;
            const std::string included = match[1];
            EXPECT_TRUE(std::filesystem::exists(src / included))
                << file << " includes " << included << ", not under src/";
            EXPECT_LE(roomOf(included), room) << file << " includes " << included << ", a room above its own";
        }
    }
    EXPECT_GT(files, 100);
}

} // namespace
