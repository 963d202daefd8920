// Every test process of this area gets its own virtual display before its first test. Without
// DISPLAY the framework would connect to ":0", which may be another test's display, and that
// process would end with an X I/O error once the other test stopped its display. A file chooser
// that no test answers fails the test instead of waiting for a user.
#include "UiTestSupport.h"

namespace
{
class DisplayEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ASSERT_TRUE (ui_test::processDisplay().started());
        ui_test::failUnansweredChoosers();
    }
};

[[maybe_unused]] auto* const displayEnvironment =
    ::testing::AddGlobalTestEnvironment (new DisplayEnvironment);
} // namespace
