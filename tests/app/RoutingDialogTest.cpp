// The "Hardware I/O options" content on a real dummy JACK device: the lists, their ids, the
// routing fields they set, and stored values the device no longer offers.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "InProcessDevice.h"
#include "ui/AudioRootingWindow.h"

using namespace app_test;

namespace
{
using Items = std::vector<std::pair<std::string, int>>; // text, id

// The three lists, found by their rows.
struct RoutingBoxes
{
    juce::ComboBox* mainOut = nullptr;
    juce::ComboBox* captureIn = nullptr;
    juce::ComboBox* captureOut = nullptr;
};

RoutingBoxes findBoxes (juce::Component& window)
{
    RoutingBoxes boxes;
    for (auto* child : window.getChildren())
        if (auto* box = dynamic_cast<juce::ComboBox*> (child))
            (box->getY() == 10   ? boxes.mainOut
             : box->getY() == 50 ? boxes.captureIn
                                 : boxes.captureOut) = box;
    return boxes;
}

Items itemsOf (const juce::ComboBox& box)
{
    Items items;
    for (int i = 0; i < box.getNumItems(); ++i)
        items.emplace_back (box.getItemText (i).toStdString(), box.getItemId (i));
    return items;
}

struct RoutingCase
{
    const char* name;
    pellmix_test::JackOptions server;
    std::initializer_list<int> activeInputs, activeOutputs;
    Items captureIn, captureOut, mainOut;
};

void PrintTo (const RoutingCase& c, std::ostream* os)
{
    *os << c.name;
}

pellmix_test::JackOptions ports (int capture, int playback)
{
    pellmix_test::JackOptions o;
    o.capturePorts = capture;
    o.playbackPorts = playback;
    return o;
}

const RoutingCase routingCases[] = {
    {"FourOutputs",
     ports (2, 4),
     {0, 1},
     {0, 1, 2, 3},
     {{"capture_1", 1}, {"capture_2", 2}},
     {{"playback_1", 1}, {"playback_2", 2}, {"playback_3", 3}, {"playback_4", 4}},
     {{"playback_1", 1},
      {"playback_1 + playback_2", 101},
      {"playback_2", 2},
      {"playback_2 + playback_3", 102},
      {"playback_3", 3},
      {"playback_3 + playback_4", 103},
      {"playback_4", 4}}},
    // Positions count active channels only; names come from the full lists.
    {"SparseChannels",
     ports (6, 4),
     {2, 5},
     {1, 3},
     {{"capture_3", 1}, {"capture_6", 2}},
     {{"playback_2", 1}, {"playback_4", 2}},
     {{"playback_2", 1}, {"playback_2 + playback_4", 101}, {"playback_4", 2}}},
    {"SingleOutput", ports (2, 4), {1}, {2}, {{"capture_2", 1}}, {{"playback_3", 1}}, {{"playback_3", 1}}},
};

class RoutingLists : public InProcessDevice, public ::testing::WithParamInterface<RoutingCase>
{
};
} // namespace

TEST_P (RoutingLists, ItemsIdsAndTheFieldsEachChoiceSets)
{
    const auto& c = GetParam();
    ASSERT_NO_FATAL_FAILURE (startConfiguration (c.server));
    ASSERT_NO_FATAL_FAILURE (setActiveChannels (channelMask (c.activeInputs), channelMask (c.activeOutputs)));

    AudioRootingWindow window (config);
    auto boxes = findBoxes (window);
    ASSERT_NE (boxes.mainOut, nullptr);
    ASSERT_NE (boxes.captureIn, nullptr);
    ASSERT_NE (boxes.captureOut, nullptr);
    EXPECT_EQ (itemsOf (*boxes.captureIn), c.captureIn);
    EXPECT_EQ (itemsOf (*boxes.captureOut), c.captureOut);
    EXPECT_EQ (itemsOf (*boxes.mainOut), c.mainOut);

    // The stored routing (0 everywhere) selects the first position.
    for (auto* box : {boxes.captureIn, boxes.captureOut, boxes.mainOut})
        EXPECT_EQ (box->getSelectedId(), 1);

    struct Field
    {
        juce::ComboBox* box;
        std::atomic<int>& value;
    };
    for (auto field :
         {Field{boxes.captureIn, config->captureAudioIn}, Field{boxes.captureOut, config->captureAudioOut},
          Field{boxes.mainOut, config->mainAudioOut}})
        for (auto& [text, id] : itemsOf (*field.box))
        {
            field.box->setSelectedId (id, juce::sendNotificationSync);
            EXPECT_EQ (field.value.load(), id - 1) << text;
        }
}

INSTANTIATE_TEST_SUITE_P (Routing, RoutingLists, ::testing::ValuesIn (routingCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

class RoutingWindow : public InProcessDevice
{
};

TEST_F (RoutingWindow, StoredPositionsTheDeviceNoLongerOffersBecomeMinusOne)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    config->captureAudioIn = 2;  // two active inputs: positions 0 and 1 only
    config->captureAudioOut = 3; // the last of four outputs: still offered
    config->mainAudioOut = 103;  // the pair of positions 3 and 4: position 4 does not exist
    AudioRootingWindow window (config);
    auto boxes = findBoxes (window);

    pumpMessages (300);
    EXPECT_EQ (config->captureAudioIn.load(), -1);
    EXPECT_EQ (config->captureAudioOut.load(), 3);
    EXPECT_EQ (config->mainAudioOut.load(), -1);
    EXPECT_EQ (boxes.captureIn->getSelectedId(), 0);
    EXPECT_EQ (boxes.captureOut->getText(), "playback_4");
    EXPECT_EQ (boxes.mainOut->getSelectedId(), 0);
}

TEST_F (RoutingWindow, WithoutDeviceListsStayEmptyAndFieldsKeepTheirValues)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    getSharedAudioDeviceManager()->closeAudioDevice();
    config->captureAudioIn = 1;
    config->captureAudioOut = 2;
    config->mainAudioOut = 101;
    AudioRootingWindow window (config);
    auto boxes = findBoxes (window);
    pumpMessages (300);

    for (auto* box : {boxes.captureIn, boxes.captureOut, boxes.mainOut})
        EXPECT_EQ (box->getNumItems(), 0);
    EXPECT_EQ (config->captureAudioIn.load(), 1);
    EXPECT_EQ (config->captureAudioOut.load(), 2);
    EXPECT_EQ (config->mainAudioOut.load(), 101);
}

TEST_F (RoutingWindow, PaintsWhiteWithTheBackgroundPictureAt5And145)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    AudioRootingWindow window (config);
    ASSERT_EQ (window.getWidth(), 496);
    ASSERT_EQ (window.getHeight(), 557);
    auto picture = PELLMIX_PICTURE (routing_background_png);
    ASSERT_EQ (picture.getWidth(), 486);
    ASSERT_EQ (picture.getHeight(), 357);

    auto shot = window.createComponentSnapshot (window.getLocalBounds(), false);
    EXPECT_EQ (shot.getPixelAt (2, 140).getARGB(), 0xffffffffu);
    EXPECT_EQ (shot.getPixelAt (493, 510).getARGB(), 0xffffffffu);
    // Points of the picture clear of the lists and the button, corners included.
    for (auto [x, y] : {std::pair{0, 0}, {485, 356}, {100, 100}, {243, 178}, {400, 300}})
        EXPECT_EQ (shot.getPixelAt (5 + x, 145 + y).getARGB(), picture.getPixelAt (x, y).getARGB())
            << x << "," << y;
    EXPECT_EQ (shot.getPixelAt (4, 145).getARGB(), 0xffffffffu) << "nothing left of the picture";
}
