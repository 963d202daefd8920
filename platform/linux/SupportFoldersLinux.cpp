#include "platform/SupportFolders.h"

juce::File getSystemApplicationDataFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
}
