#include "ui/PellmixMenu.h"

#include "settings/PellmixConfig.h"

PellmixMenu* PellmixMenu::fromConfig()
{
    return dynamic_cast<PellmixMenu*> (PellmixConfig::getInstance()->menu.get());
}

void PellmixMenu::addListener (Listener* listener)
{
    const juce::ScopedLock scope (lock);
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}
