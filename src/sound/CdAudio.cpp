#include "sound/CdAudio.h"

#include <cstdio>
#include <cstdlib>

#include "sound/Sound.h"

namespace kr {

namespace {

constexpr int64_t kFramesPerSector = 588;  // 44,100 frames a second, 75 sectors a second
constexpr int64_t kSectorsPerSecond = CdDrive::kSectorsPerSecond;

// Parses a whole decimal number; false for anything else.
bool ParseNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::string TwoDigits(int64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02lld", static_cast<long long>(v));
    return buf;
}

// A wave file around raw CD audio (16-bit little-endian stereo at 44.1 kHz).
std::vector<uint8_t> WaveOf(std::vector<uint8_t> pcm) {
    std::vector<uint8_t> out;
    out.reserve(44 + pcm.size());
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(uint32_t(36 + pcm.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);  // PCM
    put16(2);
    put32(44100);
    put32(44100 * 4);
    put16(4);
    put16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(uint32_t(pcm.size()));
    out.insert(out.end(), pcm.begin(), pcm.end());
    return out;
}

}  // namespace

CdAudio::~CdAudio() {
    StopSound();
}

CdDrive& CdAudio::Drive() {
    if (!drive_) {
        const char* source = std::getenv("KORVANE_CD");
        if (source && *source)
            drive_ = OpenCdDrive(source);
        else
            drive_ = system_drive_ ? OpenCdDrive("") : MakeEmptyCdDrive();
    }
    return *drive_;
}

void CdAudio::StopSound() {
    if (slot_ >= 0) sound_.FreeSlot(slot_);
    slot_ = -1;
}

void CdAudio::Close() {
    StopSound();
    mode_ = Mode::kStopped;
    position_ = 0;
}

int64_t CdAudio::DiscEnd() const {
    return tracks_.empty() ? 0 : int64_t(tracks_.back().first_sector) + tracks_.back().sectors;
}

int64_t CdAudio::Position() {
    if (mode_ == Mode::kStopped) return position_;
    const int64_t now = mode_ == Mode::kPaused ? paused_at_ : sound_.FramesMixed();
    const int64_t at = from_ + (now - started_frames_ - paused_frames_) / kFramesPerSector;
    if (at < to_) return at;
    // The end of what was played.
    StopSound();
    mode_ = Mode::kStopped;
    position_ = to_;
    return position_;
}

bool CdAudio::ParsePosition(const std::string& text, int64_t& sector) const {
    if (!tmsf_) {
        int64_t ms;
        if (!ParseNumber(text, ms)) return false;
        sector =
            (tracks_.empty() ? 0 : tracks_.front().first_sector) + ms * kSectorsPerSecond / 1000;
        return sector <= DiscEnd();
    }
    // track[:minutes[:seconds[:frames]]], each part a number.
    int64_t parts[4] = {0, 0, 0, 0};
    size_t n = 0, start = 0;
    while (n < 4) {
        size_t colon = text.find(':', start);
        std::string part = text.substr(start, colon == std::string::npos ? colon : colon - start);
        if (!ParseNumber(part, parts[n++])) return false;
        if (colon == std::string::npos) break;
        start = colon + 1;
        if (n == 4) return false;
    }
    const int64_t track = parts[0];
    if (track < 1 || track > int64_t(tracks_.size())) return false;
    const CdTrack& t = tracks_[size_t(track - 1)];
    sector = t.first_sector + (parts[1] * 60 + parts[2]) * kSectorsPerSecond + parts[3];
    return sector <= DiscEnd();
}

std::string CdAudio::FormatPosition(int64_t sector) const {
    if (!tmsf_) {
        const int64_t first = tracks_.empty() ? 0 : tracks_.front().first_sector;
        return std::to_string((sector - first) * 1000 / kSectorsPerSecond);
    }
    // The track holding the sector, and the time into it.
    size_t track = 0;
    while (track + 1 < tracks_.size() && sector >= tracks_[track + 1].first_sector) ++track;
    const int64_t offset = tracks_.empty() ? 0 : sector - tracks_[track].first_sector;
    return TwoDigits(int64_t(track) + 1) + ":" + TwoDigits(offset / (60 * kSectorsPerSecond)) +
           ":" + TwoDigits(offset / kSectorsPerSecond % 60) + ":" +
           TwoDigits(offset % kSectorsPerSecond);
}

std::string CdAudio::FormatLength(int64_t sectors) const {
    if (!tmsf_) return std::to_string(sectors * 1000 / kSectorsPerSecond);
    return TwoDigits(sectors / (60 * kSectorsPerSecond)) + ":" +
           TwoDigits(sectors / kSectorsPerSecond % 60) + ":" +
           TwoDigits(sectors % kSectorsPerSecond);
}

bool CdAudio::Play(int64_t from, int64_t to) {
    StopSound();
    mode_ = Mode::kStopped;
    if (from >= to) {
        position_ = from;
        return true;
    }
    std::vector<uint8_t> pcm;
    if (!Drive().ReadAudio(int32_t(from), int32_t(to - from), pcm)) return false;
    slot_ = sound_.LoadSlotFromMemory(WaveOf(std::move(pcm)), CSound::kNormal);
    if (slot_ < 0) return false;
    sound_.PlaySlot(slot_, false);
    from_ = from, to_ = to;
    started_frames_ = sound_.FramesMixed();
    paused_frames_ = 0;
    mode_ = Mode::kPlaying;
    return true;
}

std::string CdAudio::Command(const std::vector<std::string>& w) {
    // Without a drive the device cannot even be opened: no command has a reply.
    if (w.size() < 2 || !Drive().Exists()) return {};
    const std::string& verb = w[0];
    auto word = [&](size_t i) { return i < w.size() ? w[i] : std::string(); };
    // Every command sees the disc as it is now: a changed or removed disc ends what played.
    std::vector<CdTrack> tracks = tray_open_ ? std::vector<CdTrack>{} : Drive().Tracks();
    if (tracks.size() != tracks_.size() ||
        (!tracks.empty() && (tracks.back().first_sector != tracks_.back().first_sector ||
                             tracks.back().sectors != tracks_.back().sectors))) {
        Close();
        tracks_ = std::move(tracks);
    }
    const bool present = !tracks_.empty();

    if (verb == "open") return {};
    if (verb == "close") {
        Close();
        return {};
    }
    if (verb == "set") {
        if (word(2) == "time" && word(3) == "format") {
            const std::string f = word(4);
            if (f == "tmsf") tmsf_ = true;
            if (f == "ms" || f == "milliseconds") tmsf_ = false;
        } else if (word(2) == "door") {
            if (word(3) == "open") {
                Close();
                tray_open_ = true;
                tracks_.clear();
                Drive().OpenTray();
            } else if (word(3) == "closed") {
                tray_open_ = false;
                Drive().CloseTray();
            }
        }
        return {};
    }
    if (verb == "status") {
        const std::string what = word(2);
        if (what == "media" && word(3) == "present") return present ? "true" : "false";
        if (what == "mode") {
            if (tray_open_) return "open";
            if (!present) return "not ready";
            Position();
            return mode_ == Mode::kPlaying  ? "playing"
                   : mode_ == Mode::kPaused ? "paused"
                                            : "stopped";
        }
        if (!present) return {};
        if (what == "number" && word(3) == "of" && word(4) == "tracks")
            return std::to_string(tracks_.size());
        if (what == "position") return FormatPosition(Position());
        if (what == "current" && word(3) == "track") {
            int64_t at = Position();
            size_t track = 0;
            while (track + 1 < tracks_.size() && at >= tracks_[track + 1].first_sector) ++track;
            return std::to_string(track + 1);
        }
        if (what == "length") {
            if (word(3) == "track") {
                int64_t n;
                if (!ParseNumber(word(4), n) || n < 1 || n > int64_t(tracks_.size())) return {};
                return FormatLength(tracks_[size_t(n - 1)].sectors);
            }
            return FormatLength(DiscEnd() - tracks_.front().first_sector);
        }
        if (what == "ready") return "true";
        return {};
    }
    if (!present) return {};
    if (verb == "play") {
        int64_t from = -1, to = DiscEnd();
        for (size_t i = 2; i + 1 < w.size(); ++i) {
            if (w[i] == "from" && !ParsePosition(w[i + 1], from)) return {};
            if (w[i] == "to" && !ParsePosition(w[i + 1], to)) return {};
        }
        if (from < 0) {
            // Without a start: a paused disc goes on, a stopped one plays from where it is.
            if (mode_ == Mode::kPaused) {
                paused_frames_ += sound_.FramesMixed() - paused_at_;
                sound_.PauseSlot(slot_, false);
                mode_ = Mode::kPlaying;
                return {};
            }
            from = Position();
            if (mode_ == Mode::kPlaying) return {};
        }
        Play(from, to);
        return {};
    }
    if (verb == "pause") {
        Position();  // a disc that has played to its end is stopped, not paused
        if (mode_ == Mode::kPlaying) {
            paused_at_ = sound_.FramesMixed();
            sound_.PauseSlot(slot_, true);
            mode_ = Mode::kPaused;
        }
        return {};
    }
    if (verb == "resume") {
        if (mode_ == Mode::kPaused) {
            paused_frames_ += sound_.FramesMixed() - paused_at_;
            sound_.PauseSlot(slot_, false);
            mode_ = Mode::kPlaying;
        }
        return {};
    }
    if (verb == "stop" || verb == "seek") {
        int64_t at = Position();
        StopSound();
        mode_ = Mode::kStopped;
        position_ = at;
        if (verb == "seek" && word(2) == "to") {
            int64_t to;
            if (word(3) == "start")
                position_ = tracks_.front().first_sector;
            else if (word(3) == "end")
                position_ = DiscEnd();
            else if (ParsePosition(word(3), to))
                position_ = to;
        }
        return {};
    }
    return {};
}

}  // namespace kr
