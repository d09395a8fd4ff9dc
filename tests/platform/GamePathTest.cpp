// Game paths: "\" separators and names in any letter case reach the host's files.
#include <gtest/gtest.h>

#include "platform/GamePath.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

TEST(GamePath, MapsSeparatorsAndFindsNamesInAnyCase) {
    test::ScratchDir dir;
    dir.Write("Data/Levels/One.TXT", "1");
    dir.Write("Data/levels2/x", "");
    const std::string root = dir.Path();
    struct Case {
        std::string game, host;
    } cases[] = {
        {"\\data\\LEVELS\\one.txt", "/Data/Levels/One.TXT"},
        {"\\Data\\Levels\\One.TXT", "/Data/Levels/One.TXT"},
        {"\\DATA\\missing\\One.txt", "/Data/missing/One.txt"},  // below a missing name: as written
        {"\\data\\\\levels/one.txt", "/Data/Levels/One.TXT"},   // repeated and mixed separators
        {"\\data\\levels\\", "/Data/Levels/"},
        {"\\data\\.\\levels\\..\\LEVELS2\\X", "/Data/./Levels/../levels2/x"},
    };
    for (const Case& c : cases) EXPECT_EQ(MapGamePath(root + c.game), root + c.host) << c.game;
    EXPECT_EQ(MapGamePath("\\no_such_root_dir\\a"), "/no_such_root_dir/a");
    EXPECT_EQ(MapGamePath(""), "");
}

}  // namespace
}  // namespace kr
