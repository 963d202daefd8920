#include "ui/PellmixIrBlock.h"

#include "BinaryData.h"
#include "engine/PellmixThreadCheck.h"
#include "settings/SharedAudioDeviceManager.h"
#include "ui/PellmixFileChooser.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixPictures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
PellmixConfig& config()
{
    return *PellmixConfig::getInstance();
}

PellmixEngine& engine()
{
    return config().engine;
}

PellmixProject& project()
{
    return config().project;
}

std::unique_ptr<juce::ImageButton> makeButton (juce::Button::Listener& listener, const juce::String& tooltip)
{
    auto button = std::make_unique<juce::ImageButton> (juce::String());
    button->addListener (&listener);
    button->setTooltip (tooltip);
    return button;
}

std::unique_ptr<PellmixSlider> makeSlider (juce::Slider::SliderStyle style,
                                           juce::Slider::TextEntryBoxPosition box, const juce::String& name,
                                           juce::Slider::Listener& listener, const juce::String& tooltip)
{
    auto slider = std::make_unique<PellmixSlider> (style, box);
    if (style == juce::Slider::Rotary)
        slider->setSliderStyle (juce::Slider::RotaryVerticalDrag);
    slider->setName (name);
    slider->addListener (&listener);
    slider->setTooltip (tooltip);
    slider->setTextBoxStyle (box, false, 30, 15);
    return slider;
}

std::unique_ptr<juce::Label> makeLabel (const juce::String& name, const juce::String& text)
{
    auto label = std::make_unique<juce::Label> (name, text);
    label->setJustificationType (juce::Justification::centred);
    label->setFont (label->getFont().withHeight (14.0f));
    return label;
}

float finiteOrZero (float v)
{
    return std::isnan (v) ? 0.0f : v;
}
} // namespace

PellmixIrBlock::PellmixIrBlock()
{
    setLookAndFeel (PellmixLookAndFeel::getInstance());

    muteButton = makeButton (*this, "Mute");
    soloButton = makeButton (*this, "Solo");
    captureButton = makeButton (*this, "Show Capture Window");
    timePlotButton = makeButton (*this, "Show Time domain IR plot");
    frequencyPlotButton = makeButton (*this, "Show Frequency domain IR plot");
    phasePlotButton = makeButton (*this, "Show IR Phase");
    removeButton = makeButton (*this, "Remove IR");
    invertButton = makeButton (*this, "Invert phase");
    for (auto* b : {muteButton.get(), soloButton.get(), captureButton.get(), timePlotButton.get(),
                    frequencyPlotButton.get(), phasePlotButton.get(), removeButton.get(), invertButton.get()})
        addChildComponent (b);

    setMuteLook (false);
    setSoloLook (false);
    const auto capture = PELLMIX_PICTURE (ir_capture_png);
    setButtonFaces (*captureButton, capture, fadingFaces);
    setButtonFaces (*removeButton, PELLMIX_PICTURE (remove_png), PELLMIX_PICTURE (remove_over_png),
                    PELLMIX_PICTURE (remove_pressed_png), fadingFaces);
    setInvertLook (false);
    setPlotMode (0);

    irLabel = makeLabel ("IR Label", "No audio file selected");
    addAndMakeVisible (irLabel.get());

    phaseSlider = makeSlider (juce::Slider::Rotary, juce::Slider::TextBoxRight, "Rotary Slider Phase", *this,
                              "IR phase offset");
    phaseSlider->setRange (PellmixRanges::phaseMin, PellmixRanges::phaseMax, (double)0.1f);
    phaseSlider->setValue (0.0, juce::sendNotificationAsync);
    phaseLabel = makeLabel ("Phase Label", "Phase");

    gainSlider = makeSlider (juce::Slider::LinearVertical, juce::Slider::TextBoxBelow, "Ir Gain Slider",
                             *this, "IR volume");
    gainSlider->setRange (PellmixRanges::gainMinDb, PellmixRanges::gainMaxDb, 1.0);

    offsetSlider = makeSlider (juce::Slider::Rotary, juce::Slider::TextBoxRight, "Rotary Slider Offset",
                               *this, "IR start offset (samples)");
    offsetSlider->setRange (1 - maxLength, maxLength - 1, 1.0);
    offsetSlider->setValue (0.0, juce::sendNotificationAsync);
    offsetLabel = makeLabel ("Offset Label", "Offset");

    lengthSlider = makeSlider (juce::Slider::Rotary, juce::Slider::TextBoxRight, "Rotary Slider Length",
                               *this, "IR length (samples)");
    lengthSlider->setRange (1.0, maxLength, 1.0);
    lengthSlider->setValue (maxLength, juce::sendNotificationAsync);
    lengthLabel = makeLabel ("Length Label", "Length");

    for (auto* c : std::initializer_list<juce::Component*>{
             phaseSlider.get(), phaseLabel.get(), gainSlider.get(), offsetSlider.get(), offsetLabel.get(),
             lengthSlider.get(), lengthLabel.get()})
        addChildComponent (c);

    backgroundImage = PELLMIX_PICTURE (ir_block_background_jpg);
    emptyBackgroundImage = PELLMIX_PICTURE (ir_block_empty_background_jpg);
    dropImage = PELLMIX_PICTURE (ir_drop_png);
    // A block starts empty; its first paint shows the empty look whole (the capture key too), before
    // its timer first looks at the slot.
    showLook (Look::empty);
    config().addListener (this);
    startTimer (timerIntervalMs);
    setSize (blockWidth, blockHeight);
}

