#include "MapRequestRecorder.h"

#include <poll.h>

// Xlib's macros (None, Status, Bool, ...) stay in this unit.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace
{
// The display's errors while the recorder lives: a redirect refused because another window
// manager runs, and requests about windows that went away meanwhile, which are ignored.
std::atomic<bool> redirectRefused{false};

int recordError (Display*, XErrorEvent* error)
{
    if (error->error_code == BadAccess)
        redirectRefused = true;
    return 0;
}

XErrorHandler previousHandler = nullptr;

std::pair<int, int> maximumSize (Display* d, Window w)
{
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints (d, w, &hints, &supplied) != 0 && (hints.flags & PMaxSize) != 0)
        return {hints.max_width, hints.max_height};
    return {0, 0};
}
} // namespace

MapRequestRecorder::MapRequestRecorder()
{
    auto* d = XOpenDisplay (nullptr);
    if (d == nullptr)
        return;
    display = d;
    redirectRefused = false;
    previousHandler = XSetErrorHandler (recordError);
    XSelectInput (d, DefaultRootWindow (d), SubstructureRedirectMask | SubstructureNotifyMask);
    XSync (d, False);
    ok = !redirectRefused;
    if (ok)
        thread = std::thread ([this] { run(); });
}

MapRequestRecorder::~MapRequestRecorder()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
    if (display != nullptr)
    {
        // Only one client may redirect the root's map requests. Closing the connection gives the
        // redirect up only when the server gets to it, which on a busy machine may come after a
        // window manager started next asked for it and was refused; so it is given up first, and
        // the server has taken that in when the recorder is gone.
        auto* d = static_cast<Display*> (display);
        XSelectInput (d, DefaultRootWindow (d), NoEventMask);
        XSync (d, False);
        XCloseDisplay (d);
        XSetErrorHandler (previousHandler);
    }
}

std::pair<int, int> MapRequestRecorder::maximumSizeAtFirstMap (const std::string& windowId) const
{
    const std::lock_guard<std::mutex> guard (lock);
    const auto found = firstMaps.find (std::stoul (windowId));
    return found != firstMaps.end() ? found->second : std::pair<int, int>{0, 0};
}

void MapRequestRecorder::run()
{
    auto* d = static_cast<Display*> (display);
    pollfd connection{ConnectionNumber (d), POLLIN, 0};
    while (!stopping)
    {
        if (XPending (d) == 0)
        {
            poll (&connection, 1, 20);
            continue;
        }
        XEvent event;
        XNextEvent (d, &event);
        if (event.type == MapRequest)
        {
            const auto w = event.xmaprequest.window;
            {
                const std::lock_guard<std::mutex> guard (lock);
                if (firstMaps.count (w) == 0)
                    firstMaps[w] = maximumSize (d, w);
            }
            XMapWindow (d, w);
        }
        else if (event.type == ConfigureRequest)
        {
            const auto& r = event.xconfigurerequest;
            XWindowChanges changes{r.x, r.y, r.width, r.height, r.border_width, r.above, r.detail};
            XConfigureWindow (d, r.window, (unsigned int)r.value_mask, &changes);
        }
        else if (event.type == CirculateRequest)
        {
            const auto& r = event.xcirculaterequest;
            if (r.place == PlaceOnTop)
                XRaiseWindow (d, r.window);
            else
                XLowerWindow (d, r.window);
        }
        XFlush (d);
    }
}
