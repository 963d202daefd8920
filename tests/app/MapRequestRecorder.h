#pragma once
// A stand-in for a window manager on the test's virtual display: it takes the display's map,
// configure and stacking requests and carries each out unchanged, and keeps the size hints that
// every window had when it first asked to be mapped, which is when a window manager reads them.
// No other window manager may run on the display while it lives (its start fails then). Its own
// thread handles the requests; the other calls may come from any thread.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

class MapRequestRecorder
{
public:
    MapRequestRecorder();
    ~MapRequestRecorder();
    MapRequestRecorder (const MapRequestRecorder&) = delete;
    MapRequestRecorder& operator= (const MapRequestRecorder&) = delete;

    bool started() const { return ok; }
    // The maximum size in the size hints of a window (its id as xdotool prints it) at its first
    // map request; (0, 0) when they held none, or when no map request of that window came.
    std::pair<int, int> maximumSizeAtFirstMap (const std::string& windowId) const;

private:
    void run();

    void* display = nullptr; // the X connection of the recorder's own
    std::thread thread;
    std::atomic<bool> stopping{false};
    bool ok = false;
    mutable std::mutex lock;
    std::map<unsigned long, std::pair<int, int>> firstMaps;
};
