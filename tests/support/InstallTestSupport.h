// Shared by the install engine's tests: the helper programs built beside
// the test programs, and registry values read without the code under test.
#ifndef TARV_TESTS_INSTALLTESTSUPPORT_H
#define TARV_TESTS_INSTALLTESTSUPPORT_H

#include <windows.h>

#include <string>

// The folder of the running test program + "\" + name (ExitWith.exe,
// TestRunApp.exe, TestVersion_1_2_0_1.exe, TestComServer.dll ...).
std::string HelperPath(const std::string& name);
// Runs the command line and waits for it: its exit code, -1 when it could
// not start.
long RunForTest(std::string commandLine);
// The value's type and bytes ("<absent>" when it cannot be read).
std::string RegValueForTest(HKEY root, const std::string& key, const std::string& name,
                            DWORD* type = nullptr);

#endif
