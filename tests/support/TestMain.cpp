// The main of every test program: HOME and the XDG folders point into a temporary folder, so that no
// test touches the real home, trash or desktop.
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    vkit::testing::VTestTempFolder home;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.MakeFolder(".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.MakeFolder(".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", home.MakeFolder(".cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home / ".local/state").c_str(), 1); // made by the test that asks for it
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    return RUN_ALL_TESTS();
}
