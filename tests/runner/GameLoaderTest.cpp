// The loader against games written by GameWriter: what it reads, the order it reports, and the
// message of every way a game file can be wrong.
#include <gtest/gtest.h>

#include "runner/GameLoader.h"
#include "runner/GameWriter.h"
#include "runner/Messages.h"
#include "runner/Scramble.h"
#include "support/GameFiles.h"
#include "support/SampleGames.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

using test::Bytes;
using test::FullGame;
using test::Record;
using test::RecordingHost;
using test::SomeIncludedFile;
using test::SomePackage;
using test::UnusualSettings;

TEST(GameLoader, ReadsEverythingTheWriterStored) {
    GameData g;
    RecordingHost host;
    ASSERT_EQ(test::LoadData(FullGame().WriteData(), g, host), LoadResult::kLoaded);
    EXPECT_TRUE(host.messages.empty());

    EXPECT_TRUE(g.debug_mode);
    EXPECT_EQ(g.game_id, 424242);
    EXPECT_EQ(g.application_id[0], 0xA0);
    EXPECT_EQ(g.application_id[15], 0xAF);
    EXPECT_EQ(host.d3dx_name, "D3DX8.dll");
    EXPECT_EQ(host.d3dx, Bytes("library bytes"));
    EXPECT_EQ(g.settings, UnusualSettings(true));

    ASSERT_EQ(g.extension_packages.size(), 2u);
    const CExtensionPackage& pack = g.extension_packages[0];
    const CExtensionFunction& fn = pack.files.at(0).functions.at(0);
    EXPECT_EQ(fn.name, "pack_add");           // trimmed
    EXPECT_EQ(fn.external_name, "pack_add");  // an empty external name is the name
    EXPECT_EQ(fn.arg_types[0], 2);            // more than four arguments: all real
    EXPECT_EQ(fn.result_type, 2);             // 0 is not string: real
    EXPECT_EQ(pack.files[0].contents, SomePackage().files[0].contents);  // unscrambled
    EXPECT_EQ(pack.files[1].functions.at(0).script_text, "return argument0 * 2;");
    EXPECT_EQ(pack.files[0].constants.at(0).value, "10");

    // Triggers keep their name inside the record.
    EXPECT_EQ(g.triggers.Name(0), "trig_door");
    EXPECT_FALSE(g.triggers.Exists(1));
    EXPECT_EQ(g.triggers.Get(2)->constant_name, "tr_other");
    EXPECT_EQ(g.constant_names, (std::vector<std::string>{"MAX_LIVES", "TITLE"}));
    EXPECT_EQ(g.constant_values, (std::vector<std::string>{"3", "\"Hi\""}));

    ASSERT_EQ(g.sprites.Count(), 6);
    EXPECT_EQ(g.sprites.Name(0), "spr_player");
    EXPECT_FALSE(g.sprites.Exists(1));
    EXPECT_EQ(g.sprites.Name(1), "<undefined>");
    EXPECT_EQ(g.sprites.StoredName(1), "");
    EXPECT_EQ(*g.sprites.Get(2), test::PatternSprite(5, 3, 3, true, 7));  // after the gap
    EXPECT_EQ(g.sprites.Get(2)->bbox_left, 1);  // the box comes from the stored masks
    EXPECT_EQ(g.sounds.Get(0)->data, Bytes("RIFF....WAVEfmt sound bytes"));
    EXPECT_EQ(g.backgrounds.Get(0)->image, test::PatternImage(8, 4, 11));
    EXPECT_EQ(g.paths.Get(0)->points.size(), 3u);
    EXPECT_GT(g.paths.Get(0)->Length(), 0);  // derived data is computed on reading
    EXPECT_EQ(g.scripts.Get(0)->text.substr(0, 12), "// scr_move(");
    EXPECT_EQ(g.fonts.Get(0)->image.size(), 36u);
    EXPECT_EQ(g.time_lines.Get(0)->moments.at(1).step, 30);
    const CObject& player = *g.objects.Get(1);
    EXPECT_EQ(player.parent, 0);
    ASSERT_NE(player.FindEvent(kEventStep, 0), nullptr);
    EXPECT_EQ(player.FindEvent(kEventStep, 0)->actions.size(), 8u);
    // Function names wait for preparation to be resolved.
    EXPECT_EQ(player.FindEvent(kEventStep, 0)->actions[0].function_id, -1);

    const CRoom& room = *g.rooms.Get(0);
    EXPECT_EQ(room.instances.size(), 3u);
    EXPECT_EQ(room.tiles.at(1).id, 10000002);
    // Stretched over the 320 x 240 room: background 0 is 8 x 4; without a background the
    // scales stay 1.
    EXPECT_EQ(room.backgrounds[0].xscale, 40);
    EXPECT_EQ(room.backgrounds[0].yscale, 60);
    EXPECT_EQ(room.backgrounds[1].xscale, 1);
    EXPECT_EQ(g.rooms.Name(2), "room_second");
    EXPECT_EQ(g.last_instance_id, 100123);
    EXPECT_EQ(g.last_tile_id, 10000456);

    ASSERT_EQ(g.included_files.size(), 2u);
    EXPECT_EQ(g.included_files[0], SomeIncludedFile());
    EXPECT_FALSE(g.included_files[1].stored);

    EXPECT_EQ(g.game_information.caption, "Help!");
    EXPECT_EQ(g.game_information.left, 7);
    EXPECT_EQ(g.game_information.text, "{\\rtf1\\ansi hi\\par}");
    EXPECT_EQ(g.library_init_code.at(0), "global.lives = 3;");
    EXPECT_EQ(g.room_order, (std::vector<int32_t>{2, 0}));

    // What the writer makes of the loaded game loads back the same.
    GameData again;
    ASSERT_EQ(test::LoadData(GameWriter::FromGameData(g, host.d3dx).WriteData(), again, host),
              LoadResult::kLoaded);
    EXPECT_TRUE(test::SameGame(g, again));
}

