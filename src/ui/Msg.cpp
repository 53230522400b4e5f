#include "ui/Msg.h"

#include <windows.h>

#include "setup/RunState.h"

void ErrorBox(const TStr& text) {
    const TStr& title = RunState().ProgramName;
    MessageBoxA(0, text.c_str(), title.empty() ? "Error" : title.c_str(),
                MB_ICONERROR | MB_SETFOREGROUND);
}
