// A datagram host for games on a network: connections to peers with reliable and unreliable
// ordered delivery on one channel, plus raw datagrams on the same socket for finding sessions.
// Every call returns at once; Poll hands out what has arrived.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kr {

struct NetAddress {
    uint32_t ip = 0;  // IPv4 in host byte order (127.0.0.1 is 0x7F000001)
    uint16_t port = 0;
    bool operator==(const NetAddress&) const = default;
};

// "a.b.c.d" of an address.
std::string NetAddressText(uint32_t ip);
// A host name or dotted address; nullopt when it cannot be resolved.
std::optional<uint32_t> ResolveNetHost(const std::string& name);
// The machine's IPv4 address on its network (the first interface that is up and not the
// loopback), or "127.0.0.1" when it has none.
std::string LocalNetworkAddress();

enum class NetEventKind { kConnected, kDisconnected, kReceived, kDatagram };

struct NetEvent {
    NetEventKind kind = NetEventKind::kReceived;
    uint32_t peer = 0;  // the peer slot (kConnected, kDisconnected, kReceived)
    NetAddress from;    // the sender of a datagram, the peer's address otherwise
    std::vector<uint8_t> data;
};

struct NetHostLimits {
    size_t max_peers = 64;
    size_t max_packet = 256 * 1024;        // larger packets are refused by the receiver
    size_t max_waiting = 4 * 1024 * 1024;  // bytes a peer may have waiting in reassembly
    size_t max_datagrams = 64;             // raw datagrams kept between polls
};

class NetHost {
public:
    // Binds to `port` on every interface (0: any free port); nullptr when that fails.
    // Raw datagrams are those whose first four bytes are `datagram_magic`.
    static std::unique_ptr<NetHost> Open(uint16_t port, const NetHostLimits& limits,
                                         const char datagram_magic[4]);
    ~NetHost();
    NetHost(const NetHost&) = delete;
    NetHost& operator=(const NetHost&) = delete;

    uint16_t Port() const;
    // Starts a connection; the peer slot, or nullopt when no slot is free.
    std::optional<uint32_t> Connect(NetAddress to);
    // Queues a packet for the peer (sent at the next Poll or Flush); false when the peer is
    // not connected.
    bool Send(uint32_t peer, std::span<const uint8_t> bytes, bool reliable);
    // Sends a raw datagram at once (broadcast addresses allowed).
    void SendDatagram(NetAddress to, std::span<const uint8_t> bytes);
    // Asks the peer to disconnect after its queued packets; `now` drops it at once (no event).
    void Disconnect(uint32_t peer, bool now);
    NetAddress PeerAddress(uint32_t peer) const;
    // Sends what is queued, reads what has arrived, and gives the next event; false when there
    // is none. Never waits.
    bool Poll(NetEvent& event);
    void Flush();

    struct Impl;

private:
    explicit NetHost(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kr
