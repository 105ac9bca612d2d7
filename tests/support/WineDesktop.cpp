#include "WineDesktop.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include <QString>

#include "WaitUntil.h"

using namespace std::chrono_literals;

namespace {

// No prompts to fetch Mono or Gecko: nothing here uses .NET or HTML.
const std::string prefixOverrides = "mscoree,mshtml=";

// What the captions name, as the Linux program finds it; "MS Shell Dlg" and
// Tahoma, Wine's own dialog font, link to a CJK font so that message boxes
// show Chinese too.
const char* const substitutes[][2] = {
    { "宋体", "AR PL UMing CN" },
    { "SimSun", "AR PL UMing CN" },
    { "华文行楷", "AR PL UKai CN" },
    { "STXingkai", "AR PL UKai CN" },
    { "楷体", "AR PL UKai CN" },
    { "KaiTi", "AR PL UKai CN" },
    { "Times New Roman", "Liberation Serif" },
};
const char* const linkedFonts[] = { "Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif" };
const char* const cjkLink = "uming.ttc,AR PL UMing CN";

std::string hexUtf16(const std::string& utf8)
{
    std::ostringstream hex;
    hex << std::hex << std::setfill('0');
    for (char16_t c : QString::fromUtf8(utf8).toStdU16String())
        hex << std::setw(2) << (c & 0xFF) << ',' << std::setw(2) << (c >> 8) << ',';
    hex << "00,00";
    return hex.str();
}

std::string fontRegistry()
{
    std::ostringstream reg;
    reg << "Windows Registry Editor Version 5.00\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n";
    for (const auto& [name, font] : substitutes)
        reg << '"' << name << "\"=\"" << font << "\"\r\n";
    reg << "\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows "
           "NT\\CurrentVersion\\FontLink\\SystemLink]\r\n";
    for (const char* font : linkedFonts)
        reg << '"' << font << "\"=hex(7):" << hexUtf16(cjkLink) << ",00,00\r\n";
    return reg.str();
}

// regedit reads the names as UTF-16.
void writeUtf16(const std::string& path, const std::string& utf8)
{
    std::ofstream out(path, std::ios::binary);
    out << "\xFF\xFE";
    for (char16_t c : QString::fromUtf8(utf8).toStdU16String())
        out << static_cast<char>(c & 0xFF) << static_cast<char>(c >> 8);
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
    // Wine's server and its services stay up between the test's programs, and
    // write to a file of their own: each started by a run would hold that
    // run's output open until the server gives up, seconds later.
    server_ = std::make_unique<RunningProgram>(
        std::vector<std::string> { "wineserver", "-f", "-p" }, environment());
    RunningProgram services({ "wine", "wineboot" }, environment());
    if (!services.wait(60s)) {
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
        const auto boot = runCommand({ "wineboot", "-i" }, 300s, environment());
        const std::string reg = prefix_ + "/tonvelo-fonts.reg";
        writeUtf16(reg, fontRegistry());
        const auto fonts = runCommand({ "wine", "regedit", "/S", windowsPath(reg) }, 60s, environment());
        // The registry reaches its files when the server ends.
        runCommand({ "wineserver", "-w" }, 60s, environment());
        if (boot.exitCode != 0 || fonts.exitCode != 0)
            failure_ = "the Wine prefix could not be made: " + boot.output + fonts.output;
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
    return runCommand(command, timeout, environment(extra));
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
