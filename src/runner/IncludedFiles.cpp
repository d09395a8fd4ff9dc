#include "runner/IncludedFiles.h"

#include "platform/Files.h"
#include "platform/GamePath.h"

namespace kr {

bool ReadIncludedFileRecord(CStream& s, CDataFile& out) {
    if (s.ReadInteger() != kIncludedFileVersion) return false;
    out.file_name = s.ReadString();
    out.source_path = s.ReadString();
    out.source_present = s.ReadBoolean();
    out.size = s.ReadInteger();
    bool stored_in_game = s.ReadBoolean();
    out.stored = out.source_present && stored_in_game;
    out.data.clear();
    if (out.stored) {
        auto block = s.ReadBlock();
        out.data = std::move(block->Bytes());
    }
    out.export_kind = s.ReadInteger();
    out.export_folder = s.ReadString();
    out.overwrite = s.ReadBoolean();
    out.free_after_export = s.ReadBoolean();
    out.remove_at_end = s.ReadBoolean();
    return true;
}

void WriteIncludedFileRecord(CStream& s, const CDataFile& file) {
    s.WriteInteger(kIncludedFileVersion);
    s.WriteString(file.file_name);
    s.WriteString(file.source_path);
    s.WriteBoolean(file.source_present);
    s.WriteInteger(file.size);
    s.WriteBoolean(file.stored);
    if (file.source_present && file.stored) s.WriteBlock(file.data);
    s.WriteInteger(file.export_kind);
    s.WriteString(file.export_folder);
    s.WriteBoolean(file.overwrite);
    s.WriteBoolean(file.free_after_export);
    s.WriteBoolean(file.remove_at_end);
}

namespace {
bool HasPath(std::string_view name) {
    return name.find_first_of("\\/") != std::string_view::npos;
}

bool AnythingAt(const std::string& path) {
    return EntryExists(path);
}

// The host path a file of kind 1 to 3 is exported to; empty when there is none. A kind whose
// base directory is unknown (no temporary directory, no export folder) has no target rather
// than one at the top of the file system.
std::string ExportTarget(const CDataFile& file, const IncludedFileContext& ctx) {
    switch (file.export_kind) {
        case 1:
            if (ctx.temp_directory.empty()) return {};
            return MapGamePath(ctx.temp_directory + "\\" + file.file_name);
        case 2:
            return MapGamePath(file.file_name);
        case 3:
            if (file.export_folder.empty()) return {};
            return MapGamePath(file.export_folder + "\\" + file.file_name);
        default:
            return {};
    }
}
}  // namespace

bool ExportIncludedFile(CDataFile& file, const IncludedFileContext& ctx) {
    if (!file.stored) return false;
    if (file.export_kind == 0) return true;
    if (ctx.secure_mode && HasPath(file.file_name)) {
        if (ctx.report_error)
            ctx.report_error("In secure mode you cannot export a data file to " + file.file_name);
        return false;
    }
    if (file.export_kind == 3 && ctx.secure_mode) {
        if (ctx.report_error)
            ctx.report_error(
                "In secure mode you cannot export a data file to an indicated directory.");
        return false;
    }
    if (file.export_kind < 1 || file.export_kind > 3) return false;

    if (file.export_kind == 3 && !file.export_folder.empty())
        CreateDirectories(MapGamePath(file.export_folder));
    std::string target = ExportTarget(file, ctx);
    bool written = false;
    if (!target.empty() && (file.overwrite || !AnythingAt(target))) {
        written = WriteFileAtomically(target, file.data);
        if (written) file.exported = true;
    }
    if (file.free_after_export) {
        file.data.clear();
        file.data.shrink_to_fit();
        file.stored = false;
    }
    return written;
}

void RemoveIncludedFile(CDataFile& file, const IncludedFileContext& ctx) {
    if (!file.remove_at_end || !file.exported) return;
    if (ctx.secure_mode && (HasPath(file.file_name) || file.export_kind == 3)) return;
    std::string target = ExportTarget(file, ctx);
    if (!target.empty()) DeleteFile(target);
    file.exported = false;
}

}  // namespace kr
