#include "JackClient.h"

JackClient::JackClient(const std::string& name, const char* portType, int portCount)
{
    jack_status_t status;
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!client_)
        return;
    for (int i = 0; i < portCount; ++i) {
        const std::string port = portCount == 1 ? "in" : "in" + std::to_string(i + 1);
        ports_.push_back(jack_port_register(client_, port.c_str(), portType, JackPortIsInput, 0));
    }
    jack_on_shutdown(client_, [](void* self) { static_cast<JackClient*>(self)->serverGone_ = true; }, this);
}

JackClient::~JackClient()
{
    if (client_ && !serverGone_)
        jack_client_close(client_);
}

bool JackClient::activate(JackProcessCallback process, void* arg)
{
    if (!client_)
        return false;
    jack_set_process_callback(client_, process, arg);
    if (jack_activate(client_) == 0)
        return true;
    jack_client_close(client_);
    client_ = nullptr;
    return false;
}

std::string JackClient::portName(int port) const
{
    return jack_port_name(ports_[static_cast<size_t>(port)]);
}

std::vector<std::string> audioOutputs(jack_client_t* client, const char* pattern)
{
    std::vector<std::string> names;
    if (const char** ports = jack_get_ports(client, pattern, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput)) {
        for (const char** p = ports; *p; ++p)
            names.emplace_back(*p);
        jack_free(ports);
    }
    return names;
}
