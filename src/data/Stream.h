// CStream: the in-memory byte stream that game data, saved games, side files and data-structure
// texts are read from and written to. All values are little-endian and packed.
//
// Reads never throw and never read outside the buffer: a read that finds too few bytes returns a
// zero value, moves the position to the end and sets the sticky Failed() flag. A reader checks
// the flag where it matters (after a record, in loops) and reports its own error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

class CStream {
public:
    CStream() = default;
    explicit CStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    CStream(const uint8_t* bytes, size_t n) : data_(bytes, bytes + n) {}

    // Whole-file transfer. Load replaces the content and rewinds; both return false on any I/O
    // failure. Save writes a temporary file beside `path` and renames it, so the target is
    // either replaced whole or left as it was.
    bool LoadFromFile(const std::string& path);
    bool SaveToFile(const std::string& path) const;

    size_t Size() const { return data_.size(); }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    // Seeking beyond the end is allowed (the next read then fails); negative seeks clamp to 0.
    void Seek(size_t pos) { pos_ = pos; }
    void Skip(size_t n) { pos_ = (n > Remaining()) ? data_.size() + 1 : pos_ + n; }
    bool AtEnd() const { return pos_ >= data_.size(); }

    bool Failed() const { return failed_; }
    void SetFailed() { failed_ = true; }
    void ClearFailed() { failed_ = false; }

    const uint8_t* Data() const { return data_.data(); }
    uint8_t* Data() { return data_.data(); }
    std::vector<uint8_t>& Bytes() { return data_; }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    void Clear() {
        data_.clear();
        pos_ = 0;
        failed_ = false;
    }

    // Typed reads.
    int32_t ReadInteger();
    double ReadReal();
    bool ReadBoolean();  // true exactly when the stored signed integer is > 0
    std::string ReadString();
    uint8_t ReadByte();
    // Copies the next n bytes into `out`; fails (and zero-fills) when fewer remain.
    bool ReadBytes(void* out, size_t n);

    // A count of following items, each taking at least `min_item_bytes` bytes. A negative count
    // reads as 0; a count that could not possibly fit in the rest of the stream fails the stream
    // and reads as 0, so a corrupt count can never drive a long loop or a huge allocation.
    int32_t ReadCount(size_t min_item_bytes);

    // Sub-blocks: new independent streams positioned at 0. A length that runs past the end
    // fails this stream and yields an empty, failed block.
    std::unique_ptr<CStream> ReadBlock();
    std::unique_ptr<CStream> ReadCompressedBlock();
    // The same into `block`, reusing the memory it holds (readers of many blocks in a row keep
    // one stream for them). False, with both streams failed, on a damaged block.
    bool ReadCompressedBlockInto(CStream& block);
    // Replaces the content by the inflated zlib stream `in` and rewinds, reusing the memory this
    // stream holds. False, with this stream empty and failed, when `in` is damaged.
    bool InflateFrom(std::span<const uint8_t> in);
    // Raw compressed bytes of the next compressed block, without inflating them.
    std::vector<uint8_t> ReadCompressedRaw();

    // Typed writes (append at the position, growing the buffer).
    void WriteInteger(int32_t v);
    void WriteReal(double v);
    void WriteBoolean(bool v) { WriteInteger(v ? 1 : 0); }
    void WriteString(std::string_view s);
    void WriteByte(uint8_t b);
    void WriteBytes(const void* p, size_t n);
    // Length-prefixed raw block, and length-prefixed zlib stream of `content`.
    void WriteBlock(std::span<const uint8_t> content);
    void WriteCompressedBlock(std::span<const uint8_t> content, int level = 6);

    // The content as upper-case hexadecimal digit pairs, from byte 0 whatever the position.
    std::string ToHex() const;
    // Replaces the content by the bytes of the hexadecimal text (a trailing odd character is
    // ignored) and rewinds. False when a pair is not hexadecimal; the stream is then empty.
    bool FromHex(std::string_view text);

    // Undoes the seeded byte substitution of extension package data on bytes
    // first .. first + count - 1 (count < 1: to the end). The position does not change.
    void DecodeSeededRange(int32_t seed, int64_t first, int64_t count);
    // The forward substitution (what a writer applies), same range rules.
    void EncodeSeededRange(int32_t seed, int64_t first, int64_t count);

private:
    bool Need(size_t n);

    std::vector<uint8_t> data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// zlib helpers shared by the stream, the PNG writer and the tools. Inflate returns false on a
// corrupt stream or when the output would exceed `limit` bytes.
bool Inflate(std::span<const uint8_t> in, std::vector<uint8_t>& out,
             size_t limit = size_t(1) << 31);
std::vector<uint8_t> Deflate(std::span<const uint8_t> in, int level = 6);

}  // namespace kr
