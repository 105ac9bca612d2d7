#pragma once

#include <string>

// Whether a server listens on the local socket at `path`: a file left by a
// killed server is there too, but refuses.
bool socketAnswers(const std::string& path);
