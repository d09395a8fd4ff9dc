// Script functions for multiplayer sessions over TCP/IP (UDP underneath): the network engine
// (network/Multiplayer.h) does the work; this family keeps one engine per run, tied to the
// game's id, and pumps it once at the start of every step. IPX, modem and serial connections
// fail, as on a machine without that hardware. docs/multiplayer.md describes each function.
#include <cstdlib>
#include <memory>
#include <string>

#include "code/Vocabulary.h"
#include "network/Multiplayer.h"
#include "runner/Runner.h"

namespace kr {

namespace {

struct MultiplayerFamily {
    std::unique_ptr<net::Multiplayer> engine;
};

net::Multiplayer& Engine(Runtime& rt) {
    Runner& runner = RunnerOf(rt);
    MultiplayerFamily& family = runner.FamilyState<MultiplayerFamily>();
    if (!family.engine) {
        net::MultiplayerOptions options;
        options.game_id = runner.Game().game_id;
        // Another session port, for several sessions (or test runs) on one machine.
        if (const char* port = std::getenv("KORVANE_MPLAY_PORT")) {
            long p = std::strtol(port, nullptr, 10);
            if (p > 0 && p < 65536) options.port = static_cast<uint16_t>(p);
        }
        family.engine = std::make_unique<net::Multiplayer>(std::move(options));
        net::Multiplayer* engine = family.engine.get();
        runner.Loop().hooks.network_pump = [engine] { engine->Pump(); };
    }
    return *family.engine;
}

// The engine for a function that looks at what has arrived. A program outside any game has no
// steps to pump the network, so there these functions pump it first (without waiting).
net::Multiplayer& Arrived(Runtime& rt) {
    net::Multiplayer& engine = Engine(rt);
    if (RunnerOf(rt).OutsideGame()) engine.Pump();
    return engine;
}

net::PlayerRef Ref(const RValue& v) {
    if (v.IsString()) return std::string(v.Str());
    return v.real;
}

net::Value ToNet(const RValue& v) {
    net::Value out;
    if (v.IsString()) {
        out.is_string = true;
        out.str = std::string(v.Str());
    } else {
        out.real = v.real;
    }
    return out;
}

RValue FromNet(const net::Value& v) {
    return v.is_string ? RValue(v.str) : RValue(v.real);
}

}  // namespace

#define KR_MPLAY_FN(name)                                                                    \
    static void name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args, \
                     RValue& result)

KR_MPLAY_FN(fn_mplay_init_tcpip) {
    result.SetReal(Engine(rt).InitTcpip(std::string(ArgStr(args[0]))) ? 1.0 : 0.0);
}

KR_MPLAY_FN(fn_mplay_connect_status) {
    result.SetReal(Engine(rt).ConnectStatus());
}

KR_MPLAY_FN(fn_mplay_end) {
    Engine(rt).End();
}

KR_MPLAY_FN(fn_mplay_session_mode) {
    Engine(rt).SetSessionMode(ArgBool(args[0]));
}

KR_MPLAY_FN(fn_mplay_session_create) {
    bool ok = Engine(rt).CreateSession(std::string(ArgStr(args[0])), ArgInt(args[1]),
                                       std::string(ArgStr(args[2])));
    result.SetReal(ok ? 1.0 : 0.0);
}

KR_MPLAY_FN(fn_mplay_session_find) {
    result.SetReal(Engine(rt).FindSessions());
}

KR_MPLAY_FN(fn_mplay_session_name) {
    result = RValue(Engine(rt).SessionName(ArgInt(args[0])));
}

KR_MPLAY_FN(fn_mplay_session_join) {
    bool ok = Engine(rt).JoinSession(ArgInt(args[0]), std::string(ArgStr(args[1])));
    result.SetReal(ok ? 1.0 : 0.0);
}

KR_MPLAY_FN(fn_mplay_session_status) {
    result.SetReal(Arrived(rt).SessionStatus());
}

KR_MPLAY_FN(fn_mplay_session_end) {
    Engine(rt).EndSession();
}

KR_MPLAY_FN(fn_mplay_player_find) {
    result.SetReal(Arrived(rt).FindPlayers());
}

KR_MPLAY_FN(fn_mplay_player_name) {
    result = RValue(Engine(rt).PlayerName(ArgInt(args[0])));
}

KR_MPLAY_FN(fn_mplay_player_id) {
    result.SetReal(Engine(rt).PlayerId(ArgInt(args[0])));
}

