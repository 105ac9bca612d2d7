#pragma once

#include <chrono>
#include <string>

struct _XDisplay;

// Real key events for an X server, sent from this process through XTEST,
// so that the moment each one leaves is known to the microsecond. They go
// to whichever window has the keyboard focus.
class FakeKeys {
public:
    using Clock = std::chrono::steady_clock;

    explicit FakeKeys(const std::string& display);
    ~FakeKeys();

    FakeKeys(const FakeKeys&) = delete;
    FakeKeys& operator=(const FakeKeys&) = delete;

    bool ok() const { return display_ != nullptr; }
    // Presses or releases the key that carries `keysym`; the time just
    // before the event was handed to the server.
    Clock::time_point send(unsigned long keysym, bool press);

private:
    _XDisplay* display_ = nullptr;
};
