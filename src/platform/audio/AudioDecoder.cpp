// Sound files through the sound-file library's virtual input (the bytes never touch the disk),
// MIDI through the software synthesizer, rendered whole at preparation.
#include "platform/audio/AudioDecoder.h"

#include <fluidsynth.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"
#include "platform/LazyLibrary.h"
#include "platform/NativeLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kSoundFiles("libsndfile.so.1");
KR_LAZY_FUNCTION(kSoundFiles, sf_close)
KR_LAZY_FUNCTION(kSoundFiles, sf_open_virtual)
KR_LAZY_FUNCTION(kSoundFiles, sf_readf_float)

}  // namespace

namespace {

struct MemoryFile {
    std::span<const uint8_t> bytes;
    sf_count_t pos = 0;
};

sf_count_t VioLength(void* user) {
    return sf_count_t(static_cast<MemoryFile*>(user)->bytes.size());
}
sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t size = sf_count_t(f->bytes.size());
    sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? size : 0;
    f->pos = std::clamp<sf_count_t>(base + offset, 0, size);
    return f->pos;
}
sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t left = sf_count_t(f->bytes.size()) - f->pos;
    sf_count_t n = std::clamp<sf_count_t>(count, 0, left);
    if (n > 0) std::memcpy(ptr, f->bytes.data() + f->pos, size_t(n));
    f->pos += n;
    return n;
}
sf_count_t VioWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t VioTell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

bool DecodeSampled(std::span<const uint8_t> bytes, PcmAudio& out, int64_t max_frames) {
    SF_VIRTUAL_IO vio{VioLength, VioSeek, VioRead, VioWrite, VioTell};
    MemoryFile file{bytes, 0};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&vio, SFM_READ, &info, &file);
    if (!sf) return false;
    bool ok = info.channels > 0 && info.channels <= 64 && info.samplerate >= 1000 &&
              info.samplerate <= 384000;
    out = PcmAudio{};
    if (ok) {
        const int ch = info.channels;
        out.rate = info.samplerate;
        out.channels = ch == 1 ? 1 : 2;
        std::vector<float> chunk(size_t(4096) * size_t(ch));
        int64_t total = 0;
        for (;;) {
            sf_count_t got = sf_readf_float(sf, chunk.data(), 4096);
            if (got <= 0) break;
            for (sf_count_t i = 0; i < got; ++i) {
                const float* f = &chunk[size_t(i) * size_t(ch)];
                if (ch == 1) {
                    out.samples.push_back(f[0]);
                    continue;
                }
                float l = f[0], r = f[1];
                for (int c = 2; c < ch; ++c) {  // further channels go half to each side
                    l += 0.5f * f[c];
                    r += 0.5f * f[c];
                }
                out.samples.push_back(l);
                out.samples.push_back(r);
            }
            total += got;
            if (total >= max_frames) break;
        }
        ok = total > 0;
        // Non-finite samples (possible from a float file) would poison the mix.
        for (float& s : out.samples)
            if (!(s >= -4.0f && s <= 4.0f)) s = 0.0f;
    }
    sf_close(sf);
    return ok;
}

}  // namespace

std::string FindSoundFont() {
    if (const char* env = std::getenv("KORVANE_SOUNDFONT")) return FileExists(env) ? env : "";
    // The larger fonts first: they sound better when installed.
    static const char* const kPlaces[] = {
        "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
    };
    for (const char* p : kPlaces)
        if (FileExists(p)) return p;
    return {};
}

namespace {

// The synthesizer library brings some fifty libraries of its own, more than the rest of the
// program together: it is loaded on the first MIDI sound, so that a run without one never pays
// for loading it.
// clang-format off
#define KR_FLUID_FUNCTIONS(X)                                                            \
    X(fluid_set_log_function) X(new_fluid_settings) X(delete_fluid_settings)             \
    X(fluid_settings_setnum) X(fluid_settings_setstr) X(fluid_settings_setint)           \
    X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload)                       \
    X(fluid_synth_system_reset) X(fluid_synth_write_float) X(new_fluid_player)           \
    X(delete_fluid_player) X(fluid_player_add_mem) X(fluid_player_play)                  \
    X(fluid_player_stop) X(fluid_player_get_status) X(fluid_player_set_tempo)
// clang-format on
struct FluidApi {
#define KR_FLUID_MEMBER(name) decltype(&::name) name = nullptr;
    KR_FLUID_FUNCTIONS(KR_FLUID_MEMBER)
#undef KR_FLUID_MEMBER
};

