// The network host over ENet: one ENet host per NetHost, one channel, and an intercept that
// takes the raw datagrams (those that begin with the magic) out of ENet's way.
#include "platform/NetHost.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>

#include <cstring>
#include <deque>
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kEnet("libenet.so.7");
KR_LAZY_FUNCTION(kEnet, enet_host_connect)
KR_LAZY_FUNCTION(kEnet, enet_host_create)
KR_LAZY_FUNCTION(kEnet, enet_host_destroy)
KR_LAZY_FUNCTION(kEnet, enet_host_flush)
KR_LAZY_FUNCTION(kEnet, enet_host_service)
KR_LAZY_FUNCTION(kEnet, enet_initialize)
KR_LAZY_FUNCTION(kEnet, enet_packet_create)
KR_LAZY_FUNCTION(kEnet, enet_packet_destroy)
KR_LAZY_FUNCTION(kEnet, enet_peer_disconnect_later)
KR_LAZY_FUNCTION(kEnet, enet_peer_reset)
KR_LAZY_FUNCTION(kEnet, enet_peer_send)
KR_LAZY_FUNCTION(kEnet, enet_peer_timeout)
KR_LAZY_FUNCTION(kEnet, enet_socket_get_address)
KR_LAZY_FUNCTION(kEnet, enet_socket_send)
KR_LAZY_FUNCTION(kEnet, enet_socket_set_option)

}  // namespace

namespace {

bool InitializeOnce() {
    static const bool ok = enet_initialize() == 0;
    return ok;
}

ENetAddress ToEnet(NetAddress a) {
    ENetAddress e;
    e.host = htonl(a.ip);
    e.port = a.port;
    return e;
}

NetAddress FromEnet(const ENetAddress& e) {
    return NetAddress{ntohl(e.host), e.port};
}

// A peer that stops answering counts as gone after five to ten seconds: soon enough to notice
// a lost machine, late enough that a game busy for a few seconds (a message box, a long load)
// keeps its connections.
void SetTimeout(ENetPeer* peer) {
    enet_peer_timeout(peer, 0, 5000, 10000);
}

}  // namespace

struct NetHost::Impl {
    ENetHost* host = nullptr;
    NetHostLimits limits;
    char magic[4] = {};
    std::deque<NetEvent> datagrams;

    ~Impl() {
        if (host) enet_host_destroy(host);
    }
};

namespace {

// The host being serviced: the intercept has no user data of its own, and a NetHost is only
// serviced inside Poll on the caller's thread.
thread_local NetHost::Impl* t_servicing = nullptr;

int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent*) {
    NetHost::Impl* impl = t_servicing;
    if (!impl || impl->host != host || host->receivedDataLength < 4 ||
        std::memcmp(host->receivedData, impl->magic, 4) != 0)
        return 0;
    if (impl->datagrams.size() < impl->limits.max_datagrams &&
        host->receivedDataLength <= impl->limits.max_packet) {
        NetEvent ev;
        ev.kind = NetEventKind::kDatagram;
        ev.from = FromEnet(host->receivedAddress);
        ev.data.assign(host->receivedData, host->receivedData + host->receivedDataLength);
        impl->datagrams.push_back(std::move(ev));
    }
    return 1;  // taken (or dropped when the queue is full)
}

}  // namespace

std::string NetAddressText(uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 255) + "." +
           std::to_string((ip >> 8) & 255) + "." + std::to_string(ip & 255);
}

std::optional<uint32_t> ResolveNetHost(const std::string& name) {
    if (name.empty()) return std::nullopt;
    in_addr a{};
    if (inet_pton(AF_INET, name.c_str(), &a) == 1) return ntohl(a.s_addr);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res) return std::nullopt;
    uint32_t ip = ntohl(reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(res);
    return ip;
}

std::string LocalNetworkAddress() {
    ifaddrs* list = nullptr;
    std::string found = "127.0.0.1";
    if (getifaddrs(&list) != 0) return found;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        found = NetAddressText(ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr));
        break;
    }
    freeifaddrs(list);
    return found;
}

NetHost::NetHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
NetHost::~NetHost() = default;

