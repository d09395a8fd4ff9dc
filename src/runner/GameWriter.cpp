#include "runner/GameWriter.h"

#include <numeric>
#include <utility>

#include "runner/GameLoader.h"
#include "runner/Scramble.h"

namespace kr {

namespace {
// A small deterministic generator for the permutation and the filler.
struct Lcg {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

bool IsStandard(SectionId id) {
    switch (id) {
        case SectionId::kTriggers:
        case SectionId::kSounds:
        case SectionId::kSprites:
        case SectionId::kBackgrounds:
        case SectionId::kPaths:
        case SectionId::kScripts:
        case SectionId::kFonts:
        case SectionId::kTimeLines:
        case SectionId::kObjects:
        case SectionId::kRooms:
            return true;
        default:
            return false;
    }
}
}  // namespace

GameWriter::GameWriter() {
    for (const SectionInfo& s : Sections()) section_versions[size_t(s.id)] = s.version;
    CStream info;
    WriteGameInformationRecord(info, CGameInformation());
    game_information_record = std::move(info.Bytes());
}

void GameWriter::AddResource(SectionId section, std::string name, std::vector<uint8_t> record) {
    if (IsStandard(section))
        entries_[size_t(section)].push_back({true, std::move(name), std::move(record)});
}

void GameWriter::AddEmptySlot(SectionId section) {
    if (IsStandard(section)) entries_[size_t(section)].push_back({false, {}, {}});
}

void GameWriter::AddExtensionPackage(std::vector<uint8_t> record) {
    extension_packages_.push_back(std::move(record));
}
void GameWriter::AddExtensionPackage(const CExtensionPackage& package) {
    CStream s;
    package.SaveToStream(s);
    AddExtensionPackage(std::move(s.Bytes()));
}
void GameWriter::AddIncludedFile(std::vector<uint8_t> record) {
    included_files_.push_back(std::move(record));
}
void GameWriter::AddIncludedFile(const CDataFile& file) {
    CStream s;
    WriteIncludedFileRecord(s, file);
    AddIncludedFile(std::move(s.Bytes()));
}
void GameWriter::SetGameInformation(const CGameInformation& info) {
    CStream s;
    WriteGameInformationRecord(s, info);
    game_information_record = std::move(s.Bytes());
}

namespace {
template <typename T>
void AddTable(GameWriter& w, const ResourceTable<T>& table) {
    for (int i = 0; i < table.Count(); ++i) {
        if (const T* item = table.Get(i))
            w.Add(table.StoredName(i), *item);
        else
            w.AddEmptySlot(GameWriter::SectionOf<T>());
    }
}
}  // namespace

GameWriter GameWriter::FromGameData(const GameData& g, std::vector<uint8_t> d3dx_library) {
    GameWriter w;
    w.debug_mode = g.debug_mode;
    w.settings = g.settings;
    w.d3dx_name = g.d3dx_name;
    w.d3dx_library = std::move(d3dx_library);
    w.game_id = g.game_id;
    w.application_id = g.application_id;
    for (const CExtensionPackage& p : g.extension_packages) w.AddExtensionPackage(p);
    AddTable(w, g.triggers);
    for (size_t i = 0; i < g.constant_names.size(); ++i)
        w.AddConstant(g.constant_names[i], g.constant_values[i]);
    AddTable(w, g.sounds);
    AddTable(w, g.sprites);
    AddTable(w, g.backgrounds);
    AddTable(w, g.paths);
    AddTable(w, g.scripts);
    AddTable(w, g.fonts);
    AddTable(w, g.time_lines);
    AddTable(w, g.objects);
    AddTable(w, g.rooms);
    w.last_instance_id = g.last_instance_id;
    w.last_tile_id = g.last_tile_id;
    for (const CDataFile& f : g.included_files) w.AddIncludedFile(f);
    w.SetGameInformation(g.game_information);
    for (const std::string& code : g.library_init_code) w.AddLibraryInitCode(code);
    w.room_order = g.room_order;
    w.code_files = g.code_files;
    return w;
}
void GameWriter::AddConstant(std::string name, std::string value) {
    constants_.emplace_back(std::move(name), std::move(value));
}
void GameWriter::AddLibraryInitCode(std::string code) {
    library_init_code_.push_back(std::move(code));
}

std::vector<uint8_t> GameWriter::WriteBody() const {
    CStream s;
    Lcg rng{scramble_seed ^ 0x9E3779B9u};
    int32_t filler = int32_t(rng.Next() % 8);
    s.WriteInteger(filler);
    for (int32_t i = 0; i < filler; ++i) s.WriteInteger(int32_t(rng.Next()));
    s.WriteBoolean(false);  // a flag the loader skips
    s.WriteInteger(game_id);
    s.WriteBytes(application_id.data(), application_id.size());

    for (const SectionInfo& section : Sections()) {
        s.WriteInteger(section_versions[size_t(section.id)]);
        switch (section.id) {
            case SectionId::kExtensionPackages:
                s.WriteInteger(int32_t(extension_packages_.size()));
                for (const auto& record : extension_packages_)
                    s.WriteBytes(record.data(), record.size());
                break;
            case SectionId::kConstants:
                s.WriteInteger(int32_t(constants_.size()));
                for (const auto& [name, value] : constants_) {
                    s.WriteString(name);
                    s.WriteString(value);
                }
                break;
            case SectionId::kIncludedFiles:
                s.WriteInteger(int32_t(included_files_.size()));
                for (const auto& record : included_files_) s.WriteCompressedBlock(record);
                break;
            case SectionId::kGameInformation:
                s.WriteCompressedBlock(game_information_record);
                break;
            case SectionId::kLibraryInitCode:
                s.WriteInteger(int32_t(library_init_code_.size()));
                for (const std::string& code : library_init_code_) s.WriteString(code);
                break;
            case SectionId::kRoomOrder:
                s.WriteInteger(int32_t(room_order.size()));
                for (int32_t room : room_order) s.WriteInteger(room);
                break;
            default: {  // standard framing
                const auto& entries = entries_[size_t(section.id)];
                s.WriteInteger(int32_t(entries.size()));
                for (const Entry& e : entries) {
                    CStream block;
                    block.WriteBoolean(e.exists);
                    if (e.exists) {
                        if (section.id != SectionId::kTriggers) block.WriteString(e.name);
                        block.WriteBytes(e.record.data(), e.record.size());
                    }
                    s.WriteCompressedBlock(block.Bytes());
                }
                if (section.id == SectionId::kRooms) {
                    s.WriteInteger(last_instance_id);
                    s.WriteInteger(last_tile_id);
                }
            }
        }
    }
    return std::move(s.Bytes());
}

std::vector<uint8_t> GameWriter::WriteData() const {
    CStream s;
    s.WriteInteger(kGameMagic);
    s.WriteInteger(format_version);
    s.WriteBoolean(debug_mode);
    s.WriteInteger(settings_version);
    CStream settings_record;
    WriteSettingsRecord(settings_record, settings);
    s.WriteCompressedBlock(settings_record.Bytes());
    s.WriteString(d3dx_name);
    s.WriteCompressedBlock(d3dx_library);

    // The main block: filler counts, filler, the permutation table, filler, then the body.
    Lcg rng{scramble_seed};
    ScrambleTable t;
    std::iota(t.begin(), t.end(), 0);
    for (size_t i = t.size() - 1; i > 0; --i) std::swap(t[i], t[rng.Next() % (i + 1)]);
    int32_t before = int32_t(rng.Next() % 16), after = int32_t(rng.Next() % 16);
    s.WriteInteger(before);
    s.WriteInteger(after);
    for (int32_t i = 0; i < before; ++i) s.WriteInteger(int32_t(rng.Next()));
    s.WriteBytes(t.data(), t.size());
    for (int32_t i = 0; i < after; ++i) s.WriteInteger(int32_t(rng.Next()));
    std::vector<uint8_t> body = WriteBody();
    ScrambleBlock(body, t);
    s.WriteBlock(body);
    if (!code_files.empty()) {
        // After the main block, where loaders that do not know the table stop reading.
        CStream table;
        table.WriteInteger(int32_t(code_files.size()));
        for (const CodeFile& f : code_files) {
            table.WriteInteger(int32_t(uint32_t(f.hash)));
            table.WriteInteger(int32_t(uint32_t(f.hash >> 32)));
            table.WriteString(f.file);
        }
        s.WriteInteger(kCodeFileTableMagic);
        s.WriteInteger(kCodeFileTableVersion);
        s.WriteCompressedBlock(table.Bytes());
    }
    return std::move(s.Bytes());
}

std::vector<uint8_t> GameWriter::WriteGameFile(std::span<const uint8_t> program,
                                               int extra_steps) const {
    size_t at = kGameDataStart;
    while (at < program.size()) at += kGameDataStep;
    at += size_t(extra_steps > 0 ? extra_steps : 0) * kGameDataStep;
    std::vector<uint8_t> file(program.begin(), program.end());
    file.resize(at, 0);
    // Checked after the padding: the magic number ends in a zero byte. A bare magic number in the
    // program is left: the data appended here is found before it.
    if (CarriesGameData(file)) return {};
    std::vector<uint8_t> data = WriteData();
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

}  // namespace kr
