// Two korvane processes on this machine meet in a session over the loopback address: the host
// waits for a player and a message and answers; the player finds, joins, asks and leaves. Each
// run is bounded by the timeout program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

TEST(MultiplayerProcesses, TwoRunnersMeetOnLoopback) {
    setenv("KORVANE_MPLAY_PORT", std::to_string(41000 + getpid() % 20000).c_str(), 1);
    const std::string host_code =
        "mplay_init_tcpip('127.0.0.1'); mplay_session_create('duel', 2, 'host');"
        "while (mplay_player_find() < 2) sleep(5);"
        "while (!mplay_message_receive(0)) sleep(5);"
        "show_debug_message('host got ' + mplay_message_value() + ' from ' + "
        "mplay_message_name());"
        "mplay_data_write(3, 'shared');"
        "mplay_message_send_guaranteed(mplay_message_player(), 2, 'pong');"
        "while (mplay_player_find() > 1) sleep(5);"
        "show_debug_message('host alone');";
    const std::string guest_code =
        "mplay_init_tcpip('127.0.0.1'); n = 0;"
        "repeat (40) { n = mplay_session_find(); if (n > 0) break; }"
        "show_debug_message('found ' + mplay_session_name(0));"
        "if (!mplay_session_join(0, 'guest')) { show_debug_message('join failed'); exit; }"
        "mplay_message_send_guaranteed(0, 1, 'ping');"
        "while (!mplay_message_receive(0)) sleep(5);"
        "show_debug_message('guest got ' + mplay_message_value() + ' and ' + "
        "mplay_data_read(3));"
        "mplay_session_end();";
    test::ProcessResult host;
    std::thread host_thread([&] {
        host = test::RunProgram("/usr/bin/timeout",
                                {"20", test::KorvanePath(), "script", "-e", host_code});
    });
    test::ProcessResult guest = test::RunProgram(
        "/usr/bin/timeout", {"20", test::KorvanePath(), "script", "-e", guest_code});
    host_thread.join();
    EXPECT_EQ(guest.status, 0) << guest.err;
    EXPECT_EQ(guest.out, "found duel\nguest got pong and shared\n");
    EXPECT_EQ(host.status, 0) << host.err;
    EXPECT_EQ(host.out, "host got ping from guest\nhost alone\n");
}

// The duel example in two headless runs: one hosts, the other finds it, joins and greets it.
// Which one hosts depends on which starts first, so the test asks only that each role was
// taken once and the greeting arrived. Both end by their time limits.
TEST(MultiplayerProcesses, TheDuelExampleMeetsItself) {
    setenv("KORVANE_MPLAY_PORT", std::to_string(41000 + (getpid() + 1) % 20000).c_str(), 1);
    test::ScratchDir dir;
    test::ProcessResult r = test::RunProgram(
        test::KorvanePath(),
        {"build", std::string(KR_SOURCE_DIR) + "/examples/duel", "-o", dir / "duel"});
    ASSERT_EQ(r.status, 0) << r.err;
    test::ProcessResult first;
    std::thread first_thread([&] {
        first = test::RunProgram(test::KorvanePath(),
                                 {"run", "--headless", "--time-limit", "8", dir / "duel"});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    test::ProcessResult second = test::RunProgram(
        test::KorvanePath(), {"run", "--headless", "--time-limit", "6", dir / "duel", "127.0.0.1"});
    first_thread.join();
    EXPECT_EQ(first.status, 3) << first.err;  // the time limit
    EXPECT_EQ(second.status, 3) << second.err;
    const std::string both = first.out + second.out;
    EXPECT_NE(both.find("duel: hosting at "), std::string::npos) << both;
    EXPECT_NE(both.find("duel: joined duel\n"), std::string::npos) << both;
    EXPECT_NE(both.find("duel: guest says Hello!\n"), std::string::npos) << both;
}

}  // namespace
}  // namespace kr
