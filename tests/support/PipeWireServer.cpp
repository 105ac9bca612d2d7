#include "PipeWireServer.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

using namespace std::chrono_literals;

namespace {

// Whether a server listens on the socket at `path`: a file left by a killed
// server is there too, but refuses.
bool listening(const std::string& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::strcpy(address.sun_path, path.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

Environment nativeAccess(const std::string& dir, PipeWireServer::Access access)
{
    if (access == PipeWireServer::Access::Native)
        return { "PIPEWIRE_RUNTIME_DIR=" + dir };
    // A socket path that is not there: no fallback to a default folder.
    const std::string nowhere = dir + "/no-native-socket";
    return { "PIPEWIRE_RUNTIME_DIR=" + nowhere, "PIPEWIRE_REMOTE=" + nowhere + "/pipewire-0" };
}

} // namespace

PipeWireServer::PipeWireServer(Access access)
    // The session manager keeps its state under HOME; not the user's. What
    // this process exports for its clients must not lead the servers astray.
    : serverEnv_ { "XDG_RUNTIME_DIR=" + dir_.path(), "PIPEWIRE_RUNTIME_DIR=" + dir_.path(), "PIPEWIRE_REMOTE",
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_.path() + "/bus", "PULSE_SERVER", "HOME=" + dir_.path() }
    , bus_({ .args = { "dbus-daemon", "--session", "--address=unix:path=" + dir_.path() + "/bus", "--nofork",
                 "--nopidfile" },
          .ready = [this] { return std::filesystem::exists(dir_.path() + "/bus"); },
          .timeout = 10s })
    // Started before the server listens, the session manager gives up at once.
    , pipewire_({ .args = { "pipewire" },
          .env = serverEnv_,
          .ready = [this] { return listening(dir_.path() + "/pipewire-0"); },
          .exports = nativeAccess(dir_.path(), access),
          .timeout = 10s })
    , sessionManager_({ .args = { "wireplumber" }, .env = serverEnv_ })
    , pulseService_({ .args = { "pipewire-pulse" },
          .env = serverEnv_,
          .ready =
              [this] {
                  return runCommand({ "pactl", "info" }, 5s, environment())
                             .output.find("Default Sink: auto_null")
                      != std::string::npos;
              },
          .exports = { "PULSE_SERVER=unix:" + dir_.path() + "/pulse/native" } })
{
    if (!dir_.path().empty() && bus_.start())
        start();
}

Environment PipeWireServer::environment() const
{
    Environment env { "XDG_RUNTIME_DIR=" + dir_.path(),
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_.path() + "/bus" };
    for (const auto* server : { &pipewire_, &pulseService_ })
        env.insert(env.end(), server->environment().begin(), server->environment().end());
    return env;
}

bool PipeWireServer::start()
{
    return pipewire_.start() && sessionManager_.start() && pulseService_.start();
}

void PipeWireServer::kill()
{
    for (auto* server : { &pulseService_, &sessionManager_, &pipewire_ })
        server->kill();
}

bool PipeWireServer::restart()
{
    kill();
    return start();
}

QJsonObject PipeWireServer::node(const std::string& name) const
{
    const auto dump = runCommand({ "pw-dump" }, std::chrono::seconds(10), environment());
    for (const auto& object : QJsonDocument::fromJson(QByteArray::fromStdString(dump.output)).array()) {
        const auto info = object.toObject()["info"].toObject();
        auto props = info["props"].toObject();
        props["rate"] = info["params"].toObject()["Format"].toArray().first().toObject()["rate"];
        if (props["node.name"].toString() == QString::fromStdString(name))
            return props;
    }
    return {};
}
