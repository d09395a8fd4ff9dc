// korvane: the game runner and its tools.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("korvane %s\n", KORVANE_VERSION_TEXT);
        return 0;
    }
    std::printf("usage: korvane [run] GAME\n");
    return 0;
}