PellmixIrBlock::~PellmixIrBlock()
{
    stopTimer();
    config().removeListener (this);
    for (auto* s : {gainSlider.get(), lengthSlider.get(), phaseSlider.get(), offsetSlider.get()})
        s->removeListener (this);
    irLabel.reset();
    lengthSlider.reset();
    offsetSlider.reset();
    gainSlider.reset();
    phaseSlider.reset();
    offsetLabel.reset();
    lengthLabel.reset();
    phaseLabel.reset();
    captureButton.reset();
    timePlotButton.reset();
    frequencyPlotButton.reset();
    phasePlotButton.reset();
    muteButton.reset();
    soloButton.reset();
    removeButton.reset();
    invertButton.reset();
    setLookAndFeel (nullptr);
}

void PellmixIrBlock::setSlotIndex (int slot)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    slotIndex = slot;
    project().setIrPath (slotIndex, juce::File());
}

PellmixIrRecord PellmixIrBlock::record() const
{
    const auto& records = project().irRecords;
    return juce::isPositiveAndBelow (slotIndex, records.size()) ? records[slotIndex] : PellmixIrRecord{};
}

bool PellmixIrBlock::slotHasFile() const
{
    const auto path = record().path;
    return path != juce::File() && path.existsAsFile();
}

//==============================================================================
PellmixIrBlock::LoadResult PellmixIrBlock::reloadAndBlend()
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    return loadAndBlend (nullptr);
}

PellmixIrBlock::LoadResult PellmixIrBlock::loadAndBlend (PellmixEngine::PreparedIr* prepared)
{
    if (!slotHasFile())
        return LoadResult::noFile;

    const auto r = record();
    const bool read =
        prepared != nullptr ? engine().loadPreparedIr (*prepared) : engine().loadIr (slotIndex, r.path);
    engine().setIrParameters (slotIndex, r.length, r.offset, r.phase, r.invert, r.gain);
    engine().blend (project().eqGainsDb, true, project().eqOn);
    return read ? LoadResult::loaded : LoadResult::unreadable;
}

void PellmixIrBlock::applyParametersAndBlend()
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    const auto r = record();
    engine().setIrParameters (slotIndex, r.length, r.offset, r.phase, r.invert, r.gain);
    blendWithoutNewGains();
}

void PellmixIrBlock::blendWithoutNewGains()
{
    engine().blend (nullptr, false, project().eqOn);
}

void PellmixIrBlock::takeFile (const juce::File& file)
{
    const auto previous = record().path;
    project().setIrPath (slotIndex, file);
    if (reloadAndBlend() == LoadResult::loaded)
        return;

    // A file that vanished since it was chosen, an empty file, a folder or one the readers
    // refuse: the engine kept the slot's IR, the record gets its path back, and the user is
    // told why nothing changed.
    project().setIrPath (slotIndex, previous);
    reportUnreadable (file);
}