// A record of any kind with another version fails the load with the general message.
// The table of code files rides after the main block: it loads back, and whatever follows the
// block that is not a whole table (older games, a damaged table) is no concern of the game.
TEST(GameLoader, TheTableOfCodeFilesFollowsTheMainBlock) {
    GameWriter w;
    w.code_files = {{CodeTextHash("x = 1;"), "objects/obj_a/step.krs"},
                    {CodeTextHash("y = 2;"), "scripts/scr_b.krs"}};
    const std::vector<uint8_t> data = w.WriteData();
    const size_t without = GameWriter().WriteData().size();
    ASSERT_GT(data.size(), without);
    GameData g;
    RecordingHost host;
    ASSERT_EQ(test::LoadData(data, g, host), LoadResult::kLoaded);
    ASSERT_EQ(g.code_files.size(), 2u);
    EXPECT_EQ(g.code_files[1].hash, CodeTextHash("y = 2;"));
    EXPECT_EQ(g.code_files[1].file, "scripts/scr_b.krs");
    EXPECT_NE(CodeTextHash("x = 1;"), CodeTextHash("x = 1; "));

    for (size_t cut : {without + 3, data.size() - 1}) {
        std::vector<uint8_t> part(data.begin(), data.begin() + long(cut));
        GameData h;
        ASSERT_EQ(test::LoadData(part, h, host), LoadResult::kLoaded) << "cut at " << cut;
        EXPECT_TRUE(h.code_files.empty());
    }
    std::vector<uint8_t> other = GameWriter().WriteData();
    for (uint8_t b : Bytes("something else")) other.push_back(b);
    GameData h;
    EXPECT_EQ(test::LoadData(other, h, host), LoadResult::kLoaded);
    EXPECT_TRUE(host.messages.empty());
}

TEST(GameLoader, ARecordOfAnotherVersionFailsItsSection) {
    struct Case {
        SectionId section;
        int32_t version;
    } cases[] = {
        {SectionId::kTriggers, kTriggerVersion}, {SectionId::kSounds, kSoundVersion},
        {SectionId::kSprites, kSpriteVersion},   {SectionId::kBackgrounds, kBackgroundVersion},
        {SectionId::kPaths, kPathVersion},       {SectionId::kScripts, kScriptVersion},
        {SectionId::kFonts, kFontVersion},       {SectionId::kTimeLines, kTimeLineVersion},
        {SectionId::kObjects, kObjectVersion},   {SectionId::kRooms, kRoomVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Section(c.section).key);
        GameWriter w;
        w.AddResource(c.section, "r", Record([&](CStream& s) { s.WriteInteger(c.version + 1); }));
        GameData g;
        RecordingHost host;
        EXPECT_EQ(test::LoadData(w.WriteData(), g, host), LoadResult::kFailed);
        EXPECT_EQ(host.messages, std::vector<std::string>{msg::kResourceData});
    }
}

