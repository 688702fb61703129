#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Widget tests need no display, also when only listing the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // What the program remembers of the seals it verified stays the test's
    // own, not the machine's.
    QTemporaryDir state;
    qputenv("KVAREN_STATE_DIR", QFile::encodeName(state.path()));
    // And so do the sizes and places of its windows (see RememberGeometry).
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(state.path()));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
