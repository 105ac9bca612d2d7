#include "audio/SoundfontSearch.h"

#include <algorithm>
#include <filesystem>

#include <fluidsynth.h>

#include "log/QuietLibraries.h"

namespace {

std::string configuredSoundfont()
{
    quietSoundLibraries();
    std::string result;
    if (fluid_settings_t* s = new_fluid_settings()) {
        char* value = nullptr;
        if (fluid_settings_getstr_default(s, "synth.default-soundfont", &value) == FLUID_OK && value)
            result = value;
        delete_fluid_settings(s);
    }
    return result;
}

bool isSoundfontFile(const std::filesystem::path& p)
{
    auto ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".sf2" || ext == ".sf3";
}

} // namespace

SoundfontSearch SoundfontSearch::system()
{
    return { configuredSoundfont(), { "/usr/share/sounds/sf2/default-GM.sf2" },
        { "/usr/share/sounds/sf3", "/usr/share/sounds/sf2" } };
}

std::vector<std::string> SoundfontSearch::candidates() const
{
    std::vector<std::string> result;
    auto add = [&result](const std::string& file) {
        if (!file.empty() && std::find(result.begin(), result.end(), file) == result.end())
            result.push_back(file);
    };
    add(configured);
    for (const auto& f : fallbacks)
        add(f);
    for (const auto& folder : folders) {
        std::error_code ec;
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (isSoundfontFile(entry.path()))
                found.push_back(entry.path().string());
        std::sort(found.begin(), found.end());
        for (const auto& f : found)
            add(f);
    }
    return result;
}
