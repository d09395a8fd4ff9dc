// The effects, one stage each, run over the whole sound at once. They are simple and
// deterministic: a delay line for echo, modulated delay lines for chorus and flanger, an
// amplitude modulator for gargle, a peaking biquad for the equalizer, comb and all-pass filters
// for reverb, an envelope follower for the compressor and a soft clipper for distortion.
#include "sound/SoundEffects.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;

struct Range {
    double lo, hi;
};

template <size_t N>
bool Store(std::array<double, N>& to, std::span<const double> values, const Range (&ranges)[N]) {
    if (values.size() != N) return false;
    for (size_t i = 0; i < N; ++i)
        if (!(values[i] >= ranges[i].lo && values[i] <= ranges[i].hi)) return false;
    std::copy(values.begin(), values.end(), to.begin());
    return true;
}

double DbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

// Walks the samples of one channel.
struct Channel {
    std::vector<float>& s;
    int32_t channels, index;
    size_t Frames() const { return s.size() / size_t(channels); }
    float& operator[](size_t frame) { return s[frame * size_t(channels) + size_t(index)]; }
};

float Interpolated(const std::vector<float>& line, size_t pos, double delay) {
    size_t n = line.size();
    double d = std::clamp(delay, 0.0, double(n - 2));
    size_t whole = size_t(d);
    double frac = d - double(whole);
    float a = line[(pos + n - whole) % n];
    float b = line[(pos + n - whole - 1) % n];
    return float(a + (b - a) * frac);
}

// Chorus and flanger: a delay line whose length swings with a low-frequency wave.
void ModulatedDelay(Channel ch, int32_t rate, const std::array<double, 7>& p, double phase) {
    double wet = p[0] / 100.0, depth = p[1] / 100.0, feedback = p[2] / 100.0, freq = p[3];
    bool sine = p[4] >= 0.5;
    double base = p[5] / 1000.0 * rate;
    size_t n = size_t(base * 2 + 8);
    std::vector<float> line(n, 0.0f);
    size_t pos = 0;
    for (size_t i = 0, frames = ch.Frames(); i < frames; ++i) {
        double t = double(i) / rate * freq + phase;
        double lfo = sine ? std::sin(2 * kPi * t) : 4 * std::abs(t - std::floor(t + 0.5)) - 1;
        double delay = base * (1.0 + depth * lfo * 0.99);
        float x = ch[i];
        float delayed = Interpolated(line, pos, delay);
        line[pos] = float(x + feedback * delayed);
        pos = (pos + 1) % n;
        ch[i] = float(x * (1 - wet) + delayed * wet);
    }
}

void Echo(Channel ch, int32_t rate, const std::array<double, 5>& p, double delay_ms) {
    double wet = p[0] / 100.0, feedback = p[1] / 100.0;
    size_t d = std::max<size_t>(1, size_t(std::lround(delay_ms / 1000.0 * rate)));
    std::vector<float> line(d, 0.0f);
    size_t pos = 0;
    for (size_t i = 0, frames = ch.Frames(); i < frames; ++i) {
        float x = ch[i];
        float delayed = line[pos];  // written d frames ago
        line[pos] = float(x + feedback * delayed);
        pos = (pos + 1) % d;
        ch[i] = float(x * (1 - wet) + delayed * wet);
    }
}

void Gargle(Channel ch, int32_t rate, const std::array<double, 2>& p) {
    double freq = p[0];
    bool square = p[1] >= 0.5;
    for (size_t i = 0, frames = ch.Frames(); i < frames; ++i) {
        double t = double(i) / rate * freq;
        double f = t - std::floor(t);
        double m = square ? (f < 0.5 ? 1.0 : 0.0) : 1.0 - 2.0 * std::abs(f - 0.5);
        ch[i] = float(ch[i] * m);
    }
}

void Equalizer(Channel ch, int32_t rate, const std::array<double, 3>& p) {
    double centre = std::min(p[0], rate * 0.45), octaves = p[1] / 12.0, a = std::pow(10, p[2] / 40);
    double w0 = 2 * kPi * centre / rate;
    double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * octaves * w0 / std::sin(w0));
    double b0 = 1 + alpha * a, b1 = -2 * std::cos(w0), b2 = 1 - alpha * a;
    double a0 = 1 + alpha / a, a1 = -2 * std::cos(w0), a2 = 1 - alpha / a;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = 0, frames = ch.Frames(); i < frames; ++i) {
        double x = ch[i];
        double y = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        ch[i] = float(y);
    }
}