KR_MPLAY_FN(fn_mplay_data_write) {
    int32_t index = ArgInt(args[0]);
    if (index < 1 || index > net::kDataSlots) {
        rt.RuntimeError("Trying to write a shared value outside 1 to 10000.");
        return;
    }
    if (args[1].IsString() && args[1].Str().size() > net::kMaxString) {
        rt.RuntimeError("Trying to share a string longer than 65536 bytes.");
        return;
    }
    result.SetReal(Engine(rt).DataWrite(index, ToNet(args[1])) ? 1.0 : 0.0);
}

KR_MPLAY_FN(fn_mplay_data_read) {
    int32_t index = ArgInt(args[0]);
    if (index < 1 || index > net::kDataSlots) {
        rt.RuntimeError("Trying to read a shared value outside 1 to 10000.");
        return;
    }
    result = FromNet(Arrived(rt).DataRead(index));
}

KR_MPLAY_FN(fn_mplay_data_mode) {
    Engine(rt).SetDataGuaranteed(ArgBool(args[0]));
}

static void SendMessage(Runtime& rt, const RValue* args, RValue& result, bool guaranteed) {
    bool ok = Engine(rt).Send(Ref(args[0]), ArgReal(args[1]), ToNet(args[2]), guaranteed);
    result.SetReal(ok ? 1.0 : 0.0);
}

KR_MPLAY_FN(fn_mplay_message_send) {
    SendMessage(rt, args, result, false);
}

KR_MPLAY_FN(fn_mplay_message_send_guaranteed) {
    SendMessage(rt, args, result, true);
}

KR_MPLAY_FN(fn_mplay_message_receive) {
    result.SetReal(Arrived(rt).Receive(Ref(args[0])) ? 1.0 : 0.0);
}

KR_MPLAY_FN(fn_mplay_message_id) {
    result.SetReal(Engine(rt).LastMessage().id);
}

KR_MPLAY_FN(fn_mplay_message_value) {
    result = FromNet(Engine(rt).LastMessage().value);
}

KR_MPLAY_FN(fn_mplay_message_player) {
    result.SetReal(Engine(rt).LastMessage().from);
}

KR_MPLAY_FN(fn_mplay_message_name) {
    result = RValue(Engine(rt).LastMessage().from_name);
}

KR_MPLAY_FN(fn_mplay_message_count) {
    result.SetReal(Arrived(rt).MessageCount(Ref(args[0])));
}

KR_MPLAY_FN(fn_mplay_message_clear) {
    Engine(rt).MessageClear(Ref(args[0]));
}

KR_MPLAY_FN(fn_mplay_ipaddress) {
    result = RValue(net::Multiplayer::IpAddress());
}

#undef KR_MPLAY_FN

// IPX, modem and serial connections cannot exist here: they only answer 0 (no connection).
// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kMultiplayerFunctions[] = {
    {"mplay_init_ipx", BuiltinOnlyAnswers, 0},
    {"mplay_init_tcpip", fn_mplay_init_tcpip, 1},
    {"mplay_init_modem", BuiltinOnlyAnswers, 2},
    {"mplay_init_serial", BuiltinOnlyAnswers, 5},
    {"mplay_connect_status", fn_mplay_connect_status, 0},
    {"mplay_end", fn_mplay_end, 0},
    {"mplay_session_mode", fn_mplay_session_mode, 1},
    {"mplay_session_create", fn_mplay_session_create, 3},
    {"mplay_session_find", fn_mplay_session_find, 0},
    {"mplay_session_name", fn_mplay_session_name, 1},
    {"mplay_session_join", fn_mplay_session_join, 2},
    {"mplay_session_status", fn_mplay_session_status, 0},
    {"mplay_session_end", fn_mplay_session_end, 0},
    {"mplay_player_find", fn_mplay_player_find, 0},
    {"mplay_player_name", fn_mplay_player_name, 1},
    {"mplay_player_id", fn_mplay_player_id, 1},
    {"mplay_data_write", fn_mplay_data_write, 2},
    {"mplay_data_read", fn_mplay_data_read, 1},
    {"mplay_data_mode", fn_mplay_data_mode, 1},
    {"mplay_message_send", fn_mplay_message_send, 3},
    {"mplay_message_send_guaranteed", fn_mplay_message_send_guaranteed, 3},
    {"mplay_message_receive", fn_mplay_message_receive, 1},
    {"mplay_message_id", fn_mplay_message_id, 0},
    {"mplay_message_value", fn_mplay_message_value, 0},
    {"mplay_message_player", fn_mplay_message_player, 0},
    {"mplay_message_name", fn_mplay_message_name, 0},
    {"mplay_message_count", fn_mplay_message_count, 1},
    {"mplay_message_clear", fn_mplay_message_clear, 1},
    {"mplay_ipaddress", fn_mplay_ipaddress, 0},
};

void RegisterMultiplayerFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kMultiplayerFunctions>();
}

}  // namespace kr
