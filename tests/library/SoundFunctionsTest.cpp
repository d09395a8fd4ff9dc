// The sound functions in a running game, heard through the mixed audio file: a sound starts at
// the step that plays it, sound_isplaying turns false at its end, fades and pan are heard, and
// misuse gives its messages. CD audio plays a generated disc image of two tone tracks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "sound/SoundTestUtil.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

using test::Rms;

CAction Code(std::string code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = std::move(code);
    return a;
}

class SoundFunctionsTest : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
        std::vector<float> audio;  // interleaved stereo
    };

    // A game at 30 steps per second whose one instance runs `step` every step (global.n counts
    // the steps from 1) after the room's creation code `init`; snd_tone is a 0.5 s sine.
    Result Run(const std::string& init, const std::string& step, int64_t steps) {
        GameWriter w;
        CSound tone;
        tone.file_type = ".wav";
        tone.has_data = true;
        tone.data = test::SineWave(440, 0.5, 0.5);
        w.Add("snd_tone", tone);
        CObject obj;
        obj.events[kEventStep][0].actions.push_back(Code("global.n += 1;\n" + step));
        w.Add("obj", obj);
        CRoom room;
        room.speed = 30;
        room.creation_code = "global.n = 0;\n" + init;
        room.instances.push_back(RoomInstance{0, 0, 0, 100001, ""});
        w.Add("room", room);
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", w.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = steps;
        o.audio_out = dir_.Path() + "/out.wav";
        Runner runner(platform_, std::move(o));
        Result r;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        r.status = runner.Run();
        r.out = testing::internal::GetCapturedStdout();
        r.err = testing::internal::GetCapturedStderr();
        std::vector<uint8_t> wav;
        EXPECT_TRUE(ReadWholeFile(dir_.Path() + "/out.wav", wav));
        EXPECT_GE(wav.size(), 44u);
        for (size_t i = 44; i + 1 < wav.size(); i += 2) {
            int16_t v;
            std::memcpy(&v, &wav[i], 2);
            r.audio.push_back(float(v) / 32767.0f);
        }
        return r;
    }

    static size_t At(double seconds) { return size_t(seconds * 44100); }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
};

// Played in the 15th step (at 14/30 s), the half-second sound plays until 29/30 s.
TEST_F(SoundFunctionsTest, SoundStartsAtItsStepAndEnds) {
    Result r = Run("", R"(
        if (global.n == 15) sound_play(snd_tone);
        if (global.n == 29 || global.n == 31) show_debug_message(sound_isplaying(snd_tone));
    )",
                   45);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "1\n0\n");
    EXPECT_NEAR(double(r.audio.size()), 2.0 * double(At(1.5)), 4);  // 45 steps of 33,333 us
    EXPECT_NEAR(double(test::Onset(r.audio, 0)), double(At(14.0 / 30)), 60);
    EXPECT_NEAR(Rms(r.audio, 0, At(0.5), At(0.9)), 0.5 / std::sqrt(2.0), 0.03);
    EXPECT_LT(Rms(r.audio, 0, At(0.98), At(1.4)), 0.001);
}

// Two starts in one step overlap; pan -1 silences the right side; a fade to 0 over 200 ms is
// silent after it.
TEST_F(SoundFunctionsTest, OverlapPanAndFade) {
    Result r = Run("sound_pan(snd_tone, -1);", R"(
        if (global.n == 1) { sound_play(snd_tone); sound_play(snd_tone); }
        if (global.n == 7) sound_fade(snd_tone, 0, 200);
    )",
                   30);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_NEAR(Rms(r.audio, 0, At(0.02), At(0.18)), 2 * 0.5 / std::sqrt(2.0), 0.06);
    EXPECT_LT(Rms(r.audio, 1, 0, At(1.0)), 0.002);
    EXPECT_LT(Rms(r.audio, 0, At(0.42), At(0.5)), 0.002);
}