void PellmixIrBlock::reportUnreadable (const juce::File& file)
{
    juce::AlertWindow::showMessageBoxAsync (juce::AlertWindow::WarningIcon, "Load IR",
                                            "The IR file could not be read:\n" + file.getFullPathName());
}

//==============================================================================
bool PellmixIrBlock::isInterestedInFileDrag (const juce::StringArray&)
{
    return true;
}

void PellmixIrBlock::filesDropped (const juce::StringArray& files, int, int)
{
    if (files.isEmpty())
        return;

    const juce::File file (files[0]);
    if (file.hasFileExtension (acceptedExtensions))
        takeFile (file);
    else
        juce::AlertWindow::showMessageBox (juce::AlertWindow::InfoIcon, "Info",
                                           "The IR must be either in vir, aiff or wav format.");
}

void PellmixIrBlock::mouseUp (const juce::MouseEvent&)
{
    juce::PopupMenu menu;
    menu.addItem (1, "Load Impulse file");
    menu.addItem (2, "Capture Impulse");
    const int chosen = menu.show();

    if (chosen == 1)
    {
        const auto files = PellmixFileChooser::choose (
            {"Select the folder", config().settings.impulsesFolder, "*.wav;*.aif;*.vir"});
        if (!files.isEmpty())
            takeFile (files.getFirst());
    }
    else if (chosen == 2)
    {
        requestCapture();
    }
}

void PellmixIrBlock::requestCapture()
{
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    if (device == nullptr || device->getInputChannelNames().isEmpty())
        return;

    config().captureHandOff.request (slotIndex);
}

//==============================================================================
void PellmixIrBlock::sliderValueChanged (juce::Slider*)
{
    if (slotIndex == -1)
        return;

    auto& p = project();
    p.setIrGain (slotIndex, (float)gainSlider->getValue());
    p.setIrOffset (slotIndex, (int)offsetSlider->getValue());
    p.setIrLength (slotIndex, (int)lengthSlider->getValue());
    p.setIrPhase (slotIndex, (float)phaseSlider->getValue());
    if (slotHasFile())
        applyParametersAndBlend();
}

void PellmixIrBlock::buttonClicked (juce::Button* button)
{
    auto& p = project();
    if (button == invertButton.get())
    {
        const bool inverted = !record().invert;
        p.setIrInvert (slotIndex, inverted);
        setInvertLook (inverted);
        if (reloadAndBlend() == LoadResult::unreadable)
            reportUnreadable (record().path);
    }
    else if (button == muteButton.get())
    {
        const bool muted = !record().mute;
        p.setIrMute (slotIndex, muted);
        setMuteLook (muted);
        engine().setMute (slotIndex, record().mute);
        blendWithoutNewGains();
    }
    else if (button == soloButton.get())
    {
        const bool soloed = !record().solo;
        p.setIrSolo (slotIndex, soloed);
        setSoloLook (soloed);
        engine().setSolo (slotIndex, record().solo);
        blendWithoutNewGains();
    }
    else if (button == captureButton.get())
    {
        requestCapture();
    }
    else if (button == removeButton.get())
    {
        p.setIrPath (slotIndex, juce::File());
        engine().removeIr (slotIndex);
        blendWithoutNewGains();
        clearCurves();
        repaint();
    }
    else if (button == timePlotButton.get())
    {
        setPlotMode (0);
    }
    else if (button == frequencyPlotButton.get())
    {
        setPlotMode (1);
    }
    else if (button == phasePlotButton.get())
    {
        setPlotMode (2);
    }
}

