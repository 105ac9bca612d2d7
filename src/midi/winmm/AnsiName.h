#pragma once

#include <cstddef>
#include <string>

// A device name as winmm gives it, in the system's ANSI code page, as UTF-8.
// Reads at most `size` bytes: a name that fills its field has no NUL.
std::string utf8FromAnsi(const char* text, size_t size);
