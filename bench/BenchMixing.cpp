// bench_mixing: the mixing workload of the shared peer benchmarks. A game loops the one-second
// tone 64 times over (64 overlapping voices) for 60 s of game time, run headless with its
// audio written to /dev/null, so mixing goes as fast as it can; once without effects and once
// with echo and reverb on the sound. The cost of sound is the process's processor time minus
// that of the same game with an empty Create event, per second of audio. The other mixer's
// side (sdl_mixer/mix64.c, built here with cc) mixes 64 looping channels the same way.
//
//   [KORVANE_SHARED_BENCH=DIR] bench_mixing [seconds of game time]    (default 60)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"

extern char** environ;

using namespace kr;

namespace {

// The shared benchmarks; KORVANE_SHARED_BENCH names them when the build is elsewhere.
std::string SharedBench() {
    const char* env = std::getenv("KORVANE_SHARED_BENCH");
    return env && *env ? env : KR_SHARED_BENCH;
}

CAction CodeAction(std::string code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = std::move(code);
    return a;
}

std::vector<uint8_t> MakeGame(const std::vector<uint8_t>& tone, const std::string& create) {
    GameWriter w;
    CSound s;
    s.kind = CSound::kNormal;
    s.file_type = ".wav";
    s.file_name = "tone_1s.wav";
    s.has_data = true;
    s.data = tone;
    w.Add("snd_tone", s);
    CObject obj;
    obj.events[kEventCreate][0].actions.push_back(CodeAction(create));
    w.Add("obj_bench", obj);
    CRoom room;
    room.speed = 30;
    room.instances.push_back(RoomInstance{0, 0, 0, 100001, ""});
    w.Add("room0", room);
    return w.WriteGameFile();
}

// Runs a program and gives its processor time (user + system), or -1 when it failed.
double ChildCpu(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

// The best of three runs: the machine is shared.
double BestCpu(const std::vector<std::string>& args) {
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        double t = ChildCpu(args);
        if (t >= 0 && (best < 0 || t < best)) best = t;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kShared = SharedBench();
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds <= 0) seconds = 60;
    std::vector<uint8_t> tone;
    if (!ReadWholeFile(kShared + "/assets/tone_1s.wav", tone)) {
        std::fprintf(stderr, "bench_mixing: cannot read %s/assets/tone_1s.wav\n", kShared.c_str());
        return 1;
    }
    const std::string dir = KR_BENCH_DIR;
    const std::string loops = "var i; for (i = 0; i < 64; i += 1) sound_loop(snd_tone);";
    struct Variant {
        const char* name;
        std::string create;
        std::string path;
        double cpu = 0;
    } variants[] = {
        {"empty", "", dir + "/k_mixing_empty.game"},
        {"k_mixing", loops, dir + "/k_mixing.game"},
        {"k_mixing_fx", "sound_effect_set(snd_tone, se_echo | se_reverb);" + loops,
         dir + "/k_mixing_fx.game"},
    };
    const std::string steps = std::to_string(seconds * 30);
    for (Variant& v : variants) {
        if (!WriteFileAtomically(v.path, MakeGame(tone, v.create))) return 1;
        v.cpu = BestCpu({KR_KORVANE, "run", "--headless", "--max-steps", steps, "--audio-out",
                         "/dev/null", v.path});
        if (v.cpu < 0) {
            std::fprintf(stderr, "bench_mixing: the game %s failed\n", v.name);
            return 1;
        }
    }
    double ours = (variants[1].cpu - variants[0].cpu) / seconds;
    double ours_fx = (variants[2].cpu - variants[0].cpu) / seconds;
    std::printf("k_mixing    ours: %.5f cpu s per audio s (64 voices)\n", ours);
    std::printf("k_mixing_fx ours: %.5f cpu s per audio s (64 voices, echo + reverb)\n", ours_fx);

    // The other mixer, built from its source beside the benchmark.
    const std::string mix64 = dir + "/mix64";
    std::string build = "cc -O2 '" + kShared + "/sdl_mixer/mix64.c' -o '" + mix64 +
                        "' $(pkg-config --cflags --libs sdl2 SDL2_mixer) 2>&1";
    if (std::system(build.c_str()) != 0) {
        std::printf("k_mixing    other mixer: not built (needs libsdl2-mixer-dev)\n");
        return 0;
    }
    std::string run =
        "'" + mix64 + "' '" + kShared + "/assets/tone_1s.wav' " + std::to_string(seconds);
    double other = -1;
    for (int i = 0; i < 3; ++i) {
        FILE* p = popen(run.c_str(), "r");
        if (!p) break;
        char line[512] = {};
        double value = -1;
        while (std::fgets(line, sizeof line, p)) {
            std::string text = line;
            size_t at = text.find("cpu_per_audio_second=");
            if (at != std::string::npos) value = std::atof(text.c_str() + at + 21);
        }
        pclose(p);
        if (value >= 0 && (other < 0 || value < other)) other = value;
    }
    if (other < 0) {
        std::printf("k_mixing    other mixer: failed to run\n");
        return 0;
    }
    std::printf("k_mixing    other mixer: %.5f cpu s per audio s (64 channels)\n", other);
    std::printf("ratio ours/other: %.2f without effects, %.2f with effects (target: fx <= 1)\n",
                ours / other, ours_fx / other);
    return 0;
}
