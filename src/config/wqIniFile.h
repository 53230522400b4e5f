// wqIniFile: one INI-syntax file in memory (TwqIniFile), bound to its file.
//
// The syntax is the one of wqIniText. A read-only document reads its file
// once and closes it; a writable one opens (or creates) the file for reading
// and writing, sharing read only, and keeps it open until it is destroyed or
// reopened, so that the write-back at the end cannot be lost to another
// program. Section and key names compare without regard to case; line
// contents compare exactly.
//
// The profile cache (wqRegIni) is the only client.
#ifndef TARV_CONFIG_WQINIFILE_H
#define TARV_CONFIG_WQINIFILE_H

#include <windows.h>

#include "config/wqIniText.h"

class TwqIniFile {
public:
    // Loads `fileName` (empty: a document bound to no file). When the file
    // cannot be opened, raises "Cannot open file %s" (wqErrors) and returns
    // null with nothing left open.
    static TwqIniFile* Create(const TStr& fileName, bool readOnly, const TIniOptions& options);
    // Writes back a modified writable document (ignoring failure: callers
    // that care call UpdateFile first) and closes the file.
    ~TwqIniFile();

    TStr ReadString(const TStr& section, const TStr& key, const TStr& fallback);
    // Key not empty: the line key=value (exactly as given) replaces the first
    // line of that name or is appended; a missing section is created at the
    // end. Empty key with a section or value: erases the section. All three
    // empty: UpdateFile.
    void WriteString(const TStr& section, const TStr& key, const TStr& value);
    // Appends the section's lines (target not cleared).
    void ReadSectionValues(const TStr& section, TStrList& target);
    void EraseSection(const TStr& section);
    // Removes the first line of that name. A missing section is created,
    // empty, on the way (it is not written back while it stays empty).
    void DeleteKey(const TStr& section, const TStr& key);
    // Writes back a modified, writable, file-bound document and makes the
    // system commit it to the disk; clears Modified in every case. False
    // when the write-back failed or fell short (full disk): the file may
    // then hold part of the document.
    [[nodiscard]] bool UpdateFile();
    // Binds the document to `fileName` and loads it. False (with the error
    // raised) when the file cannot be opened.
    [[nodiscard]] bool Open(const TStr& fileName);

    const TStr& FileName() const { return fileName_; }
    bool Modified() const { return modified_; }
    bool ReadOnly() const { return readOnly_; }

private:
    TwqIniFile(bool readOnly, const TIniOptions& options);
    bool Load();
    void CloseFile();
    // Index of the key's line in the section (the section found by the
    // section list's circular search); `lines` receives the section's lines
    // (null when the section is missing and `create` is off).
    int FindKey(const TStr& section, const TStr& key, bool create, TStrList*& lines);

    TStr fileName_;
    HANDLE fileHandle_;
    bool modified_;
    TSectionList sections_;
    bool readOnly_;
    TIniOptions options_;
};

#endif
