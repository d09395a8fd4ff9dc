// Version text of the program.
namespace kr {
const char* ProgramVersion() { return KORVANE_VERSION_TEXT; }
}  // namespace kr
