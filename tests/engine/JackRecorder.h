#pragma once
// An independent JACK client that records the output ports of another client: one input port per
// recorded port, every cycle appended to preallocated buffers on JACK's thread.
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace engine_test
{
class JackRecorder
{
public:
    JackRecorder (int numChannels, size_t capacityFrames)
        : buffers ((size_t)numChannels, std::vector<float> (capacityFrames, 0.0f))
    {
    }

    ~JackRecorder()
    {
        if (client != nullptr)
        {
            jack_deactivate (client);
            jack_client_close (client);
        }
    }

    // Opens the client on the server named by JACK_DEFAULT_SERVER and activates it.
    bool open (const std::string& name, std::string& error)
    {
        jack_status_t status{};
        client = jack_client_open (name.c_str(), JackNoStartServer, &status);
        if (client == nullptr)
        {
            error = "jack_client_open failed, status " + std::to_string ((int)status);
            return false;
        }
        for (size_t i = 0; i < buffers.size(); ++i)
            ports.push_back (jack_port_register (client, ("in_" + std::to_string (i + 1)).c_str(),
                                                 JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
        jack_set_process_callback (client, &JackRecorder::process, this);
        jack_set_xrun_callback (client, &JackRecorder::xrun, this);
        if (jack_activate (client) != 0)
        {
            error = "jack_activate failed";
            return false;
        }
        return true;
    }

    // The output ports whose names match the pattern, sorted by name.
    std::vector<std::string> findOutputs (const std::string& pattern) const
    {
        std::vector<std::string> names;
        if (const char** found =
                jack_get_ports (client, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput))
        {
            for (const char** p = found; *p != nullptr; ++p)
                names.emplace_back (*p);
            jack_free (found);
        }
        std::sort (names.begin(), names.end());
        return names;
    }

    bool connect (const std::vector<std::string>& sources)
    {
        for (size_t i = 0; i < sources.size() && i < ports.size(); ++i)
            if (jack_connect (client, sources[i].c_str(), jack_port_name (ports[i])) != 0)
                return false;
        return true;
    }

    void start() { recording = true; }

    // Stops the client and returns what was recorded, one vector per port.
    std::vector<std::vector<float>> finish()
    {
        recording = false;
        jack_deactivate (client);
        auto result = buffers;
        for (auto& b : result)
            b.resize (frames.load());
        return result;
    }

    bool overflowed() const { return overflow.load(); }
    // Cycles the server reported late while recording: their data may be incomplete.
    int xruns() const { return xrunCount.load(); }

private:
    static int xrun (void* arg)
    {
        auto& self = *static_cast<JackRecorder*> (arg);
        if (self.recording)
            ++self.xrunCount;
        return 0;
    }

    static int process (jack_nframes_t n, void* arg)
    {
        auto& self = *static_cast<JackRecorder*> (arg);
        if (!self.recording)
            return 0;
        const size_t at = self.frames.load();
        if (at + n > self.buffers[0].size())
        {
            self.overflow = true;
            return 0;
        }
        for (size_t i = 0; i < self.ports.size(); ++i)
        {
            const auto* in = static_cast<const float*> (jack_port_get_buffer (self.ports[i], n));
            std::copy (in, in + n, self.buffers[i].begin() + (long)at);
        }
        self.frames = at + n;
        return 0;
    }

    jack_client_t* client = nullptr;
    std::vector<jack_port_t*> ports;
    std::vector<std::vector<float>> buffers;
    std::atomic<bool> recording{false};
    std::atomic<bool> overflow{false};
    std::atomic<size_t> frames{0};
    std::atomic<int> xrunCount{0};
};
} // namespace engine_test
