// Starting other programs for a game: a program it names, and the desktop's handler for a
// document or a web address.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr {

// Splits a command line's argument text into words the way games' command lines are written:
// blanks separate words, double quotes group blanks into a word, and \" is a quote.
std::vector<std::string> SplitCommandLine(std::string_view text);

// The host path of the program a game names: through MapGamePath, then without a ".exe" ending
// when only the native program exists; a bare name is looked for in the current directory and
// then along PATH. Empty when nothing executable is found.
std::string FindProgram(std::string_view game_name);

// Starts `path` with `args` (argv[1] onwards). With `wait` the call returns when the program has
// ended, checking every 50 ms. False when it could not be started. A program not waited for
// has its process id added to `running`, for ReapPrograms.
bool StartProgram(const std::string& path, const std::vector<std::string>& args, bool wait,
                  std::vector<int>& running);

// Collects the exit statuses of the programs in `running` that have ended and drops them.
void ReapPrograms(std::vector<int>& running);

// Asks the desktop (xdg-open) to open a document, folder or web address. False when the
// request could not be made.
bool OpenWithDesktop(const std::string& target, std::vector<int>& running);

// Why no program can be started here at all (in a web page); empty where they can.
std::string ProgramsUnavailable();

}  // namespace kr
