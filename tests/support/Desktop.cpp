#include "Desktop.h"

#include <sstream>

#include <QRect>

#include "ProgramOnX.h"
#include "WaitUntil.h"
#include "XWindows.h"

using namespace std::chrono_literals;

Desktop::Desktop(ProgramOnX& program, unsigned long mainWindow)
    : program_(program)
    , main_(mainWindow)
    , env_ { "DISPLAY=" + program.display() }
{
}

bool Desktop::xdotool(std::vector<std::string> args) const
{
    args.insert(args.begin(), "xdotool");
    return runCommand(args, 10s, env_).exitCode == 0;
}

std::vector<unsigned long> Desktop::windows() const
{
    const auto found = runCommand(
        { "xdotool", "search", "--onlyvisible", "--pid", std::to_string(program_.process().pid()) }, 10s,
        env_);
    std::vector<unsigned long> ids;
    std::istringstream lines(found.output);
    for (unsigned long id = 0; lines >> id;)
        ids.push_back(id);
    return ids;
}

std::vector<unsigned long> Desktop::boxes() const
{
    std::vector<unsigned long> ids;
    for (unsigned long id : windows())
        if (xwindows::transientFor(program_.display(), id) == main_)
            ids.push_back(id);
    return ids;
}

bool Desktop::answerBox() const
{
    // Its OK button is the default one; a Return sent as it shows may be lost.
    const auto answered = [&] {
        for (unsigned long box : boxes())
            xdotool({ "key", "--window", std::to_string(box), "Return" });
        return boxes().empty();
    };
    return waitUntil([&] { return !boxes().empty(); }, 5s) && waitUntil(answered, 10s);
}

unsigned long Desktop::openMenu(unsigned long other) const
{
    unsigned long menu = 0;
    waitUntil(
        [&] {
            for (auto id : windows())
                if (id != main_ && id != other)
                    menu = id;
            return menu != 0;
        },
        10s);
    return menu;
}

bool Desktop::menuClosed() const
{
    return waitUntil([&] { return windows() == std::vector<unsigned long> { main_ }; }, 10s);
}

bool Desktop::clickFirstTitle() const
{
    return xdotool({ "mousemove", "--window", std::to_string(main_), "20", "10", "click", "1" });
}

bool Desktop::clickEntry(unsigned long menu, int index, int count) const
{
    const QRect r = xwindows::geometry(program_.display(), menu);
    const int y = r.top() + r.height() * (2 * index + 1) / (2 * count);
    return !r.isEmpty()
        && xdotool({ "mousemove", std::to_string(r.center().x()), std::to_string(y), "click", "1" });
}

bool Desktop::chooseDevice(int index, int count) const
{
    unsigned long menu = 0;
    return clickFirstTitle() && (menu = openMenu()) != 0 && clickEntry(menu, index, count) && menuClosed();
}

bool Desktop::tap(const std::string& key) const
{
    return xdotool({ "windowfocus", "--sync", std::to_string(main_), "key", key });
}
