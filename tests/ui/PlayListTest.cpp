// The playlist model's stepping operations, the rule by which files become entries, and the list
// on a virtual display: drops through the peer, Delete and Backspace, rows, tooltips and the hint.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "PlayerTestSupport.h"
#include "ui/PellmixPlayList.h"

using player_test::marks;
using ui_test::OnScreen;

namespace
{
PellmixPlayListEntry entry (int i)
{
    return {juce::File ("/media/file" + juce::String (i) + ".wav"), i % 3};
}

void fill (PellmixPlayListModel& model, int size)
{
    model.entries.clear();
    for (int i = 0; i < size; ++i)
        model.entries.add (entry (i));
}

enum class Op
{
    next,
    nextNoWrap,
    previous,
    current,
    select,
    isLast
};

struct ModelCase
{
    const char* what;
    int size;
    int current; // index of the current entry; -1 none (the empty entry), 99 an entry not in the list
    Op op;
    int argument;
    int expected; // index of the returned and new current entry (-1 the empty entry); for isLast 0/1
};

const ModelCase modelCases[] = {
    {"empty next", 0, -1, Op::next, 0, -1},
    {"empty next without wrap", 0, -1, Op::nextNoWrap, 0, -1},
    {"empty previous", 0, -1, Op::previous, 0, -1},
    {"empty current", 0, -1, Op::current, 0, -1},
    {"empty select 0", 0, -1, Op::select, 0, -1},
    {"empty is last", 0, -1, Op::isLast, 0, 1},
    {"one, none current: next", 1, -1, Op::next, 0, 0},
    {"one, none current: previous", 1, -1, Op::previous, 0, 0},
    {"one, none current: current", 1, -1, Op::current, 0, 0},
    {"one, none current: is last", 1, -1, Op::isLast, 0, 0},
    {"one: next wraps to itself", 1, 0, Op::next, 0, 0},
    {"one: next without wrap stays", 1, 0, Op::nextNoWrap, 0, 0},
    {"one: previous wraps to itself", 1, 0, Op::previous, 0, 0},
    {"one: is last", 1, 0, Op::isLast, 0, 1},
    {"three, none current: next takes the first", 3, -1, Op::next, 0, 0},
    {"three, none current: next without wrap takes the first", 3, -1, Op::nextNoWrap, 0, 0},
    {"three, none current: previous takes the last", 3, -1, Op::previous, 0, 2},
    {"three, none current: current takes the first", 3, -1, Op::current, 0, 0},
    {"three, none current: is not last", 3, -1, Op::isLast, 0, 0},
    {"three: next from the first", 3, 0, Op::next, 0, 1},
    {"three: previous from the first wraps", 3, 0, Op::previous, 0, 2},
    {"three: previous from the middle", 3, 1, Op::previous, 0, 0},
    {"three: current stays", 3, 1, Op::current, 0, 1},
    {"three: next from the last wraps", 3, 2, Op::next, 0, 0},
    {"three: next from the last without wrap stays", 3, 2, Op::nextNoWrap, 0, 2},
    {"three: is last on the last", 3, 2, Op::isLast, 0, 1},
    {"three: is last on the middle", 3, 1, Op::isLast, 0, 0},
    {"three: select 2", 3, 0, Op::select, 2, 2},
    {"three: select past the end", 3, 0, Op::select, 3, -1},
    {"three: select -1 (no selected row)", 3, 0, Op::select, -1, -1},
    {"removed current: next takes the first", 3, 99, Op::next, 0, 0},
    {"removed current: previous takes the last", 3, 99, Op::previous, 0, 2},
    {"removed current: current takes the first", 3, 99, Op::current, 0, 0},
};
} // namespace

TEST (PlayListModel, SteppingTable)
{
    for (const auto& c : modelCases)
    {
        SCOPED_TRACE (c.what);
        PellmixPlayListModel model;
        fill (model, c.size);
        model.currentEntry = c.current == 99 ? entry (42) : model.entryAt (c.current);

        if (c.op == Op::isLast)
        {
            const auto before = model.currentEntry;
            EXPECT_EQ (model.isLastEntry(), c.expected == 1);
            EXPECT_EQ (model.currentEntry, before);
            continue;
        }

        PellmixPlayListEntry returned;
        switch (c.op)
        {
            case Op::next:
                returned = model.getNextEntry (true);
                break;
            case Op::nextNoWrap:
                returned = model.getNextEntry (false);
                break;
            case Op::previous:
                returned = model.getPreviousEntry();
                break;
            case Op::current:
                returned = model.getCurrentEntry();
                break;
            default:
                returned = model.selectEntry (c.argument);
                break;
        }
        const auto expected = model.entryAt (c.expected);
        EXPECT_EQ (returned, expected) << returned.file.getFullPathName();
        EXPECT_EQ (model.currentEntry, expected);
        EXPECT_EQ (model.entries.size(), c.size);
    }
}

