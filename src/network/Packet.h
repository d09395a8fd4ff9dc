// The wire format of multiplayer sessions: every packet, connected or raw, begins with the
// magic "KRMP", the protocol version and the game id, then its type and body. DecodePacket
// refuses anything else whole (another game, another version, truncated, too large, trailing
// bytes), so a caller sees only packets it can trust the shape of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kr::net {

inline constexpr char kMagic[4] = {'K', 'R', 'M', 'P'};
inline constexpr uint16_t kProtocolVersion = 1;
inline constexpr size_t kHeaderSize = 11;         // magic, version, game id, type
inline constexpr size_t kMaxPacket = 256 * 1024;  // larger packets are dropped
inline constexpr size_t kMaxString = 64 * 1024;   // a string value (message or shared)
inline constexpr size_t kMaxName = 255;           // a session or player name
inline constexpr size_t kMaxPlayers = 64;         // players in one session
inline constexpr int kDataSlots = 10000;          // shared values 1..10000
inline constexpr size_t kSnapshotChunk = 1000;    // shared values per snapshot packet

enum class PacketType : uint8_t {
    kQuery = 1,     // finder -> anyone on the session port: which sessions are there?
    kOffer,         // host -> finder: session name, players, maximum
    kJoin,          // joiner -> host: player name
    kWelcome,       // host -> joiner: the joiner's id, session name, maximum
    kRefuse,        // host -> joiner: reason
    kPlayers,       // host -> all: the player list and the session mode
    kMessage,       // sender -> host -> receivers
    kData,          // writer -> host -> all: one shared value
    kDataSnapshot,  // host -> joiner: the shared values that are set
    kSessionEnd,    // host -> all: the session is over
    kMigrate,       // host -> all: the player that hosts from now on
    kRejoin,        // player -> new host: id and name after the host moved
};

enum class RefuseReason : uint8_t { kFull = 1, kClosed = 2, kUnknownPlayer = 3 };

struct Value {
    bool is_string = false;
    double real = 0.0;
    std::string str;
    bool operator==(const Value&) const = default;
};

struct PlayerEntry {
    uint32_t id = 0;
    std::string name;
    uint32_t ip = 0;  // 0 for the host itself: the address its players reach it at
    uint16_t port = 0;
    bool operator==(const PlayerEntry&) const = default;
};

// One packet of any type; each type uses the fields its comment in the encoder names.
struct Packet {
    PacketType type = PacketType::kQuery;
    std::string name;          // kOffer, kWelcome: session; kJoin, kRejoin: player
    uint32_t player_id = 0;    // kWelcome: yours; kMigrate: the new host; kRejoin: yours
    uint16_t players = 0;      // kOffer
    uint16_t max_players = 0;  // kOffer, kWelcome (0: no limit)
    uint8_t flag = 0;          // kRefuse: reason; kPlayers: host moves on leaving;
                               // kMessage, kData: guaranteed
    std::vector<PlayerEntry> player_list;          // kPlayers
    uint32_t from = 0, to = 0;                     // kMessage
    double message_id = 0.0;                       // kMessage
    uint16_t index = 0;                            // kData
    Value value;                                   // kMessage, kData
    std::vector<std::pair<uint16_t, Value>> data;  // kDataSnapshot
};

std::vector<uint8_t> EncodePacket(const Packet& p, int32_t game_id);
// The packet, or nullopt when the bytes are not a whole, well-formed packet of this protocol
// version and this game.
std::optional<Packet> DecodePacket(std::span<const uint8_t> bytes, int32_t game_id);

}  // namespace kr::net
