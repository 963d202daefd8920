// Every panel that registers with the configuration or the menu leaves again when it is deleted:
// each panel and the whole main content are built and deleted, the listener counts come back to
// what they were, and every broadcast and playlist command sent afterwards reaches only the
// listeners still alive (under AddressSanitizer a call into a deleted panel is also reported).
#include "ResultTestSupport.h"
#include "UiTestSupport.h"
#include "app/MainContentComponent.h"
#include "ui/PellmixExportBlock.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixMenu.h"
#include "ui/PellmixPlayer.h"

#include <functional>
#include <memory>
#include <vector>

namespace
{
// Registered before any panel, so it is called after them in every broadcast and command.
struct Sentinel : PellmixMenu::Listener
{
    void addSourceFiles() override { calls.push_back ("source"); }
    void addTargetFiles() override { calls.push_back ("target"); }
    std::vector<std::string> calls;
};

struct Panel
{
    const char* name;
    std::function<std::unique_ptr<juce::Component>()> build;
    int configListeners; // registrations while it lives
    int menuListeners;
};
} // namespace

TEST (ListenerLifetime, PanelsLeaveTheConfigurationAndTheMenuWhenDeleted)
{
    ASSERT_TRUE (ui_test::processDisplay().started()); // before anything opens X
    ui_test::ConfigEnvironment env;
    ASSERT_NE (env.config, nullptr) << env.jack.logText();
    auto* config = env.config;
    auto* menu = PellmixMenu::fromConfig();
    ASSERT_NE (menu, nullptr);

    ui_test::BroadcastRecorder broadcasts;
    Sentinel sentinel;
    menu->addListener (&sentinel);
    ui_test::ChooserStub chooser;

    const Panel panels[] = {
        {"IR panel", [] { return std::make_unique<PellmixIrPanel>(); }, PellmixIrPanel::numBlocks, 0},
        {"player", [] { return std::make_unique<PellmixPlayer>(); }, 1, 1},
        {"result plots", [] { return std::make_unique<PellmixExportBlock>(); }, 1, 0},
        // The eight IR blocks, the player, the result plots and the main content itself.
        {"main content", [] { return std::make_unique<MainContentComponent>(); },
         PellmixIrPanel::numBlocks + 3, 1},
    };
    for (const auto& panel : panels)
    {
        SCOPED_TRACE (panel.name);
        const int configBefore = config->getNumListeners();
        const int menuBefore = menu->getNumListeners();
        auto component = panel.build();
        ui_test::OnScreen::pump (100);
        EXPECT_EQ (config->getNumListeners(), configBefore + panel.configListeners);
        EXPECT_EQ (menu->getNumListeners(), menuBefore + panel.menuListeners);
        component.reset();
        EXPECT_EQ (config->getNumListeners(), configBefore) << "a configuration listener was left behind";
        EXPECT_EQ (menu->getNumListeners(), menuBefore) << "a menu listener was left behind";
    }

    // Everything the configuration and the menu send reaches the living listeners only.
    config->resetColours();
    config->toggleTooltips();
    config->toggleTooltips();
    config->notifyProcessingChanged (false);
    config->notifyProcessingChanged (true);
    config->handleAsyncUpdate();
    menu->menuItemSelected (PellmixMenu::addSourceFilesId, PellmixMenu::fileMenu);
    menu->menuItemSelected (PellmixMenu::addTargetFilesId, PellmixMenu::fileMenu);
    ui_test::OnScreen::pump (100);

    EXPECT_EQ (broadcasts.colours, std::vector<int> ({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ (broadcasts.tooltips, std::vector<bool> ({false, true}));
    EXPECT_EQ (sentinel.calls, std::vector<std::string> ({"source", "target"}));
    EXPECT_TRUE (chooser.requests.empty()) << "a playlist command reached a deleted player";

    menu->removeListener (&sentinel);
}
