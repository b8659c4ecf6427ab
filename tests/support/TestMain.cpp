#include "TestPrinters.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

// Listing tests must not need a display or an application object.
int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    // What a workstation keeps (watchers' states, snoozes) stays out of the tester's own folder.
    QTemporaryDir stateDir;
    qputenv("XDG_STATE_HOME", stateDir.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
