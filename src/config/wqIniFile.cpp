#include "config/wqIniFile.h"

#include <stdlib.h>

#include "config/wqErrors.h"
#include "system/wqFileUtils.h"

TwqIniFile::TwqIniFile(bool readOnly, const TIniOptions& options)
    : fileHandle_(0), modified_(false), readOnly_(readOnly), options_(options) {}

TwqIniFile* TwqIniFile::Create(const TStr& fileName, bool readOnly, const TIniOptions& options) {
    TwqIniFile* doc = new TwqIniFile(readOnly, options);
    if (!doc->Open(fileName)) {
        delete doc;
        return nullptr;
    }
    return doc;
}

TwqIniFile::~TwqIniFile() {
    (void)UpdateFile();
    CloseFile();
}

void TwqIniFile::CloseFile() {
    if (IsValidHandle(fileHandle_)) CloseFileHandle(fileHandle_);
    fileHandle_ = 0;
}

bool TwqIniFile::Open(const TStr& fileName) {
    CloseFile();
    sections_.Clear();
    fileName_ = fileName;
    bool ok = fileName_.empty() || Load();
    modified_ = false;
    return ok;
}

bool TwqIniFile::Load() {
    if (readOnly_) {
        if (!FileExists(fileName_)) return true;  // a missing file reads as empty
        fileHandle_ = OpenFileHandle(fileName_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING);
    } else {
        fileHandle_ = OpenFileHandle(fileName_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                     FILE_ATTRIBUTE_NORMAL, OPEN_ALWAYS);
    }
    // Only a disk file will do: a device (a console, a pipe, an endless
    // character device) named as an INI file would never end reading.
    if (IsValidHandle(fileHandle_) && GetFileType(fileHandle_) != FILE_TYPE_DISK) CloseFile();
    if (!IsValidHandle(fileHandle_)) {
        fileHandle_ = 0;
        return RaiseError(Format("Cannot open file %s", fileName_.c_str()));
    }
    // Read in large chunks: the line rules do not depend on where a chunk
    // ends, and a file of short lines then costs one system call per chunk.
    TIniLoader loader(sections_, options_);
    char* chunk = (char*)malloc(65536);
    if (!chunk) OutOfMemory();
    DWORD got = 0;
    while (ReadFile(fileHandle_, chunk, 65536, &got, nullptr) && got > 0) loader.Feed(chunk, got);
    free(chunk);
    loader.Finish();
    sections_.RemoveDuplicateSections();
    if (readOnly_) CloseFile();
    return true;
}

int TwqIniFile::FindKey(const TStr& section, const TStr& key, bool create, TStrList*& lines) {
    int s = sections_.IndexOf(section);
    if (s < 0 && create) s = sections_.LastFound = sections_.Add(section);
    lines = s < 0 ? nullptr : &sections_.Lines(s);
    return lines ? lines->IndexOfName(key) : -1;
}

TStr TwqIniFile::ReadString(const TStr& section, const TStr& key, const TStr& fallback) {
    TStrList* lines;
    int i = FindKey(section, key, false, lines);
    if (i < 0) return fallback;
    const TStr& line = (*lines)[i];
    return line.substr((size_t)line.find('=') + 1);
}

void TwqIniFile::WriteString(const TStr& section, const TStr& key, const TStr& value) {
    if (key.empty()) {
        if (!section.empty() || !value.empty())
            EraseSection(section);
        else
            (void)UpdateFile();  // the profile layer reports this one itself
        return;
    }
    TStr line = key + "=" + value;
    TStrList* lines;
    int i = FindKey(section, key, true, lines);
    if (i < 0) {
        lines->Add(line);
        modified_ = true;
    } else if ((*lines)[i] != line) {
        lines->Item(i) = line;
        modified_ = true;
    }
}

void TwqIniFile::ReadSectionValues(const TStr& section, TStrList& target) {
    int s = sections_.IndexOf(section);
    if (s >= 0) target.AddAll(sections_.Lines(s));
}

void TwqIniFile::EraseSection(const TStr& section) {
    int s = sections_.IndexOf(section);
    if (s < 0) return;
    sections_.Delete(s);
    sections_.LastFound = 0;
    modified_ = true;
}

void TwqIniFile::DeleteKey(const TStr& section, const TStr& key) {
    TStrList* lines;
    int i = FindKey(section, key, true, lines);
    if (i < 0) return;
    lines->Delete(i);
    modified_ = true;
}

bool TwqIniFile::UpdateFile() {
    bool due = modified_ && !fileName_.empty() && IsValidHandle(fileHandle_) && !readOnly_;
    modified_ = false;
    if (!due) return true;
    TStr text = IniLayout(sections_);
    DWORD written = 0;
    return SetFilePointer(fileHandle_, 0, nullptr, FILE_BEGIN) == 0 &&
           (text.empty() || (WriteFile(fileHandle_, text.c_str(), (DWORD)text.length(), &written,
                                       nullptr) &&
                             written == text.length())) &&
           SetEndOfFile(fileHandle_) && FlushFileBuffers(fileHandle_);
}
