#include <gtest/gtest.h>

#include <filesystem>

#include "extensions/Extension.h"
#include "platform/Files.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

using test::EveryTruncationFails;
using test::LoadsExactly;
using test::PatchInteger;
using test::ReadsBackEqual;
using test::SavedBytes;

std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

CExtensionFunction Function(const std::string& name, int32_t id, int32_t args = 2) {
    CExtensionFunction f;
    f.name = name;
    f.external_name = name;
    f.id = id;
    f.arg_count = args;
    f.arg_types[0] = CExtensionFunction::kString;
    f.result_type = CExtensionFunction::kString;
    return f;
}

CExtensionPackage RichPackage() {
    CExtensionPackage p;
    p.name = "Tools";
    p.folder = "tools";
    p.seed = 12345;

    CExtensionFile lib;
    lib.file_name = "tools.so";
    lib.kind = CExtensionFile::kLibrary;
    lib.init_function = "tools_init";
    lib.functions = {Function("tools_init", 0, 0), Function("tools_sum", 1)};
    lib.functions[1].calling_convention = 11;
    lib.constants = {{"TOOLS_MAX", "16"}, {"TOOLS_NAME", "\"tools\""}};
    lib.contents.assign(3000, 0xAB);

    CExtensionFile script;
    script.file_name = "tools.krs";
    script.kind = CExtensionFile::kScriptFile;
    script.functions = {Function("tools_twice", 2), Function("tools_missing", 3)};
    script.contents = Bytes("#define tools_twice\r\nreturn argument0 * 2;\r\n");
    script.AssignScriptTexts();

    CExtensionFile actions;  // action libraries store no contents
    actions.file_name = "tools.lib";
    actions.kind = CExtensionFile::kActionLibrary;

    CExtensionFile other;
    other.file_name = "readme.txt";
    other.kind = CExtensionFile::kOther;
    other.contents = Bytes("read me");

    p.files = {lib, script, actions, other};
    return p;
}

TEST(ExtensionPackage, RoundTripsWithItsContents) {
    CExtensionPackage copy;
    ASSERT_TRUE(LoadsExactly(SavedBytes(RichPackage()), copy));
    EXPECT_EQ(copy, RichPackage());
    EXPECT_EQ(copy.files[1].functions[0].script_text, "return argument0 * 2;");
    EXPECT_EQ(copy.files[1].functions[1].script_text, "");
    EXPECT_TRUE(copy.files[2].contents.empty());
    EXPECT_TRUE(ReadsBackEqual(CExtensionPackage()));
}

TEST(ExtensionPackage, RejectsOtherVersionsDamagedContentsAndTruncation) {
    auto bytes = SavedBytes(RichPackage());
    EXPECT_TRUE(EveryTruncationFails<CExtensionPackage>(bytes));
    // Package, file, function and constant all carry 700, and each is checked: the package is
    // the 1st stored 700, its first file the 2nd, that file's first function the 3rd and, after
    // the second function, its first constant the 5th.
    for (int nth : {0, 1, 2, 4}) {
        auto patched = bytes;
        ASSERT_TRUE(PatchInteger(patched, kExtensionVersion, 701, nth));
        CStream s(patched);
        EXPECT_FALSE(CExtensionPackage().LoadFromStream(s)) << "occurrence " << nth;
    }

    CExtensionPackage p = RichPackage();
    CStream block(p.EncodeContents());
    block.Bytes()[40] ^= 0x55;  // inside the compressed file contents
    EXPECT_FALSE(p.DecodeContents(block));
}

// The contents block as stored games have it: the seed, then compressed file contents, scrambled
// from the second byte after the seed on.
TEST(ExtensionPackage, ContentsBlockLayout) {
    const int32_t seed = 987654;
    CStream plain;
    plain.WriteInteger(seed);
    plain.WriteCompressedBlock(Bytes("library bytes"));
    plain.WriteCompressedBlock(Bytes("other bytes"));
    CStream scrambled(plain.Bytes());
    scrambled.EncodeSeededRange(seed, 5, 0);
    EXPECT_EQ(scrambled.Bytes()[4], plain.Bytes()[4]);
    EXPECT_NE(scrambled.Bytes(), plain.Bytes());
    const std::vector<uint8_t> stored = scrambled.Bytes();

    CExtensionPackage p;
    p.files.resize(3);
    p.files[0].kind = CExtensionFile::kLibrary;
    p.files[1].kind = CExtensionFile::kActionLibrary;
    p.files[2].kind = CExtensionFile::kOther;
    ASSERT_TRUE(p.DecodeContents(scrambled));
    EXPECT_EQ(p.seed, seed);
    EXPECT_EQ(p.files[0].contents, Bytes("library bytes"));
    EXPECT_TRUE(p.files[1].contents.empty());
    EXPECT_EQ(p.files[2].contents, Bytes("other bytes"));
    EXPECT_EQ(p.EncodeContents(), stored);
}

