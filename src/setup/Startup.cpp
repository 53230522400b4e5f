// Startup: the programs' own entry point, in place of the C runtime's.
//
// The runtime's start-up code (command-line parsing, thread-local storage,
// run-time relocations, floating-point set-up, exit handlers) is about 7 KB
// of a program that must stay small, and the installer needs none of it: it
// reads no command line through the runtime, uses no thread-local storage
// and imports no data. What it does need is done here: the constructors of
// the static objects run, in the order the linker collected them (the
// upper-case table and the version record are filled this way, before any
// second thread exists), then WinMain; the process ends with its result.
// Static destructors do not run: every program flushes what it must itself.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show);

// Static objects register their destructors here as they are built; the
// process ends with ExitProcess, so there is nothing to keep. (The runtime's
// own atexit would need the start-up code left out here.)
extern "C" int __cdecl atexit(void (*)()) { return 0; }

// The linker's list of constructors: a -1 (or the count), the functions,
// then a 0. The runtime calls them from the last to the first.
extern "C" void (*__CTOR_LIST__[])();

// Windows enters with the stack aligned to 4 bytes on 32-bit systems;
// compiled code may expect 16, so the entry realigns it.
extern "C" __attribute__((force_align_arg_pointer)) void __cdecl ProgramStart() {
    int count = 0;
    while (__CTOR_LIST__[count + 1]) ++count;
    for (int i = count; i >= 1; --i) __CTOR_LIST__[i]();
    ExitProcess((UINT)WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT));
}
