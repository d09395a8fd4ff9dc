// Game paths on the host. Games were made on a system with "\" separators whose file names
// ignore letter case; every file the runner opens for a game goes through MapGamePath.
#pragma once

#include <string>
#include <string_view>

namespace kr {

// Maps a game path to a host path: "\" becomes "/", repeated separators collapse, and every
// component that does not exist under its exact name is matched against its directory without
// regard to ASCII letter case (the first match in name order wins). Components below one that
// matches nothing are kept as written, so the result also names files that are yet to be
// created. Bytes are kept as they are; no character set conversion happens.
std::string MapGamePath(std::string_view game_path);

}  // namespace kr
