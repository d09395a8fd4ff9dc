// Writes the seed corpora of the fuzz targets into WORK_DIR/<target>: the sample games' data for
// the loader fuzzer, the records inside them (behind the byte that picks their reader) for the
// record fuzzer, small images in every format for the image fuzzers, script text for the
// language fuzzer, the text form of each kind of data structure (behind the byte that picks its
// reader), multiplayer packets, a model, short sounds and rich-text documents.
#include <cstdio>
#include <string>

#include "data/Bitmap32.h"
#include "data/ImageCodecs.h"
#include "data/Sprite.h"
#include "datastructures/DataStructures.h"
#include "graphics/Model.h"
#include "network/Packet.h"
#include "platform/Files.h"
#include "runner/GameLoader.h"
#include "runner/SaveGame.h"
#include "runner/Scramble.h"
#include "support/SampleGames.h"

using namespace kr;

namespace {
bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (WriteFileAtomically(path, bytes)) return true;
    std::fprintf(stderr, "kr_fuzz_seeds: cannot write %s\n", path.c_str());
    return false;
}

std::vector<uint8_t> Picked(uint8_t reader, const std::function<void(CStream&)>& write) {
    std::vector<uint8_t> bytes{reader};
    std::vector<uint8_t> record = test::Record(write);
    bytes.insert(bytes.end(), record.begin(), record.end());
    return bytes;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kr_fuzz_seeds WORK_DIR\n");
        return 2;
    }
    const std::string work = argv[1];
    const std::string loader = work + "/loader", records = work + "/records",
                      images = work + "/images", image_records = work + "/image-records",
                      language = work + "/language";
    GameWriter plain, no_bar = test::FullGame();
    no_bar.settings = test::UnusualSettings(false);
    no_bar.debug_mode = false;
    bool ok = Write(loader + "/plain", plain.WriteData()) &&
              Write(loader + "/full", test::FullGame().WriteData()) &&
              Write(loader + "/no-bar", no_bar.WriteData());

    ok =
        ok &&
        Write(records + "/settings",
              Picked(0, [](CStream& s) { WriteSettingsRecord(s, test::UnusualSettings(true)); })) &&
        Write(
            records + "/included-file",
            Picked(1, [](CStream& s) { WriteIncludedFileRecord(s, test::SomeIncludedFile()); })) &&
        Write(records + "/extension-package",
              Picked(2, [](CStream& s) { test::SomePackage().SaveToStream(s); })) &&
        Write(records + "/game-information",
              Picked(3, [](CStream& s) { WriteGameInformationRecord(s, CGameInformation()); })) &&
        Write(records + "/scramble", Picked(4, [](CStream& s) {
                  for (int i = 0; i < 256; ++i) s.WriteByte(uint8_t(255 - i));
                  s.WriteBytes("some body bytes", 15);
              }));

    // Every resource record of the rich game, behind the byte that picks its reader (ORDER
    // RECORD in RecordsFuzzer.cpp).
    {
        GameData rich;
        LoadHost quiet;
        if (ReadGameData(test::FullGame().WriteData(), 0, rich, quiet) != LoadResult::kLoaded) {
            std::fprintf(stderr, "kr_fuzz_seeds: the rich game does not load\n");
            return 1;
        }
        auto each = [&](uint8_t reader, const auto& table, const char* kind) {
            for (int i = 0; i < table.Count(); ++i) {
                if (const auto* item = table.Get(i)) {
                    ok = ok && Write(records + "/" + kind + std::to_string(i),
                                     Picked(reader, [&](CStream& s) { item->SaveToStream(s); }));
                }
            }
        };
        each(5, rich.triggers, "trigger");
        each(6, rich.sounds, "sound");
        each(7, rich.paths, "path");
        each(8, rich.scripts, "script");
        each(9, rich.fonts, "font");
        each(10, rich.time_lines, "time-line");
        each(11, rich.objects, "object");
        each(12, rich.rooms, "room");
        for (int i = 0; i < rich.sprites.Count(); ++i) {
            if (const CSprite* sprite = rich.sprites.Get(i)) {
                CStream r;
                r.WriteByte(0);
                sprite->SaveToStream(r);
                ok = ok && Write(image_records + "/sprite" + std::to_string(i), r.Bytes());
            }
        }
    }

    TBitmap32 picture;
    picture.SetSize(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.Row(y)[x] = Bgra{uint8_t(40 * x), uint8_t(80 * y), 200, uint8_t(x ? 255 : 0)};
    ok = ok && Write(images + "/png", EncodePng(picture)) &&
         Write(images + "/bmp", EncodeBmp(picture));
    CSprite sprite;
    sprite.AddFrame(picture);
    CStream sprite_record;
    sprite_record.WriteByte(0);
    sprite.SaveToStream(sprite_record);
    ok = ok && Write(image_records + "/sprite", sprite_record.Bytes());

    const char* scripts[] = {
        "var i, s; s = 0; for (i = 0; i < 10; i += 1) { s += i * 2 mod 7; } x = s;",
        "a[3] = 7; b[2, 5] = \"s\" + string(a[3]); with (all) { if x > 1 break } return scr(3, 1)",
        "switch (argument0) { case 1: y = 2; break; default: y = $FF | 3 << 2 }",
        "do { k -= 1 } until k < 0 repeat 3 { z = z ^^ 1 } while 0 {} exit",
    };
    int n = 0;
    for (const char* text : scripts) {
        std::string_view t(text);
        ok = ok &&
             Write(language + "/" + std::to_string(n++), std::vector<uint8_t>(t.begin(), t.end()));
    }
    // A small saved game (game 42, room 0 kept with one instance, no globalvar marks, so that
    // it stays within the fuzzers' input size).
    {
        CStream g;
        for (int32_t v : {540, 42, 0, 0, 10, 3}) g.WriteInteger(v);
        g.WriteReal(100);
        for (int32_t v : {-1, 7, 1, 700, 440, 0, 0, 1, 1}) g.WriteInteger(v);
        class SeedWorld final : public InstanceWorld {
        public:
            const CSprite* FindSprite(int32_t) const override { return nullptr; }
            bool FindObject(int32_t index, ObjectDefaults& out) const override {
                out = ObjectDefaults{};
                return index == 0;
            }
            int32_t NewInstanceId() override { return 100001; }
        } world;
        RoomState room(world);
        CInstance& inst = room.instances.AddInstanceWithId(0, 16, 32, 100001);
        inst.vars.SetVar(100000, 0, RValue("text"));
        inst.alarm[2] = 9;
        RoomTile tile;
        tile.id = 10000001;
        room.room.tiles.push_back(tile);
        SaveRoomToStream(room, g);
        g.WriteInteger(100001);
        g.WriteInteger(10000001);
        ok = ok && Write(work + "/saved-game/small", g.Bytes());
    }

    // ORDER KIND: the data-structure fuzzer picks stack, queue, list, map, priority, grid.
    DsComparison cmp;
    const RValue one(1.0), word("k");
    DsStack stack;
    stack.Push(one);
    stack.Push(word);
    DsQueue queue;
    for (int i = 0; i < 18; ++i) queue.Enqueue(RValue(double(i)));
    queue.Dequeue();
    DsList list;
    list.Add(word);
    list.Add(one);
    DsMap map(cmp);
    map.Add(word, one);
    map.Add(one, word);
    DsPriority priority(cmp);
    priority.Add(word, one);
    priority.Add(one, RValue(-2.0));
    DsGrid grid;
    grid.Resize(3, 2);
    grid.Apply(DsCellOp::kSet, 1, 1, word);
    const std::string texts[] = {DsWriteText(stack), DsWriteText(queue),    DsWriteText(list),
                                 DsWriteText(map),   DsWriteText(priority), DsWriteText(grid)};
    for (size_t k = 0; k < std::size(texts); ++k) {
        std::vector<uint8_t> bytes{uint8_t(k)};
        bytes.insert(bytes.end(), texts[k].begin(), texts[k].end());
        ok = ok && Write(work + "/datastructures/" + std::to_string(k), bytes);
    }

    // Multiplayer packets of game 0: a player list, a message, a snapshot of shared values.
    net::Packet players;
    players.type = net::PacketType::kPlayers;
    players.player_list = {{1, "ann", 0, 0}, {2, "bob", 0x7F000001, 6510}};
    net::Packet message;
    message.type = net::PacketType::kMessage;
    message.flag = 1;
    message.from = 2;
    message.message_id = 7;
    message.value = net::Value{true, 0.0, "hello"};
    net::Packet snapshot;
    snapshot.type = net::PacketType::kDataSnapshot;
    snapshot.data = {{1, net::Value{false, 2.5, {}}}, {10000, net::Value{true, 0.0, "s"}}};
    int k = 0;
    for (const net::Packet* p : {&players, &message, &snapshot})
        ok = ok && Write(work + "/mplay-packets/" + std::to_string(k++), net::EncodePacket(*p, 0));
    // A model with a primitive of every vertex form and every shape.
    C3D_Model model;
    model.Add(kModelPrimitiveBegin, {4});
    for (int32_t code = kModelVertex; code <= kModelVertexNormalTextureColor; ++code)
        model.Add(code, {1.5, -2, 3e10, 0, 1, 0, 0.25, 0.5, 255, 1});
    model.Add(kModelPrimitiveEnd, {});
    for (int32_t code = kModelBlock; code <= kModelFloor; ++code)
        model.Add(code, {0, 0, 0, 10, 20, 30, 1, 2, 1, 12});
    const std::string model_text = model.ToText();
    ok = ok &&
         Write(work + "/model/sample", std::vector<uint8_t>(model_text.begin(), model_text.end()));

    // Sounds: short wave files of both sample sizes and channel counts, and a MIDI file with one
    // track of a tempo, a program change and two notes.
    auto wave = [](uint16_t channels, uint16_t bits, uint32_t rate, uint32_t frames) {
        std::vector<uint8_t> w;
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i) w.push_back(uint8_t(v >> (8 * i)));
        };
        auto u16 = [&](uint16_t v) {
            w.push_back(uint8_t(v));
            w.push_back(uint8_t(v >> 8));
        };
        auto tag = [&](const char* t) { w.insert(w.end(), t, t + 4); };
        const uint32_t block = uint32_t(channels) * bits / 8, data = block * frames;
        tag("RIFF");
        u32(36 + data);
        tag("WAVE");
        tag("fmt ");
        u32(16);
        u16(1);
        u16(channels);
        u32(rate);
        u32(rate * block);
        u16(uint16_t(block));
        u16(bits);
        tag("data");
        u32(data);
        for (uint32_t f = 0; f < frames; ++f) {
            for (uint16_t c = 0; c < channels; ++c) {
                const int v = int((f * 37 + c * 11) % 200) - 100;  // a rough saw wave
                if (bits == 8)
                    w.push_back(uint8_t(128 + v));
                else
                    u16(uint16_t(int16_t(v * 300)));
            }
        }
        return w;
    };
    const std::vector<uint8_t> midi = {'M', 'T',  'h',  'd', 0,    0,    0,    6,
                                       0,   0,    0,    1,   0,    96,  // one track, 96 ticks
                                       'M', 'T',  'r',  'k', 0,    0,    0,    27,  //
                                       0,   0xFF, 0x51, 3,   0x07, 0xA1, 0x20,  // tempo 500000 us
                                       0,   0xC0, 5,                            // program 5
                                       0,   0x90, 60,   100, 48,   0x90, 64,   90,  // two notes on
                                       48,  0x80, 60,   0,   0,    0x80, 64,   0,   // and off
                                       0,   0xFF, 0x2F, 0};                         // end of track
    ok = ok && Write(work + "/sound/mono16.wav", wave(1, 16, 8000, 400)) &&
         Write(work + "/sound/stereo8.wav", wave(2, 8, 11025, 300)) &&
         Write(work + "/sound/notes.mid", midi);

    // Rich text: fonts, colours, sizes, styles, alignment, escapes and a nested group.
    const char* documents[] = {
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\froman Times New Roman;}}\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\n"
        "\\viewkind4\\uc1\\pard\\qc\\f1\\fs32\\b Title\\b0\\par\n"
        "\\pard\\f0\\fs20 plain \\i italic\\i0  \\cf1 red\\cf0  caf\\'e9\\par\n"
        "{\\b bold} back\\par\n}",
        "{\\rtf1 {\\*\\generator Tool;}\\pard\\qr right \\ul under\\ulnone\\line next\\tab "
        "tab \\{braces\\} \\\\ back\\par\\pard\\qj justified text that runs on and on}",
        "plain text without any markup\nsecond line",
    };
    n = 0;
    for (const char* text : documents) {
        std::string_view t(text);
        ok = ok && Write(work + "/richtext/" + std::to_string(n++),
                         std::vector<uint8_t>(t.begin(), t.end()));
    }
    return ok ? 0 : 1;
}
