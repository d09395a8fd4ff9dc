// Script functions for files, directories, ini files, the registry and programs: the family's
// table, and the bodies of open text and binary files, file names and included files (the
// other parts are declared in FunctionFile.h).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "code/Runtime.h"
#include "code/Vocabulary.h"
#include "library/FunctionFile.h"
#include "library/FunctionMath.h"
#include "library/IniFile.h"
#include "platform/Files.h"
#include "platform/GamePath.h"
#include "platform/Programs.h"
#include "platform/UserStore.h"
#include "runner/Runner.h"

namespace kr {

namespace {

// ---- Text files ----

// A line may be endless (a device, a file still being written): every reader below answers a
// request to stop the run after each piece of this many characters.
constexpr size_t kCharactersPerStopCheck = size_t(1) << 16;
// The longest line read into a string, as long as the longest string.
constexpr size_t kMaxLineBytes = size_t(1) << 30;

// Reads the rest of the line, leaving the line end unread. A line longer than any string fails.
std::string ReadRestOfLine(Runtime& rt, std::FILE* f, bool& failed) {
    std::string out;
    for (;;) {
        int c = std::fgetc(f);
        if (c == EOF) break;
        if (c == '\r' || c == '\n') {
            std::ungetc(c, f);
            break;
        }
        out += char(c);
        if (out.size() % kCharactersPerStopCheck == 0) {
            if (rt.Interrupted()) break;
            if (out.size() > kMaxLineBytes) {
                failed = true;
                return {};
            }
        }
    }
    failed = std::ferror(f) != 0;
    return out;
}

// The number at the reading position; see the format below. Stops at a line end without
// taking it, and takes the character that ends the number.
double ReadTextReal(Runtime& rt, std::FILE* f) {
    double value = 0, sign = 1, divisor = 1;
    for (size_t read = 1;; ++read) {
        if (read % kCharactersPerStopCheck == 0 && rt.Interrupted()) break;
        int c = std::fgetc(f);
        if (c == EOF) break;
        if (c == '\r' || c == '\n') {
            std::ungetc(c, f);
            break;
        }
        if (value == 0 && (c == ' ' || c == '\t')) continue;
        if (value == 0 && c == '-') {
            sign = -sign;
            continue;
        }
        if (c >= '0' && c <= '9') {
            int d = c - '0';
            if (divisor == 1) {
                value = value * 10 + d;
            } else {
                value += d / divisor;
                divisor *= 10;
            }
        } else if (c == '.' || c == ',') {
            divisor *= 10;
        } else {
            break;
        }
    }
    return sign * value;
}

// Skips the rest of the line and its line end (CR, LF or CR LF).
void SkipLine(Runtime& rt, std::FILE* f) {
    int c;
    for (size_t read = 1; (c = std::fgetc(f)) != EOF && c != '\r' && c != '\n'; ++read) {
        if (read % kCharactersPerStopCheck == 0 && rt.Interrupted()) return;
    }
    if (c == '\r') {
        int next = std::fgetc(f);
        if (next != '\n' && next != EOF) std::ungetc(next, f);
    }
}

bool AtEof(std::FILE* f) {
    int c = std::fgetc(f);
    if (c == EOF) return true;
    std::ungetc(c, f);
    return false;
}

bool AtEoln(std::FILE* f) {
    int c = std::fgetc(f);
    if (c == EOF) return true;
    std::ungetc(c, f);
    return c == '\r' || c == '\n';
}

}  // namespace

// A space, a minus sign for a negative number, the integer part of the magnitude, and six
// decimals when the fraction has any within a millionth: 3.25 is " 3.250000", 7 is " 7".
std::string TextFileReal(double x) {
    std::string out = " ";
    if (std::isnan(x)) return out + "NAN";
    if (x < 0) out += '-';
    double m = std::fabs(x);
    if (std::isinf(m)) return out + "INF";
    double whole = std::floor(m);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", whole);
    out += buf;
    auto micro = int64_t(std::floor((m - whole) * 1000000.0));
    if (micro != 0) {
        std::snprintf(buf, sizeof buf, ".%06lld", (long long)micro);
        out += buf;
    }
    return out;
}

namespace {

// Opens a text file in `mode` ('r', 'w', 'a'); nullptr when it cannot be opened.
FilePtr OpenText(const std::string& name, char mode) {
    const char* m = mode == 'r' ? "rb" : mode == 'w' ? "wb" : "ab";
    return FilePtr(std::fopen(HostPath(name).c_str(), m));
}

// The secure-mode test of the opening functions: writing and appending may not name a folder.
bool SecureRefusesOpen(Runtime& rt, const std::string& name, char mode) {
    if (mode == 'r' || !Secure(rt) || !HasSeparator(name)) return false;
    if (mode == 'a')
        rt.RuntimeError("In secure mode you cannot append to file " + name);
    else
        rt.RuntimeError("In secure mode you cannot write file " + name);
    return true;
}

void OpenTextSlot(Runtime& rt, const RValue* a, RValue& r, char mode) {
    std::string name = ArgText(a[0]);
    r = -1.0;
    if (SecureRefusesOpen(rt, name, mode)) return;
    FileFamily& fam = Files(rt);
    int slot = 1;
    while (slot <= kFileSlots && fam.text[slot].state != 0) ++slot;
    if (slot > kFileSlots) {
        rt.RuntimeError("Cannot open another file (maximum exceeded).");
        return;
    }
    if (mode == 'r' && !FileExists(HostPath(name))) return;  // no report for a missing file
    FilePtr f = OpenText(name, mode);
    if (!f) {
        rt.RuntimeError(mode == 'r'   ? "Error opening file for reading."
                        : mode == 'w' ? "Error opening file for writing."
                                      : "Error opening file for appending.");
        return;
    }
    fam.text[slot].file = std::move(f);
    fam.text[slot].state = mode == 'r' ? 1 : 2;
    r = double(slot);
}

TextSlot* TextForReading(Runtime& rt, int slot, bool legacy) {
    FileFamily& fam = Files(rt);
    if (slot < 0 || slot > kFileSlots || fam.text[slot].state != 1) {
        rt.RuntimeError(legacy ? "File not opened for reading."
                               : "File is not opened for reading.");
        return nullptr;
    }
    return &fam.text[slot];
}

TextSlot* TextForWriting(Runtime& rt, int slot) {
    FileFamily& fam = Files(rt);
    if (slot < 0 || slot > kFileSlots || fam.text[slot].state != 2) {
        rt.RuntimeError("File not opened for writing.");
        return nullptr;
    }
    return &fam.text[slot];
}

// Every write is flushed, so a crash loses nothing a script wrote.
void WriteText(Runtime& rt, int slot, std::string_view text) {
    TextSlot* t = TextForWriting(rt, slot);
    if (!t) return;
    std::fwrite(text.data(), 1, text.size(), t->file.get());
    std::fflush(t->file.get());
}

void ReadString(Runtime& rt, int slot, bool legacy, RValue& r) {
    TextSlot* t = TextForReading(rt, slot, legacy);
    if (!t) return;
    bool failed = false;
    std::string s = ReadRestOfLine(rt, t->file.get(), failed);
    if (failed)
        rt.RuntimeError("Error reading string.");
    else
        r = RValue(s);
}

void ReadReal(Runtime& rt, int slot, bool legacy, RValue& r) {
    TextSlot* t = TextForReading(rt, slot, legacy);
    if (!t) return;
    double v = ReadTextReal(rt, t->file.get());
    if (std::ferror(t->file.get()))
        rt.RuntimeError("Error reading real.");
    else
        r = v;
}

void ReadLn(Runtime& rt, int slot, bool legacy) {
    TextSlot* t = TextForReading(rt, slot, legacy);
    if (!t) return;
    SkipLine(rt, t->file.get());
    if (std::ferror(t->file.get())) rt.RuntimeError("Error reading line.");
}

void TextEof(Runtime& rt, int slot, bool legacy, bool line, RValue& r) {
    TextSlot* t = TextForReading(rt, slot, legacy);
    if (!t) return;
    r = (line ? AtEoln(t->file.get()) : AtEof(t->file.get())) ? 1.0 : 0.0;
}

bool CloseText(TextSlot& t) {
    bool ok = std::fclose(t.file.release()) == 0;
    t.state = 0;
    return ok;
}

// ---- Binary files ----

BinarySlot* OpenBinary(Runtime& rt, int slot) {
    FileFamily& fam = Files(rt);
    if (slot < 1 || slot > kFileSlots || !fam.binary[slot].file) {
        rt.RuntimeError("File is not opened.");
        return nullptr;
    }
    return &fam.binary[slot];
}

// A stream that was written must be positioned before it is read, and the other way round.
void Switch(BinarySlot& b, bool writing) {
    if (b.last_was_write != writing) std::fseek(b.file.get(), 0, SEEK_CUR);
    b.last_was_write = writing;
}

}  // namespace

// A text file handle: slot 0 is the legacy file, which only the functions without a handle
// reach, so a handle below 1 names no file.
static int TextHandle(const RValue& v) {
    int slot = ArgInt(v);
    return slot < 1 ? -1 : slot;
}

#define KR_FN(name)                                                                \
    static void fn_##name(Runtime& rt, ScriptInstance*, ScriptInstance*, int argc, \
                          const RValue* a, RValue& r)

