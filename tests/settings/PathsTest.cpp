#include <gtest/gtest.h>
#include "platform/SupportFolders.h"
#include "support/Fixtures.h"

TEST (Paths, ApplicationDataFolderFollowsHome)
{
    pellmix_test::TempDir home;
    pellmix_test::ScopedEnv env ("HOME", home.path());
    EXPECT_EQ (getSystemApplicationDataFolder().getFullPathName().toStdString(), home.path() + "/.config");
}
