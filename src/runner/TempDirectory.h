// The run's private temporary directory: where it is made, how it is named, and its removal.
#pragma once

#include <cstdlib>
#include <functional>
#include <string>

#include "code/Random.h"

namespace kr {

// Where the base of the temporary directory is looked for.
struct TempDirectoryPlaces {
    std::string executable_dir;  // a "tempdir.txt" here names the base in its first line
    // Environment lookups ("temp", "tmp" in either case, then "TMPDIR"); nullptr when unset.
    std::function<const char*(const char*)> getenv = [](const char* name) {
        return std::getenv(name);
    };
    std::string system_temp = "/tmp";
};

// The base the places name: the first line of tempdir.txt, else the first environment variable
// that is set and not empty, else the system's temporary folder.
std::string ChooseTempBase(const TempDirectoryPlaces& places);

// Creates base/kr_ttt_N (N a random number below 100000; the base and its parents are made
// when missing), drawing new numbers while the name is taken. Empty on failure.
std::string TryCreateTempDirectory(const std::string& base, Random& rng);

// Tries the chosen base, then the system's temporary folder, then the current directory.
// Returns the directory made, or empty when every attempt failed.
std::string CreateTempDirectory(const TempDirectoryPlaces& places, Random& rng);

// Whether `path` is `root` or lies below it (by components, so /t/kr_1 is not below /t/kr).
bool IsInsideDirectory(const std::string& path, const std::string& root);

// Removes `dir` and everything in it, but only when it lies inside `temp_root`; links inside
// are removed and never followed.
void DeleteDirectoryTree(const std::string& dir, const std::string& temp_root);

}  // namespace kr