KR_FN(file_bin_open) {
    std::string name = ArgText(a[0]);
    int mode = ArgInt(a[1]);
    r = -1.0;
    if (mode != 0 && Secure(rt) && HasSeparator(name)) {
        rt.RuntimeError("In secure mode you cannot write file " + name);
        return;
    }
    FileFamily& fam = Files(rt);
    int slot = 1;
    while (slot <= kFileSlots && fam.binary[slot].file) ++slot;
    if (slot > kFileSlots) {
        rt.RuntimeError("Cannot open another file (maximum exceeded).");
        return;
    }
    // An existing file is opened at position 0 without truncation, a missing one is created.
    std::FILE* f = OpenFileInPlace(HostPath(name), mode == 0   ? FileAccess::kRead
                                                   : mode == 1 ? FileAccess::kWrite
                                                               : FileAccess::kReadWrite);
    if (!f) {
        rt.RuntimeError("Error opening binary file.");
        return;
    }
    fam.binary[slot].file.reset(f);
    fam.binary[slot].last_was_write = false;
    r = double(slot);
}

KR_FN(file_bin_rewrite) {
    int slot = ArgInt(a[0]);
    FileFamily& fam = Files(rt);
    if (slot < 1 || slot > kFileSlots || !fam.binary[slot].file) {
        rt.RuntimeError("Trying to rewrite unopened file.");
        return;
    }
    std::FILE* f = fam.binary[slot].file.get();
    if (!TruncateOpenFile(f) || std::fseek(f, 0, SEEK_SET) != 0)
        rt.RuntimeError("Error rewriting file.");
}