std::unique_ptr<NetHost> NetHost::Open(uint16_t port, const NetHostLimits& limits,
                                       const char datagram_magic[4]) {
    if (!InitializeOnce()) return nullptr;
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    address.port = port;
    auto impl = std::make_unique<Impl>();
    impl->host = enet_host_create(&address, limits.max_peers, 1, 0, 0);
    if (!impl->host) return nullptr;
    impl->limits = limits;
    std::memcpy(impl->magic, datagram_magic, 4);
    impl->host->maximumPacketSize = limits.max_packet;
    impl->host->maximumWaitingData = limits.max_waiting;
    impl->host->intercept = Intercept;
    enet_socket_set_option(impl->host->socket, ENET_SOCKOPT_BROADCAST, 1);
    return std::unique_ptr<NetHost>(new NetHost(std::move(impl)));
}

uint16_t NetHost::Port() const {
    ENetAddress a;
    if (enet_socket_get_address(impl_->host->socket, &a) != 0) return impl_->host->address.port;
    return a.port;
}

std::optional<uint32_t> NetHost::Connect(NetAddress to) {
    ENetAddress a = ToEnet(to);
    ENetPeer* peer = enet_host_connect(impl_->host, &a, 1, 0);
    if (!peer) return std::nullopt;
    SetTimeout(peer);
    return static_cast<uint32_t>(peer - impl_->host->peers);
}

bool NetHost::Send(uint32_t peer, std::span<const uint8_t> bytes, bool reliable) {
    if (peer >= impl_->host->peerCount) return false;
    ENetPeer* p = &impl_->host->peers[peer];
    if (p->state != ENET_PEER_STATE_CONNECTED) return false;
    ENetPacket* packet =
        enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!packet) return false;
    if (enet_peer_send(p, 0, packet) != 0) {
        enet_packet_destroy(packet);
        return false;
    }
    return true;
}

void NetHost::SendDatagram(NetAddress to, std::span<const uint8_t> bytes) {
    ENetAddress a = ToEnet(to);
    ENetBuffer buf;
    buf.data = const_cast<uint8_t*>(bytes.data());
    buf.dataLength = bytes.size();
    enet_socket_send(impl_->host->socket, &a, &buf, 1);
}

void NetHost::Disconnect(uint32_t peer, bool now) {
    if (peer >= impl_->host->peerCount) return;
    ENetPeer* p = &impl_->host->peers[peer];
    if (now)
        enet_peer_reset(p);
    else
        enet_peer_disconnect_later(p, 0);
}

NetAddress NetHost::PeerAddress(uint32_t peer) const {
    if (peer >= impl_->host->peerCount) return {};
    return FromEnet(impl_->host->peers[peer].address);
}

bool NetHost::Poll(NetEvent& event) {
    // A failed read (a datagram too large for ENet, an error the system reports once) costs
    // that datagram only: the next ones are still read, up to a bound per call.
    int failures = 0;
    for (;;) {
        if (!impl_->datagrams.empty()) {
            event = std::move(impl_->datagrams.front());
            impl_->datagrams.pop_front();
            return true;
        }
        ENetEvent ev;
        t_servicing = impl_.get();
        int r = enet_host_service(impl_->host, &ev, 0);
        t_servicing = nullptr;
        if (r < 0 && ++failures < 64) continue;
        if (r <= 0) return !impl_->datagrams.empty() && Poll(event);
        event.peer = static_cast<uint32_t>(ev.peer - impl_->host->peers);
        event.from = FromEnet(ev.peer->address);
        event.data.clear();
        switch (ev.type) {
            case ENET_EVENT_TYPE_CONNECT:
                SetTimeout(ev.peer);
                event.kind = NetEventKind::kConnected;
                return true;
            case ENET_EVENT_TYPE_DISCONNECT:
                event.kind = NetEventKind::kDisconnected;
                return true;
            case ENET_EVENT_TYPE_RECEIVE:
                event.kind = NetEventKind::kReceived;
                event.data.assign(ev.packet->data, ev.packet->data + ev.packet->dataLength);
                enet_packet_destroy(ev.packet);
                return true;
            default:
                break;
        }
    }
}

void NetHost::Flush() {
    enet_host_flush(impl_->host);
}

}  // namespace kr
