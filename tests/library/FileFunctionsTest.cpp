// Files, directories, INI files, the registry store, programs, dates and the clipboard, run as
// scripts in a scratch directory that is the current directory for the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/UserStore.h"
#include "support/ScratchDir.h"
#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

struct Case {
    const char* code;
    const char* want;        // the result, as Show writes it
    const char* error = "";  // the error shown; "" when none is
};

// Runs the cases in a scratch directory made current, with the user store in it too.
class FileFunctionsTest : public ::testing::Test {
protected:
    FileFunctionsTest() {
        char buf[4096];
        old_dir_ = ::getcwd(buf, sizeof buf) ? buf : "/";
        EXPECT_EQ(::chdir(dir_.Path().c_str()), 0);
        const char* old = std::getenv("XDG_DATA_HOME");
        if (old) old_data_home_ = old;
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    ~FileFunctionsTest() override {
        (void)::chdir(old_dir_.c_str());
        if (old_data_home_.empty())
            ::unsetenv("XDG_DATA_HOME");
        else
            ::setenv("XDG_DATA_HOME", old_data_home_.c_str(), 1);
    }

    void RunCases(test::ScriptRunner& run, std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
            EXPECT_EQ(run.LastError(), c.error) << c.code;
        }
    }
    std::string Read(const char* name) {
        std::vector<uint8_t> bytes;
        ReadWholeFile(dir_ / name, bytes);
        return std::string(bytes.begin(), bytes.end());
    }

    test::ScratchDir dir_;
    std::string old_dir_, old_data_home_;
};

TEST_F(FileFunctionsTest, TextFilesWriteAndReadRealsAndLines) {
    test::ScriptRunner run;
    RunCases(run,
             {
                 {"f = file_text_open_write('a.txt'); file_text_write_real(f, 3.25); "
                  "file_text_write_real(f, 7);"
                  "file_text_write_real(f, -1.5); file_text_write_real(f, 0.0000004); "
                  "file_text_writeln(f);"
                  "file_text_write_string(f, '  -12.5abc'); file_text_writeln(f); "
                  "file_text_write_string(f, '1,5');"
                  "return file_text_close(f)",
                  "0"},
                 {"f = file_text_open_read('a.txt'); return f", "1"},
                 {"return string(file_text_read_real(f)) + ',' + string(file_text_read_real(f))",
                  "\"3.25,7\""},
                 {"return file_text_read_real(f)", "-1.5"},
                 {"return file_text_read_real(f)", "0"},
                 {"return file_text_eoln(f)", "1"},
                 {"file_text_readln(f); return file_text_read_real(f)", "-12.5"},
                 // The character that ends the number is taken with it.
                 {"return file_text_read_string(f)", "\"bc\""},
                 {"file_text_readln(f); return file_text_read_real(f)", "1.5"},
                 {"return file_text_eof(f)", "1"},
                 {"return file_text_close(f)", "0"},
                 // A missing file gives -1 and no message.
                 {"return file_text_open_read('missing.txt')", "-1"},
                 {"return file_text_read_string(1)", "0", "File is not opened for reading."},
                 {"file_text_write_string(0, 'x'); return 0", "0", "File not opened for writing."},
                 {"return file_text_close(5)", "0", "Trying to close unexisting text file."},
                 {"f = file_text_open_append('a.txt'); file_text_write_string(f, '!'); "
                  "file_text_close(f); return 0",
                  "0"},
             });
    EXPECT_EQ(Read("a.txt"), " 3.250000 7 -1.500000 0\r\n  -12.5abc\r\n1,5!");
}

TEST_F(FileFunctionsTest, TheLegacyFileIsOneTextFileWithoutAHandle) {
    test::ScriptRunner run;
    RunCases(run, {
                      {"file_open_write('l.txt'); file_write_string('x'); file_write_real(12.5); "
                       "file_writeln(); file_close(); return 0",
                       "0"},
                      {"file_open_read('l.txt'); return file_read_string()", "\"x 12.500000\""},
                      {"return file_eoln()", "1"},
                      {"file_readln(); return file_eof()", "1"},
                      // Opening a missing file leaves the legacy file closed, silently.
                      {"file_open_read('nope.txt'); return 0", "0"},
                      {"return file_read_real()", "0", "File not opened for reading."},
                      {"file_write_string('y'); return 0", "0", "File not opened for writing."},
                  });
}

