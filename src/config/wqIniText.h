// wqIniText: the INI syntax of every INI-syntax file of the installer
// (configuration, language file, install scripts, install log, target INI
// files, wininit.ini), without any file access: the line rules, the section
// list, and the layout written back.
//
// Reading:
//   - lines end at a carriage return; line feeds are dropped wherever they
//     stand (a file with line feeds only is one line);
//   - "[name]" (first character "[", last "]", nothing trimmed) starts a
//     section; lines before the first section are dropped;
//   - other lines are "Name=Value" lines, shaped by the parse options.
// Writing: for every section with at least one line, "[name]", its lines and
// an empty line, each ended by "\r\n". Comments, blank lines, lines without
// "=" and the trimmed blanks and quotes are not reproduced.
#ifndef TARV_CONFIG_WQINITEXT_H
#define TARV_CONFIG_WQINITEXT_H

#include "config/wqString.h"

struct TIniOptions {
    bool StripComments;  // a line starting with ";" counts as empty
    bool SkipNoEquals;   // a line without "=" is dropped
    bool TrimEquals;     // blanks and tabs around the first "=" are removed
    bool StripQuotes;    // one pair of matching quotes around the value goes
    bool TrimTrailing;   // characters below code 33 at the end are removed
};

// All five options on: how the profile layer reads every file by default.
const TIniOptions kIniDefaultOptions = {true, true, true, true, true};

// The sections of one document in document order, each with its lines.
class TSectionList {
public:
    TSectionList() : LastFound(0), lines_(nullptr), cap_(0) {}
    ~TSectionList();
    TSectionList(const TSectionList&) = delete;
    TSectionList& operator=(const TSectionList&) = delete;

    int Count() const { return names_.Count(); }
    const TStr& Name(int i) const { return names_[i]; }
    TStrList& Lines(int i) { return *lines_[i]; }
    const TStrList& Lines(int i) const { return *lines_[i]; }

    // Appends a section with no lines; returns its index.
    int Add(const TStr& name);
    void Delete(int index);
    void Clear();
    // Circular search (without regard to case) starting at LastFound, which
    // becomes the found index; -1 when absent.
    int IndexOf(const TStr& name);
    // Keeps the first section of every group of equal names (without regard
    // to case) and discards the others with their lines; true when any went.
    bool RemoveDuplicateSections();

    int LastFound;

private:
    TStrList names_;
    TStrList** lines_;
    size_t cap_;
};

// The line rule of every text file the installer reads: a line ends at a
// carriage return (code 13); line feeds (code 10) are not line ends and are
// dropped wherever they stand, so a file with line feeds only is one line.
// Appends to `line` the text of data[0, count) up to the first carriage
// return, without its line feeds, and returns how many bytes that used up,
// the carriage return included; `ended` tells whether one was met.
size_t TakeLineText(const char* data, size_t count, TStr& line, bool& ended);

// Turns a byte stream into sections, a chunk at a time; any bytes are
// accepted. Work is linear in the input size.
class TIniLoader {
public:
    TIniLoader(TSectionList& target, const TIniOptions& options)
        : target_(target), options_(options), current_(-1) {}
    void Feed(const char* data, size_t count);
    // Takes the last line (one without a final carriage return).
    void Finish();
    // The shape of one line after the options, or false when it is dropped
    // before reaching a section (empty, comment, no "=" with SkipNoEquals).
    static bool ShapeKeyLine(TStr& line, const TIniOptions& options);

private:
    void TakeLine();
    TSectionList& target_;
    TIniOptions options_;
    int current_;  // section receiving lines; -1 before the first header
    TStr pending_;
};

// The layout written back: see the top of this file.
TStr IniLayout(const TSectionList& sections);

#endif
