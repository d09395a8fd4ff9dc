// Reading and writing extension package records, unscrambling their contents and splitting
// script files into the functions' texts.
#include "extensions/Extension.h"

#include <filesystem>

#include "data/Stream.h"
#include "platform/Files.h"

namespace kr {

namespace {
constexpr size_t kConstantMinBytes = 3 * 4;
constexpr size_t kFunctionMinBytes = (6 + kExtensionArgTypeCount + 1) * 4;
constexpr size_t kFileMinBytes = 7 * 4;
// Unscrambling starts this far into the contents block: the seed stays as stored, and so does
// the byte after it, as every stored package has it.
constexpr int64_t kFirstScrambledByte = 5;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool IsPlainName(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find_first_of("/\\:") == std::string::npos &&
           n.find('\0') == std::string::npos;
}
}  // namespace

bool CExtensionConstant::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kExtensionVersion || s.Failed()) return false;
    name = s.ReadString();
    value = s.ReadString();
    return !s.Failed();
}

void CExtensionConstant::SaveToStream(CStream& s) const {
    s.WriteInteger(kExtensionVersion);
    s.WriteString(name);
    s.WriteString(value);
}

bool CExtensionFunction::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kExtensionVersion || s.Failed()) return false;
    name = Trim(s.ReadString());
    external_name = Trim(s.ReadString());
    if (external_name.empty()) external_name = name;
    calling_convention = s.ReadInteger();
    id = s.ReadInteger();
    arg_count = s.ReadInteger();
    for (int32_t& t : arg_types) t = s.ReadInteger();
    if (arg_count > 4) arg_types.fill(kReal);
    result_type = s.ReadInteger() == kString ? kString : kReal;
    script_text.clear();
    return !s.Failed();
}

void CExtensionFunction::SaveToStream(CStream& s) const {
    s.WriteInteger(kExtensionVersion);
    s.WriteString(name);
    s.WriteString(external_name);
    s.WriteInteger(calling_convention);
    s.WriteInteger(id);
    s.WriteInteger(arg_count);
    for (int32_t t : arg_types) s.WriteInteger(t);
    s.WriteInteger(result_type);
}

bool CExtensionFile::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kExtensionVersion || s.Failed()) return false;
    file_name = s.ReadString();
    kind = s.ReadInteger();
    init_function = s.ReadString();
    final_function = s.ReadString();
    functions.assign(size_t(s.ReadCount(kFunctionMinBytes)), CExtensionFunction());
    for (CExtensionFunction& f : functions) {
        if (!f.LoadFromStream(s)) return false;
    }
    constants.assign(size_t(s.ReadCount(kConstantMinBytes)), CExtensionConstant());
    for (CExtensionConstant& c : constants) {
        if (!c.LoadFromStream(s)) return false;
    }
    contents.clear();
    return !s.Failed();
}

void CExtensionFile::SaveToStream(CStream& s) const {
    s.WriteInteger(kExtensionVersion);
    s.WriteString(file_name);
    s.WriteInteger(kind);
    s.WriteString(init_function);
    s.WriteString(final_function);
    s.WriteInteger(int32_t(functions.size()));
    for (const CExtensionFunction& f : functions) f.SaveToStream(s);
    s.WriteInteger(int32_t(constants.size()));
    for (const CExtensionConstant& c : constants) c.SaveToStream(s);
}

void CExtensionFile::AssignScriptTexts() {
    for (CExtensionFunction& f : functions) f.script_text.clear();
    if (kind != kScriptFile) return;
    std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
    // A section named twice gives its functions the later text.
    for (const auto& [section, body] : SplitScriptSections(text)) {
        for (CExtensionFunction& f : functions) {
            if (f.external_name == section) f.script_text = body;
        }
    }
}

bool CExtensionPackage::LoadFromStream(CStream& s) {
    files.clear();
    if (s.ReadInteger() != kExtensionVersion || s.Failed()) return false;
    name = s.ReadString();
    folder = s.ReadString();
    files.resize(size_t(s.ReadCount(kFileMinBytes)));
    for (CExtensionFile& f : files) {
        if (!f.LoadFromStream(s)) return false;
    }
    auto block = s.ReadBlock();
    if (s.Failed()) return false;
    // Damaged contents are damaged data, not a record of another version: the stream fails, so
    // the loader reports the game as corrupt.
    if (!DecodeContents(*block)) {
        s.SetFailed();
        return false;
    }
    return true;
}

void CExtensionPackage::SaveToStream(CStream& s) const {
    s.WriteInteger(kExtensionVersion);
    s.WriteString(name);
    s.WriteString(folder);
    s.WriteInteger(int32_t(files.size()));
    for (const CExtensionFile& f : files) f.SaveToStream(s);
    s.WriteBlock(EncodeContents());
}

bool CExtensionPackage::DecodeContents(CStream& block) {
    bool any = false;
    for (const CExtensionFile& f : files) any = any || f.HasContents();
    block.Seek(0);
    seed = block.ReadInteger();
    // A package whose files all come without contents needs nothing from the block.
    if (!any) return true;
    if (block.Failed()) return false;
    block.DecodeSeededRange(seed, kFirstScrambledByte, 0);
    for (CExtensionFile& f : files) {
        f.contents.clear();
        if (!f.HasContents()) continue;
        auto data = block.ReadCompressedBlock();
        if (block.Failed()) return false;
        f.contents = std::move(data->Bytes());
        f.AssignScriptTexts();
    }
    return true;
}

std::vector<uint8_t> CExtensionPackage::EncodeContents() const {
    CStream block;
    block.WriteInteger(seed);
    for (const CExtensionFile& f : files) {
        if (f.HasContents()) block.WriteCompressedBlock(f.contents);
    }
    block.EncodeSeededRange(seed, kFirstScrambledByte, 0);
    return std::move(block.Bytes());
}

std::vector<std::pair<std::string, std::string>> SplitScriptSections(std::string_view text) {
    static constexpr std::string_view kDefine = "#define";
    std::vector<std::pair<std::string, std::string>> sections;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;

        if (line.starts_with(kDefine)) {
            sections.emplace_back(Trim(line.substr(kDefine.size())), std::string());
        } else if (!sections.empty()) {
            std::string& body = sections.back().second;
            if (!body.empty()) body += "\r\n";
            body += line;
        }
    }
    return sections;
}

bool WriteExtensionFiles(const CExtensionPackage& package, const std::string& temp_dir,
                         std::string& error) {
    namespace fs = std::filesystem;
    if (!IsPlainName(package.folder)) {
        error = "Extension package " + package.name + " has an invalid folder name.";
        return false;
    }
    fs::path dir = fs::path(temp_dir) / package.folder;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "Cannot create the folder " + dir.string() + ".";
        return false;
    }
    for (const CExtensionFile& f : package.files) {
        if (f.kind != CExtensionFile::kLibrary && f.kind != CExtensionFile::kOther) continue;
        if (!IsPlainName(f.file_name)) {
            error = "Extension package " + package.name + " has an invalid file name.";
            return false;
        }
        fs::path target = dir / f.file_name;
        if (!WriteFileAtomically(target.string(), f.contents)) {
            error = "Cannot write the file " + target.string() + ".";
            return false;
        }
    }
    return true;
}

}  // namespace kr
