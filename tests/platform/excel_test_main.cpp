// Entry of the platform tests until the folder shares the common one: it is
// weak so that a shared main linked into the same program takes its place.
#include <QGuiApplication>

#include <gtest/gtest.h>

__attribute__((weak)) int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