// Misuse: every message, and the answers for missing sounds, files and devices.
TEST_F(SoundFunctionsTest, MissingSoundsFilesAndDevices) {
    std::string wav = dir_.Write("added.wav", test::SineWave(440, 0.2));
    Result r = Run(R"(
        sound_play(7);
        show_debug_message(sound_isplaying(7));
        show_debug_message(sound_add("no such file.wav", 0, 1));
        show_debug_message(sound_exists(1));
        show_debug_message(sound_add(")" +
                       wav + R"(", 0, 1));
        show_debug_message(sound_get_name(1) + " " + string(sound_get_kind(1)));
        sound_delete(9);
        sound_replace(9, "x.wav", 0, 1);
        show_debug_message(sound_delete(1));
        show_debug_message(sound_get_kind(1));
        show_debug_message("[" + MCI_command("status cdaudio mode") + "]");
        show_debug_message(cd_present() + cd_number() + cd_playing());
        cd_play(1, 3);
    )",
                   "", 1);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "0\n-1\n0\n1\n__newsound1 0\n1\n-1\n[]\n0\n");
    for (const char* m : {"Sound does not exist.", "Trying to delete non-existing sound.",
                          "Trying to replace non-existing sound."})
        EXPECT_NE(r.err.find(m), std::string::npos) << m << "\n" << r.err;
}

// Media commands play a file through the same mixer.
TEST_F(SoundFunctionsTest, MediaCommandsPlayFiles) {
    std::string wav = dir_.Write("music.wav", test::SineWave(220, 2.0, 0.5));
    Result r = Run(R"(MCI_command('open ")" + wav + R"(" type waveaudio alias music');
        MCI_command("play music from 0 repeat");
        show_debug_message(MCI_command("status music mode"));)",
                   R"(
        if (global.n == 10) { MCI_command("pause music"); show_debug_message(MCI_command("status music mode")); }
        if (global.n == 20) MCI_command("resume music");
        if (global.n == 25) { MCI_command("close all"); show_debug_message("[" + MCI_command("status music mode") + "]"); }
    )",
                   30);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.out, "playing\npaused\n[]\n") << r.err;
    EXPECT_GT(Rms(r.audio, 0, At(0.05), At(0.25)), 0.2);
    EXPECT_LT(Rms(r.audio, 0, At(0.35), At(0.6)), 0.002);
    EXPECT_GT(Rms(r.audio, 0, At(0.7), At(0.8)), 0.2);
    EXPECT_LT(Rms(r.audio, 0, At(0.85), At(1.0)), 0.002);
}

// Zero crossings per second of the left channel between two times: twice the frequency.
double Crossings(const std::vector<float>& stereo, double from, double to) {
    int n = 0;
    for (size_t f = size_t(from * 44100) + 1; f < size_t(to * 44100) && 2 * f < stereo.size(); ++f)
        n += (stereo[2 * f - 2] < 0) != (stereo[2 * f] < 0);
    return n / (to - from);
}

