// INI files: one open at a time, read and written through IniFile.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "library/FunctionFile.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"

namespace kr {

// ---- INI files ----

namespace {

IniFile* Ini(Runtime& rt, const char* message) {
    FileFamily& fam = Files(rt);
    if (!fam.ini) {
        rt.RuntimeError(message);
        return nullptr;
    }
    return &*fam.ini;
}

constexpr const char* kIniRead = "Trying to read from undefined INI file";
constexpr const char* kIniWrite = "Trying to write to undefined INI file";
constexpr const char* kIniChange = "Trying to change undefined INI file";

// The shortest text that reads back as the same real.
std::string IniReal(double x) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, res.ptr);
}

}  // namespace

KR_FILE_FN(ini_open) {
    std::string name = ArgText(a[0]);
    FileFamily& fam = Files(rt);
    fam.ini.reset();
    if (HasSeparator(name)) {
        rt.RuntimeError("INI files must be located in the same directory as the program");
        return;
    }
    fam.ini.emplace(HostPath(name));
}

KR_FILE_FN(ini_close) {
    Files(rt).ini.reset();
}

KR_FILE_FN(ini_read_string) {
    IniFile* ini = Ini(rt, kIniRead);
    if (!ini) return;
    std::optional<std::string> v = ini->Read(ArgText(a[0]), ArgText(a[1]));
    r = v ? RValue(*v) : RValue(ArgText(a[2]));
}

KR_FILE_FN(ini_read_real) {
    IniFile* ini = Ini(rt, kIniRead);
    if (!ini) return;
    std::optional<std::string> v = ini->Read(ArgText(a[0]), ArgText(a[1]));
    double x = 0;
    r = v && ParseReal(*v, x) ? x : ArgReal(a[2]);
}

KR_FILE_FN(ini_write_string) {
    if (IniFile* ini = Ini(rt, kIniWrite)) ini->Write(ArgText(a[0]), ArgText(a[1]), ArgText(a[2]));
}

KR_FILE_FN(ini_write_real) {
    if (IniFile* ini = Ini(rt, kIniWrite))
        ini->Write(ArgText(a[0]), ArgText(a[1]), IniReal(ArgReal(a[2])));
}

KR_FILE_FN(ini_key_exists) {
    if (IniFile* ini = Ini(rt, kIniRead))
        r = ini->KeyExists(ArgText(a[0]), ArgText(a[1])) ? 1.0 : 0.0;
}

KR_FILE_FN(ini_section_exists) {
    if (IniFile* ini = Ini(rt, kIniRead)) r = ini->SectionExists(ArgText(a[0])) ? 1.0 : 0.0;
}

KR_FILE_FN(ini_key_delete) {
    if (IniFile* ini = Ini(rt, kIniChange)) ini->DeleteKey(ArgText(a[0]), ArgText(a[1]));
}

KR_FILE_FN(ini_section_delete) {
    if (IniFile* ini = Ini(rt, kIniChange)) ini->DeleteSection(ArgText(a[0]));
}

}  // namespace kr
