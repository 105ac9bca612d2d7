#pragma once

#include <chrono>
#include <optional>
#include <string>

struct _XDisplay;

// Watches an X display for the moment a program's main window is mapped:
// the first top-level window with the given name that belongs to no other
// window (a message box belongs to the window it is shown for). Under a window
// manager, the moment its frame maps with the window inside.
class MapWatcher {
public:
    using Clock = std::chrono::steady_clock;

    struct Mapped {
        Clock::time_point time;
        unsigned long window;
        bool dialog; // a window that belongs to another, such as a message box
    };

    // Starts watching at once, so that no map that follows is missed.
    explicit MapWatcher(const std::string& display);
    ~MapWatcher();

    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;

    bool ok() const { return display_ != nullptr; }
    // The first window called `name` mapped before `deadline`.
    std::optional<Mapped> waitForWindow(const std::string& name, Clock::time_point deadline);

private:
    _XDisplay* display_ = nullptr;
};
