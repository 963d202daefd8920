#include "ui/PellmixMenu.h"

void PellmixMenu::addListener (Listener* listener)
{
    const juce::ScopedLock scope (lock);
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}
