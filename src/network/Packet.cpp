#include "network/Packet.h"

#include <bit>
#include <cstring>

namespace kr::net {

namespace {

class Writer {
public:
    void U8(uint8_t v) { out.push_back(v); }
    void U16(uint16_t v) { Le(v, 2); }
    void U32(uint32_t v) { Le(v, 4); }
    void F64(double v) { Le(std::bit_cast<uint64_t>(v), 8); }
    void Str(const std::string& s, size_t max) {
        size_t n = std::min(s.size(), max);
        U32(static_cast<uint32_t>(n));
        out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    }
    void Val(const Value& v) {
        U8(v.is_string ? 1 : 0);
        if (v.is_string)
            Str(v.str, kMaxString);
        else
            F64(v.real);
    }
    std::vector<uint8_t> out;

private:
    void Le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
};

// Reads little-endian fields; the first failure sticks and every later read gives zero.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> b) : b_(b) {}
    uint8_t U8() { return static_cast<uint8_t>(Le(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Le(4)); }
    double F64() { return std::bit_cast<double>(Le(8)); }
    std::string Str(size_t max) {
        uint32_t n = U32();
        if (!ok_ || n > max || n > b_.size() - pos_) {
            ok_ = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(b_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    Value Val() {
        Value v;
        uint8_t kind = U8();
        if (kind == 1) {
            v.is_string = true;
            v.str = Str(kMaxString);
        } else if (kind == 0) {
            v.real = F64();
        } else {
            ok_ = false;
        }
        return v;
    }
    void Fail() { ok_ = false; }
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == b_.size(); }
    size_t Left() const { return b_.size() - pos_; }

private:
    uint64_t Le(size_t n) {
        if (!ok_ || b_.size() - pos_ < n) {
            ok_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= uint64_t{b_[pos_ + i]} << (8 * i);
        pos_ += n;
        return v;
    }
    std::span<const uint8_t> b_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace

std::vector<uint8_t> EncodePacket(const Packet& p, int32_t game_id) {
    Writer w;
    for (char c : kMagic) w.U8(static_cast<uint8_t>(c));
    w.U16(kProtocolVersion);
    w.U32(static_cast<uint32_t>(game_id));
    w.U8(static_cast<uint8_t>(p.type));
    switch (p.type) {
        case PacketType::kQuery:
        case PacketType::kSessionEnd:
            break;
        case PacketType::kOffer:
            w.Str(p.name, kMaxName);
            w.U16(p.players);
            w.U16(p.max_players);
            break;
        case PacketType::kJoin:
            w.Str(p.name, kMaxName);
            break;
        case PacketType::kWelcome:
            w.U32(p.player_id);
            w.Str(p.name, kMaxName);
            w.U16(p.max_players);
            break;
        case PacketType::kRefuse:
            w.U8(p.flag);
            break;
        case PacketType::kPlayers: {
            w.U8(p.flag);
            size_t n = std::min(p.player_list.size(), kMaxPlayers);
            w.U16(static_cast<uint16_t>(n));
            for (size_t i = 0; i < n; ++i) {
                const PlayerEntry& e = p.player_list[i];
                w.U32(e.id);
                w.Str(e.name, kMaxName);
                w.U32(e.ip);
                w.U16(e.port);
            }
            break;
        }
        case PacketType::kMessage:
            w.U8(p.flag);
            w.U32(p.from);
            w.U32(p.to);
            w.F64(p.message_id);
            w.Val(p.value);
            break;
        case PacketType::kData:
            w.U8(p.flag);
            w.U16(p.index);
            w.Val(p.value);
            break;
        case PacketType::kDataSnapshot:
            w.U16(static_cast<uint16_t>(p.data.size()));
            for (const auto& [index, value] : p.data) {
                w.U16(index);
                w.Val(value);
            }
            break;
        case PacketType::kMigrate:
            w.U32(p.player_id);
            break;
        case PacketType::kRejoin:
            w.U32(p.player_id);
            w.Str(p.name, kMaxName);
            break;
    }
    return std::move(w.out);
}

std::optional<Packet> DecodePacket(std::span<const uint8_t> bytes, int32_t game_id) {
    if (bytes.size() < kHeaderSize || bytes.size() > kMaxPacket) return std::nullopt;
    if (std::memcmp(bytes.data(), kMagic, 4) != 0) return std::nullopt;
    Reader r(bytes.subspan(4));
    if (r.U16() != kProtocolVersion) return std::nullopt;
    if (static_cast<int32_t>(r.U32()) != game_id) return std::nullopt;
    Packet p;
    uint8_t type = r.U8();
    if (type < static_cast<uint8_t>(PacketType::kQuery) ||
        type > static_cast<uint8_t>(PacketType::kRejoin))
        return std::nullopt;
    p.type = static_cast<PacketType>(type);
    switch (p.type) {
        case PacketType::kQuery:
        case PacketType::kSessionEnd:
            break;
        case PacketType::kOffer:
            p.name = r.Str(kMaxName);
            p.players = r.U16();
            p.max_players = r.U16();
            break;
        case PacketType::kJoin:
            p.name = r.Str(kMaxName);
            break;
        case PacketType::kWelcome:
            p.player_id = r.U32();
            p.name = r.Str(kMaxName);
            p.max_players = r.U16();
            if (p.player_id == 0) r.Fail();
            break;
        case PacketType::kRefuse:
            p.flag = r.U8();
            break;
        case PacketType::kPlayers: {
            p.flag = r.U8();
            uint16_t n = r.U16();
            if (n > kMaxPlayers) r.Fail();
            for (uint16_t i = 0; i < n && r.Ok(); ++i) {
                PlayerEntry e;
                e.id = r.U32();
                e.name = r.Str(kMaxName);
                e.ip = r.U32();
                e.port = r.U16();
                if (e.id == 0) r.Fail();
                p.player_list.push_back(std::move(e));
            }
            break;
        }
        case PacketType::kMessage:
            p.flag = r.U8();
            p.from = r.U32();
            p.to = r.U32();
            p.message_id = r.F64();
            p.value = r.Val();
            break;
        case PacketType::kData:
            p.flag = r.U8();
            p.index = r.U16();
            p.value = r.Val();
            if (p.index < 1 || p.index > kDataSlots) r.Fail();
            break;
        case PacketType::kDataSnapshot: {
            uint16_t n = r.U16();
            // Each entry takes at least 7 bytes: refuse a count the packet cannot hold before
            // reserving room for it.
            if (n > kSnapshotChunk || size_t{n} * 7 > r.Left()) r.Fail();
            if (r.Ok()) p.data.reserve(n);
            for (uint16_t i = 0; i < n && r.Ok(); ++i) {
                uint16_t index = r.U16();
                Value v = r.Val();
                if (index < 1 || index > kDataSlots) r.Fail();
                p.data.emplace_back(index, std::move(v));
            }
            break;
        }
        case PacketType::kMigrate:
            p.player_id = r.U32();
            if (p.player_id == 0) r.Fail();
            break;
        case PacketType::kRejoin:
            p.player_id = r.U32();
            p.name = r.Str(kMaxName);
            if (p.player_id == 0) r.Fail();
            break;
    }
    if (!r.Ok() || !r.AtEnd()) return std::nullopt;
    return p;
}

}  // namespace kr::net