TEST(ExtensionFunction, IsTidiedWhenRead) {
    struct Case {
        const char* what;
        std::string name, external;
        int32_t args, arg0_type, result_type;
        std::string want_name, want_external;
        int32_t want_arg0_type, want_result_type;
    } cases[] = {
        {"names trimmed", " \tf\r\n", "  F_ext ", 1, 1, 1, "f", "F_ext", 1, 1},
        {"empty external name becomes the name", "f", "   ", 1, 1, 1, "f", "f", 1, 1},
        {"more than 4 arguments: all real", "f", "", 5, 1, 1, "f", "f", 2, 1},
        {"4 arguments keep their types", "f", "", 4, 1, 2, "f", "f", 1, 2},
        {"variable count keeps its types", "f", "", -1, 1, 2, "f", "f", 1, 2},
        {"result type 0 is real", "f", "", 1, 1, 0, "f", "f", 1, 2},
        {"result type 7 is real", "f", "", 1, 1, 7, "f", "f", 1, 2},
    };
    for (const Case& c : cases) {
        CExtensionFunction stored;
        stored.name = c.name;
        stored.external_name = c.external;
        stored.arg_count = c.args;
        stored.arg_types.fill(CExtensionFunction::kString);
        stored.arg_types[0] = c.arg0_type;
        stored.result_type = c.result_type;
        CExtensionFunction f;
        ASSERT_TRUE(LoadsExactly(SavedBytes(stored), f)) << c.what;
        EXPECT_EQ(f.name, c.want_name) << c.what;
        EXPECT_EQ(f.external_name, c.want_external) << c.what;
        EXPECT_EQ(f.arg_types[0], c.want_arg0_type) << c.what;
        EXPECT_EQ(f.arg_types[16], c.args > 4 ? 2 : 1) << c.what;
        EXPECT_EQ(f.result_type, c.want_result_type) << c.what;
    }
}

TEST(ExtensionScriptFile, Sections) {
    using Sections = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* what;
        std::string text;
        Sections want;
    } cases[] = {
        {"CR LF lines, text before the first section ignored",
         "// tools\r\n#define a\r\nreturn 1;\r\n#define  b \r\nx = 2;\r\nreturn x;\r\n",
         {{"a", "return 1;"}, {"b", "x = 2;\r\nreturn x;"}}},
        {"LF and CR lines",
         "#define a\nreturn 1;\n#define b\rreturn 2;\r",
         {{"a", "return 1;"}, {"b", "return 2;"}}},
        {"leading empty lines vanish, inner ones stay",
         "#define a\r\n\r\n\r\nx = 1;\r\n\r\ny = 2;",
         {{"a", "x = 1;\r\n\r\ny = 2;"}}},
        {"a last line without a line break is kept",
         "#define a\r\nreturn 3;",
         {{"a", "return 3;"}}},
        {"no section at all", "return 1;\r\n", {}},
        {"an empty section",
         "#define a\r\n#define b\r\nreturn 2;\r\n",
         {{"a", ""}, {"b", "return 2;"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitScriptSections(c.text), c.want) << c.what;

    // Functions match sections by external name, case-sensitively; the later of two equal
    // sections wins.
    CExtensionFile file;
    file.kind = CExtensionFile::kScriptFile;
    file.functions = {Function("f", 0), Function("g", 1), Function("h", 2)};
    file.functions[1].external_name = "G";
    file.contents =
        Bytes("#define f\r\nreturn 1;\r\n#define g\r\nreturn 2;\r\n#define f\r\nreturn 3;\r\n");
    file.AssignScriptTexts();
    EXPECT_EQ(file.functions[0].script_text, "return 3;");
    EXPECT_EQ(file.functions[1].script_text, "");
    EXPECT_EQ(file.functions[2].script_text, "");
}

TEST(ExtensionPackage, WritesLibrariesAndOtherFilesIntoItsFolder) {
    namespace fs = std::filesystem;
    fs::path temp = fs::path(KR_BINARY_DIR) / "test-extension-files";
    fs::remove_all(temp);
    fs::create_directories(temp);
    std::string error;
    ASSERT_TRUE(WriteExtensionFiles(RichPackage(), temp.string(), error)) << error;
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadWholeFile((temp / "tools" / "tools.so").string(), got));
    EXPECT_EQ(got, RichPackage().files[0].contents);
    ASSERT_TRUE(ReadWholeFile((temp / "tools" / "readme.txt").string(), got));
    EXPECT_EQ(got, Bytes("read me"));
    EXPECT_FALSE(fs::exists(temp / "tools" / "tools.krs"));
    EXPECT_FALSE(fs::exists(temp / "tools" / "tools.lib"));

    // Names from the game data must not lead outside the temporary directory.
    struct Case {
        std::string folder, file;
    } unsafe[] = {{"..", "x.so"},       {"../up", "x.so"},      {"", "x.so"},
                  {"tools", "../x.so"}, {"tools", "/tmp/x.so"}, {"tools", "a\\x.so"},
                  {"tools", ".."}};
    for (const Case& c : unsafe) {
        CExtensionPackage p;
        p.name = "Bad";
        p.folder = c.folder;
        p.files.resize(1);
        p.files[0].kind = CExtensionFile::kLibrary;
        p.files[0].file_name = c.file;
        error.clear();
        EXPECT_FALSE(WriteExtensionFiles(p, temp.string(), error)) << c.folder << " " << c.file;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(fs::exists(temp.parent_path() / "x.so"));
    EXPECT_FALSE(fs::exists(temp.parent_path() / "up"));
    fs::remove_all(temp);
}

}  // namespace
}  // namespace kr
