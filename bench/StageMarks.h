#pragma once

#include <atomic>
#include <cstdint>

// The moments a key press passes inside the keyboard, noted by the stage
// probe (preloaded into it) in a file that the latency benchmark maps too.
// Steady-clock nanoseconds; a mark whose time is still 0 is being written.
struct StageMarks {
    enum Stage : int32_t {
        keyPressRead = 1, // Qt's X event thread took a KeyPress from the connection
        noteHandedOver, // the note went to the output: the JACK client's ring buffer, or the synth
    };
    struct Mark {
        std::atomic<int64_t> nanos;
        std::atomic<int32_t> stage;
    };
    static constexpr uint32_t capacity = 16384;

    std::atomic<uint32_t> count;
    Mark marks[capacity];
};

// The probe finds the file through this variable; the keyboard never reads it.
inline constexpr const char* stageMarksVariable = "STAGE_PROBE_FILE";
