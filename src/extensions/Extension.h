// Extension packages as the game data stores them: a package (CExtensionPackage) bundles files
// (CExtensionFile: libraries, script files, action libraries, other files), each with the
// functions (CExtensionFunction) and constants (CExtensionConstant) it provides. The files'
// contents follow the descriptions as one scrambled block; reading a package unscrambles it,
// gives every file its contents and every function of a script file its script text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kr {

class CStream;

inline constexpr int32_t kExtensionVersion = 700;
inline constexpr int32_t kExtensionArgTypeCount = 17;
// Calling convention value that means cdecl; every other value means stdcall.
inline constexpr int32_t kExtensionCdecl = 12;

class CExtensionConstant {
public:
    std::string name;
    std::string value;  // an expression, evaluated when the game is prepared

    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    bool operator==(const CExtensionConstant&) const = default;
};

class CExtensionFunction {
public:
    enum ValueType : int32_t { kString = 1, kReal = 2 };

    std::string name;           // the name scripts call it by
    std::string external_name;  // the name the library exports, or the script file section
    int32_t calling_convention = kExtensionCdecl;
    int32_t id = 0;         // unique over all packages; scripts call it as function 500000 + id
    int32_t arg_count = 0;  // -1: any number
    std::array<int32_t, kExtensionArgTypeCount> arg_types;
    int32_t result_type = kReal;
    // For functions of script files: their section of the file. Not part of the record.
    std::string script_text;

    CExtensionFunction() { arg_types.fill(kReal); }

    // Reads the record and tidies it as the runner uses it: both names trimmed of surrounding
    // blanks, an empty external name replaced by the name, all argument types real when there
    // are more than 4 arguments (libraries take only reals then), and a result type other than
    // string taken as real.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    bool operator==(const CExtensionFunction&) const = default;
};

class CExtensionFile {
public:
    enum Kind : int32_t { kLibrary = 1, kScriptFile = 2, kActionLibrary = 3, kOther = 4 };

    std::string file_name;
    int32_t kind = kOther;
    std::string init_function;   // called when the game starts; may be empty
    std::string final_function;  // called when the game ends; may be empty
    std::vector<CExtensionFunction> functions;
    std::vector<CExtensionConstant> constants;
    // The file itself, from the package's contents block. Action libraries store none.
    std::vector<uint8_t> contents;

    bool HasContents() const { return kind != kActionLibrary; }

    // The file's description (without its contents, which the package reads).
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    // Gives every function whose external name names a section of this script file's contents
    // that section's text (SplitScriptSections); the others keep an empty text.
    void AssignScriptTexts();

    bool operator==(const CExtensionFile&) const = default;
};

class CExtensionPackage {
public:
    std::string name;
    std::string folder;  // sub-folder of the temporary directory that receives the files
    std::vector<CExtensionFile> files;
    int32_t seed = 0;  // of the scrambling of the contents block

    // The package record, its files' descriptions and the contents block. False on a wrong
    // version anywhere in the family, a damaged contents block (which also fails `s`) or a
    // failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    // The contents block alone: the seed, then the compressed contents of every file that has
    // contents, in file order, scrambled from the second byte after the seed on. Decoding
    // unscrambles `block` in place and fills the files' contents and the script texts of
    // script-file functions.
    bool DecodeContents(CStream& block);
    std::vector<uint8_t> EncodeContents() const;

    bool operator==(const CExtensionPackage&) const = default;
};

// The sections of an extension script file: each line that begins with "#define" starts one,
// named by the rest of the line (trimmed); its text is the following lines up to the next
// "#define" line, joined with CR LF, without leading empty lines. Lines before the first
// "#define" are ignored. Lines end at CR LF, CR or LF.
std::vector<std::pair<std::string, std::string>> SplitScriptSections(std::string_view text);

// Writes the library and other files of a package into `temp_dir`/folder, creating the folder.
// Folder and file names must be plain names (no separators, not "." or ".."), so that a game
// cannot write outside its temporary directory. False with `error` set on a bad name or a
// failed write.
bool WriteExtensionFiles(const CExtensionPackage& package, const std::string& temp_dir,
                         std::string& error);

}  // namespace kr