KR_FN(file_bin_close) {
    int slot = ArgInt(a[0]);
    FileFamily& fam = Files(rt);
    if (slot < 1 || slot > kFileSlots || !fam.binary[slot].file) {
        rt.RuntimeError("Trying to close unopened file.");
        return;
    }
    if (std::fclose(fam.binary[slot].file.release()) != 0) rt.RuntimeError("Error closing file.");
}

KR_FN(file_bin_position) {
    BinarySlot* b = OpenBinary(rt, ArgInt(a[0]));
    if (!b) return;
    long pos = std::ftell(b->file.get());
    if (pos < 0)
        rt.RuntimeError("Error retrieving file size.");
    else
        r = double(pos);
}

KR_FN(file_bin_size) {
    BinarySlot* b = OpenBinary(rt, ArgInt(a[0]));
    if (!b) return;
    std::fflush(b->file.get());
    int64_t size = 0;
    if (!OpenFileSize(b->file.get(), size))
        rt.RuntimeError("Error retrieving file size.");
    else
        r = double(size);
}

KR_FN(file_bin_seek) {
    BinarySlot* b = OpenBinary(rt, ArgInt(a[0]));
    if (!b) return;
    double pos = ArgReal(a[1]);
    if (!(pos >= 0 && pos < 9.0e18) ||
        std::fseek(b->file.get(), long(RoundToInt64(pos)), SEEK_SET) != 0)
        rt.RuntimeError("Error seeking.");
}

KR_FN(file_bin_read_byte) {
    BinarySlot* b = OpenBinary(rt, ArgInt(a[0]));
    if (!b) return;
    Switch(*b, false);
    int c = std::fgetc(b->file.get());
    if (c == EOF) {
        std::clearerr(b->file.get());
        rt.RuntimeError("Error reading byte.");
        return;
    }
    r = double(c);
}