TEST (PlayListModel, DuplicatesStepFromTheFirstEqualEntry)
{
    PellmixPlayListModel model;
    const PellmixPlayListEntry a{juce::File ("/m/a.wav"), 1}, b{juce::File ("/m/b.wav"), 0};
    const PellmixPlayListEntry aRight{juce::File ("/m/a.wav"), 2};
    model.entries.addArray ({a, b, a, aRight});

    model.currentEntry = a;
    EXPECT_EQ (model.indexOfCurrentEntry(), 0);
    EXPECT_EQ (model.getNextEntry (true), b);
    EXPECT_EQ (model.getNextEntry (true), a);   // index 2 ...
    EXPECT_EQ (model.indexOfCurrentEntry(), 0); // ... is found as index 0 again
    EXPECT_EQ (model.getNextEntry (true), b);
    model.currentEntry = a;
    EXPECT_EQ (model.getPreviousEntry(), aRight) << "from the first equal entry, previous wraps to the last";
    EXPECT_TRUE (model.isLastEntry());
    EXPECT_NE (a, aRight) << "the channel is part of an entry";
}

TEST (PlayListModel, AddRuleTable)
{
    pellmix_test::TempDir dir{"pellmix-add"};
    auto file = [&] (const char* name) { return juce::File (dir.child (name)); };
    player_test::writeTone (file ("mono.wav"), 1, 0.1);
    player_test::writeTone (file ("stereo.wav"), 2, 0.1);
    player_test::writeTone (file ("four.wav"), 4, 0.1);
    player_test::writeTone (file ("stereo.aiff"), 2, 0.1);
    player_test::writeWithSox (file ("stereo.mp3"), 2, 0.2);
    player_test::writeWithSox (file ("mono.flac"), 1, 0.1);
    file ("garbage.wav").replaceWithText ("RIFF but not really a wave file"); // its "chunks" run past its end
    file ("notes.txt").replaceWithText ("hello");
    player_test::writeTone (file ("wave.dat"), 1, 0.1);
    file ("folder.wav").createDirectory();

    using R = PellmixAudioOpener::Refusal;
    struct Case
    {
        const char* name;
        const char* marks;
        R why;
    };
    const Case cases[] = {
        {"mono.wav", "M", R::none},      {"stereo.wav", "LR", R::none},     {"four.wav", "LR", R::none},
        {"stereo.aiff", "LR", R::none},  {"stereo.mp3", "LR", R::none},     {"mono.flac", "M", R::none},
        {"missing.wav", "", R::missing}, {"folder.wav", "", R::notRegular}, {"garbage.wav", "", R::damaged},
        {"notes.txt", "", R::notAudio},  {"wave.dat", "", R::notAudio},
    };
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        PellmixPlayListModel model;
        model.entries.add (entry (7)); // entries are appended after what is there
        auto why = R::unreadable;
        const int added = model.addFile (file (c.name), formats, &why);
        EXPECT_EQ (added, (int)strlen (c.marks));
        EXPECT_EQ (why, c.why);
        EXPECT_EQ (marks (model), "L" + juce::String (c.marks));
        for (int i = 1; i < model.entries.size(); ++i)
            EXPECT_EQ (model.entries[i].file, file (c.name));
    }
}

TEST (PlayListModel, TooltipOnlyForNamesOfTwentyFourCharacters)
{
    PellmixPlayListModel model;
    const juce::String name23 ("abcdefghijklmnopqrstuvw"), name24 = name23 + "x";
    model.entries.add ({juce::File ("/m/" + name23 + ".wav"), 0});
    model.entries.add ({juce::File ("/m/" + name24 + ".wav"), 1});
    model.entries.add ({juce::File ("/m/" + name24 + "yz.aiff"), 2});
    EXPECT_EQ (model.getTooltipForRow (0), "");
    EXPECT_EQ (model.getTooltipForRow (1), name24);
    EXPECT_EQ (model.getTooltipForRow (2), name24 + "yz");
    EXPECT_EQ (model.getTooltipForRow (3), "");
    EXPECT_EQ (model.getTooltipForRow (-1), "");
}

