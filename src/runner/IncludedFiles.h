// Included files: files that come with the game, exported when the game is prepared (or on a
// script's request) and removed again when it ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/Stream.h"

namespace kr {

struct CDataFile {
    std::string file_name;    // name of the exported file; may contain a relative path
    std::string source_path;  // where the file came from when the game was made (unused)
    bool source_present = false;
    int32_t size = 0;
    bool stored = false;  // `data` holds the file's bytes
    std::vector<uint8_t> data;
    int32_t export_kind = 2;  // 0 none, 1 temporary directory, 2 working directory, 3 folder
    std::string export_folder;
    bool overwrite = false;
    bool free_after_export = true;
    bool remove_at_end = true;

    // Set when this run wrote the file; only such files are removed at the end.
    bool exported = false;

    bool operator==(const CDataFile&) const = default;
};

constexpr int32_t kIncludedFileVersion = 800;

// The record inside an entry of the included files section. False on a version mismatch;
// stream errors show in s.Failed().
bool ReadIncludedFileRecord(CStream& s, CDataFile& out);
void WriteIncludedFileRecord(CStream& s, const CDataFile& file);

// What exporting and removing need to know about the run.
struct IncludedFileContext {
    std::string temp_directory;  // host path; empty when the run has none
    bool secure_mode = false;
    // Non-fatal errors (the secure-mode refusals).
    std::function<void(std::string_view)> report_error;
};

// Exports one file: true exactly when it was written. Export kind 0 does nothing (and counts
// as success); in secure mode names with a path and kind 3 are refused with an error; an
// existing target is kept unless overwrite is on. After an export of kinds 1 to 3 the data is
// dropped when free after export is on, whether the file was written or not.
bool ExportIncludedFile(CDataFile& file, const IncludedFileContext& ctx);

// Deletes the exported file when remove at game end is on and this run wrote it.
void RemoveIncludedFile(CDataFile& file, const IncludedFileContext& ctx);

}  // namespace kr
