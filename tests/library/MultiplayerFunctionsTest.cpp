// The multiplayer functions as one script sees them (sessions between machines are tested on
// the network engine, and between two korvane processes in the app tests).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

TEST(MultiplayerFunctions, OneSessionSeenFromItsScript) {
    setenv("KORVANE_MPLAY_PORT", std::to_string(21000 + getpid() % 20000).c_str(), 1);
    test::ScriptRunner run;
    struct Case {
        const char* code;
        const char* want;
        const char* error = "";
    };
    const Case cases[] = {
        // Connections without the hardware fail; nothing works before a connection is chosen.
        {"return mplay_init_ipx() + mplay_init_modem('', '') + mplay_init_serial(1, 0, 0, 0, 0)",
         "0"},
        {"return mplay_connect_status()", "0"},
        {"return mplay_session_create('s', 2, 'me')", "0"},
        {"return mplay_message_send(0, 1, 'x')", "0"},
        {"return mplay_init_tcpip('')", "1"},
        {"return mplay_connect_status()", "2"},
        {"return mplay_session_create('s', 2, 'me')", "1"},
        {"return string(mplay_session_status()) + string(mplay_player_find()) + "
         "mplay_player_name(0) + string(mplay_player_id(0)) + '[' + mplay_player_name(1) + ']'",
         "\"11me1[]\""},
        // Shared values: reals and strings, 0 until written, indexes 1..10000.
        {"mplay_data_write(10000, 'top'); mplay_data_write(1, 2.5); "
         "return mplay_data_read(10000) + string(mplay_data_read(1)) + string(mplay_data_read(2))",
         "\"top2.500\""},
        {"return mplay_data_write(0, 1)", "0", "outside 1 to 10000"},
        {"return mplay_data_read(10001)", "0", "outside 1 to 10000"},
        // A message to oneself (by id or name) arrives at once.
        {"mplay_message_send(1, 5, 'hi'); mplay_message_send_guaranteed('me', 6, 7); "
         "return mplay_message_count(0)",
         "2"},
        {"mplay_message_receive('me'); return string(mplay_message_id()) + mplay_message_value() "
         "+ string(mplay_message_player()) + mplay_message_name()",
         "\"5hi1me\""},
        {"mplay_message_clear(0); return mplay_message_count(1) + mplay_message_receive(0)", "0"},
        {"return mplay_message_send('nobody', 1, 1)", "0"},
        {"return mplay_ipaddress() != ''", "1"},
        {"mplay_end(); return mplay_session_status() + mplay_connect_status()", "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
        std::string error = run.LastError();
        if (*c.error == 0)
            EXPECT_EQ(error, "") << c.code;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.code << "\n" << error;
    }
}

}  // namespace
}  // namespace kr
