#pragma once

#include <array>
#include <cstdint>

// The tune of the demo button, in A minor at 100 beats a minute (an eighth
// is 300 ms). A strike sends the key's note-on, a release its note-off; after
// each step the player waits `pause` milliseconds. Only the last note of a
// phrase is released, so earlier notes ring on under the later ones, and the
// last note of the tune is never released.
enum class DemoAction : uint8_t { Strike, Release };

struct DemoStep {
    DemoAction action;
    int16_t key; // key index 0..37
    int16_t pause; // milliseconds
};

constexpr int demoTuneSteps = 169;

// clang-format off
constexpr std::array<DemoStep, demoTuneSteps> DemoTune = [] {
    using enum DemoAction;
    return std::array<DemoStep, demoTuneSteps>{{
        // Verse
        //   A3 A3 A3 C4 E4 D4 C4 B3 G3 B3 A3 |
        {Strike, 9, 300}, {Strike, 9, 300}, {Strike, 9, 300}, {Strike, 12, 300}, {Strike, 16, 600},
        {Strike, 14, 600}, {Strike, 12, 300}, {Strike, 11, 300}, {Strike, 7, 300}, {Strike, 11, 300},
        {Strike, 9, 1200}, {Release, 9, 100},
        //   C4 D4 E4 G4 A4 G4 E4 |
        {Strike, 12, 300}, {Strike, 14, 300}, {Strike, 16, 300}, {Strike, 19, 300}, {Strike, 21, 600},
        {Strike, 19, 600}, {Strike, 16, 1200}, {Release, 16, 100},
        //   A4 G4 E4 D4 C4 D4 E4 |
        {Strike, 21, 300}, {Strike, 19, 300}, {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 12, 600},
        {Strike, 14, 600}, {Strike, 16, 1200}, {Release, 16, 100},
        //   E4 G4 E4 D4 C4 B3 G3 A3 |
        {Strike, 16, 300}, {Strike, 19, 300}, {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 12, 300},
        {Strike, 11, 300}, {Strike, 7, 600}, {Strike, 9, 1200}, {Release, 9, 100},
        // Verse, varied
        //   A3 A3 A3 C4 E4 C4 B3 A3 |
        {Strike, 9, 300}, {Strike, 9, 300}, {Strike, 9, 300}, {Strike, 12, 300}, {Strike, 16, 600},
        {Strike, 12, 300}, {Strike, 11, 300}, {Strike, 9, 600}, {Release, 9, 100},
        //   C4 D4 E4 G4 A4 G4 E4 D4 E4 |
        {Strike, 12, 300}, {Strike, 14, 300}, {Strike, 16, 300}, {Strike, 19, 400}, {Strike, 21, 200},
        {Strike, 19, 600}, {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 16, 1200}, {Release, 16, 100},
        //   A4 A4 G4 A4 C5 B4 A4 |
        {Strike, 21, 300}, {Strike, 21, 300}, {Strike, 19, 300}, {Strike, 21, 300}, {Strike, 24, 600},
        {Strike, 23, 600}, {Strike, 21, 1200}, {Release, 21, 80},
        //   E4 D4 C4 D4 B3 G3 A3 |
        {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 12, 1000}, {Strike, 14, 200}, {Strike, 11, 300},
        {Strike, 7, 300}, {Strike, 9, 1200}, {Release, 9, 100},
        // Bridge
        //   C4 E4 G4 A4 G4 E4 D4 C4 |
        {Strike, 12, 600}, {Strike, 16, 600}, {Strike, 19, 600}, {Strike, 21, 300}, {Strike, 19, 300},
        {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 12, 1200}, {Release, 12, 100},
        //   E4 G4 A4 C5 B4 A4 G4 E4 |
        {Strike, 16, 600}, {Strike, 19, 600}, {Strike, 21, 600}, {Strike, 24, 300}, {Strike, 23, 300},
        {Strike, 21, 300}, {Strike, 19, 300}, {Strike, 16, 200}, {Release, 16, 400},
        //   F4 A4 C5 A4 G4 E4 |
        {Strike, 17, 600}, {Strike, 21, 600}, {Strike, 24, 600}, {Strike, 21, 300}, {Strike, 19, 300},
        {Strike, 16, 600}, {Release, 16, 100},
        //   F4 E4 D4 B3 C4 D4 E4 D4 E4 |
        {Strike, 17, 300}, {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 11, 400}, {Strike, 12, 200},
        {Strike, 14, 600}, {Strike, 16, 700}, {Strike, 14, 500}, {Strike, 16, 1200}, {Release, 16, 80},
        // Chorus
        //   A4 A4 A4 C5 B4 A4 E4 |
        {Strike, 21, 300}, {Strike, 21, 300}, {Strike, 21, 300}, {Strike, 24, 300}, {Strike, 23, 600},
        {Strike, 21, 600}, {Strike, 16, 1200}, {Release, 16, 100},
        //   G4 A4 G4 E4 D4 C4 D4 |
        {Strike, 19, 300}, {Strike, 21, 300}, {Strike, 19, 600}, {Strike, 16, 600}, {Strike, 14, 1000},
        {Strike, 12, 200}, {Strike, 14, 1200}, {Release, 14, 100},
        //   G4 A4 C5 B4 A4 G4 A4 |
        {Strike, 19, 300}, {Strike, 21, 300}, {Strike, 24, 300}, {Strike, 23, 300}, {Strike, 21, 300},
        {Strike, 19, 300}, {Strike, 21, 300}, {Release, 21, 300},
        //   C5 B4 A4 G4 E4 G4 A4 G4 E4 |
        {Strike, 24, 300}, {Strike, 23, 300}, {Strike, 21, 300}, {Strike, 19, 300}, {Strike, 16, 600},
        {Strike, 19, 600}, {Strike, 21, 1000}, {Strike, 19, 200}, {Strike, 16, 1200}, {Release, 16, 100},
        //   A4 G4 E4 D4 E4 G4 A4 E4 G4 |
        {Strike, 21, 300}, {Strike, 19, 300}, {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 16, 500},
        {Strike, 19, 200}, {Strike, 21, 200}, {Strike, 16, 300}, {Strike, 19, 700}, {Release, 19, 500},
        //   E4 D4 C4 D4 E4 B3 G3 A3 |
        {Strike, 16, 300}, {Strike, 14, 300}, {Strike, 12, 300}, {Strike, 14, 300}, {Strike, 16, 600},
        {Strike, 11, 300}, {Strike, 7, 300}, {Strike, 9, 1200}, {Release, 9, 100},
        // Coda: no release, the last A rings on
        //   A3 C4 E4 G4 A4 C5 B4 G4 A4
        {Strike, 9, 300}, {Strike, 12, 300}, {Strike, 16, 300}, {Strike, 19, 300}, {Strike, 21, 600},
        {Strike, 24, 600}, {Strike, 23, 300}, {Strike, 19, 300}, {Strike, 21, 1200},
    }};
}();
// clang-format on
