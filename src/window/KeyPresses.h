#pragma once

#include <cstdint>
#include <map>

// Which press each physical key's release belongs to: a release ends what
// its press started, even when the layout changed meanwhile.
class KeyPresses {
public:
    // `physical` went down as the key `code`; a silent press plays nothing,
    // and neither does its release.
    void press(uint16_t physical, int16_t code, bool sounds);
    // The code whose note the release of `physical` ends: its press's, or
    // `code` when that press was not seen; 0 when its note has ended already.
    int16_t release(uint16_t physical, int16_t code);
    // The notes of every press seen so far have been ended.
    void silenceAll();

private:
    struct Press {
        int16_t code;
        bool sounds;
    };
    std::map<uint16_t, Press> presses_;
};
