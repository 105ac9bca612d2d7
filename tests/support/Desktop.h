#pragma once

#include <string>
#include <vector>

#include "Command.h"

class ProgramOnX;

// Real key and mouse events (XTEST, through xdotool) for a program's window
// and its menus, as a user at the desktop would give them.
class Desktop {
public:
    Desktop(ProgramOnX& program, unsigned long mainWindow);

    bool xdotool(std::vector<std::string> args) const;
    // The program's visible windows: the main one and any open menus.
    std::vector<unsigned long> windows() const;
    // Those of them that belong to the main one: its message boxes.
    std::vector<unsigned long> boxes() const;
    // Waits for a message box and answers it with Return, as a user would;
    // whether one showed and went.
    bool answerBox() const;
    // The menu open on the window once it shows, unless it is `other`.
    unsigned long openMenu(unsigned long other = 0) const;
    bool menuClosed() const;
    // Clicks the first menu title, the device menu's.
    bool clickFirstTitle() const;
    // Clicks entry `index` of a menu of `count` entries that share its height.
    bool clickEntry(unsigned long menu, int index, int count) const;
    // Chooses entry `index` of the device menu's `count` with the mouse.
    bool chooseDevice(int index, int count) const;
    // Taps a computer key in the main window.
    bool tap(const std::string& key) const;

private:
    ProgramOnX& program_;
    unsigned long main_;
    Environment env_;
};
