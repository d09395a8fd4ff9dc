#include "runner/ExtensionPackages.h"

#include <string_view>

namespace kr {

namespace {
// Surrounding blanks: spaces and control characters.
std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && uint8_t(s[b]) <= ' ') ++b;
    while (e > b && uint8_t(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

// Smallest stored sizes, which bound the counts a corrupt record can claim.
constexpr size_t kMinFunctionBytes = 4 * 4 + 4 + 4 + 17 * 4 + 4;
constexpr size_t kMinConstantBytes = 3 * 4;
constexpr size_t kMinFileBytes = 4 * 4 + 3 * 4;

bool ReadFunction(CStream& s, CExtensionFunction& f) {
    if (s.ReadInteger() != kExtensionVersion) return false;
    f.name = Trim(s.ReadString());
    f.external_name = Trim(s.ReadString());
    if (f.external_name.empty()) f.external_name = f.name;
    f.calling_convention = s.ReadInteger();
    f.id = s.ReadInteger();
    f.argument_count = s.ReadInteger();
    for (int32_t& t : f.argument_types) t = s.ReadInteger();
    if (f.argument_count > 4) f.argument_types.fill(2);
    f.result_type = s.ReadInteger() == 1 ? 1 : 2;
    return true;
}

bool ReadFile(CStream& s, CExtensionFile& f) {
    if (s.ReadInteger() != kExtensionVersion) return false;
    f.file_name = s.ReadString();
    f.kind = s.ReadInteger();
    f.init_function = s.ReadString();
    f.final_function = s.ReadString();
    f.functions.resize(size_t(s.ReadCount(kMinFunctionBytes)));
    for (CExtensionFunction& fn : f.functions)
        if (!ReadFunction(s, fn)) return false;
    f.constants.resize(size_t(s.ReadCount(kMinConstantBytes)));
    for (CExtensionConstant& c : f.constants) {
        if (s.ReadInteger() != kExtensionVersion) return false;
        c.name = s.ReadString();
        c.value = s.ReadString();
    }
    return true;
}
}  // namespace

bool ReadExtensionPackageRecord(CStream& s, CExtensionPackage& out) {
    if (s.ReadInteger() != kExtensionVersion) return false;
    out.name = s.ReadString();
    out.folder = s.ReadString();
    out.files.resize(size_t(s.ReadCount(kMinFileBytes)));
    for (CExtensionFile& f : out.files)
        if (!ReadFile(s, f)) return false;
    auto block = s.ReadBlock();
    out.contents = std::move(block->Bytes());
    return true;
}

void WriteExtensionPackageRecord(CStream& s, const CExtensionPackage& package) {
    s.WriteInteger(kExtensionVersion);
    s.WriteString(package.name);
    s.WriteString(package.folder);
    s.WriteInteger(int32_t(package.files.size()));
    for (const CExtensionFile& f : package.files) {
        s.WriteInteger(kExtensionVersion);
        s.WriteString(f.file_name);
        s.WriteInteger(f.kind);
        s.WriteString(f.init_function);
        s.WriteString(f.final_function);
        s.WriteInteger(int32_t(f.functions.size()));
        for (const CExtensionFunction& fn : f.functions) {
            s.WriteInteger(kExtensionVersion);
            s.WriteString(fn.name);
            s.WriteString(fn.external_name);
            s.WriteInteger(fn.calling_convention);
            s.WriteInteger(fn.id);
            s.WriteInteger(fn.argument_count);
            for (int32_t t : fn.argument_types) s.WriteInteger(t);
            s.WriteInteger(fn.result_type);
        }
        s.WriteInteger(int32_t(f.constants.size()));
        for (const CExtensionConstant& c : f.constants) {
            s.WriteInteger(kExtensionVersion);
            s.WriteString(c.name);
            s.WriteString(c.value);
        }
    }
    s.WriteBlock(package.contents);
}

}  // namespace kr
