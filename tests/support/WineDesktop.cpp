#include "WineDesktop.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "WaitUntil.h"

using namespace std::chrono_literals;

namespace {

// No prompts to fetch Mono or Gecko: nothing here uses .NET or HTML.
const std::string prefixOverrides = "mscoree,mshtml=";

// What the captions name, as the Linux program finds it; Tahoma and "MS
// Shell Dlg", Wine's dialog fonts, link to a CJK font so that message boxes
// show Chinese too.
const std::vector<std::vector<std::string>> fontSettings = [] {
    const std::string replacements = "HKCU\\Software\\Wine\\Fonts\\Replacements";
    const std::string links = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
    std::vector<std::vector<std::string>> settings;
    for (const auto& [name, font] : std::vector<std::pair<std::string, std::string>> {
             { "宋体", "AR PL UMing CN" }, { "SimSun", "AR PL UMing CN" }, { "华文行楷", "AR PL UKai CN" },
             { "STXingkai", "AR PL UKai CN" }, { "楷体", "AR PL UKai CN" }, { "KaiTi", "AR PL UKai CN" },
             { "Times New Roman", "Liberation Serif" } })
        settings.push_back({ replacements, "/v", name, "/d", font });
    for (const char* font : { "Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif" })
        settings.push_back({ links, "/v", font, "/t", "REG_MULTI_SZ", "/d", "uming.ttc,AR PL UMing CN" });
    return settings;
}();

// Wine's output goes through a file, not a pipe: the server and the services
// a program starts inherit its output and outlive it by seconds. Left out:
// what Wine's sound driver says of a machine with no sound card.
CommandResult runToEnd(
    const std::vector<std::string>& args, std::chrono::milliseconds timeout, const Environment& env)
{
    RunningProgram program(args, env);
    const auto status = program.wait(timeout);
    CommandResult result;
    result.timedOut = !status;
    std::istringstream lines(program.output());
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("ALSA lib "))
            result.output += line + "\n";
    if (status && WIFEXITED(*status))
        result.exitCode = WEXITSTATUS(*status);
    return result;
}

} // namespace

WineDesktop::WineDesktop(std::string prefix)
    : prefix_(std::move(prefix))
{
    if (!x_.running()) {
        failure_ = "Xvfb did not start";
        return;
    }
    if (!makePrefix())
        return;
    openbox_ = std::make_unique<RunningProgram>(
        std::vector<std::string> { "openbox" }, Environment { "DISPLAY=" + x_.display() });
    // It manages the screen once it counts desktops.
    if (!waitUntil(
            [&] {
                return runCommand({ "xdotool", "get_num_desktops" }, 10s, { "DISPLAY=" + x_.display() })
                           .exitCode
                    == 0;
            },
            10s)) {
        failure_ = "openbox did not start";
        return;
    }
    // Wine's server and its services stay up between the test's programs, which
    // then start in milliseconds.
    server_ = std::make_unique<RunningProgram>(
        std::vector<std::string> { "wineserver", "-f", "-p" }, environment());
    if (runToEnd({ "wineboot" }, 60s, environment()).exitCode != 0) {
        failure_ = "Wine's services did not start";
        return;
    }
    ready_ = true;
}

WineDesktop::~WineDesktop()
{
    runCommand({ "wineserver", "-k" }, 10s, environment());
    server_.reset();
    openbox_.reset();
}

bool WineDesktop::makePrefix()
{
    namespace fs = std::filesystem;
    const auto version = runCommand({ "wine", "--version" }, 30s);
    if (version.exitCode != 0) {
        failure_ = "wine does not run: " + version.output;
        return false;
    }
    // One test program makes it while the others wait.
    fs::create_directories(fs::path(prefix_).parent_path());
    const int lock = open((prefix_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    flock(lock, LOCK_EX);
    // Made by this very Wine, or made anew: another version would update it at each start.
    const std::string marker = prefix_ + "/tonvelo-made-by";
    std::ifstream in(marker);
    const std::string madeBy((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (madeBy != version.output) {
        const auto start = std::chrono::steady_clock::now();
        runCommand({ "wineserver", "-k" }, 10s, environment());
        fs::remove_all(prefix_);
        const auto boot = runToEnd({ "wineboot", "-i" }, 300s, environment());
        bool fonts = boot.exitCode == 0;
        for (auto setting : fontSettings) {
            setting.insert(setting.begin(), { "wine", "reg", "add" });
            setting.push_back("/f");
            // Names pass from UTF-8 arguments.
            fonts = fonts && runToEnd(setting, 60s, environment({ "LC_ALL=C.UTF-8" })).exitCode == 0;
        }
        // The registry reaches its files when the server ends.
        runCommand({ "wineserver", "-w" }, 60s, environment());
        if (!fonts)
            failure_ = "the Wine prefix could not be made: " + boot.output;
        else
            std::ofstream(marker) << version.output;
        prefixTime_
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
    flock(lock, LOCK_UN);
    close(lock);
    return failure_.empty();
}

Environment WineDesktop::environment(const Environment& extra) const
{
    Environment env { "WINEPREFIX=" + prefix_, "WINEDEBUG=-all", "WINEDLLOVERRIDES=" + prefixOverrides,
        "DISPLAY=" + x_.display() };
    for (const auto& entry : extra)
        env.push_back(entry.starts_with("WINEDLLOVERRIDES=")
                ? "WINEDLLOVERRIDES=" + prefixOverrides + ";" + entry.substr(entry.find('=') + 1)
                : entry);
    return env;
}

CommandResult WineDesktop::run(
    const std::vector<std::string>& args, std::chrono::milliseconds timeout, const Environment& extra) const
{
    std::vector<std::string> command { "wine" };
    command.insert(command.end(), args.begin(), args.end());
    return runToEnd(command, timeout, environment(extra));
}

std::unique_ptr<ProgramOnX> WineDesktop::start(
    const std::vector<std::string>& args, const Environment& extra) const
{
    std::vector<std::string> command { "wine" };
    command.insert(command.end(), args.begin(), args.end());
    return std::make_unique<ProgramOnX>(command, x_.display(), environment(extra));
}

std::string WineDesktop::windowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + std::filesystem::absolute(unixPath).string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
