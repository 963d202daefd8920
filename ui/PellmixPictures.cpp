#include "ui/PellmixPictures.h"

juce::Image pellmixPicture (const void* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

void setButtonFaces (juce::ImageButton& button, const juce::Image& normal, const juce::Image& over,
                     const juce::Image& down, ButtonFaceStyle style)
{
    const juce::Colour none (0x00000000);
    button.setImages (false, style.rescale, true, normal, 1.0f, none, over, style.overOpacity, none, down,
                      style.downOpacity, none, 0.0f);
}

void setButtonFaces (juce::ImageButton& button, const juce::Image& face, ButtonFaceStyle style)
{
    setButtonFaces (button, face, face, face, style);
}
