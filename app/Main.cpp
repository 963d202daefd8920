#include <juce_gui_basics/juce_gui_basics.h>

class StandInApplication : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Vantrel Melvane"; }
    const juce::String getApplicationVersion() override { return "0.9.8"; }
    void initialise (const juce::String&) override {}
    void shutdown() override {}
};

START_JUCE_APPLICATION (StandInApplication)
