#pragma once

#include <string>

// Whether a server listens on the local socket at `path`: a file left by a
// killed server is there too, but refuses.
bool socketAnswers(const std::string& path);

// Whether PipeWire's own socket answers, where its library looks for it.
bool pipeWireAnswers();
// Whether a PulseAudio daemon answers on the socket its library tries
// first; true for a server named elsewhere, which only an open can tell.
bool pulseAudioAnswers();