void PellmixIrBlock::setPlotMode (int mode)
{
    const auto setSelected =
        [] (juce::ImageButton& b, bool selected, const juce::Image& on, const juce::Image& off)
    {
        const auto& image = selected ? on : off;
        setButtonFaces (b, image, fadingFaces);
    };
    setSelected (*timePlotButton, mode == 0, PELLMIX_PICTURE (plot_time_on_png),
                 PELLMIX_PICTURE (plot_time_off_png));
    setSelected (*frequencyPlotButton, mode == 1, PELLMIX_PICTURE (plot_frequency_on_png),
                 PELLMIX_PICTURE (plot_frequency_off_png));
    setSelected (*phasePlotButton, mode == 2, PELLMIX_PICTURE (plot_phase_on_png),
                 PELLMIX_PICTURE (plot_phase_off_png));
    plotMode = mode;
    repaint();
}

void PellmixIrBlock::setMuteLook (bool muted)
{
    if (muted)
        setButtonFaces (*muteButton, PELLMIX_PICTURE (mute_on_png), PELLMIX_PICTURE (mute_on_png),
                        PELLMIX_PICTURE (mute_on_pressed_png), fadingScaledFaces);
    else
        setButtonFaces (*muteButton, PELLMIX_PICTURE (mute_off_png), PELLMIX_PICTURE (mute_off_png),
                        PELLMIX_PICTURE (mute_off_pressed_png), fadingScaledFaces);
}

void PellmixIrBlock::setSoloLook (bool soloed)
{
    if (soloed)
        setButtonFaces (*soloButton, PELLMIX_PICTURE (solo_on_png), PELLMIX_PICTURE (solo_on_png),
                        PELLMIX_PICTURE (solo_on_pressed_png), fadingScaledFaces);
    else
        setButtonFaces (*soloButton, PELLMIX_PICTURE (solo_off_png), PELLMIX_PICTURE (solo_off_png),
                        PELLMIX_PICTURE (solo_off_pressed_png), fadingScaledFaces);
}

void PellmixIrBlock::setInvertLook (bool inverted)
{
    if (inverted)
        setButtonFaces (*invertButton, PELLMIX_PICTURE (invert_inverted_png),
                        PELLMIX_PICTURE (invert_inverted_over_png),
                        PELLMIX_PICTURE (invert_inverted_pressed_png), fadingFaces);
    else
        setButtonFaces (*invertButton, PELLMIX_PICTURE (invert_normal_png),
                        PELLMIX_PICTURE (invert_normal_over_png), PELLMIX_PICTURE (invert_normal_pressed_png),
                        fadingFaces);
}

//==============================================================================
void PellmixIrBlock::timerCallback()
{
    if (record().changed)
        takeMarkedRecords();

    for (auto* s : {offsetSlider.get(), gainSlider.get(), lengthSlider.get(), phaseSlider.get()})
        s->setValueShown (false);

    completeCapture();

    if (slotHasFile())
    {
        showLook (Look::loaded);
        engine().getPhases (PellmixEngine::slotSpectrum, slotIndex);
        const auto analysed = engine().getChangeTime (PellmixEngine::slotSpectrum, slotIndex, true);
        if (lastDrawnTime < analysed || lastDrawnTime == juce::Time())
            computeCurves();
        return;
    }

    showLook (config().captureHandOff.isPendingFor (slotIndex) ? Look::capturing : Look::empty);
    leaveBlendIfEmpty();
}

void PellmixIrBlock::takeMarkedRecords()
{
    std::vector<PellmixIrBlock*> marked;
    if (auto* parent = getParentComponent())
        for (auto* child : parent->getChildren())
            if (auto* block = dynamic_cast<PellmixIrBlock*> (child);
                block != nullptr && block->record().changed)
                marked.push_back (block);
    if (std::find (marked.begin(), marked.end(), this) == marked.end())
        marked.push_back (this);
    std::sort (marked.begin(), marked.end(),
               [] (const PellmixIrBlock* a, const PellmixIrBlock* b) { return a->slotIndex < b->slotIndex; });

    std::vector<std::pair<int, juce::File>> files;
    for (auto* block : marked)
        if (block->slotHasFile())
            files.emplace_back (block->slotIndex, block->record().path);
    auto prepared = engine().prepareIrs (files);

    for (auto* block : marked)
    {
        const auto found = std::find_if (prepared.begin(), prepared.end(),
                                         [=] (const auto& p) { return p.slot == block->slotIndex; });
        block->takeProjectRecord (found != prepared.end() ? &*found : nullptr);
    }
}

