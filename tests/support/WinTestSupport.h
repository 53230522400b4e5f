// Helpers for the Windows tests: a private scratch folder on the real file
// system (under Wine, the prefix's temporary folder) and small file helpers
// that do not go through the code under test.
#ifndef TARV_TESTS_WINTESTSUPPORT_H
#define TARV_TESTS_WINTESTSUPPORT_H

#include <windows.h>

#include <string>

// Creates a fresh, empty folder on construction and removes it with its
// contents on destruction. Path() ends without a backslash.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return path_; }
    // Path() + "\" + name
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
private:
    std::string path_;
};

// Writes the bytes exactly (no line-end translation); false on failure.
bool WriteBytes(const std::string& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be opened.
std::string ReadBytes(const std::string& path);
// Removes a folder tree without the code under test (read-only files too).
void RemoveTreeForTest(const std::string& path);

#endif
