// The environment every test runs in under ctest: the off-screen video driver and the silent
// audio driver, so that no test opens a window or plays through the machine's speakers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kr {
namespace {

TEST(TestEnvironment, BothDriversAreSetForEveryTest) {
    const char* video = std::getenv("SDL_VIDEODRIVER");
    if (!video) GTEST_SKIP() << "not run by ctest";
    EXPECT_EQ(std::string(video), "offscreen");
    const char* audio = std::getenv("SDL_AUDIODRIVER");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(std::string(audio), "dummy");
}

}  // namespace
}  // namespace kr
