// Script functions for multiplayer sessions. They are registered so that every game compiles.
// Rows without a body are registered so that games compile; calling one reports that the
// function is not available yet.
#include "code/Vocabulary.h"

namespace kr {

// ORDER VOCABULARY: the rows keep the registration order of the family.
static const BuiltinDef kMultiplayerFunctions[] = {
    {"mplay_init_ipx", nullptr, 0},
    {"mplay_init_tcpip", nullptr, 1},
    {"mplay_init_modem", nullptr, 2},
    {"mplay_init_serial", nullptr, 5},
    {"mplay_connect_status", nullptr, 0},
    {"mplay_end", nullptr, 0},
    {"mplay_session_mode", nullptr, 1},
    {"mplay_session_create", nullptr, 3},
    {"mplay_session_find", nullptr, 0},
    {"mplay_session_name", nullptr, 1},
    {"mplay_session_join", nullptr, 2},
    {"mplay_session_status", nullptr, 0},
    {"mplay_session_end", nullptr, 0},
    {"mplay_player_find", nullptr, 0},
    {"mplay_player_name", nullptr, 1},
    {"mplay_player_id", nullptr, 1},
    {"mplay_data_write", nullptr, 2},
    {"mplay_data_read", nullptr, 1},
    {"mplay_data_mode", nullptr, 1},
    {"mplay_message_send", nullptr, 3},
    {"mplay_message_send_guaranteed", nullptr, 3},
    {"mplay_message_receive", nullptr, 1},
    {"mplay_message_id", nullptr, 0},
    {"mplay_message_value", nullptr, 0},
    {"mplay_message_player", nullptr, 0},
    {"mplay_message_name", nullptr, 0},
    {"mplay_message_count", nullptr, 1},
    {"mplay_message_clear", nullptr, 1},
    {"mplay_ipaddress", nullptr, 0},
};

void RegisterMultiplayerFunctions(BuiltinRegistry& reg) {
    reg.Add(kMultiplayerFunctions);
}

}  // namespace kr
