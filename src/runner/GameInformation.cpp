#include "runner/GameInformation.h"

#include <algorithm>

namespace kr {

CGameInformation::Rect CGameInformation::Placement(int32_t screen_width,
                                                   int32_t screen_height) const {
    Rect r{left, top, std::min(width, screen_width), std::min(height, screen_height)};
    if (r.left < 0) r.left = (screen_width - r.width) / 2;
    if (r.top < 0) r.top = (screen_height - r.height) / 2;
    return r;
}

void ReadGameInformationRecord(CStream& s, CGameInformation& out) {
    out.background_color = s.ReadInteger();
    out.separate_window = s.ReadBoolean();
    out.caption = s.ReadString();
    out.left = s.ReadInteger();
    out.top = s.ReadInteger();
    out.width = s.ReadInteger();
    out.height = s.ReadInteger();
    out.show_border = s.ReadBoolean();
    out.sizeable = s.ReadBoolean();
    out.stay_on_top = s.ReadBoolean();
    out.freeze_game = s.ReadBoolean();
    auto text = s.ReadBlock();
    out.text.assign(text->Bytes().begin(), text->Bytes().end());
}

void WriteGameInformationRecord(CStream& s, const CGameInformation& info) {
    s.WriteInteger(info.background_color);
    s.WriteBoolean(info.separate_window);
    s.WriteString(info.caption);
    s.WriteInteger(info.left);
    s.WriteInteger(info.top);
    s.WriteInteger(info.width);
    s.WriteInteger(info.height);
    s.WriteBoolean(info.show_border);
    s.WriteBoolean(info.sizeable);
    s.WriteBoolean(info.stay_on_top);
    s.WriteBoolean(info.freeze_game);
    s.WriteBlock({reinterpret_cast<const uint8_t*>(info.text.data()), info.text.size()});
}

}  // namespace kr