// Four damped combs in parallel, then two all-passes; the decay time sets the combs' feedback.
void Reverb(Channel ch, int32_t rate, double in_db, double mix_db, double time_ms, double hf_ratio,
            int32_t spread) {
    static const double kCombMs[] = {29.7, 37.1, 41.1, 43.7};
    static const double kAllPassMs[] = {5.0, 1.7};
    double in_gain = DbToGain(in_db), mix = DbToGain(mix_db);
    double time = std::max(time_ms, 1.0) / 1000.0;
    double damp = std::clamp(1.0 - hf_ratio, 0.0, 0.95) * 0.5;
    struct Comb {
        std::vector<float> line;
        size_t pos = 0;
        double g = 0, store = 0;
    };
    Comb combs[4];
    for (int k = 0; k < 4; ++k) {
        double sec = kCombMs[k] / 1000.0 + spread / 44100.0;
        combs[k].line.assign(std::max<size_t>(1, size_t(sec * rate)), 0.0f);
        combs[k].g = std::pow(10.0, -3.0 * sec / time);
    }
    std::vector<float> ap[2];
    size_t ap_pos[2] = {0, 0};
    for (int k = 0; k < 2; ++k)
        ap[k].assign(std::max<size_t>(1, size_t(kAllPassMs[k] / 1000.0 * rate)), 0.0f);
    for (size_t i = 0, frames = ch.Frames(); i < frames; ++i) {
        double x = ch[i] * in_gain;
        double sum = 0;
        for (Comb& c : combs) {
            double out = c.line[c.pos];
            c.store = out * (1 - damp) + c.store * damp;
            c.line[c.pos] = float(x + c.store * c.g);
            c.pos = (c.pos + 1) % c.line.size();
            sum += out;
        }
        double y = sum * 0.25;
        for (int k = 0; k < 2; ++k) {
            double buf = ap[k][ap_pos[k]];
            double out = -y + buf;
            ap[k][ap_pos[k]] = float(y + buf * 0.5);
            ap_pos[k] = (ap_pos[k] + 1) % ap[k].size();
            y = out;
        }
        ch[i] = float(x + y * mix);
    }
}

void Distortion(Channel ch) {
    // Gain -18 dB after an edge of 15 %: a soft clipper driven hard.
    const double drive = 1.0 + 15.0 / 100.0 * 20.0, post = DbToGain(-18.0);
    for (size_t i = 0, frames = ch.Frames(); i < frames; ++i)
        ch[i] = float(std::tanh(ch[i] * drive) * post * drive);
}

// The compressor works on all channels at once so that the image stays put.
void Compressor(std::vector<float>& s, int32_t channels, int32_t rate,
                const std::array<double, 6>& p) {
    double gain = DbToGain(p[0]), threshold = p[3], ratio = p[4];
    double attack = std::exp(-1.0 / (std::max(p[1], 0.01) / 1000.0 * rate));
    double release = std::exp(-1.0 / (p[2] / 1000.0 * rate));
    size_t lookahead = size_t(p[5] / 1000.0 * rate);
    size_t frames = s.size() / size_t(channels);
    double env = 0;
    std::vector<float> out(s.size());
    for (size_t i = 0; i < frames; ++i) {
        // The level is measured `lookahead` frames ahead of the sample it controls.
        size_t ahead = std::min(frames - 1, i + lookahead);
        double peak = 0;
        for (int32_t c = 0; c < channels; ++c)
            peak = std::max(peak, double(std::abs(s[ahead * size_t(channels) + size_t(c)])));
        env =
            peak > env ? attack * env + (1 - attack) * peak : release * env + (1 - release) * peak;
        double level = 20 * std::log10(std::max(env, 1e-9));
        double reduce = level > threshold ? (level - threshold) * (1 - 1 / ratio) : 0.0;
        double g = gain * DbToGain(-reduce);
        for (int32_t c = 0; c < channels; ++c) {
            size_t k = i * size_t(channels) + size_t(c);
            out[k] = float(s[k] * g);
        }
    }
    s.swap(out);
}

}  // namespace

