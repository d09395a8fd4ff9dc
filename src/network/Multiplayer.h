// Multiplayer sessions over the network: one machine hosts a session (players, shared values,
// the relay of messages), the others find it on the local network or at an address and join.
// Everything waits at most a bounded time; Pump, called once per game step, does the rest of
// the work without waiting. Knows nothing of the runner: values are reals or strings.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "network/Packet.h"
#include "platform/NetHost.h"

namespace kr::net {

inline constexpr uint16_t kDefaultPort = 6510;

struct MultiplayerOptions {
    int32_t game_id = 0;           // sessions of other games are never seen nor joined
    uint16_t port = kDefaultPort;  // hosts listen here; finders ask here
    // Where an empty address looks for sessions (the local network's broadcast address).
    uint32_t broadcast_ip = 0xFFFFFFFFu;
    std::chrono::milliseconds find_wait{300};
    std::chrono::milliseconds join_wait{3000};
    // How long a host keeps players it expects back after it took over the session.
    std::chrono::milliseconds rejoin_wait{10000};
    // Called over and over while a call waits for answers (find, join); sleeps briefly when
    // empty. Tests that run several engines in one thread pump the others here.
    std::function<void()> while_waiting;
};

// The queue of received messages is capped: whatever arrives beyond these is dropped.
inline constexpr size_t kMaxQueuedMessages = 4096;
inline constexpr size_t kMaxQueuedFromOne = 1024;
inline constexpr size_t kMaxQueuedBytes = 4 * 1024 * 1024;
// Events handled by one Pump; the rest wait for the next.
inline constexpr int kMaxEventsPerPump = 4096;

// A player as scripts name one: by id (a real) or by name (a string); id 0 means everyone.
using PlayerRef = std::variant<double, std::string>;

struct ReceivedMessage {
    double id = 0.0;
    Value value;
    uint32_t from = 0;
    std::string from_name;
};

class Multiplayer {
public:
    explicit Multiplayer(MultiplayerOptions options);
    ~Multiplayer();
    Multiplayer(const Multiplayer&) = delete;
    Multiplayer& operator=(const Multiplayer&) = delete;

    // ---- Connection ----
    // Chooses TCP/IP: an empty address finds sessions on the local network, a host name or
    // address finds them on that machine. False when the address does not resolve.
    bool InitTcpip(const std::string& address);
    // 0 no connection, 2 TCP/IP.
    int ConnectStatus() const { return connected_ ? 2 : 0; }
    // Ends the session and the connection.
    void End();
    static std::string IpAddress();

    // ---- Sessions ----
    // Whether the session moves to another player when its host leaves.
    void SetSessionMode(bool move);
    bool CreateSession(const std::string& name, int max_players, const std::string& player);
    // Asks for sessions of this game that take players; their number.
    int FindSessions();
    std::string SessionName(int index) const;
    bool JoinSession(int index, const std::string& player);
    // 0 no session (never joined, ended, or lost), 1 hosting, 2 joined.
    int SessionStatus() const;
    void EndSession();

    // ---- Players (index 0 is this player) ----
    int FindPlayers() const { return static_cast<int>(players_.size()); }
    std::string PlayerName(int index) const;
    uint32_t PlayerId(int index) const;

    // ---- Shared values 1..kDataSlots ----
    bool DataWrite(int index, Value value);
    Value DataRead(int index) const;
    void SetDataGuaranteed(bool guaranteed) { data_guaranteed_ = guaranteed; }

    // ---- Messages ----
    bool Send(const PlayerRef& to, double id, Value value, bool guaranteed);
    // Takes the oldest message from the player (0: anyone) as the last message; false when
    // there is none.
    bool Receive(const PlayerRef& from);
    const ReceivedMessage& LastMessage() const { return last_; }
    int MessageCount(const PlayerRef& from) const;
    void MessageClear(const PlayerRef& from);

    // Sends and receives what is pending. Never waits.
    void Pump();
    // Closes the network at once without a word to anyone, as a machine that crashes or loses
    // its cable does (for tests of the others' side).
    void DropConnection();

private:
    enum class Role { kNone, kHost, kClient };
    struct Player {
        PlayerEntry entry;
        std::optional<uint32_t> peer;  // host side: the player's connection
        bool connected = true;         // false while a host waits for it to rejoin
    };
    struct Offer {
        std::string name;
        NetAddress address;
    };
    using Clock = std::chrono::steady_clock;

    void Wait();
    bool Deadline(Clock::time_point until) const { return Clock::now() >= until; }
    void LeaveSession(bool tell_others);
    void ResetSession();
    void Handle(NetEvent& ev);
    void AnswerQuery(const NetEvent& ev);
    void ListenForFinders();
    void HandleHost(NetEvent& ev, const Packet& p);
    void HandleClient(NetEvent& ev, const Packet& p);
    void SendTo(uint32_t peer, const Packet& p, bool reliable);
    void SendToAllPlayers(const Packet& p, bool reliable, uint32_t except_id = 0);
    void BroadcastPlayers();
    void SendSnapshot(uint32_t peer);
    void HostLost();
    void TakeOver(uint32_t new_host);
    void Deliver(ReceivedMessage m);
    void ApplyData(uint16_t index, Value v);
    Player* PlayerById(uint32_t id);
    Player* PlayerByPeer(uint32_t peer);
    // The id a reference names: 0 for everyone (or anyone); nullopt when no player has it.
    std::optional<uint32_t> Resolve(const PlayerRef& ref) const;
    bool Matches(const ReceivedMessage& m, uint32_t id) const { return id == 0 || m.from == id; }

    MultiplayerOptions options_;
    bool connected_ = false;
    uint32_t target_ip_ = 0;  // 0: the broadcast address
    Role role_ = Role::kNone;
    bool move_host_ = false;
    std::unique_ptr<NetHost> net_;
    // A host that ended its session stays a little while, so its farewells get out.
    std::unique_ptr<NetHost> closing_;
    // A player that took the session over: the session port, where finders ask.
    std::unique_ptr<NetHost> discovery_;
    Clock::time_point discovery_retry_{};
    Clock::time_point closing_until_{};
    std::string session_name_;
    int max_players_ = 0;
    uint32_t my_id_ = 0;
    uint32_t host_id_ = 0;
    uint32_t next_id_ = 1;
    std::vector<Player> players_;  // [0] is this player; the others by id
    // Connections that have not asked to join (or rejoin) yet, with the time they must by.
    std::unordered_map<uint32_t, Clock::time_point> pending_;
    Clock::time_point rejoin_until_{};
    // Client: the connection to the host, and whether the host is being changed.
    std::optional<uint32_t> host_peer_;
    bool rejoining_ = false;
    Clock::time_point rejoin_deadline_{};
    std::vector<Offer> offers_;
    std::vector<Value> data_;
    bool data_guaranteed_ = true;
    std::deque<ReceivedMessage> inbox_;
    std::unordered_map<uint32_t, size_t> queued_from_;
    size_t queued_bytes_ = 0;
    ReceivedMessage last_;
};

}  // namespace kr::net
