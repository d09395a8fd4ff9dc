// bench_loading: how much loading a game costs beside inflating its data. Writes a synthetic
// game with well over 100 MB of sprite and background pixels (with their stored masks), then
// in a fresh process loads it with the runner's loader and, in the same run, inflates the same
// compressed entry blocks with zlib alone into one reused buffer, on one thread (the loader
// inflates a large section's entries on a second thread too). Prints both times (best of
// the rounds), the ratio load / inflate (the target is at most 1.3) and the loading process's
// peak memory beside the file size.
//
//   bench_loading [work-folder] [rounds]
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "runner/GameLoader.h"
#include "runner/GameWriter.h"

extern char** environ;

using namespace kr;

namespace {

constexpr int kSprites = 100, kFrames = 4, kSpriteSide = 256;
constexpr int kBackgrounds = 24, kBackgroundWidth = 1024, kBackgroundHeight = 512;

// Pixels that compress about as well as drawn art: smooth gradients, some noise, a transparent
// border.
TBitmap32 Art(int32_t w, int32_t h, uint32_t seed) {
    TBitmap32 image(w, h);
    uint32_t noise = seed * 2654435761u + 1;
    for (int32_t y = 0; y < h; ++y) {
        Bgra* row = image.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const uint8_t n = uint8_t((noise >> 24) & 7);
            const bool border = x < 8 || y < 8 || x >= w - 8 || y >= h - 8;
            row[x] = Bgra{uint8_t(x + seed + n), uint8_t(y * 2 + n), uint8_t((x ^ y) + seed),
                          uint8_t(border ? 0 : 255)};
        }
    }
    return image;
}

TMask MaskOf(const TBitmap32& frame) {
    TMask m;
    m.width = frame.Width();
    m.height = frame.Height();
    m.grid.resize(frame.PixelCount());
    for (size_t i = 0; i < m.grid.size(); ++i) m.grid[i] = frame.Pixels()[i].a != 0;
    m.left = m.top = 8;
    m.right = m.width - 9;
    m.bottom = m.height - 9;
    return m;
}

// The entry block of a standard section as GameWriter stores it: exists flag, name, record.
std::vector<uint8_t> EntryBlock(const std::string& name, const CStream& record) {
    CStream block;
    block.WriteBoolean(true);
    block.WriteString(name);
    block.WriteBytes(record.Data(), record.Size());
    return Deflate(block.Bytes());
}

int Generate(const std::string& game_path, const std::string& blocks_path) {
    GameWriter w;
    CStream blocks;  // the compressed entry blocks, each length-prefixed
    uint64_t pixels = 0;
    for (int i = 0; i < kSprites; ++i) {
        CSprite s;
        for (int f = 0; f < kFrames; ++f)
            s.frames.push_back(Art(kSpriteSide, kSpriteSide, i * 7 + f));
        s.masks.push_back(MaskOf(s.frames[0]));
        pixels += uint64_t(kFrames) * kSpriteSide * kSpriteSide * 4;
        CStream record;
        s.SaveToStream(record);
        std::string name = "spr_" + std::to_string(i);
        blocks.WriteBlock(EntryBlock(name, record));
        w.AddResource(SectionId::kSprites, name, std::move(record.Bytes()));
    }
    for (int i = 0; i < kBackgrounds; ++i) {
        CBackground b;
        b.image = Art(kBackgroundWidth, kBackgroundHeight, 1000 + i);
        pixels += b.image.ByteSize();
        CStream record;
        b.SaveToStream(record);
        std::string name = "bg_" + std::to_string(i);
        blocks.WriteBlock(EntryBlock(name, record));
        w.AddResource(SectionId::kBackgrounds, name, std::move(record.Bytes()));
    }
    w.Add("room", CRoom());
    std::vector<uint8_t> file = w.WriteGameFile();
    if (!WriteFileAtomically(game_path, file) ||
        !WriteFileAtomically(blocks_path, blocks.Bytes())) {
        std::fprintf(stderr, "bench_loading: cannot write into the work folder\n");
        return 1;
    }
    std::printf("game: %.1f MB of pixels, file %.1f MB\n", pixels / 1e6, file.size() / 1e6);
    return 0;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// In the fresh process: the measurements.
int Measure(const std::string& game_path, const std::string& blocks_path, int rounds) {
    auto load_once = [&game_path]() -> double {
        auto t0 = std::chrono::steady_clock::now();
        GameData g;
        LoadHost quiet;
        if (LoadGameFile(game_path, g, quiet) != LoadResult::kLoaded) return -1;
        return Seconds(std::chrono::steady_clock::now() - t0);
    };
    // The first load runs alone, so that the peak memory is the loader's.
    double load = load_once();
    if (load < 0) {
        std::fprintf(stderr, "bench_loading: the game does not load\n");
        return 1;
    }
    // VmHWM, not getrusage: a spawned process inherits the spawning one's maximum.
    long peak_kb = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmHWM: %ld kB", &peak_kb) == 1) break;
        std::fclose(status);
    }

    std::vector<std::vector<uint8_t>> compressed;
    {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(blocks_path, bytes)) return 1;
        CStream blocks(std::move(bytes));
        while (!blocks.AtEnd()) compressed.push_back(std::move(blocks.ReadBlock()->Bytes()));
    }
    std::vector<uint8_t> out(64 << 20);
    // Then the two sides alternate, so that a busy machine slows both alike; the best round
    // of each counts.
    double inflate = 1e9;
    for (int r = 0; r < rounds; ++r) {
        if (r > 0) load = std::min(load, load_once());
        auto t0 = std::chrono::steady_clock::now();
        for (const auto& z : compressed) {
            uLongf n = uLongf(out.size());
            if (uncompress(out.data(), &n, z.data(), uLong(z.size())) != Z_OK) {
                std::fprintf(stderr, "bench_loading: a block does not inflate\n");
                return 1;
            }
        }
        inflate = std::min(inflate, Seconds(std::chrono::steady_clock::now() - t0));
    }
    struct stat st {};
    ::stat(game_path.c_str(), &st);
    std::printf("load %.3f s, zlib inflate alone %.3f s, ratio load/inflate %.2f (target <= 1.3)\n",
                load, inflate, load / inflate);
    std::printf("peak memory while loading %.1f MB for a %.1f MB file (%.2fx)\n", peak_kb / 1e3,
                st.st_size / 1e6, peak_kb * 1e3 / double(st.st_size));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--measure") == 0)
        return Measure(argv[2], argv[3], std::atoi(argv[4]));
    const std::string work = argc > 1 ? argv[1] : "/tmp";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string game = work + "/bench_loading.game", blocks = work + "/bench_loading.blocks";
    if (int r = Generate(game, blocks)) return r;
    std::fflush(stdout);
    // A fresh process, so that its peak memory is the loading's alone.
    std::string rounds_text = std::to_string(rounds);
    char measure[] = "--measure";
    char* args[] = {argv[0],
                    measure,
                    const_cast<char*>(game.c_str()),
                    const_cast<char*>(blocks.c_str()),
                    rounds_text.data(),
                    nullptr};
    pid_t pid;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, args, environ) != 0) return 1;
    int status = 0;
    waitpid(pid, &status, 0);
    DeleteFile(game);
    DeleteFile(blocks);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
