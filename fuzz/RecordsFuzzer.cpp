// Fuzzes the record readers directly, past the compression that keeps the loader fuzzer from
// reaching deep into them: the first byte picks the reader, the rest is the record.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runner/GameData.h"
#include "runner/Scramble.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    kr::CStream s(data + 1, size - 1);
    switch (data[0]) {
        case 0: {
            kr::GameSettings settings;
            kr::ReadSettingsRecord(s, settings);
            break;
        }
        case 1: {
            kr::CDataFile file;
            kr::ReadIncludedFileRecord(s, file);
            break;
        }
        case 2: {
            kr::CExtensionPackage package;
            kr::ReadExtensionPackageRecord(s, package);
            break;
        }
        case 3: {
            kr::CGameInformation info;
            kr::ReadGameInformationRecord(s, info);
            break;
        }
        case 4: {  // a permutation table (possibly not one), then a block to unscramble
            kr::ScrambleTable t{};
            s.ReadBytes(t.data(), t.size());
            std::vector<uint8_t> block(s.Data() + s.Position(), s.Data() + s.Size());
            kr::UnscrambleBlock(block, t);
            break;
        }
        default:
            break;
    }
    return 0;
}
