// GameWriter: writes game files for the loader: the header, the settings, the D3DX helper
// library, the scrambled main block and the sixteen sections. Resources are given as objects
// (Add, FromGameData), whose SaveToStream writes their records, or as raw record bytes, which
// lets tests store records that no object would write.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "runner/GameData.h"
#include "runner/GameSettings.h"

namespace kr {

class GameWriter {
public:
    GameWriter();

    // Header.
    int32_t format_version = kFormatVersion;
    bool debug_mode = false;
    int32_t settings_version = kSettingsVersion;
    GameSettings settings;
    std::string d3dx_name = "D3DX8.dll";
    std::vector<uint8_t> d3dx_library;

    // Scrambling: the seed picks the permutation table and the amounts of filler.
    uint32_t scramble_seed = 1;

    // Body.
    int32_t game_id = 0;
    std::array<uint8_t, 16> application_id{};
    std::array<int32_t, kSectionCount> section_versions;  // the loader's versions by default
    std::vector<uint8_t> game_information_record;         // a default record unless replaced
    std::vector<int32_t> room_order{0};
    int32_t last_instance_id = 100000;
    int32_t last_tile_id = 10000000;
    // Where the game's code was written (a game built from a project); stored only when given.
    std::vector<CodeFile> code_files;

    // A resource of a section with standard framing (triggers, sounds .. rooms). `record` is
    // the kind's record; triggers keep their name inside it and `name` is not stored. Other
    // sections have their own Add functions; given one here, nothing is added.
    void AddResource(SectionId section, std::string name, std::vector<uint8_t> record);
    // A resource object of a section with standard framing; the section follows from the type.
    template <typename T>
    void Add(std::string name, const T& resource) {
        CStream s;
        resource.SaveToStream(s);
        AddResource(SectionOf<T>(), std::move(name), std::move(s.Bytes()));
    }
    // An empty slot of a section with standard framing.
    void AddEmptySlot(SectionId section);
    void AddExtensionPackage(std::vector<uint8_t> record);
    void AddExtensionPackage(const CExtensionPackage& package);
    void AddIncludedFile(std::vector<uint8_t> record);
    void AddIncludedFile(const CDataFile& file);
    void SetGameInformation(const CGameInformation& info);
    void AddConstant(std::string name, std::string value);
    void AddLibraryInitCode(std::string code);

    // A writer for everything `game` holds; with `d3dx_library` (which the loader hands to its
    // host instead of keeping) the written game loads back equal to `game`.
    static GameWriter FromGameData(const GameData& game, std::vector<uint8_t> d3dx_library = {});

    // The section that holds resources of type T.
    template <typename T>
    static constexpr SectionId SectionOf() {
        if constexpr (std::is_same_v<T, CTrigger>)
            return SectionId::kTriggers;
        else if constexpr (std::is_same_v<T, CSound>)
            return SectionId::kSounds;
        else if constexpr (std::is_same_v<T, CSprite>)
            return SectionId::kSprites;
        else if constexpr (std::is_same_v<T, CBackground>)
            return SectionId::kBackgrounds;
        else if constexpr (std::is_same_v<T, CPath>)
            return SectionId::kPaths;
        else if constexpr (std::is_same_v<T, CScript>)
            return SectionId::kScripts;
        else if constexpr (std::is_same_v<T, CFont>)
            return SectionId::kFonts;
        else if constexpr (std::is_same_v<T, CTimeLine>)
            return SectionId::kTimeLines;
        else if constexpr (std::is_same_v<T, CObject>)
            return SectionId::kObjects;
        else {
            static_assert(std::is_same_v<T, CRoom>, "not a resource of a standard section");
            return SectionId::kRooms;
        }
    }

    // The game data, from the magic number on.
    std::vector<uint8_t> WriteData() const;

    // A whole game file: `program` (a runner executable, or nothing) padded with zeros to the
    // first place where the loader looks for the data at or after its end, `extra_steps`
    // places further on, then the data. Empty when a place inside `program` already holds the
    // magic number, since the loader would stop there.
    std::vector<uint8_t> WriteGameFile(std::span<const uint8_t> program = {},
                                       int extra_steps = 0) const;

private:
    struct Entry {
        bool exists;
        std::string name;
        std::vector<uint8_t> record;
    };
    std::array<std::vector<Entry>, kSectionCount> entries_;
    std::vector<std::vector<uint8_t>> extension_packages_;
    std::vector<std::vector<uint8_t>> included_files_;
    std::vector<std::pair<std::string, std::string>> constants_;
    std::vector<std::string> library_init_code_;

    std::vector<uint8_t> WriteBody() const;
};

}  // namespace kr
