#pragma once

#include <atomic>

// A door that threads pass through without locking, and that, once closed,
// no thread is inside of. An audio thread passes through it to the synth; the
// idle renderer's calls pass through one to the adopted playback.
class Door {
public:
    // True when the door is open: the caller is inside until leave().
    bool enter()
    {
        inside_.fetch_add(1);
        if (open_.load())
            return true;
        inside_.fetch_sub(1);
        return false;
    }
    void leave() { inside_.fetch_sub(1); }

    void open() { open_.store(true); }
    bool isOpen() const { return open_.load(); }
    // Returns once no thread is inside; none enters after it. One that went
    // in leaves within moments: it only renders a period or signals a loop.
    void close();

private:
    // Both sides store, then load the other's flag: sequentially consistent,
    // so that a close never misses a thread that already went in.
    std::atomic<bool> open_ { false };
    std::atomic<int> inside_ { 0 };
};
