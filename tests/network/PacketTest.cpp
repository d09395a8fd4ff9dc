// The packet reader takes whole packets of this version and this game, and nothing else.
#include "network/Packet.h"

#include <gtest/gtest.h>

namespace kr::net {
namespace {

std::vector<Packet> Samples() {
    std::vector<Packet> out;
    Packet p;
    p.type = PacketType::kOffer;
    p.name = "duel";
    p.players = 1;
    p.max_players = 2;
    out.push_back(p);
    p = {};
    p.type = PacketType::kPlayers;
    p.flag = 1;
    p.player_list = {{1, "ann", 0, 0}, {2, "bob", 0x7F000001, 5000}};
    out.push_back(p);
    p = {};
    p.type = PacketType::kMessage;
    p.flag = 1;
    p.from = 2;
    p.to = 0;
    p.message_id = 7;
    p.value = Value{true, 0, "hello"};
    out.push_back(p);
    p = {};
    p.type = PacketType::kDataSnapshot;
    p.data = {{1, Value{false, 2.5, {}}}, {10000, Value{true, 0, "s"}}};
    out.push_back(p);
    p = {};
    p.type = PacketType::kRejoin;
    p.player_id = 3;
    p.name = "cat";
    out.push_back(p);
    return out;
}

bool Same(const Packet& a, const Packet& b) {
    return a.type == b.type && a.name == b.name && a.player_id == b.player_id &&
           a.players == b.players && a.max_players == b.max_players && a.flag == b.flag &&
           a.player_list == b.player_list && a.from == b.from && a.to == b.to &&
           a.message_id == b.message_id && a.value == b.value && a.data == b.data;
}

TEST(Packet, EveryShapeReadsBackAndEveryDamagedCopyIsDropped) {
    for (const Packet& p : Samples()) {
        std::vector<uint8_t> bytes = EncodePacket(p, 42);
        std::optional<Packet> back = DecodePacket(bytes, 42);
        ASSERT_TRUE(back);
        EXPECT_TRUE(Same(*back, p));
        EXPECT_FALSE(DecodePacket(bytes, 43)) << "another game";
        for (size_t n = 0; n < bytes.size(); ++n)
            EXPECT_FALSE(DecodePacket(std::span(bytes).first(n), 42)) << "truncated at " << n;
        std::vector<uint8_t> longer = bytes;
        longer.push_back(0);
        EXPECT_FALSE(DecodePacket(longer, 42)) << "trailing byte";
        std::vector<uint8_t> version = bytes;
        version[4] = kProtocolVersion + 1;
        EXPECT_FALSE(DecodePacket(version, 42)) << "another version";
    }
}

TEST(Packet, CountsAndLengthsBeyondTheLimitsAreDropped) {
    auto header = [](uint8_t type) {
        Packet p;
        p.type = static_cast<PacketType>(type);
        std::vector<uint8_t> b = EncodePacket(p, 1);
        b.resize(kHeaderSize);
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, uint8_t type, std::vector<uint8_t> body) {
        std::vector<uint8_t> b = header(type);
        b.insert(b.end(), body.begin(), body.end());
        cases.push_back({what, b});
    };
    add("unknown type", 99, {});
    add("string longer than the packet", uint8_t(PacketType::kJoin), {0xFF, 0xFF, 0xFF, 0x7F, 'a'});
    add("snapshot count the packet cannot hold", uint8_t(PacketType::kDataSnapshot), {0xE8, 0x03});
    add("shared value index 0", uint8_t(PacketType::kData), {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    add("value of unknown kind", uint8_t(PacketType::kData), {1, 1, 0, 7});
    add("player id 0", uint8_t(PacketType::kMigrate), {0, 0, 0, 0});
    add("too many players", uint8_t(PacketType::kPlayers), {0, 0xFF, 0});
    std::vector<uint8_t> huge = header(uint8_t(PacketType::kQuery));
    huge.resize(kMaxPacket + 1);
    cases.push_back({"too large", huge});
    for (const Case& c : cases) EXPECT_FALSE(DecodePacket(c.bytes, 1)) << c.what;
}

}  // namespace
}  // namespace kr::net
