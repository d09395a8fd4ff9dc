// The file family (files, folders, INI files, the registry, programs) keeps its one table in
// FunctionFile.cpp with the bodies of open files, file names and included files; the bodies of
// folders and the disk (FunctionFileFolders.cpp), INI files (FunctionFileIni.cpp), the registry
// (FunctionFileRegistry.cpp) and programs (FunctionFilePrograms.cpp) are declared here, with the
// state the family keeps for a run and the helpers its parts share. File names that games write
// (with "\\" and in any letter case) reach the host through MapGamePath.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Runtime.h"
#include "code/Vocabulary.h"
#include "library/FunctionMath.h"
#include "library/IniFile.h"
#include "platform/GamePath.h"
#include "platform/Programs.h"
#include "platform/UserStore.h"
#include "runner/Runner.h"

namespace kr {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline constexpr int kFileSlots = 32;

struct BinarySlot {
    FilePtr file;
    bool last_was_write = false;
};

// A text file open for reading or writing. State 0 free, 1 reading, 2 writing.
struct TextSlot {
    int state = 0;
    FilePtr file;
};

// What the file family keeps for one run.
struct FileFamily {
    BinarySlot binary[kFileSlots + 1];  // 1..32
    TextSlot text[kFileSlots + 1];      // 0 the legacy file, 1..32 handles
    std::vector<std::string> found;     // the active search's remaining names, in order
    bool searching = false;
    int registry_root = UserStore::kCurrentUser;
    std::unique_ptr<UserStore> store;
    std::optional<IniFile> ini;
    std::vector<int> programs;  // started programs not waited for

    UserStore& Store() {
        if (!store) store = std::make_unique<UserStore>();
        return *store;
    }
    ~FileFamily() { ReapPrograms(programs); }
};

inline FileFamily& Files(Runtime& rt) {
    return RunnerOf(rt).FamilyState<FileFamily>();
}

inline bool HasSeparator(std::string_view name) {
    return name.find_first_of("\\/") != std::string_view::npos;
}

inline bool Secure(Runtime& rt) {
    return RunnerOf(rt).SecureMode();
}

inline std::string HostPath(std::string_view game_name) {
    return MapGamePath(game_name);
}

inline std::string ArgText(const RValue& v) {
    return v.IsString() ? v.StdStr() : RealToString(v.real);
}

#define KR_FILE_FN(name)                                                                     \
    void fn_##name(Runtime& rt, ScriptInstance*, ScriptInstance*, int argc, const RValue* a, \
                   RValue& r)

// Files and folders on the host, and the disk (FunctionFileFolders.cpp).
KR_FILE_FN(file_exists);
KR_FILE_FN(file_delete);
KR_FILE_FN(file_rename);
KR_FILE_FN(file_copy);
KR_FILE_FN(directory_exists);
KR_FILE_FN(directory_create);
KR_FILE_FN(file_find_first);
KR_FILE_FN(file_find_next);
KR_FILE_FN(file_find_close);
KR_FILE_FN(file_attributes);
KR_FILE_FN(disk_free);
KR_FILE_FN(disk_size);

// INI files (FunctionFileIni.cpp).
KR_FILE_FN(ini_open);
KR_FILE_FN(ini_close);
KR_FILE_FN(ini_read_string);
KR_FILE_FN(ini_read_real);
KR_FILE_FN(ini_write_string);
KR_FILE_FN(ini_write_real);
KR_FILE_FN(ini_key_exists);
KR_FILE_FN(ini_section_exists);
KR_FILE_FN(ini_key_delete);
KR_FILE_FN(ini_section_delete);

// The registry (FunctionFileRegistry.cpp).
KR_FILE_FN(registry_write_string);
KR_FILE_FN(registry_write_real);
KR_FILE_FN(registry_read_string);
KR_FILE_FN(registry_read_real);
KR_FILE_FN(registry_exists);
KR_FILE_FN(registry_write_string_ext);
KR_FILE_FN(registry_write_real_ext);
KR_FILE_FN(registry_read_string_ext);
KR_FILE_FN(registry_read_real_ext);
KR_FILE_FN(registry_exists_ext);
KR_FILE_FN(registry_set_root);

// Programs and the environment (FunctionFilePrograms.cpp).
KR_FILE_FN(execute_program);
KR_FILE_FN(execute_shell);
KR_FILE_FN(parameter_count);
KR_FILE_FN(parameter_string);
KR_FILE_FN(environment_get_variable);

}  // namespace kr
