#include "support/SampleGames.h"

namespace kr::test {

std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

std::vector<uint8_t> Record(const std::function<void(CStream&)>& write) {
    CStream s;
    write(s);
    return std::move(s.Bytes());
}

GameSettings UnusualSettings(bool progress_bar) {
    GameSettings s;
    int n = 0;
    for (const SettingField& f : SettingFields()) {
        ++n;
        if (f.kind == SettingField::kBool) s.*f.b = !(s.*f.b);
        if (f.kind == SettingField::kInt) s.*f.i = 1000 + n;
        if (f.kind == SettingField::kPicture)
            s.*f.picture = {true, Bytes("BM" + std::to_string(n))};
    }
    s.show_progress_bar = progress_bar;
    return s;
}

CDataFile SomeIncludedFile() {
    CDataFile f;
    f.file_name = "data\\level1.txt";
    f.source_path = "C:\\src\\level1.txt";
    f.source_present = true;
    f.size = 5;
    f.stored = true;
    f.data = Bytes("hello");
    f.export_kind = 3;
    f.export_folder = "levels";
    f.overwrite = true;
    f.free_after_export = false;
    f.remove_at_end = false;
    return f;
}

CExtensionPackage SomePackage() {
    CExtensionPackage p;
    p.name = "Pack";
    p.folder = "packdir";
    CExtensionFile file;
    file.file_name = "pack.dll";
    file.kind = 1;
    file.init_function = "pack_init";
    CExtensionFunction fn;
    fn.name = "  pack_add ";
    fn.external_name = "";
    fn.argument_count = 5;
    fn.argument_types.fill(1);
    fn.result_type = 0;
    file.functions.push_back(fn);
    file.constants.push_back({"PACK_MAX", "10"});
    p.files.push_back(file);
    p.contents = Bytes("\x01\x00\x00\x00scrambled");
    return p;
}

GameWriter FullGame() {
    GameWriter w;
    w.debug_mode = true;
    w.settings = UnusualSettings(true);
    w.d3dx_library = Bytes("library bytes");
    w.game_id = 424242;
    for (int i = 0; i < 16; ++i) w.application_id[size_t(i)] = uint8_t(0xA0 + i);
    w.AddExtensionPackage(
        Record([](CStream& s) { WriteExtensionPackageRecord(s, SomePackage()); }));
    w.AddResource(SectionId::kTriggers, "", Record([](CStream& s) {
                      s.WriteInteger(800);
                      s.WriteString("trig_door");
                      s.WriteString("x > 3");
                  }));
    w.AddConstant("MAX_LIVES", "3");
    w.AddConstant("TITLE", "\"Hi\"");
    w.AddResource(SectionId::kSprites, "spr_player", Bytes("sprite record"));
    w.AddEmptySlot(SectionId::kSprites);
    w.AddResource(SectionId::kSprites, "spr_wall", Bytes("wall"));
    w.AddResource(SectionId::kObjects, "obj_player", Bytes("object record"));
    w.AddResource(SectionId::kRooms, "room_first", Bytes("room record"));
    w.AddResource(SectionId::kRooms, "room_second", Bytes("room record 2"));
    w.last_instance_id = 100123;
    w.last_tile_id = 10000456;
    w.AddIncludedFile(Record([](CStream& s) { WriteIncludedFileRecord(s, SomeIncludedFile()); }));
    CGameInformation info;
    info.caption = "Help!";
    info.left = 7;
    info.text = "{\\rtf1 hi}";
    w.game_information_record = Record([&](CStream& s) { WriteGameInformationRecord(s, info); });
    w.AddLibraryInitCode("global.lives = 3;");
    w.room_order = {1, 0};
    return w;
}

}  // namespace kr::test
