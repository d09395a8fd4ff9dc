// Writes the seed corpora of the fuzz targets: the sample games' data for the loader fuzzer,
// and the records inside them (behind the byte that picks their reader) for the record fuzzer.
#include <cstdio>
#include <string>

#include "platform/Files.h"
#include "runner/Scramble.h"
#include "support/SampleGames.h"

using namespace kr;

namespace {
bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (WriteFileAtomically(path, bytes)) return true;
    std::fprintf(stderr, "kr_fuzz_seeds: cannot write %s\n", path.c_str());
    return false;
}

std::vector<uint8_t> Picked(uint8_t reader, const std::function<void(CStream&)>& write) {
    std::vector<uint8_t> bytes{reader};
    std::vector<uint8_t> record = test::Record(write);
    bytes.insert(bytes.end(), record.begin(), record.end());
    return bytes;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kr_fuzz_seeds LOADER_CORPUS_DIR RECORDS_CORPUS_DIR\n");
        return 2;
    }
    std::string loader = argv[1], records = argv[2];
    GameWriter plain, no_bar = test::FullGame();
    no_bar.settings = test::UnusualSettings(false);
    no_bar.debug_mode = false;
    bool ok = Write(loader + "/plain", plain.WriteData()) &&
              Write(loader + "/full", test::FullGame().WriteData()) &&
              Write(loader + "/no-bar", no_bar.WriteData());

    ok =
        ok &&
        Write(records + "/settings",
              Picked(0, [](CStream& s) { WriteSettingsRecord(s, test::UnusualSettings(true)); })) &&
        Write(
            records + "/included-file",
            Picked(1, [](CStream& s) { WriteIncludedFileRecord(s, test::SomeIncludedFile()); })) &&
        Write(records + "/extension-package",
              Picked(2, [](CStream& s) { WriteExtensionPackageRecord(s, test::SomePackage()); })) &&
        Write(records + "/game-information",
              Picked(3, [](CStream& s) { WriteGameInformationRecord(s, CGameInformation()); })) &&
        Write(records + "/scramble", Picked(4, [](CStream& s) {
                  for (int i = 0; i < 256; ++i) s.WriteByte(uint8_t(255 - i));
                  s.WriteBytes("some body bytes", 15);
              }));
    return ok ? 0 : 1;
}
