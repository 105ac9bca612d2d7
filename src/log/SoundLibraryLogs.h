#pragma once

// Each sends one sound library's messages to the output log instead of
// stderr; a build without that library has an empty one. quietSoundLibraries
// calls them once.
void routeJackLog();
void routeAlsaLog();