// A disc image: track 1 is 1 s of 440 Hz, track 2 0.6 s of 880 Hz, as CD audio (16-bit stereo
// at 44.1 kHz, 75 sectors a second) in one BIN file with its CUE sheet.
std::string WriteDisc(const test::ScratchDir& dir) {
    std::vector<uint8_t> bin;
    for (auto [freq, seconds] : {std::pair{440.0, 1.0}, std::pair{880.0, 0.6}}) {
        std::vector<uint8_t> wav = test::SineWave(freq, seconds, 0.5, 44100, 2);
        bin.insert(bin.end(), wav.begin() + 44, wav.end());
    }
    dir.Write("disc.bin", bin);
    return dir.Write("disc.cue",
                     "FILE \"disc.bin\" BINARY\n"
                     "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                     "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n");
}

class CdAudioTest : public SoundFunctionsTest {
protected:
    void TearDown() override { unsetenv("KORVANE_CD"); }
};

// The disc's tracks and lengths; track 1 plays alone, then track 2 to the end with a pause in
// it; the position follows the sound, and the tray takes the disc away.
TEST_F(CdAudioTest, PlaysTheTracksOfADiscImage) {
    setenv("KORVANE_CD", WriteDisc(dir_).c_str(), 1);
    Result r = Run(R"(
        show_debug_message(string(cd_present()) + " " + string(cd_number()) + " " +
            string(cd_track_length(1)) + " " + string(cd_track_length(2)) + " " +
            string(cd_length()) + " " + string(cd_track_length(3)) + " " +
            string(cd_track_length(0)));
        cd_play(5, 9); cd_play(2, 1);
        show_debug_message(string(cd_playing()) + " " + string(cd_paused()));
        cd_play(1, 1);)",
                   R"(
        if (global.n == 15) show_debug_message(string(cd_playing()) + " " + string(cd_track()) +
            " " + string(cd_position() > 350 && cd_position() < 650));
        if (global.n == 40) {
            show_debug_message(string(cd_playing()) + " " + string(cd_paused()) + " " +
                string(cd_position()));
            cd_play(2, 5);
        }
        if (global.n == 46) {
            show_debug_message(string(cd_playing()) + " " + string(cd_track()) + " " +
                string(cd_track_position()));
            cd_pause();
        }
        if (global.n == 55) {
            show_debug_message(string(cd_playing()) + " " + string(cd_paused()) + " " +
                MCI_command("status cdaudio mode"));
            cd_resume();
        }
        if (global.n == 75) {
            show_debug_message(string(cd_playing()) + " " + string(cd_position()));
            cd_set_position(1480);
            show_debug_message(string(cd_track()) + " " + string(cd_track_position()) + " " +
                string(cd_position()));
            cd_open_door();
            show_debug_message(string(cd_present()) + " " + string(cd_number()) + " " +
                MCI_command("status cdaudio mode"));
            cd_close_door();
            show_debug_message(string(cd_present()) + " " + string(cd_number()));
        }
    )",
                   80);
    EXPECT_EQ(r.status, Runner::kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "1 2 1000 600 1600 0 0\n"
              "0 1\n"       // nothing played: no track 5, and 2 to 1 is no range
              "1 1 1\n"     // in track 1, about half a second in
              "0 1 1000\n"  // track 1 has ended, where track 2 begins; a stopped drive is paused
              "1 2 0\n"
              "0 1 paused\n"
              "0 1600\n"  // played to the end of the disc
              "2 0 1480\n"
              "0 0 open\n"
              "1 2\n");
    // Track 1 from the start for 1 s, silence, track 2 from step 40 (1.3 s) with a pause from
    // step 46 to step 55 (1.5 s to 1.8 s), then its remaining 0.4 s.
    EXPECT_GT(Rms(r.audio, 0, At(0.1), At(0.9)), 0.3);
    EXPECT_NEAR(Crossings(r.audio, 0.1, 0.9), 880, 20);
    EXPECT_LT(Rms(r.audio, 0, At(1.05), At(1.25)), 0.002);
    EXPECT_GT(Rms(r.audio, 0, At(1.33), At(1.47)), 0.3);
    EXPECT_NEAR(Crossings(r.audio, 1.33, 1.47), 1760, 40);
    EXPECT_LT(Rms(r.audio, 0, At(1.55), At(1.75)), 0.002);
    EXPECT_GT(Rms(r.audio, 0, At(1.85), At(2.15)), 0.3);
    EXPECT_LT(Rms(r.audio, 0, At(2.3), At(2.6)), 0.002);
}

// No drive, a CUE sheet that does not exist and one whose BIN file is missing all answer as an
// empty drive, quietly; only the media device tells a drive without a disc from no drive.
TEST_F(CdAudioTest, NoDriveOrAnUnreadableImageIsAnEmptyDrive) {
    const std::string broken = dir_.Write("broken.cue",
                                          "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                          "    INDEX 01 00:00:00\n");
    for (std::string source : {std::string(), dir_.Path() + "/missing.cue", broken}) {
        const std::string mode = source.empty() ? "[]" : "[not ready]";
        if (source.empty())
            unsetenv("KORVANE_CD");
        else
            setenv("KORVANE_CD", source.c_str(), 1);
        Result r = Run(R"(
            cd_init(); cd_play(1, 2); cd_pause(); cd_resume(); cd_set_position(100);
            cd_set_track_position(100); cd_open_door(); cd_close_door(); cd_stop();
            show_debug_message(string(cd_present()) + string(cd_number()) +
                string(cd_playing()) + string(cd_paused()) + string(cd_track()) +
                string(cd_length()) + string(cd_track_length(1)) + string(cd_position()) +
                string(cd_track_position()) + "[" + MCI_command("status cdaudio mode") + "]");)",
                       "", 2);
        EXPECT_EQ(r.status, Runner::kExitOk) << source;
        EXPECT_EQ(r.out, "000000000" + mode + "\n") << source;
        EXPECT_EQ(r.err, "") << source;
    }
}

}  // namespace
}  // namespace kr
