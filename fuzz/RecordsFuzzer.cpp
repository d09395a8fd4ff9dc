// Fuzzes the record readers directly, past the compression that keeps the loader fuzzer from
// reaching deep into them: the first byte picks the reader, the rest is the record. A record
// that loads is written again, so the writers see every shape the readers accept.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runner/GameData.h"
#include "runner/Scramble.h"

namespace {
template <typename T>
void LoadAndSave(kr::CStream& s) {
    T record;
    if (record.LoadFromStream(s)) {
        kr::CStream out;
        record.SaveToStream(out);
    }
}
}  // namespace

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
        case 2:
            LoadAndSave<kr::CExtensionPackage>(s);
            break;
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
        // ORDER RECORD: the seed corpus writes one record of each kind behind these numbers.
        case 5:
            LoadAndSave<kr::CTrigger>(s);
            break;
        case 6:
            LoadAndSave<kr::CSound>(s);
            break;
        case 7:
            LoadAndSave<kr::CPath>(s);
            break;
        case 8:
            LoadAndSave<kr::CScript>(s);
            break;
        case 9:
            LoadAndSave<kr::CFont>(s);
            break;
        case 10:
            LoadAndSave<kr::CTimeLine>(s);
            break;
        case 11:
            LoadAndSave<kr::CObject>(s);
            break;
        case 12: {
            kr::CRoom room;
            if (room.LoadFromStream(s)) {
                room.ApplyStretch([](int32_t index, int32_t& w, int32_t& h) {
                    w = index, h = index / 2;
                    return index >= 0;
                });
            }
            break;
        }
        default:
            break;
    }
    return 0;
}
