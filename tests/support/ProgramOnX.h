#pragma once

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include <QImage>

#include "Command.h"

// A real program run as a user would start it, on a given X display. Its
// windows are found with xdotool by the program's PID.
class ProgramOnX {
public:
    // The program writes its own log (tonvelo.*), each line stamped with the
    // time of day; a test that fails shows it, with the steps it marked.
    ProgramOnX(const std::string& program, const std::string& display, const Environment& extraEnv = {});
    // A program started through another, such as wine.
    ProgramOnX(
        const std::vector<std::string>& args, const std::string& display, const Environment& extraEnv = {});
    ~ProgramOnX();

    // What the program wrote, but for its log; its log, with the test's steps.
    std::string output() const;
    std::string log() const;
    // Stamps one of the test's steps into the log.
    void mark(const std::string& step);

    // The program's main window, once it shows. Message boxes that come
    // first (the synth finds no audio device on a headless machine) are
    // answered with Return, as a user would. 0 when no window shows in time.
    unsigned long waitForMainWindow(std::chrono::milliseconds timeout);
    int boxesAnswered() const { return static_cast<int>(answered_.size()); }

    // Grabs until two pictures in a row agree, so that painting has ended.
    QImage settledPicture(unsigned long window, std::chrono::milliseconds timeout) const;

    RunningProgram& process() { return process_; }
    const std::string& display() const { return display_; }

private:
    std::string display_;
    RunningProgram process_;
    std::set<unsigned long> answered_;
};
