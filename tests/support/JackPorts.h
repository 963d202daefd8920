#pragma once
// The tests' own look at a JACK server: its ports, its clients and connections between them,
// through the JACK API with a client of a name no other process uses. The command-line tools
// (jack_lsp, jack_connect, jack_wait) register fixed client names, and JACK names a client's
// socket by its name and user only, so two tests running them at the same moment on their own
// servers can make each other fail.
//
// Every call opens a short-lived client on the named server and closes it again; any thread may
// call, none of it is for an audio callback.
#include <chrono>
#include <string>
#include <vector>

namespace pellmix_test
{
using namespace std::chrono_literals;

class JackPorts
{
public:
    explicit JackPorts (std::string serverName);

    // The full names ("client:port") of the ports whose full names match `pattern` (an extended
    // regular expression, as jack_get_ports takes it; empty: every port), sorted.
    std::vector<std::string> ports (const std::string& pattern = {}) const;

    // Waits until at least `count` ports match `pattern`; returns them, or an empty list when the
    // time ran out.
    std::vector<std::string> waitForPorts (const std::string& pattern, size_t count,
                                           std::chrono::milliseconds timeout = 15s) const;

    // The client whose name matches `clientPattern` and that has registered every one of
    // `portNames` (short names, "out_1"), waited for; empty when none came in time.
    std::string waitForClient (const std::string& clientPattern, const std::vector<std::string>& portNames,
                               std::chrono::milliseconds timeout = 15s) const;

    // Waits until no port matches `pattern` any more.
    bool waitForNoPorts (const std::string& pattern, std::chrono::milliseconds timeout = 15s) const;

    // Connects two ports (full names); true when they are connected.
    bool connect (const std::string& from, const std::string& to) const;

    // Asks the server for another period (block size); true when it took it.
    bool setBufferSize (int frames) const;

    // Every port, one a line, with its connections indented below it (as jack_lsp -c prints
    // them): for failure messages.
    std::string listing() const;

private:
    std::string server;
};
} // namespace pellmix_test
