#include "settings/PellmixPaths.h"

juce::File getSystemApplicationDataFolder()
{
#if JUCE_MAC
    return juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
#else
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
#endif
}
