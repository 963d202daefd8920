#include "JackPorts.h"
#include "WaitUntil.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <regex>
#include <set>
#include <unistd.h>

namespace pellmix_test
{
namespace
{
class Client
{
public:
    explicit Client (const std::string& server)
    {
        static std::atomic<int> counter{0};
        const auto name = "pellmix-" + std::to_string (getpid()) + "-" + std::to_string (++counter);
        jack_status_t status{};
        client = jack_client_open (name.c_str(),
                                   (jack_options_t)(JackNoStartServer | JackServerName | JackUseExactName),
                                   &status, server.c_str());
    }
    ~Client()
    {
        if (client != nullptr)
            jack_client_close (client);
    }
    Client (const Client&) = delete;
    Client& operator= (const Client&) = delete;

    jack_client_t* get() const { return client; }

private:
    jack_client_t* client = nullptr;
};

std::vector<std::string> portsOf (jack_client_t* client, const std::string& pattern)
{
    std::vector<std::string> names;
    if (client == nullptr)
        return names;
    if (const char** found = jack_get_ports (client, pattern.empty() ? nullptr : pattern.c_str(), nullptr, 0))
    {
        for (const char** p = found; *p != nullptr; ++p)
            names.emplace_back (*p);
        jack_free (found);
    }
    std::sort (names.begin(), names.end());
    return names;
}

} // namespace

JackPorts::JackPorts (std::string serverName)
    : server (std::move (serverName))
{
}

std::vector<std::string> JackPorts::ports (const std::string& pattern) const
{
    Client client (server);
    return portsOf (client.get(), pattern);
}

std::vector<std::string> JackPorts::waitForPorts (const std::string& pattern, size_t count,
                                                  std::chrono::milliseconds timeout) const
{
    std::vector<std::string> found;
    waitUntil ([&] { return (found = ports (pattern)).size() >= count; }, timeout, 20ms);
    if (found.size() < count)
        found.clear();
    return found;
}

std::string JackPorts::waitForClient (const std::string& clientPattern,
                                      const std::vector<std::string>& portNames,
                                      std::chrono::milliseconds timeout) const
{
    const std::regex wanted (clientPattern, std::regex::extended);
    std::string found;
    waitUntil (
        [&]
        {
            std::map<std::string, std::set<std::string>> byClient;
            for (const auto& full : ports())
            {
                const auto colon = full.find (':');
                const auto client = full.substr (0, colon);
                if (colon != std::string::npos && std::regex_match (client, wanted))
                    byClient[client].insert (full.substr (colon + 1));
            }
            for (const auto& entry : byClient)
            {
                const auto& names = entry.second;
                if (std::all_of (portNames.begin(), portNames.end(),
                                 [&] (auto& n) { return names.count (n) > 0; }))
                {
                    found = entry.first;
                    return true;
                }
            }
            return false;
        },
        timeout, 20ms);
    return found;
}

bool JackPorts::waitForNoPorts (const std::string& pattern, std::chrono::milliseconds timeout) const
{
    return waitUntil ([&] { return ports (pattern).empty(); }, timeout, 20ms);
}

bool JackPorts::connect (const std::string& from, const std::string& to) const
{
    Client client (server);
    if (client.get() == nullptr)
        return false;
    const int result = jack_connect (client.get(), from.c_str(), to.c_str());
    return result == 0 || result == EEXIST;
}

bool JackPorts::setBufferSize (int frames) const
{
    Client client (server);
    return client.get() != nullptr && jack_set_buffer_size (client.get(), (jack_nframes_t)frames) == 0;
}

std::string JackPorts::listing() const
{
    Client client (server);
    if (client.get() == nullptr)
        return "(no client could be opened on JACK server \"" + server + "\")\n";
    std::string text;
    for (const auto& name : portsOf (client.get(), {}))
    {
        text += name + "\n";
        if (const char** connections =
                jack_port_get_all_connections (client.get(), jack_port_by_name (client.get(), name.c_str())))
        {
            for (const char** c = connections; *c != nullptr; ++c)
                text += std::string ("   ") + *c + "\n";
            jack_free (connections);
        }
    }
    return text;
}
} // namespace pellmix_test
