// kelvor-capture: record a station's stream with its read events, and turn recordings into the
// monitor's lines. `kelvor-capture --help` tells the whole command line.

#include "capture/Command.h"

int main(int argc, char** argv) {
    return capture::CaptureMain(argc, argv);
}
