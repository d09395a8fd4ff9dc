#include "runner/GameLoader.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "data/CompressedEntries.h"
#include "platform/Files.h"
#include "runner/Messages.h"
#include "runner/Scramble.h"

namespace kr {

namespace {

// Smallest stored size of an entry held in a compressed block: the block's length and the
// shortest zlib stream. Counts that claim more entries than the rest could hold are corrupt.
constexpr size_t kMinCompressedEntryBytes = 4 + 8;

// Skips `count` stored integers (a negative count skips none).
void SkipIntegers(CStream& s, int32_t count) {
    if (count <= 0) return;
    if (size_t(count) > s.Remaining() / 4) s.SetFailed();
    s.Skip(size_t(count) * 4);
}

// --- Section framings ------------------------------------------------------------------------

// Standard framing: count, then per entry a compressed block holding the exists flag, the name
// (when `named`) and the kind's record, which T::LoadFromStream reads. Kinds that store their
// name inside the record (triggers) give it through `name_of`.
template <typename T>
LoadResult ReadStandardSection(CStream& s, ResourceTable<T>& table, bool named = true,
                               std::string (*name_of)(const T&) = nullptr) {
    int32_t count = s.ReadCount(kMinCompressedEntryBytes);
    if (s.Failed()) return LoadResult::kCorrupted;
    table.Reset(count);
    CompressedEntries entries(s, count);
    for (int32_t i = 0; i < count; ++i) {
        CStream* read = entries.Next();
        if (!read) return LoadResult::kCorrupted;
        CStream& block = *read;
        bool exists = block.ReadBoolean();
        if (block.Failed()) return LoadResult::kCorrupted;
        if (!exists) continue;
        std::string name = named ? block.ReadString() : std::string();
        auto item = std::make_unique<T>();
        bool ok = item->LoadFromStream(block);
        if (block.Failed()) return LoadResult::kCorrupted;
        if (!ok) return LoadResult::kFailed;
        if (name_of) name = name_of(*item);
        table.Set(i, std::move(name), std::move(item));
    }
    return LoadResult::kLoaded;
}

// --- Sections (each is called after its section version was checked) -------------------------

using SectionReader = LoadResult (*)(CStream& s, GameData& g, LoadHost& host);

LoadResult ReadExtensionPackages(CStream& s, GameData& g, LoadHost& host) {
    constexpr size_t kMinPackageBytes = 5 * 4;
    g.extension_packages.resize(size_t(s.ReadCount(kMinPackageBytes)));
    for (CExtensionPackage& p : g.extension_packages) {
        bool ok = p.LoadFromStream(s);
        if (s.Failed()) return LoadResult::kCorrupted;
        if (!ok) {
            host.ShowMessage(msg::kExtensionPackages);
            return LoadResult::kFailed;
        }
    }
    return s.Failed() ? LoadResult::kCorrupted : LoadResult::kLoaded;
}

LoadResult ReadTriggers(CStream& s, GameData& g, LoadHost&) {
    return ReadStandardSection<CTrigger>(s, g.triggers, false,
                                         [](const CTrigger& t) { return t.name; });
}

LoadResult ReadConstants(CStream& s, GameData& g, LoadHost&) {
    size_t n = size_t(s.ReadCount(8));
    g.constant_names.resize(n);
    g.constant_values.resize(n);
    for (size_t i = 0; i < n; ++i) {
        g.constant_names[i] = s.ReadString();
        g.constant_values[i] = s.ReadString();
    }
    return s.Failed() ? LoadResult::kCorrupted : LoadResult::kLoaded;
}

// A section with standard framing whose entries go into the table `table` of GameData.
template <auto table>
LoadResult ReadResources(CStream& s, GameData& g, LoadHost&) {
    return ReadStandardSection(s, g.*table);
}

// Rooms, then the last ids handed out. The backgrounds are loaded by now, so stretched room
// backgrounds get their scales here.
LoadResult ReadRooms(CStream& s, GameData& g, LoadHost& host) {
    LoadResult r = ReadResources<&GameData::rooms>(s, g, host);
    if (r != LoadResult::kLoaded) return r;
    g.last_instance_id = s.ReadInteger();
    g.last_tile_id = s.ReadInteger();
    if (s.Failed()) return LoadResult::kCorrupted;
    const BackgroundSizeLookup size = [&g](int32_t index, int32_t& w, int32_t& h) {
        const CBackground* b = g.backgrounds.Get(index);
        if (!b) return false;
        w = b->Width();
        h = b->Height();
        return true;
    };
    for (int i = 0; i < g.rooms.Count(); ++i)
        if (CRoom* room = g.rooms.Get(i)) room->ApplyStretch(size);
    return LoadResult::kLoaded;
}

LoadResult ReadIncludedFiles(CStream& s, GameData& g, LoadHost&) {
    g.included_files.resize(size_t(s.ReadCount(kMinCompressedEntryBytes)));
    CompressedEntries entries(s, int32_t(g.included_files.size()));
    for (CDataFile& f : g.included_files) {
        CStream* block = entries.Next();
        if (!block) return LoadResult::kCorrupted;
        bool ok = ReadIncludedFileRecord(*block, f);
        if (block->Failed()) return LoadResult::kCorrupted;
        if (!ok) return LoadResult::kFailed;
    }
    return s.Failed() ? LoadResult::kCorrupted : LoadResult::kLoaded;
}

LoadResult ReadGameInformation(CStream& s, GameData& g, LoadHost&) {
    auto block = s.ReadCompressedBlock();
    if (s.Failed()) return LoadResult::kCorrupted;
    ReadGameInformationRecord(*block, g.game_information);
    return block->Failed() ? LoadResult::kCorrupted : LoadResult::kLoaded;
}

LoadResult ReadLibraryInitCode(CStream& s, GameData& g, LoadHost&) {
    g.library_init_code.resize(size_t(s.ReadCount(4)));
    for (std::string& code : g.library_init_code) code = s.ReadString();
    return s.Failed() ? LoadResult::kCorrupted : LoadResult::kLoaded;
}

LoadResult ReadRoomOrder(CStream& s, GameData& g, LoadHost&) {
    int32_t count = s.ReadInteger();
    if (s.Failed()) return LoadResult::kCorrupted;
    if (count <= 0) return LoadResult::kFailed;  // a game without rooms cannot start
    if (size_t(count) > s.Remaining() / 4) return LoadResult::kCorrupted;
    g.room_order.resize(size_t(count));
    for (int32_t& room : g.room_order) room = s.ReadInteger();
    return LoadResult::kLoaded;
}

// ORDER SECTION
constexpr SectionReader kSectionReaders[kSectionCount] = {
    ReadExtensionPackages,
    ReadTriggers,
    ReadConstants,
    ReadResources<&GameData::sounds>,
    ReadResources<&GameData::sprites>,
    ReadResources<&GameData::backgrounds>,
    ReadResources<&GameData::paths>,
    ReadResources<&GameData::scripts>,
    ReadResources<&GameData::fonts>,
    ReadResources<&GameData::time_lines>,
    ReadResources<&GameData::objects>,
    ReadRooms,
    ReadIncludedFiles,
    ReadGameInformation,
    ReadLibraryInitCode,
    ReadRoomOrder,
};

// --- Header and main block ---------------------------------------------------------------------

LoadResult ReadSettings(CStream& s, GameData& g, LoadHost& host) {
    g.settings = GameSettings();
    int32_t version = s.ReadInteger();
    if (s.Failed()) return LoadResult::kCorrupted;
    if (version != kSettingsVersion) {
        host.ShowMessage(msg::kResourceData);
        return LoadResult::kFailed;
    }
    auto block = s.ReadCompressedBlock();
    if (s.Failed()) return LoadResult::kCorrupted;
    ReadSettingsRecord(*block, g.settings);
    return block->Failed() ? LoadResult::kCorrupted : LoadResult::kLoaded;
}

// Unscrambles the main block where it lies in the file's buffer and cuts the buffer after it,
// so the sections are read from the same stream without another copy of the game. What
// follows the block is left in `after_body`.
bool OpenBody(CStream& s, std::vector<uint8_t>& after_body) {
    int32_t before = s.ReadInteger();
    int32_t after = s.ReadInteger();
    SkipIntegers(s, before);
    ScrambleTable t;
    s.ReadBytes(t.data(), t.size());
    SkipIntegers(s, after);
    int32_t length = s.ReadInteger();
    if (s.Failed() || length < 0 || size_t(length) > s.Remaining()) return false;
    size_t start = s.Position();
    UnscrambleBlock(std::span<uint8_t>(s.Data() + start, size_t(length)), t);
    after_body.assign(s.Bytes().begin() + long(start + size_t(length)), s.Bytes().end());
    s.Bytes().resize(start + size_t(length));
    return true;
}

// The table of code files that may follow the main block. Anything else there (or a damaged
// table) is not the game's business: the game loads without it.
void ReadCodeFiles(std::vector<uint8_t> bytes, GameData& g) {
    CStream s(std::move(bytes));
    if (s.ReadInteger() != kCodeFileTableMagic || s.ReadInteger() != kCodeFileTableVersion) return;
    std::unique_ptr<CStream> table = s.ReadCompressedBlock();
    if (s.Failed()) return;
    const int32_t count = table->ReadCount(12);
    std::vector<CodeFile> files(static_cast<size_t>(count));
    for (CodeFile& f : files) {
        const uint32_t low = uint32_t(table->ReadInteger());
        f.hash = uint64_t(uint32_t(table->ReadInteger())) << 32 | low;
        f.file = table->ReadString();
    }
    if (!table->Failed()) g.code_files = std::move(files);
}

}  // namespace

namespace {

uint32_t LittleEndian(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// Where the game data starts, among the places from kGameDataStart on, kGameDataStep apart, whose
// first four bytes `read` gives as the magic number (`read(p, b, n)` false: the place cannot be
// read, and the search ends there). The program in front of the data may hold the magic number
// by chance (an instruction's operand, a table), so a place followed by this format's version is
// taken first; failing that, the first place with the magic number, so that a game of another
// version is told apart from no game at all. With `versioned`, only the former counts.
template <class Read>
std::optional<size_t> FindMagic(uint64_t size, Read read, bool versioned = false) {
    std::optional<size_t> first;
    // A place with fewer than four bytes left cannot hold the magic number either.
    for (uint64_t p = kGameDataStart; p + 4 <= size; p += kGameDataStep) {
        uint8_t b[8];
        const size_t n = p + 8 <= size ? 8 : 4;
        if (!read(p, b, n)) break;
        if (int32_t(LittleEndian(b)) != kGameMagic) continue;
        if (n == 8 && int32_t(LittleEndian(b + 4)) == kFormatVersion) return size_t(p);
        if (!first) first = size_t(p);
    }
    return versioned ? std::nullopt : first;
}

std::optional<size_t> FindMagicInMemory(std::span<const uint8_t> file, bool versioned) {
    return FindMagic(
        file.size(),
        [&](uint64_t p, uint8_t* b, size_t n) {
            std::memcpy(b, file.data() + p, n);
            return true;
        },
        versioned);
}

}  // namespace

std::optional<size_t> FindGameData(std::span<const uint8_t> file) {
    return FindMagicInMemory(file, false);
}

bool CarriesGameData(std::span<const uint8_t> file) {
    return FindMagicInMemory(file, true).has_value();
}

// The program the data is appended to is not read: only the places where the data may start,
// then the data itself.
LoadResult LoadGameFile(const std::string& path, GameData& out, LoadHost& host) try {
    ReadableFile f;
    bool failed = !f.Open(path);
    std::optional<size_t> at;
    if (!failed) {
        at = FindMagic(f.Size(), [&](uint64_t p, uint8_t* b, size_t n) {
            if (f.ReadAt(p, b, n)) return true;
            failed = errno != ENODATA;  // a file that shrank meanwhile just ends the search
            return false;
        });
    }
    std::vector<uint8_t> data;
    if (!failed && at) failed = !f.ReadFrom(*at, data);
    if (failed) {
        host.ShowMessage(std::string(msg::kCannotReadGame) + "\n" + PathErrorText(path));
        return LoadResult::kFailed;
    }
    if (!at) {
        host.ShowMessage(msg::kNotValidGame);
        return LoadResult::kFailed;
    }
    return ReadGameData(std::move(data), 0, out, host);
} catch (...) {  // out of memory
    return LoadResult::kCorrupted;
}

LoadResult LoadGameImage(std::vector<uint8_t> file, GameData& out, LoadHost& host) try {
    std::optional<size_t> at = FindGameData(file);
    if (!at) {
        host.ShowMessage(msg::kNotValidGame);
        return LoadResult::kFailed;
    }
    return ReadGameData(std::move(file), *at, out, host);
} catch (...) {
    return LoadResult::kCorrupted;
}

// ReadGameData without the guard against exceptions.
static LoadResult ReadGameDataUnguarded(std::vector<uint8_t> file, size_t offset, GameData& g,
                                        LoadHost& host) {
    CStream s(std::move(file));
    s.Seek(offset);
    s.ReadInteger();  // the magic number
    int32_t version = s.ReadInteger();
    if (s.Failed()) return LoadResult::kCorrupted;
    if (version != kFormatVersion) {
        host.ShowMessage(msg::kWrongVersion);
        return LoadResult::kFailed;
    }
    g.debug_mode = s.ReadBoolean();
    if (LoadResult r = ReadSettings(s, g, host); r != LoadResult::kLoaded) return r;

    host.SetLoadProgress(1, "Reading data");
    host.ShowLoadForm(g);

    g.d3dx_name = s.ReadString();
    {
        auto library = s.ReadCompressedBlock();
        if (s.Failed()) return LoadResult::kCorrupted;
        g.d3dx_size = library->Size();
        host.StoreD3dxLibrary(g.d3dx_name, library->Bytes());
    }

    std::vector<uint8_t> after_body;
    if (!OpenBody(s, after_body)) return LoadResult::kCorrupted;
    SkipIntegers(s, s.ReadInteger());
    s.ReadBoolean();  // stored, never used
    g.game_id = s.ReadInteger();
    s.ReadBytes(g.application_id.data(), g.application_id.size());
    if (s.Failed()) return LoadResult::kCorrupted;

    for (const SectionInfo& section : Sections()) {
        host.SetLoadProgress(section.progress, section.caption);
        LoadResult r = LoadResult::kFailed;
        int32_t version = s.ReadInteger();
        if (version == section.version)
            r = kSectionReaders[int(section.id)](s, g, host);
        else if (s.Failed())
            r = LoadResult::kCorrupted;
        if (r == LoadResult::kCorrupted) return r;
        if (r == LoadResult::kFailed) {
            host.ShowMessage(msg::kResourceData);
            return r;
        }
    }
    ReadCodeFiles(std::move(after_body), g);
    return LoadResult::kLoaded;
}

LoadResult ReadGameData(std::vector<uint8_t> file, size_t offset, GameData& g, LoadHost& host) try {
    return ReadGameDataUnguarded(std::move(file), offset, g, host);
} catch (...) {  // out of memory
    return LoadResult::kCorrupted;
}

}  // namespace kr