TEST(GameLoader, BarPicturesAreStoredOnlyWithTheProgressBar) {
    GameWriter w;
    w.settings = UnusualSettings(false);
    GameData g;
    RecordingHost host;
    ASSERT_EQ(test::LoadData(w.WriteData(), g, host), LoadResult::kLoaded);
    EXPECT_FALSE(g.settings.show_progress_bar);
    EXPECT_FALSE(g.settings.progress_bar_back_image.present);
    EXPECT_FALSE(g.settings.progress_bar_front_image.present);
    EXPECT_EQ(g.settings.loading_image.bmp, UnusualSettings(false).loading_image.bmp);
    EXPECT_EQ(g.settings.abort_on_errors, UnusualSettings(false).abort_on_errors);
}

TEST(GameLoader, ReportsProgressBeforeEverySection) {
    GameData g;
    RecordingHost host;
    ASSERT_EQ(test::LoadData(GameWriter().WriteData(), g, host), LoadResult::kLoaded);
    std::vector<std::pair<int, std::string>> want = {
        {1, "Reading data"},         {0, "Loading extension packages"},
        {5, "Loading triggers"},     {6, "Loading constants"},
        {7, "Loading sounds"},       {10, "Loading sprites"},
        {23, "Loading backgrounds"}, {30, "Loading paths"},
        {32, "Loading scripts"},     {34, "Loading fonts"},
        {36, "Loading time lines"},  {38, "Loading objects"},
        {40, "Loading rooms"},       {43, "Loading included files"},
        {45, "Loading help"},        {47, "Loading library init code"},
        {49, "Loading room order"},
    };
    EXPECT_EQ(host.progress, want);
    EXPECT_TRUE(host.form_shown);
}

// Every case is loaded from memory and from a file: the file's loader reads only the places
// where the data may start and then the data, never the program before it.
TEST(GameLoader, FindsTheDataAtTheFirstPlaceThatHoldsIt) {
    test::ScratchDir dir;
    auto load_both = [&](const std::vector<uint8_t>& file, LoadResult want,
                         const std::vector<std::string>& messages) {
        GameData g;
        RecordingHost host;
        EXPECT_EQ(LoadGameImage(file, g, host), want);
        EXPECT_EQ(host.messages, messages);
        GameData from_file;
        RecordingHost file_host;
        EXPECT_EQ(LoadGameFile(dir.Write("game.exe", file), from_file, file_host), want);
        EXPECT_EQ(file_host.messages, messages);
        EXPECT_EQ(from_file.game_id, g.game_id);
        EXPECT_EQ(from_file.room_order, g.room_order);
    };
    std::vector<uint8_t> data = GameWriter().WriteData();
    struct Case {
        size_t program_size;
        int extra_steps;
        std::optional<size_t> at;
    } cases[] = {
        {0, 0, kGameDataStart},
        {0, 2, kGameDataStart + 2 * kGameDataStep},  // found after two misses
        {kGameDataStart + 1, 0, kGameDataStart + kGameDataStep},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> program(c.program_size, 0x5A);
        std::vector<uint8_t> file = GameWriter().WriteGameFile(program, c.extra_steps);
        SCOPED_TRACE(std::to_string(c.program_size) + " + " + std::to_string(c.extra_steps));
        EXPECT_EQ(FindGameData(file), c.at);
        load_both(file, LoadResult::kLoaded, {});
    }

    // A program that holds the magic number by chance where the data may start: the data
    // appended after it is written and found all the same.
    {
        std::vector<uint8_t> program(kGameDataStart + 2 * kGameDataStep, 0x5A);
        test::PutInteger(program, kGameDataStart + kGameDataStep, kGameMagic);
        std::vector<uint8_t> file = GameWriter().WriteGameFile(program);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(FindGameData(file), kGameDataStart + 2 * kGameDataStep);
        load_both(file, LoadResult::kLoaded, {});
    }

    // No place holds it: too short a file, a magic number off the grid, one cut short.
    std::vector<uint8_t> short_file(kGameDataStart - 1, 0);
    std::vector<uint8_t> off_grid(kGameDataStart + 3, 0);
    off_grid.insert(off_grid.end(), data.begin(), data.end());
    std::vector<uint8_t> cut(kGameDataStart, 0);
    cut.insert(cut.end(), data.begin(), data.begin() + 3);
    for (const auto& file : {short_file, off_grid, cut, std::vector<uint8_t>()})
        load_both(file, LoadResult::kFailed, {msg::kNotValidGame});

    // A file that cannot be read says so, with the reason.
    for (const std::string& path : {dir / "missing.exe", dir.Path()}) {
        GameData g;
        RecordingHost host;
        EXPECT_EQ(LoadGameFile(path, g, host), LoadResult::kFailed);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0],
                  std::string(msg::kCannotReadGame) + "\n" + path + ": " +
                      (path == dir.Path() ? "Is a directory" : "No such file or directory"));
    }
}

