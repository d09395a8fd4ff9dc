// The CD drive through libcdio, which reads real drives and CUE/BIN images alike; audio is read
// through its paranoia library, which checks and repairs what a drive reads.
#include "platform/audio/CdDrive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/memory.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstdio>
#include <cstdlib>
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kCdio("libcdio.so.19");
KR_LAZY_FUNCTION(kCdio, cdio_close_tray)
KR_LAZY_FUNCTION(kCdio, cdio_destroy)
KR_LAZY_FUNCTION(kCdio, cdio_eject_media_drive)
KR_LAZY_FUNCTION(kCdio, cdio_free)
KR_LAZY_FUNCTION(kCdio, cdio_get_default_device)
KR_LAZY_FUNCTION(kCdio, cdio_get_first_track_num)
KR_LAZY_FUNCTION(kCdio, cdio_get_num_tracks)
KR_LAZY_FUNCTION(kCdio, cdio_get_track_format)
KR_LAZY_FUNCTION(kCdio, cdio_get_track_last_lsn)
KR_LAZY_FUNCTION(kCdio, cdio_get_track_lsn)
KR_LAZY_FUNCTION(kCdio, cdio_log_set_handler)
KR_LAZY_FUNCTION(kCdio, cdio_open)
KR_LAZY_FUNCTION(kCdio, cdio_open_cue)
LazyLibrary kCdda("libcdio_cdda.so.2");
KR_LAZY_FUNCTION(kCdda, cdio_cddap_close_no_free_cdio)
KR_LAZY_FUNCTION(kCdda, cdio_cddap_identify_cdio)
KR_LAZY_FUNCTION(kCdda, cdio_cddap_open)
LazyLibrary kParanoia("libcdio_paranoia.so.2");
KR_LAZY_FUNCTION(kParanoia, cdio_paranoia_free)
KR_LAZY_FUNCTION(kParanoia, cdio_paranoia_init)
KR_LAZY_FUNCTION(kParanoia, cdio_paranoia_modeset)
KR_LAZY_FUNCTION(kParanoia, cdio_paranoia_read)
KR_LAZY_FUNCTION(kParanoia, cdio_paranoia_seek)

}  // namespace

namespace {

// libcdio reports a missing drive or an unreadable image on standard error; here they are
// answers (an empty drive), not errors.
void QuietLog(cdio_log_level_t, const char*) {}

class CdioDrive final : public CdDrive {
public:
    CdioDrive(std::string source, bool image) : source_(std::move(source)), image_(image) {}
    ~CdioDrive() override { Close(); }

    std::vector<CdTrack> Tracks() override {
        std::vector<CdTrack> tracks;
        Close();
        if (tray_open_) return tracks;
        cdio_ = image_ ? cdio_open_cue(source_.c_str()) : cdio_open(source_.c_str(), DRIVER_DEVICE);
        if (!cdio_) return tracks;
        const track_t first = cdio_get_first_track_num(cdio_);
        const track_t count = cdio_get_num_tracks(cdio_);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK) return tracks;
        for (track_t t = first; t < first + count; ++t) {
            const lsn_t lsn = cdio_get_track_lsn(cdio_, t);
            const lsn_t last = cdio_get_track_last_lsn(cdio_, t);
            if (lsn == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < lsn) break;
            tracks.push_back({int32_t(lsn), int32_t(last - lsn + 1),
                              cdio_get_track_format(cdio_, t) == TRACK_FORMAT_AUDIO});
        }
        return tracks;
    }

    bool ReadAudio(int32_t sector, int32_t count, std::vector<uint8_t>& out) override {
        if (!cdio_ || count <= 0) return count == 0;
        cdrom_drive_t* drive = cdio_cddap_identify_cdio(cdio_, CDDA_MESSAGE_FORGETIT, nullptr);
        if (!drive) return false;
        bool ok = cdio_cddap_open(drive) == 0;
        cdrom_paranoia_t* paranoia = ok ? cdio_paranoia_init(drive) : nullptr;
        const size_t at = out.size();
        if (paranoia) {
            cdio_paranoia_modeset(paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
            cdio_paranoia_seek(paranoia, sector, SEEK_SET);
            out.reserve(at + size_t(count) * kSectorBytes);
            for (int32_t i = 0; i < count && ok; ++i) {
                // One sector of samples in the host's order; little-endian is the file order.
                const int16_t* samples = cdio_paranoia_read(paranoia, nullptr);
                if (!samples) {
                    ok = false;
                    break;
                }
                for (int32_t k = 0; k < kSectorBytes / 2; ++k) {
                    out.push_back(uint8_t(uint16_t(samples[k])));
                    out.push_back(uint8_t(uint16_t(samples[k]) >> 8));
                }
            }
            cdio_paranoia_free(paranoia);
        } else {
            ok = false;
        }
        cdio_cddap_close_no_free_cdio(drive);
        if (!ok) out.resize(at);
        return ok;
    }

    void OpenTray() override {
        Close();
        tray_open_ = true;
        if (!image_) (void)cdio_eject_media_drive(source_.c_str());
    }
    void CloseTray() override {
        tray_open_ = false;
        if (!image_) (void)cdio_close_tray(source_.c_str(), nullptr);
    }

private:
    void Close() {
        if (cdio_) cdio_destroy(cdio_);
        cdio_ = nullptr;
    }

    std::string source_;
    bool image_;
    bool tray_open_ = false;
    CdIo_t* cdio_ = nullptr;
};

}  // namespace

std::unique_ptr<CdDrive> OpenCdDrive(const std::string& source) {
    cdio_log_set_handler(QuietLog);
    const bool image = source.size() > 4 && (source.ends_with(".cue") || source.ends_with(".CUE"));
    if (image) return std::make_unique<CdioDrive>(source, true);
    std::string device = source;
    if (device.empty()) {
        char* found = cdio_get_default_device(nullptr);
        if (!found) return MakeEmptyCdDrive();
        device = found;
        cdio_free(found);
    }
    return std::make_unique<CdioDrive>(device, false);
}

}  // namespace kr
