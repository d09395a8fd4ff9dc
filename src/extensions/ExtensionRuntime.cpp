#include "extensions/ExtensionRuntime.h"

#include <algorithm>

#include "code/ArgumentScope.h"

namespace kr {

namespace {

constexpr const char* kSecureText = "In secure mode you cannot use extension packages.";

}  // namespace

bool ExtensionRuntime::Prepare(const std::vector<CExtensionPackage>& packages,
                               const std::string& temp_dir, bool secure_mode, bool bind_libraries) {
    packages_ = &packages;
    secure_mode_ = secure_mode;
    // A constant that is not valid is skipped; preparation goes on.
    for (const CExtensionPackage& p : packages)
        for (const CExtensionFile& f : p.files)
            for (const CExtensionConstant& c : f.constants) rt_.DefineConstant(c.name, c.value);

    int32_t largest = 0;
    for (const CExtensionPackage& p : packages)
        for (const CExtensionFile& f : p.files)
            for (const CExtensionFunction& fn : f.functions) largest = std::max(largest, fn.id);
    // Ids come from the game file: bound them so a damaged id cannot demand a huge table.
    if (largest > 1000000) largest = 1000000;
    table_.clear();
    table_.resize(size_t(largest) + 1);
    for (const CExtensionPackage& p : packages)
        for (const CExtensionFile& f : p.files)
            for (const CExtensionFunction& fn : f.functions)
                if (fn.id >= 0 && fn.id <= largest && !table_[size_t(fn.id)].function)
                    table_[size_t(fn.id)].function = &fn;

    for (const CExtensionPackage& p : packages) {
        std::string folder = temp_dir + "\\" + p.folder + "\\";
        for (const CExtensionFile& f : p.files) {
            for (const CExtensionFunction& fn : f.functions) {
                if (fn.id < 0 || fn.id > largest) continue;
                Entry& e = table_[size_t(fn.id)];
                if (f.kind == CExtensionFile::kScriptFile) {
                    e.code.reset();
                    if (fn.script_text.empty()) continue;
                    auto code = std::make_unique<CCode>(fn.script_text, false);
                    if (!code->Compile(rt_)) {
                        std::string text = rt_.ErrorText();
                        rt_.ClearError();
                        rt_.ShowError(
                            "COMPILATION ERROR in extension package " + p.name + "\r" + text, true);
                        return false;
                    }
                    e.code = std::move(code);
                    e.is_script = true;
                } else if (f.kind == CExtensionFile::kLibrary && bind_libraries) {
                    int32_t types[17];
                    for (int i = 0; i < 17; ++i)
                        types[i] = fn.arg_types[size_t(i)] == CExtensionFunction::kString ? 1 : 0;
                    int32_t result = fn.result_type == CExtensionFunction::kString ? 1 : 0;
                    int32_t call = fn.calling_convention == kExtensionCdecl ? 0 : 1;
                    // A library that cannot be bound is not reported here: its calls do nothing.
                    e.external_id = externals_.Define(folder + f.file_name, fn.external_name, call,
                                                      result, types, fn.arg_count, nullptr);
                    e.is_script = false;
                }
            }
        }
    }
    return true;
}

int32_t ExtensionRuntime::Find(std::string_view name) const {
    if (!packages_) return -1;
    for (const CExtensionPackage& p : *packages_)
        for (const CExtensionFile& f : p.files)
            for (const CExtensionFunction& fn : f.functions)
                if (fn.name == name) return fn.id;
    return -1;
}

int32_t ExtensionRuntime::ArgCount(int32_t id) const {
    if (id < 0 || size_t(id) >= table_.size() || !table_[size_t(id)].function) return -100;
    return table_[size_t(id)].function->arg_count;
}

std::string ExtensionRuntime::Name(int32_t id) const {
    if (id < 0 || size_t(id) >= table_.size() || !table_[size_t(id)].function) return {};
    return table_[size_t(id)].function->name;
}

bool ExtensionRuntime::Call(int32_t id, ScriptInstance* self, ScriptInstance* other, int argc,
                            const RValue* args, RValue& result) {
    if (id < 0 || size_t(id) >= table_.size()) return false;
    if (secure_mode_) {
        rt_.SetPendingError(kSecureText);
        return false;
    }
    Entry& e = table_[size_t(id)];
    if (!e.is_script) {
        externals_.Call(e.external_id, argc, args, result);
        return true;
    }
    if (!e.code) return false;
    ArgumentScope scope(rt_, args, argc);
    result = RValue(0.0);
    if (rt_.ExecuteForValue(*e.code, self, other, result)) return true;
    rt_.SetPendingError("In extension function " + Name(id) + ":\r" + rt_.ErrorText());
    return false;
}

bool ExtensionRuntime::CallFileFunctions(bool init) {
    if (!packages_) return true;
    for (const CExtensionPackage& p : *packages_) {
        for (const CExtensionFile& f : p.files) {
            const std::string& name = init ? f.init_function : f.final_function;
            if (name.empty()) continue;
            if (secure_mode_) {
                rt_.ShowError(kSecureText, true);
                return false;
            }
            const CExtensionFunction* target = nullptr;
            for (const CExtensionFunction& fn : f.functions)
                if (fn.name == name) {
                    target = &fn;
                    break;
                }
            if (!target) {
                rt_.ShowError(std::string(init ? "Could not locate initialization function "
                                               : "Could not locate finalization function ") +
                                  name,
                              true);
                return false;
            }
            bool ok = false;
            rt_.Host().WithTemporaryInstance([&](ScriptInstance& temp) {
                RValue result;
                ok = Call(target->id, &temp, &temp, 0, nullptr, result);
            });
            if (!ok) {
                std::string text = rt_.ErrorText();
                rt_.ClearError();
                rt_.ShowError(text, true);
                return false;
            }
        }
    }
    return true;
}

}  // namespace kr
