// Script functions for multiplayer sessions. The runner has no multiplayer service: every
// function is registered so that games compile, and reports failure without a message, real 0,
// or the empty string for those that give a name or an address. Games check these results
// (mplay_init_tcpip returning 0 means no connection), so they carry on as without a network.
#include "code/Vocabulary.h"

namespace kr {

static void fn_mplay_unavailable(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue*,
                                 RValue& result) {
    result.SetReal(0.0);
}

static void fn_mplay_unavailable_name(Runtime&, ScriptInstance*, ScriptInstance*, int,
                                      const RValue*, RValue& result) {
    result = RValue(std::string_view());
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static const BuiltinDef kMultiplayerFunctions[] = {
    {"mplay_init_ipx", fn_mplay_unavailable, 0},
    {"mplay_init_tcpip", fn_mplay_unavailable, 1},
    {"mplay_init_modem", fn_mplay_unavailable, 2},
    {"mplay_init_serial", fn_mplay_unavailable, 5},
    {"mplay_connect_status", fn_mplay_unavailable, 0},
    {"mplay_end", fn_mplay_unavailable, 0},
    {"mplay_session_mode", fn_mplay_unavailable, 1},
    {"mplay_session_create", fn_mplay_unavailable, 3},
    {"mplay_session_find", fn_mplay_unavailable, 0},
    {"mplay_session_name", fn_mplay_unavailable_name, 1},
    {"mplay_session_join", fn_mplay_unavailable, 2},
    {"mplay_session_status", fn_mplay_unavailable, 0},
    {"mplay_session_end", fn_mplay_unavailable, 0},
    {"mplay_player_find", fn_mplay_unavailable, 0},
    {"mplay_player_name", fn_mplay_unavailable_name, 1},
    {"mplay_player_id", fn_mplay_unavailable, 1},
    {"mplay_data_write", fn_mplay_unavailable, 2},
    {"mplay_data_read", fn_mplay_unavailable, 1},
    {"mplay_data_mode", fn_mplay_unavailable, 1},
    {"mplay_message_send", fn_mplay_unavailable, 3},
    {"mplay_message_send_guaranteed", fn_mplay_unavailable, 3},
    {"mplay_message_receive", fn_mplay_unavailable, 1},
    {"mplay_message_id", fn_mplay_unavailable, 0},
    {"mplay_message_value", fn_mplay_unavailable, 0},
    {"mplay_message_player", fn_mplay_unavailable, 0},
    {"mplay_message_name", fn_mplay_unavailable_name, 0},
    {"mplay_message_count", fn_mplay_unavailable, 1},
    {"mplay_message_clear", fn_mplay_unavailable, 1},
    {"mplay_ipaddress", fn_mplay_unavailable_name, 0},
};

void RegisterMultiplayerFunctions(BuiltinRegistry& reg) {
    reg.Add(kMultiplayerFunctions);
}

}  // namespace kr
