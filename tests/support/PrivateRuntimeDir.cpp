#include "PrivateRuntimeDir.h"

#include <stdlib.h>

#include <filesystem>

PrivateRuntimeDir::PrivateRuntimeDir()
{
    std::string pattern = std::filesystem::temp_directory_path().string() + "/tonvelo-sound-XXXXXX";
    // mkdtemp makes it 0700.
    if (mkdtemp(pattern.data()))
        path_ = pattern;
}

PrivateRuntimeDir::~PrivateRuntimeDir()
{
    std::error_code ec;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ec);
}
