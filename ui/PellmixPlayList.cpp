#include "ui/PellmixPlayList.h"

#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "engine/PellmixThreadCheck.h"

#include <cmath>

//==============================================================================
PellmixPlayListEntry PellmixPlayListModel::entryAt (int index) const
{
    return juce::isPositiveAndBelow (index, entries.size()) ? entries.getReference (index)
                                                            : PellmixPlayListEntry{};
}

int PellmixPlayListModel::indexOfCurrentEntry() const
{
    return entries.indexOf (currentEntry);
}

PellmixPlayListEntry PellmixPlayListModel::getNextEntry (bool wrap)
{
    const int i = indexOfCurrentEntry();
    if (i + 1 >= entries.size())
    {
        if (wrap)
            currentEntry = entryAt (0);
    }
    else
    {
        currentEntry = entryAt (i + 1);
    }
    return currentEntry;
}

PellmixPlayListEntry PellmixPlayListModel::getPreviousEntry()
{
    const int i = indexOfCurrentEntry();
    currentEntry = i < 1 ? entryAt (entries.size() - 1) : entryAt (i - 1);
    return currentEntry;
}

PellmixPlayListEntry PellmixPlayListModel::getCurrentEntry()
{
    if (indexOfCurrentEntry() == -1)
        currentEntry = entryAt (0);
    return currentEntry;
}

PellmixPlayListEntry PellmixPlayListModel::selectEntry (int index)
{
    currentEntry = entryAt (index);
    return currentEntry;
}

bool PellmixPlayListModel::isLastEntry() const
{
    return indexOfCurrentEntry() == entries.size() - 1;
}

int PellmixPlayListModel::addFile (const juce::File& file, juce::AudioFormatManager& formats,
                                   PellmixAudioOpener::Refusal* why)
{
    const auto opened = PellmixAudioOpener::open (file, formats);
    if (why != nullptr)
        *why = opened.why;
    if (opened.reader == nullptr)
        return 0;

    if (opened.reader->numChannels < 2)
    {
        entries.add ({file, 0});
        return 1;
    }
    entries.add ({file, 1});
    entries.add ({file, 2});
    return 2;
}

int PellmixPlayListModel::removeFile (const juce::File& file)
{
    const int before = entries.size();
    entries.removeIf ([&file] (const PellmixPlayListEntry& e) { return e.file == file; });
    return before - entries.size();
}

int PellmixPlayListModel::getNumRows()
{
    return entries.size();
}

juce::String PellmixPlayListModel::channelMark (int channel)
{
    return channel == 0 ? "M" : (channel == 1 ? "L" : "R");
}

void PellmixPlayListModel::paintListBoxItem (int row, juce::Graphics& g, int width, int height,
                                             bool rowIsSelected)
{
    if (rowIsSelected)
        g.fillAll (juce::Colours::lightblue);

    const auto entry = entryAt (row);
    juce::Font font (0.7f * (float)height);
    if (entry == currentEntry)
        font.setBold (true);
    g.setFont (font);
    g.setColour (juce::Colours::black);
    g.drawText (channelMark (entry.channel), 5, 0, width, height, juce::Justification::centredLeft, true);
    // The name starts clear of the widest mark ("M", bold in the current entry), in one column for
    // every row; its box ends at the row's right edge, so a long name ends with a visible ellipsis.
    const int nameX = 5 + (int)std::ceil (juce::Font (font).boldened().getStringWidthFloat ("M")) + 4;
    g.drawText (entry.file.getFileNameWithoutExtension(), nameX, 0, juce::jmax (0, width - nameX), height,
                juce::Justification::centredLeft, true);
}

juce::String PellmixPlayListModel::getTooltipForRow (int row)
{
    const auto name = entryAt (row).file.getFileNameWithoutExtension();
    return name.length() >= tooltipNameLength ? name : juce::String();
}

//==============================================================================
PellmixPlayList::PellmixPlayList()
    : juce::ListBox ({}, nullptr)
    , model (std::make_unique<PellmixPlayListModel>())
{
    // A copy: the faded pixels must not change the image cache's shared picture.
    emptyListImage = PELLMIX_PICTURE (player_empty_hint_png).createCopy();
    emptyListImage.multiplyAllAlphas (hintAlpha);
    setModel (model.get());
    setRowHeight (rowHeight);
    setMultipleSelectionEnabled (true);
    // Not opaque, so that paint() below draws the box behind the rows (an opaque list would make
    // its viewport opaque too, and nothing would paint there).
    setColour (juce::ListBox::backgroundColourId, juce::Colours::transparentWhite);
    addKeyListener (this);
}

PellmixPlayList::~PellmixPlayList()
{
    removeKeyListener (this);
    setModel (nullptr);
    model.reset();
}

int PellmixPlayList::addFiles (const juce::StringArray& paths)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    int added = 0;
    juce::StringArray refused;
    for (const auto& path : paths)
    {
        if (!juce::File::isAbsolutePath (path))
            continue;
        const juce::File file (path);
        auto why = PellmixAudioOpener::Refusal::none;
        added += model->addFile (file, formats, &why);
        if (why != PellmixAudioOpener::Refusal::none)
            refused.add (unreadableText (file, why));
    }
    updateContent();
    repaint();
    if (!refused.isEmpty())
        reportUnreadable (refused);
    return added;
}

juce::String PellmixPlayList::unreadableText (const juce::File& file, PellmixAudioOpener::Refusal why)
{
    return file.getFullPathName() + " could not be read: it " + PellmixAudioOpener::describe (why) + ".";
}

void PellmixPlayList::reportUnreadable (const juce::StringArray& lines)
{
    for (const auto& line : lines)
        juce::Logger::writeToLog (line);
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "Player",
                                            lines.joinIntoString ("\n"));
}

void PellmixPlayList::removeSelectedRows()
{
    for (int i = model->entries.size(); --i >= 0;)
        if (isRowSelected (i))
            model->entries.remove (i);
    updateContent();
    repaint();
}

void PellmixPlayList::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);
    g.setColour (juce::Colours::grey);
    g.drawRect (getLocalBounds(), 1);
}

void PellmixPlayList::paintOverChildren (juce::Graphics& g)
{
    juce::ListBox::paintOverChildren (g);
    if (model->entries.isEmpty())
        g.drawImageAt (emptyListImage, hintX, hintY);
}

void PellmixPlayList::filesDropped (const juce::StringArray& files, int, int)
{
    addFiles (files);
}

bool PellmixPlayList::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key.getKeyCode() != juce::KeyPress::deleteKey && key.getKeyCode() != juce::KeyPress::backspaceKey)
        return false;
    removeSelectedRows();
    return true;
}