void PellmixIrBlock::takeProjectRecord (PellmixEngine::PreparedIr* prepared)
{
    const auto r = record();
    gainSlider->setValue (r.gain, juce::dontSendNotification);
    lengthSlider->setValue (r.length, juce::dontSendNotification);
    phaseSlider->setValue (r.phase, juce::dontSendNotification);
    offsetSlider->setValue (r.offset, juce::dontSendNotification);
    setMuteLook (r.mute);
    engine().setMute (slotIndex, r.mute);
    setSoloLook (r.solo);
    engine().setSolo (slotIndex, r.solo);
    setInvertLook (r.invert);
    project().setIrChanged (slotIndex, false);

    if (loadAndBlend (prepared) == LoadResult::unreadable)
    {
        // The project names a file the engine cannot read: the slot turns empty rather than
        // showing that name over whatever it held before. The project's load report tells it,
        // with whatever else of the project was not taken as stored, in one box.
        project().setIrPath (slotIndex, juce::File());
        project().noteUnreadableFile (slotIndex, r.path);
    }
}

void PellmixIrBlock::completeCapture()
{
    juce::String path;
    if (config().captureHandOff.takeResult (slotIndex, path) && path.isNotEmpty())
        takeFile (juce::File (path));
}

void PellmixIrBlock::leaveBlendIfEmpty()
{
    // A slot whose file is gone (a project load emptied the record, or the file vanished from
    // disk) must not go on sounding while the block shows no file.
    if (slotIndex < 0 || !engine().isLoaded (slotIndex))
        return;
    engine().removeIr (slotIndex);
    blendWithoutNewGains();
    clearCurves();
    repaint();
}

void PellmixIrBlock::showLook (Look newLook)
{
    look = newLook;
    const bool loaded = newLook == Look::loaded;
    captureButton->setVisible (newLook == Look::empty);
    for (auto* c : std::initializer_list<juce::Component*>{
             removeButton.get(), invertButton.get(), timePlotButton.get(), frequencyPlotButton.get(),
             phasePlotButton.get(), soloButton.get(), muteButton.get(), gainSlider.get(), lengthSlider.get(),
             offsetSlider.get(), phaseSlider.get(), lengthLabel.get(), offsetLabel.get(), phaseLabel.get()})
        c->setVisible (loaded);

    if (newLook == Look::capturing)
        irLabel->setText ("Capturing ...", juce::dontSendNotification);
    else if (newLook == Look::empty)
        irLabel->setText ("No audio file selected", juce::dontSendNotification);
}

void PellmixIrBlock::computeCurves()
{
    auto& e = engine();
    lastDrawnTime = e.getChangeTime (PellmixEngine::slotSpectrum, slotIndex, true);
    irLabel->setText (record().path.getFileNameWithoutExtension(), juce::dontSendNotification);

    const auto& slot = e.getSlot (slotIndex);
    const int length = slot.getLength();
    offsetSlider->setRange (1 - maxLength, length >= maxLength ? length - 1 : maxLength - 1, 1.0);
    keepOffsetKnobWithinRange();

    const float* work = slot.getWorkBuffer (0);
    float peak = 0.1f;
    for (int k = 0; k < PellmixIrSlot::workLength; ++k)
        peak = juce::jmax (peak, std::abs (work[k]));
    const float step = (float)maxLength / (float)numCurvePoints;
    for (int i = 0; i < numCurvePoints; ++i)
    {
        const int s = (int)std::floor ((float)i * step);
        float sum = 0.0f;
        for (int k = 0; k < 9; ++k)
            sum += work[s + k];
        timeCurve[(size_t)i] = finiteOrZero (40.0f * (sum / 9.0f) / peak);
    }

    const float* phases = e.getPhases (PellmixEngine::slotSpectrum, slotIndex);
    const float* magnitudes = e.getMagnitudes (PellmixEngine::slotSpectrum, slotIndex);
    for (int i = 0; i < numCurvePoints; ++i)
    {
        phaseCurve[(size_t)i] = phases != nullptr ? finiteOrZero (8.0f * phases[i]) : 0.0f;
        magnitudeCurve[(size_t)i] = magnitudes != nullptr ? finiteOrZero (magnitudes[i]) : 0.0f;
    }
    repaint();
}

