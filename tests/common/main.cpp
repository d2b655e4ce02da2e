// Shared entry of every test program: one application object (offscreen),
// with the program's Chinese defaults, alive for all tests.
#include "platform/ui/application.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    ui::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
