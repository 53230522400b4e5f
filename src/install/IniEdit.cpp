#include "install/IniEdit.h"

#include "config/wqIniText.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "system/wqFileUtils.h"

namespace {

// One line of the file: its text [start, textEnd), then its line end up to
// `end` (empty for a last line without one).
struct TLine {
    size_t start, textEnd, end;
};

TLine LineAt(const TStr& text, size_t start) {
    TLine line = {start, start, start};
    while (line.textEnd < text.length() && text[line.textEnd] != '\r' && text[line.textEnd] != '\n')
        ++line.textEnd;
    line.end = line.textEnd;
    if (line.end < text.length() && text[line.end] == '\r') ++line.end;
    if (line.end < text.length() && text[line.end] == '\n') ++line.end;
    return line;
}

bool IsHeader(const TStr& line) { return line.length() >= 2 && line[0] == '[' && line.last() == ']'; }

// Blanks around "=" and trailing ones go, quotes stay: the value as it was
// written, for comparing with the value an installation logged.
const TIniOptions kKeepQuotes = {true, true, true, false, true};

// The key and value of a line as the INI syntax reads it; false for
// comments, blank lines and lines without "=".
bool KeyOfLine(TStr line, TStr& key, TStr* value = nullptr) {
    if (line.empty() || line[0] == ';' || !TIniLoader::ShapeKeyLine(line, kKeepQuotes)) return false;
    key = NamePart(line);
    if (value) *value = ValuePart(line);
    return true;
}

bool IsBlankLine(const TStr& line) {
    for (size_t i = 0; i < line.length(); ++i)
        if ((unsigned char)line[i] >= 33) return false;
    return true;
}

}  // namespace

TStr SetIniValueText(const TStr& text, const TStr& section, const TStr& key, const TStr& value,
                     bool append) {
    const TStr entry = key + "=" + value;
    bool inSection = false, seen = false;
    size_t insertAt = 0;  // just after the section's last non-blank line
    bool insertNeedsBreak = false;
    for (size_t pos = 0; pos < text.length();) {
        TLine line = LineAt(text, pos);
        pos = line.end;
        TStr lineText = text.substr(line.start, line.textEnd - line.start);
        if (IsHeader(lineText)) {
            if (inSection) break;  // the section ended without the key
            inSection = !seen && SameText(lineText.substr(1, lineText.length() - 2), section);
            seen = seen || inSection;
        } else if (!inSection) {
            continue;
        } else {
            TStr lineKey;
            if (!append && KeyOfLine(lineText, lineKey) && SameText(lineKey, key)) {
                TStr out = text.substr(0, line.start) + entry;
                return out + text.substr(line.textEnd);
            }
            if (IsBlankLine(lineText)) continue;
        }
        insertAt = line.end;
        insertNeedsBreak = line.end == line.textEnd;
    }
    if (seen) {
        TStr added = insertNeedsBreak ? "\r\n" + entry : entry + "\r\n";
        return text.substr(0, insertAt) + added + text.substr(insertAt);
    }
    bool ended = text.empty() || text.last() == '\r' || text.last() == '\n';
    return text + (ended ? "" : "\r\n") + "[" + section + "]\r\n" + entry + "\r\n";
}

bool RemoveIniValueText(TStr& text, const TStr& section, const TStr& key, const TStr& value) {
    bool inSection = false, seen = false;
    for (size_t pos = 0; pos < text.length();) {
        TLine line = LineAt(text, pos);
        pos = line.end;
        TStr lineText = text.substr(line.start, line.textEnd - line.start), lineKey, lineValue;
        if (IsHeader(lineText)) {
            if (inSection) return false;  // the first section of a name counts
            inSection = !seen && SameText(lineText.substr(1, lineText.length() - 2), section);
            seen = seen || inSection;
        } else if (inSection && KeyOfLine(lineText, lineKey, &lineValue) && SameText(lineKey, key)) {
            if (lineValue != value) return false;
            text.erase(line.start, line.end - line.start);
            return true;
        }
    }
    return false;
}

bool IniTextHoldsNoKeys(const TStr& text) {
    for (size_t pos = 0; pos < text.length();) {
        TLine line = LineAt(text, pos);
        pos = line.end;
        TStr lineText = text.substr(line.start, line.textEnd - line.start), key;
        if (!IsHeader(lineText) && KeyOfLine(lineText, key)) return false;
    }
    return true;
}

struct TIniEdit {
    const TStr& Section;
    const TStrList& Lines;  // key=value each
    bool Append;
};

static bool ApplyIniEdit(void* context, TStr& text) {
    const TIniEdit& edit = *static_cast<const TIniEdit*>(context);
    TStr edited = text;
    for (int i = 0; i < edit.Lines.Count(); ++i)
        edited = SetIniValueText(edited, edit.Section, NamePart(edit.Lines[i]), ValuePart(edit.Lines[i]),
                                 edit.Append);
    if (edited == text) return false;
    text = edited;
    return true;
}

// Applies the lines to the file in one write (the file is created when
// missing).
static bool EditIniFile(const TStr& file, const TStr& section, const TStrList& lines, bool append) {
    if (!ProfileDropDocument(file)) return false;
    TIniEdit edit = {section, lines, append};
    TFileEditResult result = EditFileText(file, true, ApplyIniEdit, &edit);
    return result == feWritten || result == feUnchanged;
}

bool SetIniFileValue(const TStr& file, const TStr& section, const TStr& key, const TStr& value) {
    TStrList line;
    line.Add(key + "=" + value);
    return EditIniFile(file, section, line, false);
}

bool AppendIniFileLines(const TStr& file, const TStr& section, const TStrList& lines) {
    return EditIniFile(file, section, lines, true);
}
