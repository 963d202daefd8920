// The X11 declarations are needed here only, kept out of every other unit.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "platform/WindowSizeHints.h"

void handSizeLimitsToWindowSystem (juce::ComponentPeer& peer)
{
    if (auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating())
        windowSystem->updateConstraints ((::Window)peer.getNativeHandle());
}