KR_FN(file_bin_write_byte) {
    BinarySlot* b = OpenBinary(rt, ArgInt(a[0]));
    if (!b) return;
    Switch(*b, true);
    if (std::fputc(int(RoundToInt64(ArgReal(a[1])) & 0xFF), b->file.get()) == EOF ||
        std::fflush(b->file.get()) != 0) {
        std::clearerr(b->file.get());
        rt.RuntimeError("Error writing byte.");
    }
}

KR_FN(file_text_open_read) {
    OpenTextSlot(rt, a, r, 'r');
}
KR_FN(file_text_open_write) {
    OpenTextSlot(rt, a, r, 'w');
}
KR_FN(file_text_open_append) {
    OpenTextSlot(rt, a, r, 'a');
}
KR_FN(file_text_close) {
    int slot = ArgInt(a[0]);
    FileFamily& fam = Files(rt);
    if (slot < 1 || slot > kFileSlots || fam.text[slot].state == 0) {
        rt.RuntimeError("Trying to close unexisting text file.");
        return;
    }
    if (!CloseText(fam.text[slot])) rt.RuntimeError("Error closing file.");
}
KR_FN(file_text_read_string) {
    ReadString(rt, TextHandle(a[0]), false, r);
}
KR_FN(file_text_read_real) {
    ReadReal(rt, TextHandle(a[0]), false, r);
}
KR_FN(file_text_readln) {
    ReadLn(rt, TextHandle(a[0]), false);
}
KR_FN(file_text_eof) {
    TextEof(rt, TextHandle(a[0]), false, false, r);
}
KR_FN(file_text_eoln) {
    TextEof(rt, TextHandle(a[0]), false, true, r);
}
KR_FN(file_text_write_string) {
    WriteText(rt, TextHandle(a[0]), ArgText(a[1]));
}
KR_FN(file_text_write_real) {
    WriteText(rt, TextHandle(a[0]), TextFileReal(ArgReal(a[1])));
}
KR_FN(file_text_writeln) {
    WriteText(rt, TextHandle(a[0]), "\r\n");
}

// The legacy text file: text slot 0. Opening closes a legacy file that is still open.
static void OpenLegacy(Runtime& rt, const RValue* a, char mode) {
    std::string name = ArgText(a[0]);
    FileFamily& fam = Files(rt);
    if (fam.text[0].state != 0) CloseText(fam.text[0]);
    if (SecureRefusesOpen(rt, name, mode)) return;
    if (mode == 'r' && !FileExists(HostPath(name))) return;
    FilePtr f = OpenText(name, mode);
    if (!f) {
        rt.RuntimeError(mode == 'r'   ? "Error opening file for reading."
                        : mode == 'w' ? "Error opening file for writing."
                                      : "Error opening file for appending.");
        return;
    }
    fam.text[0].file = std::move(f);
    fam.text[0].state = mode == 'r' ? 1 : 2;
}

KR_FN(file_open_read) {
    OpenLegacy(rt, a, 'r');
}
KR_FN(file_open_write) {
    OpenLegacy(rt, a, 'w');
}
KR_FN(file_open_append) {
    OpenLegacy(rt, a, 'a');
}
KR_FN(file_close) {
    FileFamily& fam = Files(rt);
    if (fam.text[0].state != 0 && !CloseText(fam.text[0])) rt.RuntimeError("Error closing file.");
}
KR_FN(file_read_string) {
    ReadString(rt, 0, true, r);
}
KR_FN(file_read_real) {
    ReadReal(rt, 0, true, r);
}
KR_FN(file_readln) {
    ReadLn(rt, 0, true);
}
KR_FN(file_eof) {
    TextEof(rt, 0, true, false, r);
}
KR_FN(file_eoln) {
    TextEof(rt, 0, true, true, r);
}
KR_FN(file_write_string) {
    WriteText(rt, 0, ArgText(a[0]));
}
KR_FN(file_write_real) {
    WriteText(rt, 0, TextFileReal(ArgReal(a[0])));
}
KR_FN(file_writeln) {
    WriteText(rt, 0, "\r\n");
}

// ---- File names: "\" and "/" both separate, ":" ends a drive ----

