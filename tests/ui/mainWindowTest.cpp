#include "tests/ui/uiTestSupport.h"

#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { uitest::prepareApplication(); }
};

TEST_F(MainWindowTest, OpensOnTheStartPage)
{
    auto window = uitest::openMainWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->getCurrentView()->id, 1);
    uitest::saveScreenshot(*window, L"start");
}

} // namespace