//==============================================================================
namespace
{
juce::Image paintRow (PellmixPlayListModel& model, int row, int width, bool selected, int imageWidth = 0)
{
    juce::Image image (juce::Image::ARGB, imageWidth > 0 ? imageWidth : width, PellmixPlayList::rowHeight,
                       true);
    juce::Graphics g (image);
    g.reduceClipRegion (0, 0, imageWidth > 0 ? imageWidth : width, PellmixPlayList::rowHeight);
    model.paintListBoxItem (row, g, width, PellmixPlayList::rowHeight, selected);
    return image;
}

// Pixels whose alpha shows ink (text drawn in black on a clear image).
int inkPixels (const juce::Image& image, juce::Rectangle<int> area)
{
    int n = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt (x, y).getAlpha() > 96 && image.getPixelAt (x, y).getBrightness() < 0.3f)
                ++n;
    return n;
}

int rightmostInk (const juce::Image& image)
{
    for (int x = image.getWidth(); --x >= 0;)
        if (inkPixels (image, {x, 0, 1, image.getHeight()}) > 0)
            return x;
    return -1;
}
} // namespace

TEST (PlayListRows, MarkNameBoldCurrentAndSelection)
{
    PellmixPlayListModel model;
    model.entries.add ({juce::File ("/m/Take one.wav"), 0});
    model.entries.add ({juce::File ("/m/Take one.wav"), 1});
    model.entries.add ({juce::File ("/m/Take one.wav"), 2});
    model.entries.add ({juce::File ("/m/Take one.wav"), 5});
    const int width = 171;

    // The marks, one per channel value (anything else than 0 and 1 shows as "R").
    EXPECT_EQ (PellmixPlayListModel::channelMark (0), "M");
    EXPECT_EQ (PellmixPlayListModel::channelMark (1), "L");
    EXPECT_EQ (PellmixPlayListModel::channelMark (2), "R");
    EXPECT_EQ (PellmixPlayListModel::channelMark (5), "R");
    EXPECT_EQ (
        ui_test::differingPixels (paintRow (model, 2, width, false), paintRow (model, 3, width, false)), 0);
    EXPECT_GT (
        ui_test::differingPixels (paintRow (model, 0, width, false), paintRow (model, 1, width, false)), 0);

    // The current entry is bold: more ink; the other rows stay as they were.
    const int regular = inkPixels (paintRow (model, 1, width, false), {0, 0, width, 18});
    const auto otherBefore = paintRow (model, 2, width, false);
    model.currentEntry = model.entries[1];
    EXPECT_GT (inkPixels (paintRow (model, 1, width, false), {0, 0, width, 18}), regular + 10);
    EXPECT_EQ (ui_test::differingPixels (paintRow (model, 2, width, false), otherBefore), 0);

    // A selected row is filled light blue behind the text; others stay clear.
    const auto selected = paintRow (model, 0, width, true);
    EXPECT_EQ (selected.getPixelAt (width - 2, 1), juce::Colours::lightblue);
    EXPECT_EQ (paintRow (model, 0, width, false).getPixelAt (width - 2, 1).getAlpha(), 0);
    // The mark starts at x = 5, the name after it.
    const auto row = paintRow (model, 2, width, false);
    EXPECT_EQ (inkPixels (row, {0, 0, 5, 18}), 0);
    EXPECT_GT (inkPixels (row, {5, 0, 8, 18}), 0);
    EXPECT_GT (inkPixels (row, {16, 0, 20, 18}), 0);
    // A row past the entries draws an empty entry: an "M" and no name.
    EXPECT_EQ (inkPixels (paintRow (model, 9, width, false), {16, 0, width - 16, 18}), 0);
}

TEST (PlayListRows, NameStandsClearOfTheWidestMark)
{
    // "M" is the widest mark, and the current entry draws it bold.
    PellmixPlayListModel model;
    model.entries.add ({juce::File ("/m/Bass DI.wav"), 0});
    model.entries.add ({juce::File ("/m/Bass DI.wav"), 1});
    for (bool current : {false, true})
    {
        SCOPED_TRACE (current ? "bold" : "regular");
        model.currentEntry = current ? model.entries[0] : PellmixPlayListEntry{};
        const auto row = paintRow (model, 0, 171, false);
        // Columns from the mark's first ink: the mark, then at least three clear columns, then the
        // name.
        int x = 0;
        auto inkAt = [&row] (int column) { return inkPixels (row, {column, 0, 1, row.getHeight()}) > 0; };
        while (x < row.getWidth() && !inkAt (x))
            ++x;
        while (x < row.getWidth() && inkAt (x))
            ++x;
        int clear = 0;
        while (x < row.getWidth() && !inkAt (x))
            ++x, ++clear;
        EXPECT_GE (clear, 3) << "the mark runs into the name";
        EXPECT_LT (x, 40) << "the name follows the mark";
    }
    // The names of "M" and "L" rows start in one column.
    model.currentEntry = {};
    const auto mono = paintRow (model, 0, 171, false), left = paintRow (model, 1, 171, false);
    EXPECT_EQ (ui_test::differingPixels (mono.getClippedImage ({30, 0, 141, 18}),
                                         left.getClippedImage ({30, 0, 141, 18})),
               0);
}

