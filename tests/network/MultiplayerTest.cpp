// Sessions between engines in one process on the loopback address: each engine's waits pump the
// others, as separate machines would run at the same time. Every loop is bounded.
#include "network/Multiplayer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <thread>

namespace kr::net {

void PrintTo(const Value& v, std::ostream* os) {
    if (v.is_string)
        *os << '"' << v.str << '"';
    else
        *os << v.real;
}

namespace {

// A session port of this test run, so that parallel runs do not meet.
uint16_t TestPort() {
    return static_cast<uint16_t>(20000 + (getpid() * 7) % 30000);
}

class Net {
public:
    explicit Net(int count, int32_t game_id = 42, uint16_t port = TestPort()) {
        for (int i = 0; i < count; ++i) Add(game_id, port);
    }
    Multiplayer& Add(int32_t game_id, uint16_t port) {
        MultiplayerOptions o;
        o.game_id = game_id;
        o.port = port;
        o.broadcast_ip = 0x7F000001;  // loopback only
        o.find_wait = std::chrono::milliseconds(150);
        o.rejoin_wait = std::chrono::milliseconds(3000);
        size_t me = engines_.size();
        o.while_waiting = [this, me] { PumpAll(me); };
        engines_.push_back(std::make_unique<Multiplayer>(std::move(o)));
        EXPECT_TRUE(engines_.back()->InitTcpip(""));
        return *engines_.back();
    }
    Multiplayer& operator[](size_t i) { return *engines_[i]; }
    void PumpAll(size_t except = SIZE_MAX) {
        for (size_t i = 0; i < engines_.size(); ++i)
            if (i != except && engines_[i]) engines_[i]->Pump();
    }
    // Pumps everyone until `done` holds: at most `rounds` rounds of a millisecond.
    template <class Pred>
    bool Until(Pred done, int rounds = 3000) {
        for (int i = 0; i < rounds; ++i) {
            PumpAll();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    void Drop(size_t i) { engines_[i].reset(); }

private:
    std::vector<std::unique_ptr<Multiplayer>> engines_;
};

Value Real(double v) {
    return Value{false, v, {}};
}
Value Str(std::string s) {
    return Value{true, 0.0, std::move(s)};
}

// Host A with players B and C joined through the loopback "local network"; `between` runs
// after B joined.
void Gather(Net& net, const std::function<void()>& between = {}) {
    ASSERT_TRUE(net[0].CreateSession("duel", 3, "ann"));
    ASSERT_EQ(net[1].FindSessions(), 1);
    EXPECT_EQ(net[1].SessionName(0), "duel");
    ASSERT_TRUE(net[1].JoinSession(0, "bob"));
    if (between) between();
    ASSERT_EQ(net[2].FindSessions(), 1);
    ASSERT_TRUE(net[2].JoinSession(0, "cat"));
    ASSERT_TRUE(net.Until([&] {
        return net[0].FindPlayers() == 3 && net[1].FindPlayers() == 3 && net[2].FindPlayers() == 3;
    }));
}

TEST(Multiplayer, ThreePlayersShareMessagesAndValues) {
    Net net(3);
    Gather(net, [&] { net[1].DataWrite(20, Str("set before joining")); });
    EXPECT_EQ(net[0].SessionStatus(), 1);
    EXPECT_EQ(net[1].SessionStatus(), 2);
    EXPECT_EQ(net[2].SessionStatus(), 2);
    // Index 0 is always oneself; ids agree everywhere.
    EXPECT_EQ(net[1].PlayerName(0), "bob");
    EXPECT_EQ(net[1].PlayerName(1), "ann");
    EXPECT_EQ(net[1].PlayerName(2), "cat");
    EXPECT_EQ(net[0].PlayerId(2), net[2].PlayerId(0));
    const uint32_t ann = net[0].PlayerId(0), bob = net[1].PlayerId(0), cat = net[2].PlayerId(0);
    EXPECT_EQ(net[2].DataRead(20), Str("set before joining"));  // the joiner's snapshot

    // Guaranteed to everyone, in order; fast to one player by name; one from the host.
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(net[1].Send(0.0, i, Real(i * 10), true));
    EXPECT_TRUE(net[1].Send(std::string("cat"), 99, Str("psst"), false));
    EXPECT_TRUE(net[0].Send(double(cat), 7, Str("from host"), true));
    EXPECT_FALSE(net[1].Send(std::string("nobody"), 1, Real(1), true));
    ASSERT_TRUE(
        net.Until([&] { return net[0].MessageCount(0.0) == 5 && net[2].MessageCount(0.0) == 7; }));
    EXPECT_EQ(net[0].MessageCount(double(bob)), 5);
    EXPECT_EQ(net[2].MessageCount(std::string("ann")), 1);
    for (int i = 1; i <= 5; ++i) {
        ASSERT_TRUE(net[0].Receive(std::string("bob")));
        EXPECT_EQ(net[0].LastMessage().id, i);
        EXPECT_EQ(net[0].LastMessage().value, Real(i * 10));
        EXPECT_EQ(net[0].LastMessage().from, bob);
        EXPECT_EQ(net[0].LastMessage().from_name, "bob");
    }
    EXPECT_FALSE(net[0].Receive(0.0));
    ASSERT_TRUE(net[2].Receive(double(ann)));
    EXPECT_EQ(net[2].LastMessage().value, Str("from host"));
    EXPECT_EQ(net[2].LastMessage().from_name, "ann");
    net[2].MessageClear(double(bob));
    EXPECT_EQ(net[2].MessageCount(0.0), 0);

    // Writes from several players at once end the same everywhere.
    net[1].DataWrite(10, Real(1));
    net[2].DataWrite(10, Str("two"));
    net[0].DataWrite(10, Real(3));
    net[2].DataWrite(11, Real(4.5));
    ASSERT_TRUE(net.Until([&] {
        return net[0].DataRead(10) == net[1].DataRead(10) &&
               net[1].DataRead(10) == net[2].DataRead(10) && net[0].DataRead(11) == Real(4.5) &&
               net[1].DataRead(11) == Real(4.5);
    }));

    // A player leaves: the others see it go.
    net[2].EndSession();
    EXPECT_EQ(net[2].SessionStatus(), 0);
    ASSERT_TRUE(net.Until([&] { return net[0].FindPlayers() == 2 && net[1].FindPlayers() == 2; }));
    EXPECT_FALSE(net[1].Send(double(cat), 1, Real(1), true));
}

TEST(Multiplayer, TheSessionEndsWhenItsHostLeaves) {
    Net net(3);
    Gather(net);
    net[0].EndSession();
    ASSERT_TRUE(
        net.Until([&] { return net[1].SessionStatus() == 0 && net[2].SessionStatus() == 0; }));
    EXPECT_EQ(net[1].FindPlayers(), 0);
    EXPECT_FALSE(net[1].Send(0.0, 1, Real(1), true));
}

// The session moves on when its host leaves: the players keep their values and messages, and the
// new host can be found and joined like the first.
TEST(Multiplayer, TheSessionMovesToTheNextPlayerWhenAsked) {
    Net net(3);
    net[0].SetSessionMode(true);
    Gather(net);
    net[0].DataWrite(5, Str("kept"));
    const uint32_t bob = net[1].PlayerId(0);
    ASSERT_TRUE(net.Until([&] { return net[2].DataRead(5) == Str("kept"); }));
    net[0].EndSession();
    ASSERT_TRUE(net.Until([&] {
        return net[1].SessionStatus() == 1 && net[2].SessionStatus() == 2 &&
               net[1].FindPlayers() == 2 && net[2].FindPlayers() == 2 &&
               net[2].Send(double(bob), 3, Str("still here"), true);
    }));
    EXPECT_EQ(net[2].PlayerName(1), "bob");
    ASSERT_TRUE(net.Until([&] { return net[1].Receive(0.0); }));
    EXPECT_EQ(net[1].LastMessage().value, Str("still here"));
    EXPECT_EQ(net[2].DataRead(5), Str("kept"));
    net[2].DataWrite(6, Real(6));
    ASSERT_TRUE(net.Until([&] { return net[1].DataRead(6) == Real(6); }));
    // The new host answers a finder on the local network, and a newcomer joins it there.
    Multiplayer& dan = net.Add(42, TestPort());
    ASSERT_TRUE(net.Until([&] { return dan.FindSessions() == 1; }, 100));
    EXPECT_EQ(dan.SessionName(0), "duel");
    ASSERT_TRUE(dan.JoinSession(0, "dan"));
    ASSERT_TRUE(net.Until([&] { return net[1].FindPlayers() == 3 && dan.FindPlayers() == 3; }));
    EXPECT_EQ(dan.PlayerName(1), "bob");
}

TEST(Multiplayer, ADroppedHostEndsTheSessionOrHandsItOn) {
    // Two sessions at once: one that ends with its host, one that moves on.
    Net net(2);
    const uint16_t port2 = TestPort() + 1;
    Multiplayer& host2 = net.Add(42, port2);
    Multiplayer& bob2 = net.Add(42, port2);
    Multiplayer& cat2 = net.Add(42, port2);
    ASSERT_TRUE(net[0].CreateSession("plain", 0, "ann"));
    ASSERT_EQ(net[1].FindSessions(), 1);
    ASSERT_TRUE(net[1].JoinSession(0, "bob"));
    host2.SetSessionMode(true);
    ASSERT_TRUE(host2.CreateSession("moving", 0, "ann"));
    ASSERT_EQ(bob2.FindSessions(), 1);
    ASSERT_TRUE(bob2.JoinSession(0, "bob"));
    ASSERT_EQ(cat2.FindSessions(), 1);
    ASSERT_TRUE(cat2.JoinSession(0, "cat"));
    ASSERT_TRUE(net.Until([&] { return cat2.FindPlayers() == 3 && bob2.FindPlayers() == 3; }));

    net[0].DropConnection();
    host2.DropConnection();
    // The lost host is noticed within the connection's timeout, five to ten seconds.
    ASSERT_TRUE(net.Until(
        [&] {
            return net[1].SessionStatus() == 0 && bob2.SessionStatus() == 1 &&
                   cat2.SessionStatus() == 2 && cat2.FindPlayers() == 2 &&
                   cat2.PlayerName(1) == "bob";
        },
        20000));
}

TEST(Multiplayer, SessionsOfOtherGamesAndFullSessionsAreNotOffered) {
    Net net(2);
    Multiplayer& other_game = net.Add(43, TestPort());
    ASSERT_TRUE(net[0].CreateSession("only two", 2, "ann"));
    EXPECT_EQ(other_game.FindSessions(), 0);
    EXPECT_FALSE(other_game.JoinSession(0, "eve"));
    // A game asking one machine by address finds that machine's session.
    Multiplayer& direct = net.Add(42, TestPort());
    EXPECT_FALSE(direct.InitTcpip("no.such.host.invalid"));
    EXPECT_EQ(direct.ConnectStatus(), 0);
    EXPECT_FALSE(direct.CreateSession("x", 0, "y"));  // no connection chosen
    ASSERT_TRUE(direct.InitTcpip("127.0.0.1"));
    EXPECT_EQ(direct.ConnectStatus(), 2);
    EXPECT_EQ(direct.FindSessions(), 1);
    ASSERT_EQ(net[1].FindSessions(), 1);
    ASSERT_TRUE(net[1].JoinSession(0, "bob"));
    EXPECT_EQ(direct.FindSessions(), 0);  // full now
}

// A stranger on the session port sends datagrams and, once connected, packets that are damaged,
// of another game or version, too large, or player packets before joining: the host ignores
// them all and goes on with its session.
TEST(Multiplayer, JunkFromTheNetworkChangesNothing) {
    Net net(2);
    ASSERT_TRUE(net[0].CreateSession("duel", 0, "ann"));
    std::unique_ptr<NetHost> rogue = NetHost::Open(0, NetHostLimits{}, kMagic);
    ASSERT_TRUE(rogue);
    const NetAddress host{0x7F000001, TestPort()};
    Packet message;
    message.type = PacketType::kMessage;
    message.to = 1;
    message.value = Value{true, 0.0, "forged"};
    std::vector<uint8_t> good = EncodePacket(message, 42);
    std::vector<uint8_t> other_game = EncodePacket(message, 43);
    std::vector<uint8_t> other_version = good;
    other_version[4] ^= 0x40;
    std::vector<uint8_t> truncated(good.begin(), good.end() - 3);
    std::vector<uint8_t> huge(kMaxPacket + 100, 0x4B);
    std::vector<uint8_t> no_magic{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::vector<uint8_t> oversize(60000, 0x4B);  // one UDP datagram, beyond what ENet reads
    Packet query;
    query.type = PacketType::kQuery;
    for (int i = 0; i < 100; ++i) rogue->SendDatagram(host, oversize);
    for (const auto* bytes : {&no_magic, &truncated, &other_game, &other_version, &huge})
        rogue->SendDatagram(host, *bytes);
    rogue->SendDatagram(host, EncodePacket(query, 43));  // another game's question
    std::optional<uint32_t> peer = rogue->Connect(host);
    ASSERT_TRUE(peer);
    bool connected = false, offered = false;
    NetEvent ev;
    ASSERT_TRUE(net.Until([&] {
        while (rogue->Poll(ev)) {
            if (ev.kind == NetEventKind::kConnected) connected = true;
            if (ev.kind == NetEventKind::kDatagram) offered = true;
        }
        return connected;
    }));
    EXPECT_FALSE(offered);
    for (const auto* bytes : {&good, &no_magic, &truncated, &other_game, &other_version, &huge})
        rogue->Send(*peer, *bytes, true);
    net.Until([&] { return false; }, 50);
    EXPECT_EQ(net[0].MessageCount(0.0), 0);  // the message came from no player
    EXPECT_EQ(net[0].FindPlayers(), 1);

    ASSERT_EQ(net[1].FindSessions(), 1);
    ASSERT_TRUE(net[1].JoinSession(0, "bob"));
    ASSERT_TRUE(net[1].Send(0.0, 1, Real(1), true));
    ASSERT_TRUE(net.Until([&] { return net[0].MessageCount(0.0) == 1; }));
    EXPECT_EQ(net[0].FindPlayers(), 2);
}

TEST(Multiplayer, AFloodingPeerFillsOnlyItsShareOfTheQueue) {
    Net net(3);
    Gather(net);
    const uint32_t bob = net[1].PlayerId(0);
    for (size_t i = 0; i < kMaxQueuedFromOne + 500; ++i) net[1].Send(0.0, 1, Str("x"), true);
    net[2].Send(0.0, 2, Real(2), true);
    ASSERT_TRUE(net.Until([&] {
        return net[0].MessageCount(double(bob)) == kMaxQueuedFromOne &&
               net[0].MessageCount(double(net[2].PlayerId(0))) == 1;
    }));
    net.PumpAll();
    EXPECT_EQ(net[0].MessageCount(double(bob)), static_cast<int>(kMaxQueuedFromOne));
}

}  // namespace
}  // namespace kr::net