void PellmixIrBlock::keepOffsetKnobWithinRange()
{
    // The knob shows the record; a record value beyond the new range is pulled inside it, and
    // record and slot follow, so that knob, record and sound agree.
    const int stored = record().offset;
    const int kept = juce::jlimit ((int)offsetSlider->getMinimum(), (int)offsetSlider->getMaximum(), stored);
    offsetSlider->setValue (kept, juce::dontSendNotification);
    if (kept == stored)
        return;
    project().setIrOffset (slotIndex, kept);
    applyParametersAndBlend();
}

void PellmixIrBlock::clearCurves()
{
    timeCurve.fill (0.0f);
    phaseCurve.fill (0.0f);
    magnitudeCurve.fill (0.0f);
}

//==============================================================================
void PellmixIrBlock::paint (juce::Graphics& g)
{
    // Without a file the block has no knobs or plot selectors: its background shows no wells or
    // captions for them, and its display holds the drop picture and the capture key whole.
    const bool hasFile = slotHasFile();
    const auto& background = hasFile ? backgroundImage : emptyBackgroundImage;
    g.drawImage (background, 0, 0, background.getWidth(), background.getHeight(), 0, 0, background.getWidth(),
                 background.getHeight(), false);

    if (!hasFile)
    {
        g.drawImageAt (dropImage, 30, 25);
        g.setColour (juce::Colour (131, 131, 131));
        g.setFont (irLabel->getFont().withHeight (16.0f).boldened());
        g.drawText ("OR", juce::Rectangle<int> (155, 70, 100, 100), juce::Justification::topLeft, false);
        return;
    }

    const std::array<float, numCurvePoints>* curve = nullptr;
    float base = 0.0f, scale = 1.0f;
    switch (plotMode)
    {
        case 0:
            curve = &timeCurve, base = 80.0f, scale = 1.0f;
            break;
        case 1:
            curve = &magnitudeCurve, base = 30.0f, scale = 1.0f;
            break;
        case 2:
            curve = &phaseCurve, base = 75.0f, scale = 1.5f;
            break;
        default:
            return;
    }

    g.setColour (config().irColour);
    for (int i = 0; i + 1 < numCurvePoints; ++i)
        g.drawLine ((float)(curveLeft + i), base - scale * (*curve)[(size_t)i], (float)(curveLeft + i + 1),
                    base - scale * (*curve)[(size_t)i + 1], 1.0f);
}

void PellmixIrBlock::resized()
{
    muteButton->setBounds (270, 1, 30, 22);
    soloButton->setBounds (240, 1, 30, 22);
    captureButton->setBounds (175, 50, 88, 88);
    removeButton->setBounds (243, 19, 30, 22);
    invertButton->setBounds (223, 20, 30, 22);
    timePlotButton->setBounds (20, 122, 55, 16);
    frequencyPlotButton->setBounds (100, 122, 55, 16);
    phasePlotButton->setBounds (200, 122, 55, 16);
    phaseSlider->setBounds (235, 145, 60, 30);
    gainSlider->setBounds (275, 20, 25, 140);
    offsetSlider->setBounds (145, 145, 60, 30);
    lengthSlider->setBounds (55, 145, 60, 30);
    // Tall enough for its 14-pixel font (a 10-pixel box cut the letters' tops and tails off),
    // centred where a 10-pixel box at y 7 would be, and clear of the buttons below it.
    irLabel->setBounds (15, 4, 220, 16);
    phaseLabel->setBounds (190, 145, 40, 30);
    offsetLabel->setBounds (100, 145, 40, 30);
    lengthLabel->setBounds (10, 145, 40, 30);
}

void PellmixIrBlock::colourSettingChanged (int colourIndex)
{
    if (colourIndex == 4)
        repaint();
}

juce::String PellmixIrBlock::getTooltip()
{
    const auto p = getMouseXYRelative();
    return p.x >= 26 && p.x <= 121 && p.y >= 26 && p.y <= 135 ? juce::String (dropTooltip) : juce::String();
}
