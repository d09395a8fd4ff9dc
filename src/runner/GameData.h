// Everything a game file holds, as the loader leaves it: header values, settings, the resource
// tables and the smaller sections.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "code/Script.h"
#include "data/Background.h"
#include "data/Sprite.h"
#include "extensions/Extension.h"
#include "graphics/Font.h"
#include "motion/Path.h"
#include "objects/Object.h"
#include "objects/TimeLine.h"
#include "objects/Trigger.h"
#include "runner/GameInformation.h"
#include "runner/GameSettings.h"
#include "runner/IncludedFiles.h"
#include "runner/ResourceTable.h"
#include "runner/Room.h"
#include "sound/Sound.h"

namespace kr {

// The sixteen sections of the main block, in stored order (ORDER SECTION).
enum class SectionId {
    kExtensionPackages,
    kTriggers,
    kConstants,
    kSounds,
    kSprites,
    kBackgrounds,
    kPaths,
    kScripts,
    kFonts,
    kTimeLines,
    kObjects,
    kRooms,
    kIncludedFiles,
    kGameInformation,
    kLibraryInitCode,
    kRoomOrder,
};
constexpr int kSectionCount = 16;

struct SectionInfo {
    SectionId id;
    const char* key;      // the name tools use ("sprites")
    int progress;         // load progress reported before the section, in percent
    const char* caption;  // the caption reported with it
    int32_t version;      // the section version that must open the section
};
// ORDER SECTION
std::span<const SectionInfo> Sections();
const SectionInfo& Section(SectionId id);

constexpr int32_t kGameMagic = 1234321;
constexpr int32_t kFormatVersion = 800;

// Where a piece of the game's code was written, for games built from text projects: the code
// (by CodeTextHash of its text) and its file, relative to the project folder. The table rides
// after the main block, where readers that do not know it stop reading.
struct CodeFile {
    uint64_t hash = 0;
    std::string file;
};
// A 64-bit FNV-1a hash of a code text (game text, as stored).
uint64_t CodeTextHash(std::string_view text);
constexpr int32_t kCodeFileTableMagic = 0x4B524346;  // "FCRK"
constexpr int32_t kCodeFileTableVersion = 1;

struct GameData {
    bool debug_mode = false;
    GameSettings settings;
    std::string d3dx_name;  // the helper library the game carries; written to the temp directory
    uint64_t d3dx_size = 0;
    int32_t game_id = 0;
    std::array<uint8_t, 16> application_id{};

    std::vector<CExtensionPackage> extension_packages;
    ResourceTable<CTrigger> triggers;
    std::vector<std::string> constant_names;   // parallel to constant_values
    std::vector<std::string> constant_values;  // expressions, evaluated when the game is prepared
    ResourceTable<CSound> sounds;
    ResourceTable<CSprite> sprites;
    ResourceTable<CBackground> backgrounds;
    ResourceTable<CPath> paths;
    ResourceTable<CScript> scripts;
    ResourceTable<CFont> fonts;
    ResourceTable<CTimeLine> time_lines;
    ResourceTable<CObject> objects;
    ResourceTable<CRoom> rooms;
    int32_t last_instance_id = 0;  // the last ids the authoring tool handed out; run-time
    int32_t last_tile_id = 0;      // instances and tiles take the following numbers
    std::vector<CDataFile> included_files;
    CGameInformation game_information;
    std::vector<std::string> library_init_code;
    std::vector<int32_t> room_order;   // room indices; the first is where the game starts
    std::vector<CodeFile> code_files;  // in the order the project lists its code
    // Objects, events and time lines that scripts removed or replaced while the game runs. The
    // event being walked may be the one removed (or belong to the object deleted), so what they
    // held stays alive until the run ends.
    std::vector<std::unique_ptr<CObject>> retired_objects;
    std::vector<std::map<int32_t, CEvent>::node_type> retired_events;
    std::vector<std::unique_ptr<CTimeLine>> retired_time_lines;

    // The table of a section with standard framing (triggers, and sounds to rooms); nullptr for
    // the other sections.
    const ResourceIndex* Table(SectionId id) const;
    // The number of entries the section stored (1 for the game information).
    int EntryCount(SectionId id) const;
};

}  // namespace kr
