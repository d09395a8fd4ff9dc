#include "runner/GameData.h"

namespace kr {

namespace {
using enum SectionId;
// ORDER SECTION: stored order, with the progress and caption reported before each section.
constexpr SectionInfo kSections[kSectionCount] = {
    {kExtensionPackages, "extension_packages", 0, "Loading extension packages", 700},
    {kTriggers, "triggers", 5, "Loading triggers", 800},
    {kConstants, "constants", 6, "Loading constants", 800},
    {kSounds, "sounds", 7, "Loading sounds", 800},
    {kSprites, "sprites", 10, "Loading sprites", 800},
    {kBackgrounds, "backgrounds", 23, "Loading backgrounds", 800},
    {kPaths, "paths", 30, "Loading paths", 800},
    {kScripts, "scripts", 32, "Loading scripts", 800},
    {kFonts, "fonts", 34, "Loading fonts", 800},
    {kTimeLines, "time_lines", 36, "Loading time lines", 800},
    {kObjects, "objects", 38, "Loading objects", 800},
    {kRooms, "rooms", 40, "Loading rooms", 800},
    {kIncludedFiles, "included_files", 43, "Loading included files", 800},
    {kGameInformation, "game_information", 45, "Loading help", 800},
    {kLibraryInitCode, "library_init_code", 47, "Loading library init code", 500},
    {kRoomOrder, "room_order", 49, "Loading room order", 700},
};
}  // namespace

std::span<const SectionInfo> Sections() {
    return kSections;
}
const SectionInfo& Section(SectionId id) {
    return kSections[int(id)];
}

uint64_t CodeTextHash(std::string_view text) {
    uint64_t h = 14695981039346656037ull;
    for (char c : text) h = (h ^ uint8_t(c)) * 1099511628211ull;
    return h;
}

const ResourceIndex* GameData::Table(SectionId id) const {
    switch (id) {
        case kTriggers:
            return &triggers;
        case kSounds:
            return &sounds;
        case kSprites:
            return &sprites;
        case kBackgrounds:
            return &backgrounds;
        case kPaths:
            return &paths;
        case kScripts:
            return &scripts;
        case kFonts:
            return &fonts;
        case kTimeLines:
            return &time_lines;
        case kObjects:
            return &objects;
        case kRooms:
            return &rooms;
        default:
            return nullptr;
    }
}

int GameData::EntryCount(SectionId id) const {
    if (const ResourceIndex* t = Table(id)) return t->Count();
    switch (id) {
        case kExtensionPackages:
            return int(extension_packages.size());
        case kConstants:
            return int(constant_names.size());
        case kIncludedFiles:
            return int(included_files.size());
        case kGameInformation:
            return 1;
        case kLibraryInitCode:
            return int(library_init_code.size());
        case kRoomOrder:
            return int(room_order.size());
        default:
            return 0;
    }
}

}  // namespace kr
