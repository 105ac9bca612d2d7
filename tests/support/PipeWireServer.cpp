#include "PipeWireServer.h"

#include "audio/SocketAnswers.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>

using namespace std::chrono_literals;

namespace {

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
          .ready = [this] { return socketAnswers(dir_.path() + "/pipewire-0"); },
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
    const auto objects = QJsonDocument::fromJson(QByteArray::fromStdString(dump.output)).array();
    for (const auto& object : objects) {
        const auto info = object.toObject()["info"].toObject();
        auto props = info["props"].toObject();
        props["rate"] = info["params"].toObject()["Format"].toArray().first().toObject()["rate"];
        props["state"] = info["state"];
        if (props["node.name"].toString() != QString::fromStdString(name))
            continue;
        QJsonArray links;
        for (const auto& link : objects)
            if (link.toObject()["info"].toObject()["output-node-id"] == object.toObject()["id"])
                links.append(link.toObject()["id"]);
        props["links"] = links;
        return props;
    }
    return {};
}
