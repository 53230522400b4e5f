// ExitWith <code> [<milliseconds>]: waits the given time (default none), then
// ends with the given exit code. The program RunAndWait starts in its tests.
#include <windows.h>

#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc > 2) Sleep((DWORD)strtoul(argv[2], nullptr, 10));
    return argc > 1 ? (int)strtol(argv[1], nullptr, 10) : 0;
}
