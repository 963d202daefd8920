#pragma once
#include "engine/PellmixAudioOpener.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// One row of a playlist: a file and the channel that is heard (0 the whole mono file, shown "M";
// 1 the left channel, "L"; 2 the right channel, "R"). Entries are equal when file and channel are.
// An entry with an empty file stands for "no entry": no format can open it.
struct PellmixPlayListEntry
{
    juce::File file;
    int channel = 0;

    bool operator== (const PellmixPlayListEntry& other) const
    {
        return channel == other.channel && file == other.file;
    }
    bool operator!= (const PellmixPlayListEntry& other) const { return !operator== (other); }
};

// The entries of one playlist and its current entry, the one the player last took from it. The
// stepping operations change only the current entry (never the list box's selection) and return
// a copy of it; on an empty list they give the empty entry.
//
// Threads: message thread only.
class PellmixPlayListModel : public juce::ListBoxModel
{
public:
    static constexpr int tooltipNameLength = 24;

    // The entry at an index; the empty entry outside the list.
    PellmixPlayListEntry entryAt (int index) const;
    // The first entry equal to the current entry; -1 when none is.
    int indexOfCurrentEntry() const;
    // The entry after the current one (the first when none is current); past the last entry the
    // first with `wrap`, otherwise the current entry stays.
    PellmixPlayListEntry getNextEntry (bool wrap);
    // The entry before the current one; from the first entry, or with none current, the last.
    PellmixPlayListEntry getPreviousEntry();
    // The current entry; the first entry when none is current.
    PellmixPlayListEntry getCurrentEntry();
    PellmixPlayListEntry selectEntry (int index);
    // True when the current entry is the last one, and for an empty list.
    bool isLastEntry() const;

    // Appends the entries of one file by the add rule: one entry {file, 0} for a file with fewer
    // than two channels, {file, 1} and {file, 2} otherwise; nothing for a file that
    // PellmixAudioOpener refuses with `formats` (missing, not a regular file, damaged, unknown
    // content), whose reason goes to `why` when given. No extension is tested. Returns the number
    // of entries appended.
    int addFile (const juce::File& file, juce::AudioFormatManager& formats,
                 PellmixAudioOpener::Refusal* why = nullptr);
    // Removes every entry of the file. Returns the number removed.
    int removeFile (const juce::File& file);

    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics&, int width, int height, bool rowIsSelected) override;
    // Double clicks are handled by the player, which listens to the list's mouse events.
    void listBoxItemDoubleClicked (int, const juce::MouseEvent&) override {}
    // The file name without extension when it is long enough to be cut off in the row.
    juce::String getTooltipForRow (int row) override;

    static juce::String channelMark (int channel);

    juce::Array<PellmixPlayListEntry> entries;
    PellmixPlayListEntry currentEntry;
};

// A playlist shown as a list box: rows of channel mark and file name (the current entry bold), a
// hint picture while empty, dropped audio files appended by the add rule (the files refused are
// named in one box), Delete or Backspace removing the selected rows. Every other key goes on to
// the list box (arrows, Home, End, Return) and then to its parents.
//
// Threads: message thread only (addFiles asserts it in Debug builds).
class PellmixPlayList : public juce::ListBox, public juce::KeyListener, public juce::FileDragAndDropTarget
{
public:
    static constexpr int rowHeight = 18;
    static constexpr float hintAlpha = 0.7f;
    static constexpr int hintX = 50, hintY = 2;

    PellmixPlayList();
    ~PellmixPlayList() override;

    // Appends the entries of each file by the add rule (a format manager with the basic formats is
    // made for the call), then updates the rows. The files refused are named, with the reason,
    // in one box. Returns the number of entries appended.
    int addFiles (const juce::StringArray& paths);

    // "<path> could not be read: it <reason>."
    static juce::String unreadableText (const juce::File& file, PellmixAudioOpener::Refusal why);
    // Shows the lines in one warning box titled "Player" without waiting for it, and logs them.
    static void reportUnreadable (const juce::StringArray& lines);
    void removeSelectedRows();

    void paint (juce::Graphics&) override;
    void paintOverChildren (juce::Graphics&) override;
    bool isInterestedInFileDrag (const juce::StringArray&) override { return true; }
    void filesDropped (const juce::StringArray& files, int x, int y) override;
    using juce::ListBox::keyPressed;
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;

    std::unique_ptr<PellmixPlayListModel> model;
    juce::Image emptyListImage;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixPlayList)
};