TEST_F(FileFunctionsTest, BinaryFilesHaveThirtyTwoSlots) {
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"for (i = 0; i < 32; i += 1) h[i] = file_bin_open('b' + string(i), 2); return h[31]",
             "32"},
            {"return file_bin_open('one_too_many', 2)", "-1",
             "Cannot open another file (maximum exceeded)."},
            {"file_bin_close(5); return file_bin_open('again', 2)", "5"},
            {"for (i = 0; i < 32; i += 1) file_bin_close(i + 1); return 0", "0"},
            {"return file_bin_close(1)", "0", "Trying to close unopened file."},
            {"return file_bin_size(40)", "0", "File is not opened."},
            {"return file_bin_rewrite(3)", "0", "Trying to rewrite unopened file."},
            {"f = file_bin_open('data', 1); file_bin_write_byte(f, 65); file_bin_write_byte(f, 256 "
             "+ 66);"
             "file_bin_write_byte(f, 67); file_bin_close(f); return 0",
             "0"},
            // Mode 1 opens without truncating.
            {"f = file_bin_open('data', 1); file_bin_write_byte(f, 97); s = file_bin_size(f); "
             "file_bin_close(f); return s",
             "3"},
            {"f = file_bin_open('data', 0); file_bin_seek(f, 1); b = file_bin_read_byte(f);"
             "p = file_bin_position(f); return string(b) + ',' + string(p)",
             "\"66,2\""},
            {"file_bin_seek(f, 3); return file_bin_read_byte(f)", "0", "Error reading byte."},
            {"file_bin_close(f); f = file_bin_open('data', 2); file_bin_rewrite(f); s = "
             "file_bin_size(f); file_bin_close(f); return s",
             "0"},
        });
}

TEST_F(FileFunctionsTest, FileManagementAndSearch) {
    dir_.Write("Save1.TXT", "1");
    dir_.Write("save2.txt", "2");
    dir_.Write(".hidden.txt", "h");
    dir_.Write("sub/inner.txt", "i");
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"return file_exists('SAVE1.txt')", "1"},
            {"file_copy('save1.txt', 'copy.txt'); file_rename('copy.txt', 'sub\\moved.txt'); "
             "return file_exists('sub/moved.txt')",
             "1"},
            {"file_delete('sub\\MOVED.txt'); return file_exists('sub/moved.txt')", "0"},
            {"directory_create('x\\y\\z'); return directory_exists('x/y/z')", "1"},
            {"return file_find_first('*.txt', 0) + ',' + file_find_next() + ',' + file_find_next()",
             "\"Save1.TXT,save2.txt,\""},
            {"return file_find_first('*', 16 + 2) != ''", "1"},
            {"n = 0; s = file_find_first('*', 16); while (s != '') { if (s == 'sub') n += 1; s = "
             "file_find_next() } return n",
             "1"},
            {"file_find_close(); return file_find_next()", "\"\""},
            {"return string(file_attributes('sub', 16)) + string(file_attributes('save2.txt', 16)) "
             "+ string(file_attributes('gone', 16))",
             "\"10-1\""},
            {"return file_attributes('.hidden.txt', 2)", "1"},
        });
}

TEST_F(FileFunctionsTest, FileNameHelpers) {
    test::ScriptRunner run;
    RunCases(run, {
                      {"return filename_name('C:/games/a.b/save.dat')", "\"save.dat\""},
                      {"return filename_path('C:/games/save.dat')", "\"C:/games/\""},
                      {"return filename_dir('C:/games/save.dat')", "\"C:/games\""},
                      {"return filename_dir('C:/save.dat')", "\"C:/\""},
                      {"return filename_drive('C:/games/save.dat')", "\"C:\""},
                      {"return filename_ext('C:/games.d/save')", "\"\""},
                      {"return filename_ext('save.tar.gz')", "\".gz\""},
                      {"return filename_change_ext('dir/save.dat', '.bak')", "\"dir/save.bak\""},
                      {"return filename_change_ext('save', '.bak')", "\"save.bak\""},
                  });
}

