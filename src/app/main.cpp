// korvane: the game runner and its tools.
#include "app/App.h"

int main(int argc, char** argv) {
    return kr::KorvaneMain(argc, argv);
}
