#pragma once
// The pictures compiled into the program and the faces of the image buttons, made one way.
//
// pellmixPicture decodes an embedded PNG or JPEG once; the framework's image cache keeps it, so
// every later call for the same bytes returns the same shared image. PELLMIX_PICTURE (name) is
// the picture of the BinaryData entry `name` (the caller includes "BinaryData.h").
//
// Threading: message thread only.
#include <juce_gui_basics/juce_gui_basics.h>

juce::Image pellmixPicture (const void* data, int size);

#define PELLMIX_PICTURE(name) pellmixPicture (BinaryData::name, BinaryData::name##Size)

// How an image button draws its faces: the opacities of the over and down faces (the normal face
// is opaque), and whether the faces are scaled to the button's bounds or drawn at their own size.
// Every pixel of the button takes clicks.
struct ButtonFaceStyle
{
    float overOpacity;
    float downOpacity;
    bool rescale;
};
// The IR blocks' and the player's buttons fade a little under the mouse and when pressed.
constexpr ButtonFaceStyle fadingFaces{0.9f, 0.8f, false};
constexpr ButtonFaceStyle fadingScaledFaces{0.9f, 0.8f, true};
constexpr ButtonFaceStyle opaqueFaces{1.0f, 1.0f, false};
constexpr ButtonFaceStyle opaqueScaledFaces{1.0f, 1.0f, true};

void setButtonFaces (juce::ImageButton& button, const juce::Image& normal, const juce::Image& over,
                     const juce::Image& down, ButtonFaceStyle style);
// One picture for all three faces.
void setButtonFaces (juce::ImageButton& button, const juce::Image& face, ButtonFaceStyle style);