TEST(GameLoader, AWriterRefusesAProgramThatHidesItsData) {
    std::vector<uint8_t> program(kGameDataStart + 100, 0);
    test::PutInteger(program, kGameDataStart, kGameMagic);
    test::PutInteger(program, kGameDataStart + 4, kFormatVersion);
    EXPECT_TRUE(GameWriter().WriteGameFile(program).empty());
}

TEST(GameLoader, EveryFailureShowsItsMessage) {
    struct Case {
        std::string what;
        std::function<void(GameWriter&)> change;
        std::vector<std::string> messages;
    };
    std::vector<Case> cases = {
        {"format version", [](GameWriter& w) { w.format_version = 810; }, {msg::kWrongVersion}},
        {"settings version", [](GameWriter& w) { w.settings_version = 700; }, {msg::kResourceData}},
        {"extension package record",
         [](GameWriter& w) {
             w.AddExtensionPackage(Record([](CStream& s) { s.WriteInteger(710); }));
         },
         {msg::kExtensionPackages, msg::kResourceData}},
        {"included file record",
         [](GameWriter& w) { w.AddIncludedFile(Record([](CStream& s) { s.WriteInteger(810); })); },
         {msg::kResourceData}},
        {"empty room order", [](GameWriter& w) { w.room_order.clear(); }, {msg::kResourceData}},
    };
    for (const SectionInfo& s : Sections()) {
        cases.push_back({std::string("version of ") + s.key,
                         [&s](GameWriter& w) { w.section_versions[size_t(s.id)] += 1; },
                         {msg::kResourceData}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameWriter w;
        c.change(w);
        GameData g;
        RecordingHost host;
        EXPECT_EQ(test::LoadData(w.WriteData(), g, host), LoadResult::kFailed);
        EXPECT_EQ(host.messages, c.messages);
    }
}

TEST(GameLoader, ASectionThatFailsStopsTheLoad) {
    GameWriter w = FullGame();
    w.section_versions[size_t(SectionId::kRooms)] = 0;
    GameData g;
    RecordingHost host;
    EXPECT_EQ(test::LoadData(w.WriteData(), g, host), LoadResult::kFailed);
    EXPECT_EQ(host.progress.back(), std::make_pair(40, std::string("Loading rooms")));
    EXPECT_EQ(g.objects.Count(), 4);  // sections before it stay loaded
}

TEST(GameLoader, EveryTruncationIsCorrupt) {
    std::vector<uint8_t> data = FullGame().WriteData();
    for (size_t cut = 4; cut < data.size(); ++cut) {
        GameData g;
        RecordingHost host;
        std::vector<uint8_t> part(data.begin(), data.begin() + long(cut));
        ASSERT_EQ(test::LoadData(part, g, host), LoadResult::kCorrupted) << "cut at " << cut;
        ASSERT_TRUE(host.messages.empty());
    }
}

TEST(GameLoader, CorruptBlocksAndImpossibleLengthsAreCorrupt) {
    struct Case {
        std::string what;
        std::function<void(std::vector<uint8_t>&)> corrupt;
    };
    GameWriter game = FullGame();
    game.d3dx_library = Bytes("library bytes library bytes library bytes");
    std::vector<uint8_t> packed = Deflate(game.d3dx_library);
    Case cases[] = {
        {"damaged compressed block",
         [&](std::vector<uint8_t>& d) {
             std::string_view z(reinterpret_cast<const char*>(packed.data()), packed.size());
             d[test::Find(d, z) + packed.size() / 2] ^= 0x55;
         }},
        {"block longer than the file",
         [&](std::vector<uint8_t>& d) {
             std::string_view z(reinterpret_cast<const char*>(packed.data()), packed.size());
             test::PutInteger(d, test::Find(d, z) - 4, 0x7FFFFFF0);
         }},
        {"main block longer than the file",
         [](std::vector<uint8_t>& d) {
             d.pop_back();  // the block's stored length is now one too long
         }},
        {"string longer than the file",
         [](std::vector<uint8_t>& d) {
             test::EditBody(d, [](std::vector<uint8_t>& body) {
                 test::PutInteger(body, test::Find(body, "MAX_LIVES") - 4, 0x40000000);
             });
         }},
        {"count larger than the rest could hold",
         [](std::vector<uint8_t>& d) {
             test::EditBody(d, [](std::vector<uint8_t>& body) {
                 // The library init code count sits before the first code's length.
                 test::PutInteger(body, test::Find(body, "global.lives") - 8, 0x7FFFFFFF);
             });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data = game.WriteData();
        c.corrupt(data);
        GameData g;
        RecordingHost host;
        EXPECT_EQ(test::LoadData(data, g, host), LoadResult::kCorrupted);
    }
}

TEST(GameLoader, ImpossibleCountsInsideRecordsAreCorrupt) {
    std::vector<uint8_t> package = Record([](CStream& s) { SomePackage().SaveToStream(s); });
    test::PutInteger(package, test::Find(package, "packdir") + 7, 50000000);  // file count
    CDataFile file = SomeIncludedFile();
    std::vector<uint8_t> included = Record([&](CStream& s) { WriteIncludedFileRecord(s, file); });
    test::PutInteger(included, test::Find(included, "hello") - 4, 1 << 30);  // data length

    for (auto* records : {&package, &included}) {
        GameWriter w;
        if (records == &package)
            w.AddExtensionPackage(*records);
        else
            w.AddIncludedFile(*records);
        GameData g;
        RecordingHost host;
        EXPECT_EQ(test::LoadData(w.WriteData(), g, host), LoadResult::kCorrupted);
        EXPECT_TRUE(host.messages.empty());
    }
}

// Damaged package contents are damaged data, not a package of another version.
TEST(GameLoader, DamagedPackageContentsAreCorrupt) {
    CExtensionPackage package = SomePackage();
    std::vector<uint8_t> record = Record([&](CStream& s) { package.SaveToStream(s); });
    std::vector<uint8_t> contents = package.EncodeContents();
    std::string_view z(reinterpret_cast<const char*>(contents.data()), contents.size());
    record[test::Find(record, z) + 12] ^= 0x5A;  // inside the first file's compressed data
    GameWriter w;
    w.AddExtensionPackage(record);
    GameData g;
    RecordingHost host;
    EXPECT_EQ(test::LoadData(w.WriteData(), g, host), LoadResult::kCorrupted);
    EXPECT_TRUE(host.messages.empty());
}

TEST(Scramble, UndoesTheStoredOrder) {
    // Worked out by hand from the format: T[i] = 7i + 3 (mod 256).
    ScrambleTable t;
    for (int i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(i * 7 + 3);
    std::vector<uint8_t> m = {10, 200, 33, 47, 0, 255, 1, 2};
    UnscrambleBlock(m, t);
    EXPECT_EQ(m, (std::vector<uint8_t>{200, 168, 80, 168, 31, 141, 65, 10}));

    std::vector<uint8_t> one = {77};  // the first pass leaves byte 0; the swap is with itself
    UnscrambleBlock(one, t);
    EXPECT_EQ(one, std::vector<uint8_t>{77});
}

TEST(Scramble, TheWriterIsTheExactInverse) {
    ScrambleTable t;
    for (int i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(255 - i);  // reaches back up to 255 places
    for (size_t n : {0, 1, 2, 255, 256, 257, 5000}) {
        std::vector<uint8_t> body(n);
        for (size_t i = 0; i < n; ++i) body[i] = uint8_t(i * 31 + 7);
        std::vector<uint8_t> m = body;
        ScrambleBlock(m, t);
        UnscrambleBlock(m, t);
        EXPECT_EQ(m, body) << n << " bytes";
    }
}

TEST(GameInformation, LimitsTheWindowToTheScreenThenCentresIt) {
    struct Case {
        int32_t left, top, width, height;
        CGameInformation::Rect want;
    } cases[] = {
        {-1, -1, 2000, 300, {0, 234, 1024, 300}},  // wider than the screen, centred
        {10, 20, 300, 200, {10, 20, 300, 200}},
        {-5, 5, 301, 2000, {361, 5, 301, 768}},  // (1024 - 301) / 2 rounds toward zero
    };
    for (const Case& c : cases) {
        CGameInformation gi;
        gi.left = c.left;
        gi.top = c.top;
        gi.width = c.width;
        gi.height = c.height;
        CGameInformation::Rect r = gi.Placement(1024, 768);
        EXPECT_EQ(r.left, c.want.left);
        EXPECT_EQ(r.top, c.want.top);
        EXPECT_EQ(r.width, c.want.width);
        EXPECT_EQ(r.height, c.want.height);
    }
}

}  // namespace
}  // namespace kr
