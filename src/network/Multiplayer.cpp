#include "network/Multiplayer.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace kr::net {

namespace {

NetHostLimits Limits() {
    NetHostLimits l;
    l.max_peers = kMaxPlayers + 8;  // room for connections that have not joined yet
    l.max_packet = kMaxPacket;
    return l;
}

constexpr std::chrono::seconds kLinger{1};           // a closed host's farewells
constexpr std::chrono::seconds kJoinRequestWait{5};  // a connection must ask to join by then

size_t Bytes(const Value& v) {
    return v.is_string ? v.str.size() + 16 : 16;
}

}  // namespace

Multiplayer::Multiplayer(MultiplayerOptions options) : options_(std::move(options)) {
    data_.resize(kDataSlots + 1);
}

Multiplayer::~Multiplayer() {
    End();
}

// ---- Connection ----

bool Multiplayer::InitTcpip(const std::string& address) {
    End();
    if (address.empty()) {
        target_ip_ = 0;
    } else {
        std::optional<uint32_t> ip = ResolveNetHost(address);
        if (!ip) return false;
        target_ip_ = *ip;
    }
    connected_ = true;
    return true;
}

void Multiplayer::End() {
    LeaveSession(true);
    connected_ = false;
    offers_.clear();
}

std::string Multiplayer::IpAddress() {
    return LocalNetworkAddress();
}

