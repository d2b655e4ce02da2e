#include <QApplication>
#include <gtest/gtest.h>

// One application object for every reportengine test: painting text and
// the preview widgets need it.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
