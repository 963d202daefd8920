// Every test process of this area gets its own virtual display before its first test, and a
// file chooser that fails the test instead of opening a dialog nobody answers.
#include "IrPanelTestSupport.h"

namespace
{
class IrPanelEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ASSERT_TRUE (ui_test::processDisplay().started());
        ui_test::failUnansweredChoosers();
    }
};

[[maybe_unused]] auto* const irPanelEnvironment =
    ::testing::AddGlobalTestEnvironment (new IrPanelEnvironment);
} // namespace
