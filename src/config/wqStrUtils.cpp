#include "config/wqStrUtils.h"

#include <string.h>

TCharSet::TCharSet(const char* members) {
    Clear();
    for (const char* p = members; *p; ++p) Add((unsigned char)*p);
}

void TCharSet::Clear() { memset(bits_, 0, sizeof bits_); }

TStr ReplaceAllText(const TStr& text, const TStr& search, const TStr& replacement) {
    if (search.empty()) return text;
    TStr out;
    size_t from = 0;
    for (long hit; (hit = text.find(search, from)) >= 0;) {
        out.append(text.c_str() + from, (size_t)hit - from);
        out += replacement;
        from = (size_t)hit + search.length();
    }
    out.append(text.c_str() + from, text.length() - from);
    return out;
}

TStr DeleteChars(const TStr& text, char c) {
    TStr out;
    for (size_t i = 0; i < text.length(); ++i)
        if (text[i] != c) out += text[i];
    return out;
}

TStr PadLeft(char fill, const TStr& text, int width) {
    TStr out;
    for (int i = (int)text.length(); i < width; ++i) out += fill;
    return out + text;
}

TStr LeftText(const TStr& text, int n) { return n <= 0 ? TStr() : text.substr(0, (size_t)n); }

TStr RightText(const TStr& text, int n) {
    if (n <= 0) return TStr();
    if ((size_t)n >= text.length()) return text;
    return text.substr(text.length() - (size_t)n);
}

TStr TextBefore(const TStr& text, char c) {
    long at = text.find(c);
    return at < 0 ? text : text.substr(0, (size_t)at);
}

TStr TextAfter(const TStr& text, char c) {
    long at = text.find(c);
    return at < 0 ? TStr() : text.substr((size_t)at + 1);
}

TStr Unquote(const TStr& text, char quote) {
    if (text.empty() || text[0] != quote) return text;
    TStr out;
    for (size_t i = 1; i < text.length(); ++i) {
        if (text[i] != quote) {
            out += text[i];
        } else if (i + 1 < text.length() && text[i + 1] == quote) {
            out += quote;
            ++i;
        } else {
            break;  // closing quote: what follows it is dropped
        }
    }
    return out;
}

int CutAtStar(TStr& text) {
    long at = text.find('*');
    if (at < 0) return 0;
    text.resize((size_t)at);
    return (int)at + 1;
}

// 0-based index just past the word that starts at or after `i`, with
// `start` receiving its first character; false when no word remains.
static bool NextWord(const TStr& text, const TCharSet& delims, size_t& i, size_t& start) {
    while (i < text.length() && delims.Has((unsigned char)text[i])) ++i;
    if (i >= text.length()) return false;
    start = i;
    while (i < text.length() && !delims.Has((unsigned char)text[i])) ++i;
    return true;
}

int CountWords(const TStr& text, const TCharSet& delims) {
    int count = 0;
    size_t i = 0, start;
    while (NextWord(text, delims, i, start)) ++count;
    return count;
}

int WordStart(int n, const TStr& text, const TCharSet& delims) {
    size_t i = 0, start;
    for (int count = 1; n >= 1 && NextWord(text, delims, i, start); ++count)
        if (count == n) return (int)start + 1;
    return 0;
}

TStr GetWord(int n, const TStr& text, const TCharSet& delims) {
    size_t i = 0, start;
    for (int count = 1; n >= 1 && NextWord(text, delims, i, start); ++count)
        if (count == n) return text.substr(start, i - start);
    return TStr();
}

TStr GetField(int n, const TStr& text, const TCharSet& delims) {
    if (n < 1) return TStr();
    size_t i = 0;
    if (n > 1) {
        bool quoted = false;
        int field = 1;
        for (; i < text.length() && field < n; ++i) {
            if (text[i] == '"') quoted = !quoted;
            if (!quoted && delims.Has((unsigned char)text[i])) ++field;
        }
        if (field < n) return TStr();
    }
    TStr out;
    bool quoted = false;
    for (; i < text.length(); ++i) {
        char c = text[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && delims.Has((unsigned char)c)) break;
        out += c;
    }
    return out;
}

int PosWithWildcard(const TStr& pattern, const TStr& text) {
    if (pattern.find('?') < 0) return pattern.empty() ? 0 : (int)(text.find(pattern) + 1);
    if (pattern.length() > text.length()) return 0;
    for (size_t start = 0; start + pattern.length() <= text.length(); ++start) {
        size_t k = 0;
        while (k < pattern.length() && (pattern[k] == '?' || pattern[k] == text[start + k])) ++k;
        if (k == pattern.length()) return (int)start + 1;
    }
    return 0;
}

// The last |segment| characters of name, from index n on, match segment.
static bool MatchesTail(const TStr& name, size_t n, const TStr& segment) {
    if (segment.length() > name.length() - n) return false;
    size_t base = name.length() - segment.length();
    for (size_t k = 0; k < segment.length(); ++k)
        if (segment[k] != '?' && segment[k] != name[base + k]) return false;
    return true;
}

bool MaskMatch(const TStr& nameIn, const TStr& maskIn, bool ignoreCase) {
    TStr name = ignoreCase ? UpperText(nameIn) : nameIn;
    TStr mask = ignoreCase ? UpperText(maskIn) : maskIn;
    if (name == mask) return true;
    while (mask.find("**") >= 0) mask = ReplaceAllText(mask, "**", "*");
    if (mask == "*") return true;
    if (name.empty() || mask.empty()) return false;

    size_t n = 0, m = 0;  // 0-based walk positions in name and mask
    while (n < name.length() && m < mask.length()) {
        char mc = mask[m];
        if (mc == name[n] || mc == '?') {
            ++n;
            ++m;
            continue;
        }
        if (mc != '*') return false;
        long nextStar = mask.find('*', m + 1);
        if (nextStar < 0) {
            TStr segment = mask.substr(m + 1);
            return segment.empty() || MatchesTail(name, n, segment);
        }
        TStr segment = mask.substr(m + 1, (size_t)nextStar - m - 1);
        int at = PosWithWildcard(segment, name.substr(n));
        if (at == 0) return false;
        n += (size_t)at - 1 + segment.length();
        m = (size_t)nextStar;
    }
    if (n < name.length()) return false;
    return m >= mask.length() || mask.last() == '*';
}

TStr WrapText(const TStr& text, int width, TTextWidthFunc measure, void* context) {
    const TCharSet blank(" ");
    TStr result, line;
    int words = CountWords(text, blank);
    for (int w = 1; w <= words; ++w) {
        TStr word = GetWord(w, text, blank);
        if (line.empty()) {
            line = word;
            continue;
        }
        TStr candidate = line + " " + word;
        if (measure(context, candidate) > width) {
            if (!result.empty()) result += "\r\n";
            result += line;
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.empty()) {
        if (!result.empty()) result += "\r\n";
        result += line;
    }
    return result;
}

#ifdef _WIN32
SIZE TextExtentOnDC(HDC dc, const TStr& text) {
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), (int)text.length(), &size);
    return size;
}

SIZE TextExtentOfWindow(HWND window, const TStr& text) {
    HFONT font = (HFONT)SendMessageA(window, WM_GETFONT, 0, 0);
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size = TextExtentOnDC(dc, text);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return size;
}

static int WidthOnDC(void* dc, const TStr& text) { return TextExtentOnDC((HDC)dc, text).cx; }

TStr WrapToWidth(HDC dc, const TStr& text, int width) { return WrapText(text, width, WidthOnDC, dc); }
#endif
