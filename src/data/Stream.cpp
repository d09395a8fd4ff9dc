#include "data/Stream.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/Files.h"

namespace kr {

bool CStream::LoadFromFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    data_ = std::move(bytes);
    pos_ = 0;
    failed_ = false;
    return true;
}

bool CStream::SaveToFile(const std::string& path) const {
    return WriteFileAtomically(path, data_);
}

bool CStream::Need(size_t n) {
    if (n <= Remaining()) return true;
    failed_ = true;
    pos_ = data_.size();
    return false;
}

bool CStream::ReadBytes(void* out, size_t n) {
    if (!Need(n)) {
        std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return true;
}

uint8_t CStream::ReadByte() {
    uint8_t b = 0;
    ReadBytes(&b, 1);
    return b;
}

int32_t CStream::ReadInteger() {
    uint8_t b[4];
    ReadBytes(b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

double CStream::ReadReal() {
    uint8_t b[8];
    ReadBytes(b, 8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | b[i];
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

bool CStream::ReadBoolean() {
    return ReadInteger() > 0;
}

std::string CStream::ReadString() {
    int32_t n = ReadInteger();
    if (n <= 0) return {};
    if (!Need(size_t(n))) return {};
    std::string s(reinterpret_cast<const char*>(data_.data() + pos_), size_t(n));
    pos_ += size_t(n);
    return s;
}

int32_t CStream::ReadCount(size_t min_item_bytes) {
    int32_t n = ReadInteger();
    if (failed_ || n <= 0) return 0;
    if (min_item_bytes > 0 && size_t(n) > Remaining() / min_item_bytes) {
        failed_ = true;
        return 0;
    }
    return n;
}

std::unique_ptr<CStream> CStream::ReadBlock() {
    auto block = std::make_unique<CStream>();
    int32_t n = ReadInteger();
    if (n < 0 || !Need(size_t(n))) {
        failed_ = true;
        block->SetFailed();
        return block;
    }
    block->data_.assign(data_.begin() + pos_, data_.begin() + pos_ + n);
    pos_ += size_t(n);
    return block;
}

std::vector<uint8_t> CStream::ReadCompressedRaw() {
    int32_t n = ReadInteger();
    if (n < 0 || !Need(size_t(n))) {
        failed_ = true;
        return {};
    }
    std::vector<uint8_t> raw(data_.begin() + pos_, data_.begin() + pos_ + n);
    pos_ += size_t(n);
    return raw;
}

std::unique_ptr<CStream> CStream::ReadCompressedBlock() {
    auto block = std::make_unique<CStream>();
    ReadCompressedBlockInto(*block);
    return block;
}

bool CStream::ReadCompressedBlockInto(CStream& block) {
    int32_t n = ReadInteger();
    if (n < 0 || !Need(size_t(n))) {
        failed_ = true;
        block.Clear();
        block.SetFailed();
        return false;
    }
    std::span<const uint8_t> in(data_.data() + pos_, size_t(n));
    pos_ += size_t(n);
    if (block.InflateFrom(in)) return true;
    failed_ = true;
    return false;
}

bool CStream::InflateFrom(std::span<const uint8_t> in) {
    pos_ = 0;
    failed_ = !Inflate(in, data_);
    if (failed_) data_.clear();
    return !failed_;
}

void CStream::WriteBytes(const void* p, size_t n) {
    if (n == 0) return;
    if (pos_ > data_.size()) pos_ = data_.size();
    if (pos_ + n > data_.size()) data_.resize(pos_ + n);
    std::memcpy(data_.data() + pos_, p, n);
    pos_ += n;
}

void CStream::WriteByte(uint8_t b) {
    WriteBytes(&b, 1);
}

void CStream::WriteInteger(int32_t v) {
    uint32_t u = uint32_t(v);
    uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    WriteBytes(b, 4);
}

void CStream::WriteReal(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(bits >> (8 * i));
    WriteBytes(b, 8);
}

void CStream::WriteString(std::string_view s) {
    WriteInteger(int32_t(s.size()));
    WriteBytes(s.data(), s.size());
}

void CStream::WriteBlock(std::span<const uint8_t> content) {
    WriteInteger(int32_t(content.size()));
    WriteBytes(content.data(), content.size());
}

void CStream::WriteCompressedBlock(std::span<const uint8_t> content, int level) {
    std::vector<uint8_t> z = Deflate(content, level);
    WriteBlock(z);
}

std::string CStream::ToHex() const {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.resize(data_.size() * 2);
    for (size_t i = 0; i < data_.size(); ++i) {
        out[2 * i] = kDigits[data_[i] >> 4];
        out[2 * i + 1] = kDigits[data_[i] & 15];
    }
    return out;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool CStream::FromHex(std::string_view text) {
    Clear();
    size_t pairs = text.size() / 2;
    data_.reserve(pairs);
    for (size_t i = 0; i < pairs; ++i) {
        int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            Clear();
            return false;
        }
        data_.push_back(uint8_t(hi << 4 | lo));
    }
    pos_ = 0;
    return true;
}

// The substitution table of extension package data. Only the writer of package data has to
// agree with these constants.
namespace {
constexpr int32_t kSeedDivisor = 250;
constexpr int32_t kSeedOffset = 6;
constexpr int32_t kSeedModulus = 254;
constexpr int32_t kSeedRounds = 10000;

std::array<uint8_t, 256> ForwardTable(int32_t seed) {
    int32_t step = seed % kSeedDivisor + kSeedOffset;
    int32_t start = seed / kSeedDivisor;
    if (step < 0) step += 256;
    if (start < 0) start += 256;
    std::array<uint8_t, 256> t;
    for (int i = 0; i < 256; ++i) t[i] = uint8_t(i);
    for (int32_t k = 1; k <= kSeedRounds; ++k) {
        int64_t p = (int64_t(k) * step + start) % kSeedModulus + 1;
        if (p < 1) p += kSeedModulus;  // only reachable for very negative seeds
        std::swap(t[size_t(p)], t[size_t(p) + 1]);
    }
    return t;
}

template <typename Fn>
void ForRange(std::vector<uint8_t>& data, int64_t first, int64_t count, Fn&& fn) {
    int64_t size = int64_t(data.size());
    if (first < 0) first = 0;
    int64_t last = count < 1 ? size : std::min(size, first + count);
    for (int64_t i = first; i < last; ++i) data[size_t(i)] = fn(data[size_t(i)]);
}
}  // namespace

void CStream::DecodeSeededRange(int32_t seed, int64_t first, int64_t count) {
    auto t = ForwardTable(seed);
    std::array<uint8_t, 256> u;
    for (int i = 0; i < 256; ++i) u[i] = uint8_t(i);
    for (int i = 1; i < 256; ++i) u[t[i]] = uint8_t(i);
    ForRange(data_, first, count, [&](uint8_t b) { return u[b]; });
}

void CStream::EncodeSeededRange(int32_t seed, int64_t first, int64_t count) {
    auto t = ForwardTable(seed);
    ForRange(data_, first, count, [&](uint8_t b) { return t[b]; });
}

bool Inflate(std::span<const uint8_t> in, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    constexpr size_t kChunk = 4 * 1024;
    // The content's size is not stored. Start with room for a few times the compressed size, or
    // with all the memory `out` already holds (a buffer reused from block to block), and double
    // only when that runs out: most blocks inflate in one call, without moving. The smallest
    // room is small: the room is cleared before it is filled, and most blocks of a small game
    // are a few bytes.
    size_t room = std::max({out.capacity(), in.size() * 4, kChunk});
    out.resize(std::min(room, limit));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = uInt(in.size());
    size_t have = 0;
    int rc = Z_OK;
    for (;;) {
        if (have == out.size()) {
            if (have >= limit) {
                rc = Z_MEM_ERROR;
                break;
            }
            out.resize(std::min(limit, have * 2));
        }
        // zlib counts in 32 bits: hand it at most 1 GiB at a time.
        const size_t space = std::min(out.size() - have, size_t(1) << 30);
        z.next_out = out.data() + have;
        z.avail_out = uInt(space);
        rc = inflate(&z, Z_NO_FLUSH);
        have += space - z.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        if (z.avail_out != 0) {
            rc = Z_DATA_ERROR;  // input ended before the stream did
            break;
        }
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
        out.clear();
        return false;
    }
    out.resize(have);
    return true;
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> in, int level) {
    uLongf bound = compressBound(uLong(in.size()));
    std::vector<uint8_t> out(bound);
    if (compress2(out.data(), &bound, in.data(), uLong(in.size()), level) != Z_OK) return {};
    out.resize(bound);
    return out;
}

}  // namespace kr