void Multiplayer::Wait() {
    if (options_.while_waiting) options_.while_waiting();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// ---- Sessions ----

void Multiplayer::SetSessionMode(bool move) {
    if (move_host_ == move) return;
    move_host_ = move;
    if (role_ == Role::kHost) BroadcastPlayers();
}

bool Multiplayer::CreateSession(const std::string& name, int max_players,
                                const std::string& player) {
    if (!connected_) return false;
    LeaveSession(true);
    closing_.reset();  // frees the session port
    net_ = NetHost::Open(options_.port, Limits(), kMagic);
    if (!net_) return false;
    role_ = Role::kHost;
    session_name_ = name.substr(0, kMaxName);
    max_players_ = std::clamp(max_players, 0, static_cast<int>(kMaxPlayers));
    my_id_ = host_id_ = 1;
    next_id_ = 2;
    players_.clear();
    players_.push_back(Player{PlayerEntry{my_id_, player.substr(0, kMaxName), 0, 0}, {}, true});
    std::fill(data_.begin(), data_.end(), Value{});
    MessageClear(0.0);
    return true;
}

int Multiplayer::FindSessions() {
    offers_.clear();
    if (!connected_) return 0;
    std::unique_ptr<NetHost> finder = NetHost::Open(0, Limits(), kMagic);
    if (!finder) return 0;
    Packet query;
    query.type = PacketType::kQuery;
    std::vector<uint8_t> bytes = EncodePacket(query, options_.game_id);
    uint32_t ip = target_ip_ ? target_ip_ : options_.broadcast_ip;
    finder->SendDatagram(NetAddress{ip, options_.port}, bytes);
    const Clock::time_point until = Clock::now() + options_.find_wait;
    NetEvent ev;
    while (!Deadline(until)) {
        int handled = 0;
        while (handled++ < kMaxEventsPerPump && finder->Poll(ev)) {
            if (ev.kind != NetEventKind::kDatagram) continue;
            std::optional<Packet> p = DecodePacket(ev.data, options_.game_id);
            if (!p || p->type != PacketType::kOffer) continue;
            if (p->max_players != 0 && p->players >= p->max_players) continue;
            bool seen = std::any_of(offers_.begin(), offers_.end(),
                                    [&](const Offer& o) { return o.address == ev.from; });
            if (!seen && offers_.size() < 256) offers_.push_back(Offer{p->name, ev.from});
        }
        Wait();
    }
    return static_cast<int>(offers_.size());
}

std::string Multiplayer::SessionName(int index) const {
    if (index < 0 || index >= static_cast<int>(offers_.size())) return {};
    return offers_[static_cast<size_t>(index)].name;
}

bool Multiplayer::JoinSession(int index, const std::string& player) {
    if (!connected_ || index < 0 || index >= static_cast<int>(offers_.size())) return false;
    const Offer offer = offers_[static_cast<size_t>(index)];
    LeaveSession(true);
    net_ = NetHost::Open(0, Limits(), kMagic);
    if (!net_) return false;
    std::optional<uint32_t> peer = net_->Connect(offer.address);
    if (!peer) {
        net_.reset();
        return false;
    }
    const std::string name = player.substr(0, kMaxName);
    const Clock::time_point until = Clock::now() + options_.join_wait;
    NetEvent ev;
    while (!Deadline(until)) {
        int handled = 0;
        while (net_ && handled++ < kMaxEventsPerPump && net_->Poll(ev)) {
            if (ev.kind == NetEventKind::kDatagram || ev.peer != *peer) continue;
            if (ev.kind == NetEventKind::kDisconnected) {
                net_.reset();
                return false;
            }
            if (ev.kind == NetEventKind::kConnected) {
                Packet join;
                join.type = PacketType::kJoin;
                join.name = name;
                SendTo(*peer, join, true);
                net_->Flush();
                continue;
            }
            std::optional<Packet> p = DecodePacket(ev.data, options_.game_id);
            if (!p) continue;
            if (p->type == PacketType::kRefuse) {
                net_->Disconnect(*peer, true);
                net_.reset();
                return false;
            }
            if (p->type != PacketType::kWelcome) continue;
            role_ = Role::kClient;
            host_peer_ = peer;
            my_id_ = p->player_id;
            host_id_ = 0;  // known from the player list that follows
            session_name_ = p->name;
            max_players_ = p->max_players;
            players_.clear();
            players_.push_back(Player{PlayerEntry{my_id_, name, 0, 0}, {}, true});
            std::fill(data_.begin(), data_.end(), Value{});
            MessageClear(0.0);
            return true;
        }
        Wait();
    }
    net_.reset();
    return false;
}

int Multiplayer::SessionStatus() const {
    switch (role_) {
        case Role::kHost:
            return 1;
        case Role::kClient:
            return 2;
        default:
            return 0;
    }
}

void Multiplayer::EndSession() {
    LeaveSession(true);
}

void Multiplayer::LeaveSession(bool tell_others) {
    if (net_ && tell_others) {
        if (role_ == Role::kHost) {
            const Player* heir = nullptr;
            for (size_t i = 1; i < players_.size(); ++i)
                if (players_[i].connected && players_[i].peer &&
                    (!heir || players_[i].entry.id < heir->entry.id))
                    heir = &players_[i];
            Packet bye;
            if (move_host_ && heir) {
                bye.type = PacketType::kMigrate;
                bye.player_id = heir->entry.id;
            } else {
                bye.type = PacketType::kSessionEnd;
            }
            SendToAllPlayers(bye, true);
            for (const Player& pl : players_)
                if (pl.peer) net_->Disconnect(*pl.peer, false);
            for (const auto& [peer, until] : pending_) net_->Disconnect(peer, true);
        } else if (role_ == Role::kClient && host_peer_) {
            net_->Disconnect(*host_peer_, false);
        }
        net_->Flush();
        closing_ = std::move(net_);
        closing_until_ = Clock::now() + kLinger;
    }
    ResetSession();
}

void Multiplayer::ResetSession() {
    discovery_.reset();
    discovery_retry_ = {};
    net_.reset();
    role_ = Role::kNone;
    players_.clear();
    pending_.clear();
    host_peer_.reset();
    rejoining_ = false;
    my_id_ = host_id_ = 0;
}

// ---- Players ----

std::string Multiplayer::PlayerName(int index) const {
    if (index < 0 || index >= static_cast<int>(players_.size())) return {};
    return players_[static_cast<size_t>(index)].entry.name;
}

uint32_t Multiplayer::PlayerId(int index) const {
    if (index < 0 || index >= static_cast<int>(players_.size())) return 0;
    return players_[static_cast<size_t>(index)].entry.id;
}

Multiplayer::Player* Multiplayer::PlayerById(uint32_t id) {
    for (Player& p : players_)
        if (p.entry.id == id) return &p;
    return nullptr;
}

Multiplayer::Player* Multiplayer::PlayerByPeer(uint32_t peer) {
    for (size_t i = 1; i < players_.size(); ++i)
        if (players_[i].peer == peer) return &players_[i];
    return nullptr;
}

std::optional<uint32_t> Multiplayer::Resolve(const PlayerRef& ref) const {
    if (const double* id = std::get_if<double>(&ref)) {
        double r = std::nearbyint(*id);
        if (!(r >= 0.0 && r <= 4294967295.0)) return std::nullopt;
        return static_cast<uint32_t>(r);
    }
    const std::string& name = std::get<std::string>(ref);
    for (const Player& p : players_)
        if (p.entry.name == name) return p.entry.id;
    // A player who has left can still be named by the messages it left behind.
    for (const ReceivedMessage& m : inbox_)
        if (m.from_name == name) return m.from;
    return std::nullopt;
}

// ---- Shared values ----

bool Multiplayer::DataWrite(int index, Value value) {
    if (index < 1 || index > kDataSlots) return false;
    if (value.is_string && value.str.size() > kMaxString) return false;
    Packet p;
    p.type = PacketType::kData;
    p.flag = data_guaranteed_ ? 1 : 0;
    p.index = static_cast<uint16_t>(index);
    p.value = value;
    ApplyData(p.index, std::move(value));
    // The host orders all writes: it applies each and sends it to every player, the writer
    // included, so every machine ends with the host's last value.
    if (role_ == Role::kHost)
        SendToAllPlayers(p, data_guaranteed_);
    else if (role_ == Role::kClient && host_peer_ && !rejoining_)
        SendTo(*host_peer_, p, data_guaranteed_);
    return true;
}

Value Multiplayer::DataRead(int index) const {
    if (index < 1 || index > kDataSlots) return {};
    return data_[static_cast<size_t>(index)];
}

void Multiplayer::ApplyData(uint16_t index, Value v) {
    if (index >= 1 && index <= kDataSlots) data_[index] = std::move(v);
}

// ---- Messages ----

bool Multiplayer::Send(const PlayerRef& to, double id, Value value, bool guaranteed) {
    if (role_ == Role::kNone) return false;
    if (value.is_string && value.str.size() > kMaxString) return false;
    std::optional<uint32_t> target = Resolve(to);
    if (!target) return false;
    if (*target == my_id_) {
        Deliver(ReceivedMessage{id, std::move(value), my_id_, players_[0].entry.name});
        return true;
    }
    if (*target != 0 && !PlayerById(*target)) return false;
    Packet p;
    p.type = PacketType::kMessage;
    p.flag = guaranteed ? 1 : 0;
    p.from = my_id_;
    p.to = *target;
    p.message_id = id;
    p.value = std::move(value);
    if (role_ == Role::kHost) {
        if (*target == 0) {
            SendToAllPlayers(p, guaranteed);
            return true;
        }
        Player* pl = PlayerById(*target);
        if (!pl->peer) return false;
        SendTo(*pl->peer, p, guaranteed);
        return true;
    }
    if (!host_peer_ || rejoining_) return false;
    SendTo(*host_peer_, p, guaranteed);
    return true;
}

void Multiplayer::Deliver(ReceivedMessage m) {
    size_t bytes = Bytes(m.value) + m.from_name.size();
    size_t& from_one = queued_from_[m.from];
    if (inbox_.size() >= kMaxQueuedMessages || from_one >= kMaxQueuedFromOne ||
        queued_bytes_ + bytes > kMaxQueuedBytes)
        return;  // a full queue drops what comes
    ++from_one;
    queued_bytes_ += bytes;
    inbox_.push_back(std::move(m));
}

bool Multiplayer::Receive(const PlayerRef& from) {
    std::optional<uint32_t> id = Resolve(from);
    if (!id) return false;
    for (auto it = inbox_.begin(); it != inbox_.end(); ++it) {
        if (!Matches(*it, *id)) continue;
        queued_bytes_ -= Bytes(it->value) + it->from_name.size();
        if (--queued_from_[it->from] == 0) queued_from_.erase(it->from);
        last_ = std::move(*it);
        inbox_.erase(it);
        return true;
    }
    return false;
}

int Multiplayer::MessageCount(const PlayerRef& from) const {
    std::optional<uint32_t> id = Resolve(from);
    if (!id) return 0;
    if (*id == 0) return static_cast<int>(inbox_.size());
    auto it = queued_from_.find(*id);
    return it == queued_from_.end() ? 0 : static_cast<int>(it->second);
}

void Multiplayer::MessageClear(const PlayerRef& from) {
    std::optional<uint32_t> id = Resolve(from);
    if (!id) return;
    if (*id == 0) {
        inbox_.clear();
        queued_from_.clear();
        queued_bytes_ = 0;
        return;
    }
    std::erase_if(inbox_, [&](const ReceivedMessage& m) {
        if (m.from != *id) return false;
        queued_bytes_ -= Bytes(m.value) + m.from_name.size();
        return true;
    });
    queued_from_.erase(*id);
}

// ---- Sending ----

void Multiplayer::SendTo(uint32_t peer, const Packet& p, bool reliable) {
    if (net_) net_->Send(peer, EncodePacket(p, options_.game_id), reliable);
}

void Multiplayer::SendToAllPlayers(const Packet& p, bool reliable, uint32_t except_id) {
    if (!net_) return;
    std::vector<uint8_t> bytes = EncodePacket(p, options_.game_id);
    for (const Player& pl : players_)
        if (pl.peer && pl.connected && pl.entry.id != except_id)
            net_->Send(*pl.peer, bytes, reliable);
}

void Multiplayer::BroadcastPlayers() {
    Packet p;
    p.type = PacketType::kPlayers;
    p.flag = move_host_ ? 1 : 0;
    for (const Player& pl : players_)
        if (pl.connected) p.player_list.push_back(pl.entry);
    p.player_list[0].ip = 0;  // the host: where its players reach it
    p.player_list[0].port = 0;
    SendToAllPlayers(p, true);
}

void Multiplayer::SendSnapshot(uint32_t peer) {
    Packet p;
    p.type = PacketType::kDataSnapshot;
    size_t bytes = 0;
    for (int i = 1; i <= kDataSlots; ++i) {
        const Value& v = data_[static_cast<size_t>(i)];
        if (v == Value{}) continue;
        p.data.emplace_back(static_cast<uint16_t>(i), v);
        bytes += Bytes(v);
        if (p.data.size() == kSnapshotChunk || bytes > kMaxPacket / 2) {
            SendTo(peer, p, true);
            p.data.clear();
            bytes = 0;
        }
    }
    if (!p.data.empty()) SendTo(peer, p, true);
}

// ---- Receiving ----

void Multiplayer::Pump() {
    NetEvent ev;
    if (closing_) {
        for (int i = 0; i < kMaxEventsPerPump && closing_->Poll(ev); ++i) {
        }
        if (Deadline(closing_until_)) closing_.reset();
    }
    for (int i = 0; i < kMaxEventsPerPump && net_ && net_->Poll(ev); ++i) Handle(ev);
    if (!net_) return;
    const Clock::time_point now = Clock::now();
    std::erase_if(pending_, [&](const auto& entry) {
        if (now < entry.second) return false;
        net_->Disconnect(entry.first, true);
        return true;
    });
    if (role_ == Role::kHost) {
        ListenForFinders();
        if (rejoin_until_ != Clock::time_point{} && now >= rejoin_until_) {
            rejoin_until_ = {};
            std::erase_if(players_, [](const Player& p) { return !p.connected; });
            BroadcastPlayers();
        }
    } else if (role_ == Role::kClient && rejoining_ && now >= rejoin_deadline_) {
        ResetSession();  // the new host never answered: the session is lost
        return;
    }
    net_->Flush();
}

void Multiplayer::DropConnection() {
    closing_.reset();
    ResetSession();
}

// A host offers its session to a finder. The offer always leaves from the session's own socket,
// which is where the finder then connects.
void Multiplayer::AnswerQuery(const NetEvent& ev) {
    std::optional<Packet> p = DecodePacket(ev.data, options_.game_id);
    if (!p || p->type != PacketType::kQuery || role_ != Role::kHost || !net_) return;
    size_t count = std::count_if(players_.begin(), players_.end(),
                                 [](const Player& pl) { return pl.connected; });
    if (max_players_ != 0 && count >= static_cast<size_t>(max_players_)) return;
    Packet offer;
    offer.type = PacketType::kOffer;
    offer.name = session_name_;
    offer.players = static_cast<uint16_t>(count);
    offer.max_players = static_cast<uint16_t>(max_players_);
    net_->SendDatagram(ev.from, EncodePacket(offer, options_.game_id));
}

// A player that took the session over hosts it on the socket it joined with, which finders do
// not ask: it listens on the session port as well, for their questions alone. The port may still
// be held for a moment (by the old host on the same machine), so it is tried again later.
void Multiplayer::ListenForFinders() {
    if (role_ != Role::kHost || !net_ || net_->Port() == options_.port) return;
    const Clock::time_point now = Clock::now();
    if (!discovery_ && now >= discovery_retry_) {
        discovery_ = NetHost::Open(options_.port, Limits(), kMagic);
        if (!discovery_) discovery_retry_ = now + std::chrono::milliseconds(100);
    }
    NetEvent ev;
    for (int i = 0; discovery_ && i < kMaxEventsPerPump && discovery_->Poll(ev); ++i)
        if (ev.kind == NetEventKind::kDatagram) AnswerQuery(ev);
}

void Multiplayer::Handle(NetEvent& ev) {
    switch (ev.kind) {
        case NetEventKind::kDatagram:
            AnswerQuery(ev);
            return;
        case NetEventKind::kConnected:
            if (role_ == Role::kClient && rejoining_ && host_peer_ == ev.peer) {
                Packet p;
                p.type = PacketType::kRejoin;
                p.player_id = my_id_;
                p.name = players_[0].entry.name;
                SendTo(ev.peer, p, true);
            } else if (role_ != Role::kNone && host_peer_ != ev.peer && !PlayerByPeer(ev.peer)) {
                // A player asking to join; or, to a player, one that lost the host before this
                // machine noticed and comes to it as the new host.
                pending_[ev.peer] = Clock::now() + kJoinRequestWait;
            }
            return;
        case NetEventKind::kDisconnected:
            pending_.erase(ev.peer);
            if (role_ == Role::kHost) {
                if (Player* pl = PlayerByPeer(ev.peer)) {
                    uint32_t id = pl->entry.id;
                    std::erase_if(players_, [&](const Player& p) { return p.entry.id == id; });
                    BroadcastPlayers();
                }
            } else if (role_ == Role::kClient && host_peer_ == ev.peer) {
                HostLost();
            }
            return;
        case NetEventKind::kReceived: {
            std::optional<Packet> p = DecodePacket(ev.data, options_.game_id);
            if (!p) return;  // not ours, or damaged: dropped
            if (role_ == Role::kClient && p->type == PacketType::kRejoin && move_host_ &&
                pending_.count(ev.peer)) {
                // Another player found the host gone: so it is, and the session moves.
                HostLost();
            }
            if (role_ == Role::kHost)
                HandleHost(ev, *p);
            else if (role_ == Role::kClient && host_peer_ == ev.peer)
                HandleClient(ev, *p);
            return;
        }
    }
}

void Multiplayer::HandleHost(NetEvent& ev, const Packet& p) {
    const uint32_t peer = ev.peer;
    if (p.type == PacketType::kJoin || p.type == PacketType::kRejoin) {
        if (!pending_.erase(peer)) return;
        Packet answer;
        answer.type = PacketType::kRefuse;
        size_t count = std::count_if(players_.begin(), players_.end(),
                                     [](const Player& pl) { return pl.connected; });
        Player* back = p.type == PacketType::kRejoin ? PlayerById(p.player_id) : nullptr;
        if (back && (back->connected || back == &players_[0])) {
            answer.flag = static_cast<uint8_t>(RefuseReason::kUnknownPlayer);
        } else if (!back && max_players_ != 0 && count >= static_cast<size_t>(max_players_)) {
            answer.flag = static_cast<uint8_t>(RefuseReason::kFull);
        } else if (!back && count >= kMaxPlayers) {
            answer.flag = static_cast<uint8_t>(RefuseReason::kFull);
        } else {
            NetAddress at = net_->PeerAddress(peer);
            if (!back) {
                uint32_t id = next_id_++;
                if (p.type == PacketType::kRejoin && !PlayerById(p.player_id)) {
                    id = p.player_id;  // a player the old host knew that this one never heard of
                    next_id_ = std::max(next_id_, id + 1);
                }
                players_.push_back(Player{PlayerEntry{id, p.name, at.ip, at.port}, peer, true});
                std::sort(players_.begin() + 1, players_.end(),
                          [](const Player& a, const Player& b) { return a.entry.id < b.entry.id; });
                back = PlayerById(id);
            }
            back->peer = peer;
            back->connected = true;
            back->entry.ip = at.ip;
            back->entry.port = at.port;
            answer.type = PacketType::kWelcome;
            answer.player_id = back->entry.id;
            answer.name = session_name_;
            answer.max_players = static_cast<uint16_t>(max_players_);
            SendTo(peer, answer, true);
            SendSnapshot(peer);
            BroadcastPlayers();
            return;
        }
        SendTo(peer, answer, true);
        net_->Disconnect(peer, false);
        return;
    }
    Player* sender = PlayerByPeer(peer);
    if (!sender) return;
    if (p.type == PacketType::kMessage) {
        Packet fwd = p;
        fwd.from = sender->entry.id;
        const bool guaranteed = p.flag != 0;
        if (p.to == 0) {
            SendToAllPlayers(fwd, guaranteed, fwd.from);
            Deliver(ReceivedMessage{p.message_id, p.value, fwd.from, sender->entry.name});
        } else if (p.to == my_id_) {
            Deliver(ReceivedMessage{p.message_id, p.value, fwd.from, sender->entry.name});
        } else if (Player* target = PlayerById(p.to); target && target->peer) {
            SendTo(*target->peer, fwd, guaranteed);
        }
    } else if (p.type == PacketType::kData) {
        ApplyData(p.index, p.value);
        SendToAllPlayers(p, p.flag != 0);
    }
}

void Multiplayer::HandleClient(NetEvent& ev, const Packet& p) {
    switch (p.type) {
        case PacketType::kWelcome:
            if (rejoining_) {
                rejoining_ = false;
                session_name_ = p.name;
                max_players_ = p.max_players;
            }
            return;
        case PacketType::kPlayers: {
            if (p.player_list.empty()) return;
            move_host_ = p.flag != 0;
            host_id_ = p.player_list[0].id;
            std::string my_name = players_[0].entry.name;
            std::vector<Player> list;
            list.push_back(Player{PlayerEntry{my_id_, my_name, 0, 0}, {}, true});
            for (const PlayerEntry& e : p.player_list) {
                if (e.id == my_id_) {
                    list[0].entry = e;
                    continue;
                }
                Player pl{e, {}, true};
                if (e.id == host_id_) {
                    NetAddress at = net_->PeerAddress(ev.peer);
                    pl.entry.ip = at.ip;
                    pl.entry.port = at.port;
                }
                list.push_back(std::move(pl));
            }
            std::sort(list.begin() + 1, list.end(),
                      [](const Player& a, const Player& b) { return a.entry.id < b.entry.id; });
            players_ = std::move(list);
            return;
        }
        case PacketType::kMessage: {
            std::string name;
            for (const Player& pl : players_)
                if (pl.entry.id == p.from) name = pl.entry.name;
            Deliver(ReceivedMessage{p.message_id, p.value, p.from, std::move(name)});
            return;
        }
        case PacketType::kData:
            ApplyData(p.index, p.value);
            return;
        case PacketType::kDataSnapshot:
            for (const auto& [index, value] : p.data) ApplyData(index, value);
            return;
        case PacketType::kSessionEnd:
            net_->Disconnect(ev.peer, true);
            ResetSession();
            return;
        case PacketType::kMigrate:
            TakeOver(p.player_id);
            return;
        default:
            return;
    }
}

// The host went away without a word: the session moves to the player with the lowest id when
// the host said so, and ends otherwise. Every player picks the same one.
void Multiplayer::HostLost() {
    uint32_t heir = 0;
    if (move_host_)
        for (size_t i = 1; i < players_.size(); ++i)
            if (players_[i].entry.id != host_id_ && (heir == 0 || players_[i].entry.id < heir))
                heir = players_[i].entry.id;
    if (heir == 0 || my_id_ < heir) heir = move_host_ ? my_id_ : 0;
    if (heir == 0) {
        ResetSession();
        return;
    }
    TakeOver(heir);
}

void Multiplayer::TakeOver(uint32_t new_host) {
    if (host_peer_) net_->Disconnect(*host_peer_, true);
    host_peer_.reset();
    std::erase_if(players_, [&](const Player& p) { return p.entry.id == host_id_; });
    host_id_ = new_host;
    if (new_host == my_id_) {
        // This machine hosts from now on: the others connect to it and say who they are.
        role_ = Role::kHost;
        rejoining_ = false;
        next_id_ = my_id_ + 1;
        for (size_t i = 1; i < players_.size(); ++i) {
            players_[i].connected = false;
            players_[i].peer.reset();
            next_id_ = std::max(next_id_, players_[i].entry.id + 1);
        }
        rejoin_until_ = Clock::now() + options_.rejoin_wait;
        if (players_.size() == 1) rejoin_until_ = {};
        return;
    }
    Player* heir = PlayerById(new_host);
    std::optional<uint32_t> peer;
    if (heir && heir->entry.ip != 0)
        peer = net_->Connect(NetAddress{heir->entry.ip, heir->entry.port});
    if (!peer) {
        ResetSession();
        return;
    }
    host_peer_ = peer;
    rejoining_ = true;
    rejoin_deadline_ = Clock::now() + options_.join_wait;
}

}  // namespace kr::net