// The table, or null when the library cannot be loaded (said once on standard error).
const FluidApi* Fluid() {
    static const FluidApi* api = []() -> const FluidApi* {
        std::string error;
        // Loaded for the rest of the process: decoders that live in statics are destroyed
        // after any static owner of the library would be.
        static NativeLibrary* lib = NativeLibrary::Open("libfluidsynth.so.3", &error).release();
        static FluidApi table;
        bool ok = lib != nullptr;
#define KR_FLUID_LOAD(name)                                                                 \
    table.name = ok ? reinterpret_cast<decltype(table.name)>(lib->Symbol(#name)) : nullptr; \
    ok = ok && table.name;
        KR_FLUID_FUNCTIONS(KR_FLUID_LOAD)
#undef KR_FLUID_LOAD
        if (!ok) {
            std::fprintf(stderr,
                         "korvane: the MIDI synthesizer cannot be loaded (%s); MIDI sounds "
                         "stay silent\n",
                         error.empty() ? "a function is missing" : error.c_str());
            return nullptr;
        }
        return &table;
    }();
    return api;
}

}  // namespace

struct AudioDecoder::Synth {
    const FluidApi& f;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    explicit Synth(const FluidApi& api) : f(api) {}
    ~Synth() {
        if (synth) f.delete_fluid_synth(synth);
        if (settings) f.delete_fluid_settings(settings);
    }
};

AudioDecoder::AudioDecoder(std::string sound_font) : sound_font_(std::move(sound_font)) {
    font_searched_ = !sound_font_.empty();
}

AudioDecoder::~AudioDecoder() = default;

const std::string& AudioDecoder::SoundFont() {
    if (!font_searched_) {
        font_searched_ = true;
        sound_font_ = FindSoundFont();
        if (sound_font_.empty())
            std::fprintf(stderr,
                         "korvane: no General MIDI sound font found (set KORVANE_SOUNDFONT); "
                         "MIDI sounds stay silent\n");
    }
    return sound_font_;
}

bool AudioDecoder::IsMidi(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "MThd", 4) == 0;
}

bool AudioDecoder::Decode(std::span<const uint8_t> bytes, PcmAudio& out) {
    if (IsMidi(bytes)) return RenderMidi(bytes, 1.0, out);
    return DecodeSampled(bytes, out, max_frames_);
}

bool AudioDecoder::RenderMidi(std::span<const uint8_t> bytes, double tempo, PcmAudio& out) {
    if (SoundFont().empty()) return false;
    if (!synth_) {
        const FluidApi* api = Fluid();
        if (!api) return false;
        for (int level = 0; level < LAST_LOG_LEVEL; ++level)
            api->fluid_set_log_function(level, nullptr, nullptr);
        auto s = std::make_unique<Synth>(*api);
        s->settings = api->new_fluid_settings();
        if (!s->settings) return false;
        api->fluid_settings_setnum(s->settings, "synth.sample-rate", 44100.0);
        api->fluid_settings_setstr(s->settings, "player.timing-source", "sample");
        api->fluid_settings_setint(s->settings, "synth.lock-memory", 0);
        s->synth = api->new_fluid_synth(s->settings);
        if (!s->synth ||
            api->fluid_synth_sfload(s->synth, sound_font_.c_str(), 1) == FLUID_FAILED) {
            std::fprintf(stderr,
                         "korvane: cannot load the sound font %s; MIDI sounds stay silent\n",
                         sound_font_.c_str());
            sound_font_.clear();
            return false;
        }
        synth_ = std::move(s);
    }
    const FluidApi& f = synth_->f;
    f.fluid_synth_system_reset(synth_->synth);
    fluid_player_t* player = f.new_fluid_player(synth_->synth);
    if (!player) return false;
    bool ok = f.fluid_player_add_mem(player, bytes.data(), bytes.size()) == FLUID_OK;
    if (ok && tempo != 1.0)
        f.fluid_player_set_tempo(player, FLUID_PLAYER_TEMPO_INTERNAL,
                                 std::clamp(tempo, 0.01, 100.0));
    ok = ok && f.fluid_player_play(player) == FLUID_OK;
    out = PcmAudio{};
    out.rate = 44100;
    out.channels = 2;
    constexpr int kBlock = 1024;
    float left[kBlock], right[kBlock];
    int64_t frames = 0;
    // The notes ring on for up to two seconds after the last event.
    int64_t tail = 0;
    while (ok && frames < max_frames_ && tail < 2 * 44100) {
        if (f.fluid_player_get_status(player) != FLUID_PLAYER_PLAYING) tail += kBlock;
        if (f.fluid_synth_write_float(synth_->synth, kBlock, left, 0, 1, right, 0, 1) != FLUID_OK)
            break;
        for (int i = 0; i < kBlock; ++i) {
            out.samples.push_back(left[i]);
            out.samples.push_back(right[i]);
        }
        frames += kBlock;
    }
    f.fluid_player_stop(player);
    f.delete_fluid_player(player);
    // Trim the silent end of the tail.
    size_t end = out.samples.size();
    while (end >= 2 && std::abs(out.samples[end - 1]) < 1e-5f &&
           std::abs(out.samples[end - 2]) < 1e-5f)
        end -= 2;
    out.samples.resize(end);
    return ok && !out.samples.empty();
}

}  // namespace kr
