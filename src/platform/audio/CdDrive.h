// The CD drive: the table of contents of the disc in it, its audio sectors and its tray. A CUE
// sheet with its BIN file is opened as if it were a drive holding that disc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kr {

// One track: its first sector and its length in sectors (75 sectors a second).
struct CdTrack {
    int32_t first_sector = 0;
    int32_t sectors = 0;
    bool audio = true;
};

class CdDrive {
public:
    // Bytes of one audio sector: 588 frames of 16-bit little-endian stereo at 44.1 kHz.
    static constexpr int32_t kSectorBytes = 2352;
    static constexpr int32_t kSectorsPerSecond = 75;

    virtual ~CdDrive() = default;
    // False for the stand-in of a machine without a drive.
    virtual bool Exists() const { return true; }
    // The tracks of the disc in the drive, read afresh (a disc may have been changed); empty
    // when there is no disc, the tray is open or the image cannot be read.
    virtual std::vector<CdTrack> Tracks() = 0;
    // Appends `count` audio sectors from `sector` to `out`; false when they cannot be read.
    virtual bool ReadAudio(int32_t sector, int32_t count, std::vector<uint8_t>& out) = 0;
    virtual void OpenTray() = 0;
    virtual void CloseTray() = 0;
};

// The drive named by `source`: a file ending in .cue is opened as an image, anything else as a
// device; an empty source is the system's first CD drive. A machine without one gets a drive
// that does not exist and is always empty, so nothing here ever fails.
std::unique_ptr<CdDrive> OpenCdDrive(const std::string& source);
// The drive of a machine without one (or of a web page): it does not exist and is always empty.
class EmptyCdDrive final : public CdDrive {
public:
    bool Exists() const override { return false; }
    std::vector<CdTrack> Tracks() override { return {}; }
    bool ReadAudio(int32_t, int32_t, std::vector<uint8_t>&) override { return false; }
    void OpenTray() override {}
    void CloseTray() override {}
};
inline std::unique_ptr<CdDrive> MakeEmptyCdDrive() {
    return std::make_unique<EmptyCdDrive>();
}

}  // namespace kr