namespace {

size_t LastDelimiter(std::string_view f) {
    return f.find_last_of("\\/:");
}

std::string DriveOf(std::string_view f) {
    if (f.size() >= 2 && f[1] == ':') return std::string(f.substr(0, 2));
    if (f.size() >= 2 && (f[0] == '\\' || f[0] == '/') && (f[1] == '\\' || f[1] == '/')) {
        // \\server\share
        size_t server_end = f.find_first_of("\\/", 2);
        if (server_end == std::string_view::npos) return std::string(f);
        size_t share_end = f.find_first_of("\\/", server_end + 1);
        return std::string(f.substr(0, share_end));
    }
    return "";
}

size_t ExtensionStart(std::string_view f) {
    size_t dot = f.find_last_of('.');
    size_t delim = LastDelimiter(f);
    if (dot == std::string_view::npos || (delim != std::string_view::npos && dot < delim))
        return std::string_view::npos;
    return dot;
}

}  // namespace

KR_FN(filename_name) {
    std::string f = ArgText(a[0]);
    size_t d = LastDelimiter(f);
    r = RValue(d == std::string::npos ? f : f.substr(d + 1));
}

KR_FN(filename_path) {
    std::string f = ArgText(a[0]);
    size_t d = LastDelimiter(f);
    r = RValue(d == std::string::npos ? std::string() : f.substr(0, d + 1));
}

KR_FN(filename_dir) {
    std::string f = ArgText(a[0]);
    size_t d = LastDelimiter(f);
    if (d == std::string::npos) {
        r = RValue("");
        return;
    }
    // The separator goes unless it is the root's ("C:\", "\").
    bool keep = f[d] == ':' || d == 0 || f[d - 1] == ':' || f[d - 1] == '\\' || f[d - 1] == '/';
    r = RValue(f.substr(0, keep ? d + 1 : d));
}

KR_FN(filename_drive) {
    r = RValue(DriveOf(ArgText(a[0])));
}

KR_FN(filename_ext) {
    std::string f = ArgText(a[0]);
    size_t e = ExtensionStart(f);
    r = RValue(e == std::string::npos ? std::string() : f.substr(e));
}

KR_FN(filename_change_ext) {
    std::string f = ArgText(a[0]);
    size_t e = ExtensionStart(f);
    r = RValue((e == std::string::npos ? f : f.substr(0, e)) + ArgText(a[1]));
}

// ---- Included files ----

namespace {

CDataFile* IncludedFile(Runtime& rt, std::string_view name) {
    for (CDataFile& f : RunnerOf(rt).Game().included_files)
        if (f.file_name == name) return &f;
    return nullptr;
}

}  // namespace

KR_FN(export_include_file) {
    CDataFile* f = IncludedFile(rt, ArgText(a[0]));
    if (!f) {
        rt.RuntimeError("Trying to export non-existing file.");
        return;
    }
    ExportIncludedFile(*f, RunnerOf(rt).FileContext());
}

KR_FN(export_include_file_location) {
    if (Secure(rt)) {
        rt.RuntimeError("In secure mode you cannot export a file to a location.");
        return;
    }
    CDataFile* f = IncludedFile(rt, ArgText(a[0]));
    if (!f) {
        rt.RuntimeError("Trying to export non-existing file.");
        return;
    }
    if (f->stored) WriteFileAtomically(HostPath(ArgText(a[1])), f->data);
}

KR_FN(discard_include_file) {
    CDataFile* f = IncludedFile(rt, ArgText(a[0]));
    if (!f) {
        rt.RuntimeError("Trying to discard non-existing file.");
        return;
    }
    f->data.clear();
    f->data.shrink_to_fit();
    f->stored = false;
}

