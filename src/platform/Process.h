// Facts about the running program itself.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kr {

// The full path of the running executable as the operating system knows it (not argv[0]);
// empty when it cannot be found.
std::string ExecutablePath();

// The number of bytes of an executable file that belong to its program image (for an ELF file:
// the end of its last header table, segment or section); 0 when the file cannot be read or is
// not an ELF file. Bytes past this size were appended to the program.
uint64_t ProgramImageSize(const std::string& path);

// The program image of an ELF executable without what only debuggers read: the section
// header table and every section outside the loaded segments (debug information, symbol
// tables) are dropped, which leaves a file that runs the same. Anything that is not a 64-bit
// little-endian ELF file comes back unchanged.
std::vector<uint8_t> StripProgramImage(std::vector<uint8_t> program);

// The cores this process may run on (a process pinned to one core gains nothing from a
// second thread).
unsigned UsableCores();

// Takes standard output for the program's own use (a protocol spoken on it): gives a stream on
// what standard output was, and sends anything written to standard output from then on to
// standard error instead.
std::FILE* TakeStandardOutput();

// Whether bytes were appended to the program image of the file (a game that carries its runner).
bool HasAppendedData(const std::string& path);

}  // namespace kr
