// The window system's own declarations are needed here only, kept out of every other unit.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "app/WindowSizeHints.h"

void handSizeLimitsToWindowSystem (juce::ComponentPeer& peer)
{
#if JUCE_LINUX || JUCE_BSD
    if (auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating())
        windowSystem->updateConstraints ((::Window)peer.getNativeHandle());
#else
    juce::ignoreUnused (peer);
#endif
}