TEST (PlayListRows, LongNameEndsWithAnEllipsisInsideTheRow)
{
    PellmixPlayListModel model;
    model.entries.add ({juce::File ("/m/An extremely long recording name that cannot fit.wav"), 1});
    const int width = 171;
    // Painted into an image wider than the row: nothing of the name may be drawn past the row.
    const auto wide = paintRow (model, 0, width, false, width + 60);
    const int right = rightmostInk (wide);
    EXPECT_LT (right, width);
    EXPECT_GE (right, width - 12) << "the ellipsis ends near the row's right edge";
    // The ellipsis: three separate dots in the last glyphs, at the baseline (no ink above them).
    EXPECT_EQ (inkPixels (wide, {right - 2, 0, 3, 9}), 0);
}

//==============================================================================
namespace
{
class PlayListOnScreen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (ui_test::processDisplay().started());
        list.setSize (175, 90);
        list.setOutlineThickness (2);
        list.setColour (juce::ListBox::outlineColourId, juce::Colours::blue);
        screen = std::make_unique<OnScreen> (list);
    }
    void TearDown() override { screen.reset(); }

    ui_test::AlertRecorder alerts;
    PellmixPlayList list;
    std::unique_ptr<OnScreen> screen;
};
} // namespace

TEST_F (PlayListOnScreen, DropsThroughThePeerAppendEntriesByTheAddRule)
{
    pellmix_test::TempDir dir{"pellmix-drop"};
    const auto mono = player_test::writeTone (juce::File (dir.child ("mono.wav")), 1, 0.1);
    const auto stereo = player_test::writeTone (juce::File (dir.child ("stereo.wav")), 2, 0.1);
    const auto flac = player_test::writeWithSox (juce::File (dir.child ("other.flac")), 2, 0.1);
    juce::File (dir.child ("sub")).createDirectory();
    juce::File (dir.child ("broken.wav")).replaceWithText ("no audio here");

    EXPECT_TRUE (list.isInterestedInFileDrag ({"/anything.txt"}));
    juce::ComponentPeer::DragInfo drop;
    for (const auto& path :
         {mono.getFullPathName().toStdString(), dir.child ("sub"), stereo.getFullPathName().toStdString(),
          dir.child ("broken.wav"), flac.getFullPathName().toStdString(), dir.child ("missing.wav")})
        drop.files.add (path);
    drop.position = {80, 40};
    EXPECT_TRUE (screen->peer->handleDragMove (drop));
    EXPECT_TRUE (screen->peer->handleDragDrop (drop));
    ASSERT_TRUE (player_test::pumpUntil ([&] { return list.model->entries.size() > 0; }));
    EXPECT_EQ (marks (*list.model), "MLRLR");
    EXPECT_EQ (list.model->entries[0].file, mono);
    EXPECT_EQ (list.model->entries[1].file, stereo);
    EXPECT_EQ (list.model->entries[4].file, flac);
    EXPECT_EQ (list.getModel()->getNumRows(), 5) << "the rows follow the entries";
    // The files refused are named in one box, each with its reason.
    ASSERT_EQ (alerts.boxes.size(), 1u);
    EXPECT_EQ (alerts.boxes[0].title, "Player");
    EXPECT_EQ (alerts.boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (alerts.boxes[0].message.toStdString(),
               dir.child ("sub") + " could not be read: it is not a regular file.\n" +
                   dir.child ("broken.wav") +
                   " could not be read: it is not in an audio format that can be read.\n" +
                   dir.child ("missing.wav") + " could not be read: it does not exist.");

    // The same file again gives duplicate rows at the end.
    drop.files = juce::StringArray (mono.getFullPathName());
    screen->peer->handleDragMove (drop);
    screen->peer->handleDragDrop (drop);
    ASSERT_TRUE (player_test::pumpUntil ([&] { return list.model->entries.size() == 6; }));
    EXPECT_EQ (marks (*list.model), "MLRLRM");
    EXPECT_EQ (alerts.boxes.size(), 1u) << "no box when every file is taken";
}

TEST_F (PlayListOnScreen, DeleteAndBackspaceRemoveTheSelectedRowsOtherKeysGoOn)
{
    using K = juce::KeyPress;
    struct Case
    {
        const char* what;
        juce::KeyPress key;
        std::vector<int> selected;
        const char* remaining; // letters of the remaining entries
        bool used;             // by the list or the list box
        int selectedAfter;     // the first selected row afterwards; -2 when not looked at
    };
    const Case cases[] = {
        {"delete two rows", K (K::deleteKey), {1, 3}, "ace", true, -2},
        {"backspace first and last", K (K::backspaceKey), {0, 4}, "bcd", true, -2},
        {"delete every row", K (K::deleteKey), {0, 1, 2, 3, 4}, "", true, -2},
        {"delete with nothing selected", K (K::deleteKey), {}, "abcde", true, -2},
        {"another key removes nothing and is left to others", K ('x', {}, 'x'), {2}, "abcde", false, 2},
        {"down moves the selection", K (K::downKey), {2}, "abcde", true, 3},
        {"up moves the selection", K (K::upKey), {2}, "abcde", true, 1},
        {"home selects the first row", K (K::homeKey), {2}, "abcde", true, 0},
        {"end selects the last row", K (K::endKey), {2}, "abcde", true, 4},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        list.model->entries.clear();
        for (char letter : juce::String ("abcde"))
            list.model->entries.add ({juce::File ("/m/" + juce::String::charToString (letter) + ".wav"), 0});
        list.model->currentEntry = list.model->entries[1];
        list.updateContent();
        list.deselectAllRows();
        for (int row : c.selected)
            list.selectRow (row, false, false);
        list.grabKeyboardFocus();
        OnScreen::pump (20);

        EXPECT_EQ (screen->key (c.key), c.used);
        juce::String remaining;
        for (const auto& e : list.model->entries)
            remaining << e.file.getFileNameWithoutExtension();
        EXPECT_EQ (remaining, c.remaining);
        EXPECT_EQ (list.getModel()->getNumRows(), remaining.length());
        EXPECT_EQ (list.model->currentEntry.file.getFileName(), "b.wav") << "the current entry is kept";
        if (c.selectedAfter != -2)
        {
            EXPECT_EQ (list.getSelectedRow (0), c.selectedAfter);
        }
    }
}

TEST_F (PlayListOnScreen, WhiteBoxOutlineAndHintWhileEmpty)
{
    const auto hint = PELLMIX_PICTURE (player_empty_hint_png);
    ASSERT_EQ (hint.getBounds(), juce::Rectangle<int> (92, 103));
    EXPECT_EQ (list.emptyListImage.getBounds(), hint.getBounds());
    // Faded once to 70 % (the cached picture itself is left alone).
    for (auto p : {juce::Point<int> (46, 10), juce::Point<int> (46, 40)})
    {
        const int original = hint.getPixelAt (p.x, p.y).getAlpha();
        ASSERT_GT (original, 200);
        EXPECT_NEAR (list.emptyListImage.getPixelAt (p.x, p.y).getAlpha(), original * 0.7, 1.5);
    }

    auto empty = ui_test::snapshot (list);
    juce::Image expected (juce::Image::ARGB, 175, 90, true);
    {
        juce::Graphics g (expected);
        g.fillAll (juce::Colours::white);
        g.drawImageAt (list.emptyListImage, 50, 2);
        g.setColour (juce::Colours::blue);
        g.drawRect (0, 0, 175, 90, 2);
    }
    EXPECT_EQ (ui_test::differingPixels (empty, expected), 0);

    list.model->entries.add ({juce::File ("/m/a.wav"), 0});
    list.updateContent();
    auto filled = ui_test::snapshot (list);
    // Below the first row the box is white again: no hint.
    const juce::Rectangle<int> below (2, 2 + 18, 171, 66);
    juce::Image white (juce::Image::ARGB, below.getWidth(), below.getHeight(), true);
    juce::Graphics (white).fillAll (juce::Colours::white);
    EXPECT_EQ (ui_test::differingPixels (filled.getClippedImage (below), white), 0);
    EXPECT_EQ (filled.getPixelAt (0, 45), juce::Colours::blue);
    EXPECT_EQ (filled.getPixelAt (1, 45), juce::Colours::blue);
    EXPECT_EQ (filled.getPixelAt (2, 45), juce::Colours::white);
}