#undef KR_FN

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kFileFunctions[] = {
    {"file_bin_open", fn_file_bin_open, 2},
    {"file_bin_rewrite", fn_file_bin_rewrite, 1},
    {"file_bin_close", fn_file_bin_close, 1},
    {"file_bin_position", fn_file_bin_position, 1},
    {"file_bin_size", fn_file_bin_size, 1},
    {"file_bin_seek", fn_file_bin_seek, 2},
    {"file_bin_read_byte", fn_file_bin_read_byte, 1},
    {"file_bin_write_byte", fn_file_bin_write_byte, 2},
    {"file_text_open_read", fn_file_text_open_read, 1},
    {"file_text_open_write", fn_file_text_open_write, 1},
    {"file_text_open_append", fn_file_text_open_append, 1},
    {"file_text_close", fn_file_text_close, 1},
    {"file_text_read_string", fn_file_text_read_string, 1},
    {"file_text_read_real", fn_file_text_read_real, 1},
    {"file_text_readln", fn_file_text_readln, 1},
    {"file_text_eof", fn_file_text_eof, 1},
    {"file_text_eoln", fn_file_text_eoln, 1},
    {"file_text_write_string", fn_file_text_write_string, 2},
    {"file_text_write_real", fn_file_text_write_real, 2},
    {"file_text_writeln", fn_file_text_writeln, 1},
    {"file_open_read", fn_file_open_read, 1},
    {"file_open_write", fn_file_open_write, 1},
    {"file_open_append", fn_file_open_append, 1},
    {"file_close", fn_file_close, 0},
    {"file_read_string", fn_file_read_string, 0},
    {"file_read_real", fn_file_read_real, 0},
    {"file_readln", fn_file_readln, 0},
    {"file_eof", fn_file_eof, 0},
    {"file_eoln", fn_file_eoln, 0},
    {"file_write_string", fn_file_write_string, 1},
    {"file_write_real", fn_file_write_real, 1},
    {"file_writeln", fn_file_writeln, 0},
    {"file_exists", fn_file_exists, 1},
    {"file_delete", fn_file_delete, 1},
    {"file_rename", fn_file_rename, 2},
    {"file_copy", fn_file_copy, 2},
    {"directory_exists", fn_directory_exists, 1},
    {"directory_create", fn_directory_create, 1},
    {"file_find_first", fn_file_find_first, 2},
    {"file_find_next", fn_file_find_next, 0},
    {"file_find_close", fn_file_find_close, 0},
    {"file_attributes", fn_file_attributes, 2},
    {"filename_name", fn_filename_name, 1},
    {"filename_path", fn_filename_path, 1},
    {"filename_dir", fn_filename_dir, 1},
    {"filename_drive", fn_filename_drive, 1},
    {"filename_ext", fn_filename_ext, 1},
    {"filename_change_ext", fn_filename_change_ext, 2},
    {"export_include_file", fn_export_include_file, 1},
    {"export_include_file_location", fn_export_include_file_location, 2},
    {"discard_include_file", fn_discard_include_file, 1},
    {"execute_program", fn_execute_program, 3},
    {"execute_shell", fn_execute_shell, 2},
    {"parameter_count", fn_parameter_count, 0},
    {"parameter_string", fn_parameter_string, 1},
    {"environment_get_variable", fn_environment_get_variable, 1},
    {"registry_write_string", fn_registry_write_string, 2},
    {"registry_write_real", fn_registry_write_real, 2},
    {"registry_read_string", fn_registry_read_string, 1},
    {"registry_read_real", fn_registry_read_real, 1},
    {"registry_exists", fn_registry_exists, 1},
    {"registry_write_string_ext", fn_registry_write_string_ext, 3},
    {"registry_write_real_ext", fn_registry_write_real_ext, 3},
    {"registry_read_string_ext", fn_registry_read_string_ext, 2},
    {"registry_read_real_ext", fn_registry_read_real_ext, 2},
    {"registry_exists_ext", fn_registry_exists_ext, 2},
    {"registry_set_root", fn_registry_set_root, 1},
    {"ini_open", fn_ini_open, 1},
    {"ini_close", fn_ini_close, 0},
    {"ini_read_string", fn_ini_read_string, 3},
    {"ini_read_real", fn_ini_read_real, 3},
    {"ini_write_string", fn_ini_write_string, 3},
    {"ini_write_real", fn_ini_write_real, 3},
    {"ini_key_exists", fn_ini_key_exists, 2},
    {"ini_section_exists", fn_ini_section_exists, 1},
    {"ini_key_delete", fn_ini_key_delete, 2},
    {"ini_section_delete", fn_ini_section_delete, 1},
    {"disk_free", fn_disk_free, -1},
    {"disk_size", fn_disk_size, -1},
};

void RegisterFileFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kFileFunctions>();
}

}  // namespace kr
