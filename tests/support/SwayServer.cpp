#include "SwayServer.h"

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string privateFolder(const char* name)
{
    std::string pattern = (fs::temp_directory_path() / name).string() + "-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// No bar, no key bindings, no Xwayland: only the test's windows, all keys
// theirs, and nothing that falls back to X11 unseen.
std::string config(int width, int height)
{
    return "xwayland disable\n"
           "focus_follows_mouse no\n"
           "input type:keyboard repeat_delay 600\n"
           "input type:keyboard repeat_rate 25\n"
           "output * mode --custom "
        + std::to_string(width) + "x" + std::to_string(height) + "\n";
}

// A socket in the folder whose name starts with `prefix`, not its lock file.
std::string socketIn(const std::string& folder, const std::string& prefix)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.is_socket(ec))
            return entry.path().string();
    }
    return {};
}

void collectViews(const QJsonObject& node, std::vector<SwayServer::View>& views)
{
    if (node.contains(QStringLiteral("pid"))) {
        const QJsonObject rect = node[QStringLiteral("rect")].toObject();
        const QJsonObject window = node[QStringLiteral("window_rect")].toObject();
        SwayServer::View view;
        view.pid = node[QStringLiteral("pid")].toInt();
        view.appId = node[QStringLiteral("app_id")].toString().toStdString();
        view.shell = node[QStringLiteral("shell")].toString().toStdString();
        view.focused = node[QStringLiteral("focused")].toBool();
        view.geometry = QRect(rect[QStringLiteral("x")].toInt() + window[QStringLiteral("x")].toInt(),
            rect[QStringLiteral("y")].toInt() + window[QStringLiteral("y")].toInt(),
            window[QStringLiteral("width")].toInt(), window[QStringLiteral("height")].toInt());
        views.push_back(view);
    }
    for (const char* children : { "nodes", "floating_nodes" })
        for (const auto& child : node[QLatin1String(children)].toArray())
            collectViews(child.toObject(), views);
}

} // namespace

SwayServer::SwayServer(int outputWidth, int outputHeight)
    : x_(std::to_string(outputWidth) + "x" + std::to_string(outputHeight) + "x24")
    , swayRuntime_(privateFolder("tonvelo-sway"))
    , clientRuntime_(privateFolder("tonvelo-wayland-client"))
    // Its whole environment; the parent-death signal does not survive the
    // change of user, but sway ends when its X server does.
    , sway_({ .args
          = { "env", "-i", "PATH=/usr/bin:/bin", "DISPLAY=" + x_.display(), "XDG_RUNTIME_DIR=" + swayRuntime_,
              "WLR_BACKENDS=x11", "WLR_RENDERER=pixman", "setpriv", "--reuid=nobody", "--regid=nogroup",
              "--clear-groups", "sway", "-c", swayRuntime_ + "/config" },
          .ready = [this] { return serves(); },
          .timeout = 20s })
{
    const passwd* nobody = getpwnam("nobody");
    if (!x_.running() || swayRuntime_.empty() || clientRuntime_.empty() || !nobody
        || chown(swayRuntime_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
        return;
    const std::string configPath = swayRuntime_ + "/config";
    std::ofstream(configPath) << config(outputWidth, outputHeight);
    fs::permissions(configPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    sway_.start();
}

bool SwayServer::serves()
{
    socket_ = socketIn(swayRuntime_, "wayland-");
    ipc_ = socketIn(swayRuntime_, "sway-ipc.");
    return !socket_.empty() && !ipc_.empty() && swaymsg({ "-t", "get_outputs" }).exitCode == 0;
}

SwayServer::~SwayServer()
{
    sway_.stop();
    std::error_code ec;
    for (const auto& folder : { swayRuntime_, clientRuntime_ })
        if (!folder.empty())
            fs::remove_all(folder, ec);
}

Environment SwayServer::clientEnvironment() const
{
    return { "WAYLAND_DISPLAY=" + socket_, "XDG_SESSION_TYPE=wayland", "XDG_RUNTIME_DIR=" + clientRuntime_,
        "DISPLAY", "QT_QPA_PLATFORM" };
}

CommandResult SwayServer::swaymsg(const std::vector<std::string>& args) const
{
    std::vector<std::string> command { "swaymsg" };
    command.insert(command.end(), args.begin(), args.end());
    return runCommand(command, 10s, { "SWAYSOCK=" + ipc_ });
}

std::vector<SwayServer::View> SwayServer::views() const
{
    const auto tree = swaymsg({ "-t", "get_tree" });
    std::vector<View> result;
    if (tree.exitCode == 0)
        collectViews(QJsonDocument::fromJson(QByteArray::fromStdString(tree.output)).object(), result);
    return result;
}

QImage SwayServer::picture(const QRect& area) const
{
    const std::string file = clientRuntime_ + "/picture.png";
    const std::string region = std::to_string(area.x()) + "," + std::to_string(area.y()) + " "
        + std::to_string(area.width()) + "x" + std::to_string(area.height());
    if (runCommand({ "grim", "-g", region, file }, 20s, clientEnvironment()).exitCode != 0)
        return {};
    return QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
}

bool SwayServer::xdotool(std::vector<std::string> args) const
{
    args.insert(args.begin(), "xdotool");
    return runCommand(args, 10s, { "DISPLAY=" + x_.display() }).exitCode == 0;
}
