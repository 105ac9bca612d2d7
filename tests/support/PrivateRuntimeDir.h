#pragma once

#include <string>

// A 0700 folder of its own for a test's sound servers, the way a desktop
// session's XDG_RUNTIME_DIR is; removed with the object.
class PrivateRuntimeDir {
public:
    PrivateRuntimeDir();
    ~PrivateRuntimeDir();

    PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
    PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};