TEST_F(FileFunctionsTest, SecureModeRefusesWhatReachesOtherFolders) {
    test::ScriptRunner run(true);
    RunCases(
        run,
        {
            {"f = file_text_open_write('plain.txt'); file_text_close(f); return f", "1"},
            {"return file_text_open_write('sub/a.txt')", "-1",
             "In secure mode you cannot write file sub/a.txt"},
            {"return file_text_open_append('sub\\a.txt')", "-1",
             "In secure mode you cannot append to file sub\\a.txt"},
            {"return file_bin_open('sub/a', 1)", "-1",
             "In secure mode you cannot write file sub/a"},
            {"file_open_write('sub/l.txt'); return 0", "0",
             "In secure mode you cannot write file sub/l.txt"},
            {"return file_delete('a/b')", "0", "In Secure mode you cannot delete file a/b"},
            {"return file_rename('a', 'b/c')", "0",
             "In Secure mode you cannot rename file a into b/c"},
            {"return file_copy('a/b', 'c')", "0", "In Secure mode you cannot copy file a/b to c"},
            {"return directory_create('d/e')", "0",
             "In Secure mode you cannot create directory d/e"},
            {"return execute_program('true', '', 1)", "0",
             "In Secure mode you cannot execute program true"},
            {"return execute_shell('x.txt', '')", "0",
             "In Secure mode you cannot execute program x.txt"},
            {"return registry_write_real_ext('Software\\x', 'v', 1)", "0",
             "In Secure mode you cannot write registry entries in Software\\x"},
            {"return export_include_file_location('x', 'y')", "0",
             "In secure mode you cannot export a file to a location."},
        });
    EXPECT_FALSE(FileExists(dir_ / "sub/a.txt"));
}

TEST_F(FileFunctionsTest, IniFilesKeepTheirTextAndFindTheFirstEntry) {
    dir_.Write("game.ini",
               "; settings\r\n[ Video ]\n  Width =  640 \nwidth=800\nname = \"Big Screen\"\n\n"
               "[Audio]\nvolume=0.5\n[video]\nwidth=1024\n");
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"return ini_read_real('video', 'width', 0)", "0",
             "Trying to read from undefined INI file"},
            {"ini_write_real('a', 'b', 1); return 0", "0", "Trying to write to undefined INI file"},
            {"ini_key_delete('a', 'b'); return 0", "0", "Trying to change undefined INI file"},
            {"ini_open('sub/game.ini'); return 0", "0",
             "INI files must be located in the same directory as the program"},
            {"ini_open('GAME.INI'); return ini_read_real('VIDEO', 'width', 0)", "640"},
            {"return ini_read_string('Video', 'name', '')", "\"Big Screen\""},
            {"return ini_read_real('Audio', 'volume', 1) + ini_read_real('Audio', 'missing', 7)",
             "7.5"},
            {"return ini_read_string('None', 'x', 'dflt')", "\"dflt\""},
            {"return string(ini_key_exists('audio', 'VOLUME')) + "
             "string(ini_section_exists('Input'))",
             "\"10\""},
            {"ini_write_real('Video', 'depth', 32); ini_write_string('Input', 'pad', 'on');"
             "ini_write_real('Audio', 'volume', 0.25); ini_key_delete('Video', 'name'); return 0",
             "0"},
            {"ini_close(); ini_open('game.ini'); return ini_read_real('audio', 'volume', 1)",
             "0.25"},
            {"ini_section_delete('Audio'); return ini_section_exists('audio')", "0"},
        });
    EXPECT_EQ(Read("game.ini"),
              "; settings\r\n[ Video ]\r\n  Width =  640 \r\nwidth=800\r\ndepth=32\r\n\r\n"
              "[video]\r\nwidth=1024\r\n[Input]\r\npad=on\r\n");
}

TEST_F(FileFunctionsTest, TheRegistryStoreKeepsValuesPerKeyAndRoot) {
    {
        test::ScriptRunner run;
        RunCases(
            run,
            {
                {"return registry_read_string('missing')", "\"\""},
                {"registry_write_string('name', 'Ada'); registry_write_real('score', 12.5); return "
                 "registry_exists('NAME')",
                 "1"},
                {"return registry_read_string('name') + string(registry_read_real('score'))",
                 "\"Ada12.50\""},
                {"registry_write_real_ext('\\Software\\Other\\', 'v', 3); return "
                 "registry_read_real_ext('software\\other', 'V')",
                 "3"},
                {"registry_set_root(1); return registry_exists_ext('Software\\Other', 'v')", "0"},
                // Any root number outside 0..3 is the current user.
                {"registry_set_root(7); return registry_read_real_ext('Software\\Other', 'v')",
                 "3"},
            });
    }
    test::ScriptRunner again;  // another run reads what the first wrote
    RunCases(again, {{"return registry_read_string('name')", "\"Ada\""}});
}

