// The records of extension packages as the game data stores them: packages, their files, the
// functions and constants of each file, and the package's file contents (kept scrambled until
// the package is prepared).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/Stream.h"

namespace kr {

struct CExtensionFunction {
    std::string name;           // the name scripts call it by
    std::string external_name;  // the name the library exports
    int32_t calling_convention = 0;
    int32_t id = 0;                            // scripts call it as function id 500000 + id
    int32_t argument_count = 0;                // -1: any number
    std::array<int32_t, 17> argument_types{};  // 1 string, 2 real
    int32_t result_type = 2;
};

struct CExtensionConstant {
    std::string name;
    std::string value;  // an expression, evaluated when the game is prepared
};

struct CExtensionFile {
    std::string file_name;
    int32_t kind = 0;  // 1 library, 2 script file, 3 action library, 4 other file
    std::string init_function;
    std::string final_function;
    std::vector<CExtensionFunction> functions;
    std::vector<CExtensionConstant> constants;
};

struct CExtensionPackage {
    std::string name;
    std::string folder;  // sub-folder of the temporary directory for the package's files
    std::vector<CExtensionFile> files;
    std::vector<uint8_t> contents;  // the contents block as stored (seed, then scrambled data)
};

constexpr int32_t kExtensionVersion = 700;

// Reads one package record. False when any of its records has a version other than 700;
// stream errors show in s.Failed(). Function names are trimmed, an empty external name becomes
// the name, more than four arguments make every argument real, and a result type other than
// string is real.
bool ReadExtensionPackageRecord(CStream& s, CExtensionPackage& out);
void WriteExtensionPackageRecord(CStream& s, const CExtensionPackage& package);

}  // namespace kr
