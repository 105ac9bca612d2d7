#include "audio/SocketAnswers.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

bool socketAnswers(const std::string& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

bool pipeWireAnswers()
{
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote && *remote ? remote : "pipewire-0";
    if (name[0] == '/')
        return socketAnswers(name);
    const char* dir = std::getenv("PIPEWIRE_RUNTIME_DIR");
    if (!dir || !*dir)
        dir = std::getenv("XDG_RUNTIME_DIR");
    return dir && *dir && socketAnswers(std::string(dir) + "/" + name);
}

bool pulseAudioAnswers()
{
    const char* server = std::getenv("PULSE_SERVER");
    if (server && *server)
        return std::strncmp(server, "unix:", 5) != 0 || socketAnswers(server + 5);
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return !dir || !*dir || socketAnswers(std::string(dir) + "/pulse/native");
}