TEST_F(FileFunctionsTest, TheStoreSurvivesAWriterKilledMidWrite) {
    std::string folder = dir_ / "store";
    {
        UserStore store(folder);
        ASSERT_TRUE(store.Write(0, "Software\\Game", "stable", {true, "kept", 0}));
    }
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserStore store(folder);
        for (int i = 0;; ++i)
            store.Write(0, "Software\\Game", "n" + std::to_string(i % 500), {false, "", double(i)});
    }
    ::usleep(300 * 1000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);

    UserStore store(folder);
    std::optional<StoreValue> v = store.Read(0, "software\\GAME", "stable");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->str, "kept");
    EXPECT_TRUE(store.Write(0, "Software\\Game", "after", {false, "", 1}));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.Path().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST_F(FileFunctionsTest, ProgramsAndTheEnvironment) {
    ::setenv("KR_TEST_VALUE", "here", 1);
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"execute_program('sh', '-c \"echo hi > out.txt\"', 1); return file_exists('out.txt')",
             "1"},
            // A Windows program name finds the native program of the same base name.
            {"execute_program('true.exe', '', 1); return 0", "0"},
            {"execute_program('no_such_program_kr', 'a b', 0); return 0", "0",
             "Cannot execute no_such_program_kr"},
            {"return environment_get_variable('KR_TEST_VALUE')", "\"here\""},
            {"return environment_get_variable('KR_TEST_NO_SUCH_VALUE')", "\"\""},
            {"return parameter_count()", "0"},
            {"return disk_size('') >= disk_free('C') && disk_free() > 0", "1"},
        });
    EXPECT_EQ(Read("out.txt"), "hi\n");
}

TEST_F(FileFunctionsTest, DatesCountDaysFromTheEndOf1899) {
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"return date_create_date(1899, 12, 30)", "0"},
            {"return date_create_date(1900, 1, 1)", "2"},
            {"return date_get_weekday(0)", "7"},
            {"t = date_inc_month(date_create_date(2004, 1, 31), 1); return date_get_day(t)", "29"},
            {"t = date_inc_month(date_create_date(2003, 1, 31), 13); return date_get_month(t) * "
             "100 + date_get_day(t)",
             "229"},
            {"t = date_inc_year(date_create_datetime(2004, 2, 29, 6, 0, 0), 1); return "
             "date_get_day(t) * 100 + date_get_hour(t)",
             "2806"},
            {"return date_compare_time(0.5, 0.5 + 0.4 / 86400000)", "0"},
            {"return date_compare_datetime(1, 1 + 2 / 86400000)", "-1"},
            {"return date_valid_date(2001, 2, 29) * 10 + date_valid_time(23, 59, 59)", "1"},
            {"return string(date_leap_year(date_create_date(2000, 6, 1))) + "
             "string(date_leap_year(date_create_date(1900, 6, 1)))",
             "\"10\""},
            {"return date_get_week(date_create_date(2004, 12, 31)) * 100 + "
             "date_get_week(date_create_date(2005, 1, 2))",
             "5353"},
            {"return date_get_week(date_create_date(2008, 12, 29))", "1"},
            // Before day 0 the whole part counts back and the fraction is still the time of day.
            {"t = date_create_datetime(1899, 12, 29, 6, 0, 0); return t", "-1.25"},
            {"return date_get_day(-1.25) * 100 + date_get_hour(-1.25)", "2906"},
            {"return date_get_day_of_year(date_create_date(2004, 12, 31))", "366"},
            {"return date_get_hour_of_year(date_create_datetime(2005, 1, 2, 3, 0, 0))", "27"},
            {"return date_days_in_month(date_create_date(2100, 2, 3)) + "
             "date_days_in_year(date_create_date(2000, 1, 1))",
             "394"},
            {"return date_day_span(10, 3.5) + date_hour_span(1, 1.5)", "18.5"},
            {"return date_create_date(2001, 2, 29)", "0", "Trying to create an invalid date."},
            // A headless run's clock starts on 1 January 2000.
            {"return date_is_today(date_create_date(2000, 1, 1))", "1"},
            {"return string(date_datetime_string(date_create_date(2020, 3, 4)) == "
             "date_date_string(date_create_date(2020, 3, 4)))",
             "\"1\""},
        });
}

TEST_F(FileFunctionsTest, ClipboardAndProcess) {
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"return clipboard_has_text()", "0"},
            {"clipboard_set_text('copied'); return clipboard_get_text()", "\"copied\""},
            {"return clipboard_has_text()", "1"},
            {"set_program_priority(5); set_application_title('Mine'); return window_handle()", "0"},
        });
    EXPECT_EQ(run.GetRunner().ApplicationTitle(), "Mine");
}

}  // namespace
}  // namespace kr