bool EffectSettings::Set(EffectKind kind, std::span<const double> v) {
    switch (kind) {
        case EffectKind::kChorus: {
            static const Range r[7] = {{0, 100}, {0, 100}, {-99, 99}, {0, 10},
                                       {0, 1},   {0, 20},  {0, 4}};
            return Store(chorus, v, r);
        }
        case EffectKind::kCompressor: {
            static const Range r[6] = {{-60, 60}, {0.01, 500}, {50, 3000},
                                       {-60, 0},  {1, 100},    {0, 4}};
            return Store(compressor, v, r);
        }
        case EffectKind::kEcho: {
            static const Range r[5] = {{0, 100}, {0, 100}, {1, 2000}, {1, 2000}, {0, 1}};
            return Store(echo, v, r);
        }
        case EffectKind::kFlanger: {
            static const Range r[7] = {{0, 100}, {0, 100}, {-99, 99}, {0, 10},
                                       {0, 1},   {0, 4},   {0, 4}};
            return Store(flanger, v, r);
        }
        case EffectKind::kGargle: {
            static const Range r[2] = {{1, 1000}, {0, 1}};
            return Store(gargle, v, r);
        }
        case EffectKind::kEqualizer: {
            static const Range r[3] = {{80, 16000}, {1, 36}, {-15, 15}};
            return Store(equalizer, v, r);
        }
        case EffectKind::kReverb: {
            static const Range r[4] = {{-96, 0}, {-96, 0}, {0.001, 3000}, {0.001, 0.999}};
            return Store(reverb, v, r);
        }
    }
    return false;
}

void ApplySoundEffects(std::vector<float>& s, int32_t channels, int32_t rate, int32_t bits,
                       const EffectSettings& p) {
    if (bits == 0 || channels < 1 || rate <= 0 || s.empty()) return;
    auto each = [&](auto fn) {
        for (int32_t c = 0; c < channels; ++c) fn(Channel{s, channels, c}, c);
    };
    // The phase setting 0..4 sets the right wave apart from the left by -180..180 degrees.
    auto phase_of = [](double setting, int32_t c) { return c == 1 ? (setting - 2) / 4.0 : 0.0; };
    if (bits & kEffectChorus)
        each([&](Channel ch, int32_t c) {
            ModulatedDelay(ch, rate, p.chorus, phase_of(p.chorus[6], c));
        });
    if (bits & kEffectEcho)
        each([&](Channel ch, int32_t c) {
            // With pan delay the two sides swap their delays.
            bool swap = p.echo[4] >= 0.5;
            bool right = (c == 1) != swap;
            Echo(ch, rate, p.echo, right ? p.echo[3] : p.echo[2]);
        });
    if (bits & kEffectFlanger)
        each([&](Channel ch, int32_t c) {
            ModulatedDelay(ch, rate, p.flanger, phase_of(p.flanger[6], c));
        });
    if (bits & kEffectGargle) each([&](Channel ch, int32_t) { Gargle(ch, rate, p.gargle); });
    if (bits & kEffectEqualizer)
        each([&](Channel ch, int32_t) { Equalizer(ch, rate, p.equalizer); });
    if (bits & kEffectReverb)
        each([&](Channel ch, int32_t c) {
            Reverb(ch, rate, p.reverb[0], p.reverb[1], p.reverb[2], p.reverb[3], c * 23);
        });
    if (bits & kEffectCompressor) Compressor(s, channels, rate, p.compressor);
    // The second equalizer stage keeps its defaults (a flat band).
    if (bits & kEffectDistortion) each([&](Channel ch, int32_t) { Distortion(ch); });
    if (bits & kEffectRoomReverb)
        each([&](Channel ch, int32_t c) { Reverb(ch, rate, 0, -10, 1490, 0.83, c * 23); });
    for (float& x : s)
        if (!std::isfinite(x)) x = 0.0f;
}

}  // namespace kr
