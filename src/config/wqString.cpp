#include "config/wqString.h"

#include <new>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <stdio.h>
#endif

const char TStr::kEmpty[1] = {0};

void OutOfMemory() {
#ifdef _WIN32
    FatalAppExitA(0, "Out of memory!");
#else
    fputs("Out of memory!\n", stderr);
#endif
    abort();
}

static void* CheckedRealloc(void* p, size_t bytes) {
    void* r = realloc(p, bytes);
    if (!r) OutOfMemory();
    return r;
}

#ifdef _WIN32
// The library's allocation operators report failure with std::bad_alloc,
// which would link the whole exception runtime into the installer. Failure is
// fatal here anyway, so these never return null.
void* operator new(size_t n) { return CheckedRealloc(nullptr, n ? n : 1); }
void* operator new[](size_t n) { return CheckedRealloc(nullptr, n ? n : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
#endif


TStr::TStr(const char* text) : TStr() {
    if (text) append(text, strlen(text));
}

TStr::TStr(const char* text, size_t count) : TStr() { append(text, count); }

TStr::TStr(const TStr& other) : TStr() { append(other.data_, other.len_); }

TStr::TStr(TStr&& other) noexcept : data_(other.data_), len_(other.len_), cap_(other.cap_) {
    other.data_ = const_cast<char*>(kEmpty);
    other.len_ = other.cap_ = 0;
}

TStr::~TStr() {
    if (cap_) free(data_);
}

TStr& TStr::operator=(const TStr& other) {
    if (this != &other) {
        resize(0);  // terminates the text too: an empty source appends nothing
        append(other.data_, other.len_);
    }
    return *this;
}

TStr& TStr::operator=(TStr&& other) noexcept {
    if (this != &other) {
        if (cap_) free(data_);
        data_ = other.data_;
        len_ = other.len_;
        cap_ = other.cap_;
        other.data_ = const_cast<char*>(kEmpty);
        other.len_ = other.cap_ = 0;
    }
    return *this;
}

TStr& TStr::operator=(const char* text) {
    TStr copy(text);  // text may point into this string
    return *this = static_cast<TStr&&>(copy);
}

void TStr::reserve(size_t n) {
    if (n <= cap_) return;
    size_t grown = cap_ < 16 ? 16 : cap_ + cap_ / 2;
    if (grown < n) grown = n;
    if (grown + 1 < grown) OutOfMemory();
    char* p = (char*)CheckedRealloc(cap_ ? data_ : nullptr, grown + 1);
    if (!cap_) p[0] = '\0';
    data_ = p;
    cap_ = grown;
}

TStr& TStr::append(const char* text, size_t count) {
    if (!count) return *this;
    if (len_ + count < len_) OutOfMemory();
    if (len_ + count > cap_) {
        // text may point into our own buffer, which reserve() moves
        size_t offset = (size_t)(text - data_);
        bool inside = cap_ && text >= data_ && text < data_ + len_;
        reserve(len_ + count);
        if (inside) text = data_ + offset;
    }
    memmove(data_ + len_, text, count);
    len_ += count;
    data_[len_] = '\0';
    return *this;
}

TStr& TStr::operator+=(const char* text) { return append(text, strlen(text)); }

TStr TStr::substr(size_t pos, size_t count) const {
    if (pos >= len_) return TStr();
    if (count > len_ - pos) count = len_ - pos;
    return TStr(data_ + pos, count);
}

long TStr::find(char c, size_t from) const {
    if (from >= len_) return -1;
    const void* p = memchr(data_ + from, (unsigned char)c, len_ - from);
    return p ? (long)((const char*)p - data_) : -1;
}

long TStr::find(const TStr& text, size_t from) const {
    size_t n = text.len_;
    if (n == 0 || from > len_ || n > len_ - from) return -1;
    for (size_t i = from; i + n <= len_; ++i) {
        if (data_[i] == text.data_[0] && memcmp(data_ + i, text.data_, n) == 0) return (long)i;
    }
    return -1;
}

long TStr::rfind(char c) const {
    for (size_t i = len_; i > 0; --i)
        if (data_[i - 1] == c) return (long)(i - 1);
    return -1;
}

void TStr::erase(size_t pos, size_t count) {
    if (pos >= len_) return;
    if (count > len_ - pos) count = len_ - pos;
    memmove(data_ + pos, data_ + pos + count, len_ - pos - count + 1);
    len_ -= count;
}

void TStr::insert(size_t pos, const char* text, size_t count) {
    if (pos > len_) pos = len_;
    TStr tail = substr(pos);
    resize(pos);
    append(text, count);
    *this += tail;
}

void TStr::resize(size_t n) {
    if (n > len_) {
        reserve(n);
        memset(data_ + len_, 0, n - len_);
    }
    len_ = n;
    if (cap_) data_[len_] = '\0';
}

char* TStr::buffer(size_t n) {
    resize(n);
    if (!cap_) reserve(1);  // never hand out the shared empty text
    return data_;
}

bool TStr::operator==(const TStr& o) const {
    return len_ == o.len_ && memcmp(data_, o.data_, len_) == 0;
}

bool TStr::operator==(const char* text) const {
    size_t n = strlen(text);
    return len_ == n && memcmp(data_, text, n) == 0;
}

TStr operator+(const TStr& a, const TStr& b) {
    TStr r;
    r.reserve(a.length() + b.length());
    r += a;
    r += b;
    return r;
}

TStr operator+(const TStr& a, const char* b) { return a + TStr(b); }
TStr operator+(const char* a, const TStr& b) { return TStr(a) + b; }
TStr operator+(const TStr& a, char c) {
    TStr r(a);
    r += c;
    return r;
}

TStr IntToStr(long value) {
    char digits[24];
    unsigned long u = value < 0 ? 0UL - (unsigned long)value : (unsigned long)value;
    size_t n = sizeof digits;
    do {
        digits[--n] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    if (value < 0) digits[--n] = '-';
    return TStr(digits + n, sizeof digits - n);
}

static void AppendUnsigned(TStr& out, unsigned long v, unsigned base, int minDigits) {
    char digits[24];
    size_t n = sizeof digits;
    do {
        unsigned d = (unsigned)(v % base);
        digits[--n] = (char)(d < 10 ? '0' + d : 'a' + d - 10);
        v /= base;
    } while (v);
    for (int i = (int)(sizeof digits - n); i < minDigits; ++i) out += '0';
    out.append(digits + n, sizeof digits - n);
}

TStr Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    TStr out;
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        ++p;
        int minDigits = 0;
        if (*p == '.') {
            for (++p; *p >= '0' && *p <= '9'; ++p) minDigits = minDigits * 10 + (*p - '0');
        }
        switch (*p) {
        case 's': {
            const char* s = va_arg(args, const char*);
            out += s ? s : "";
            break;
        }
        case 'd': {
            long v = va_arg(args, int);
            if (v < 0) out += '-';
            AppendUnsigned(out, v < 0 ? 0UL - (unsigned long)v : (unsigned long)v, 10, minDigits);
            break;
        }
        case 'u': AppendUnsigned(out, va_arg(args, unsigned), 10, minDigits); break;
        case 'x': AppendUnsigned(out, va_arg(args, unsigned), 16, minDigits); break;
        case '%': out += '%'; break;
        default: p--; break;  // unknown directive: keep the rest as text
        }
    }
    va_end(args);
    return out;
}

// Upper-case table of the user's code page. Filled while the program starts
// (before main, so before any second thread exists): no thread ever writes
// it later.
static unsigned char upperTable[256];

static bool BuildUpperTable() {
    for (int i = 0; i < 256; ++i) upperTable[i] = (unsigned char)i;
#ifdef _WIN32
    CharUpperBuffA((char*)upperTable + 1, 255);
#else
    for (int i = 'a'; i <= 'z'; ++i) upperTable[i] = (unsigned char)(i - 32);
#endif
    return true;
}
[[maybe_unused]] static const bool upperTableReady = BuildUpperTable();

unsigned char UpperChar(unsigned char c) { return upperTable[c]; }

TStr UpperText(const TStr& s) {
    TStr r(s);
    for (size_t i = 0; i < r.length(); ++i) r.at(i) = (char)upperTable[(unsigned char)r[i]];
    return r;
}

bool SameText(const TStr& a, const TStr& b) {
    if (a.length() != b.length()) return false;
    for (size_t i = 0; i < a.length(); ++i)
        if (a[i] != b[i] && UpperChar((unsigned char)a[i]) != UpperChar((unsigned char)b[i]))
            return false;
    return true;
}

int CompareText(const TStr& a, const TStr& b) {
#ifdef _WIN32
    // The system's collation treats NULs as terminators; lengths are passed so
    // embedded bytes still take part.
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), (int)a.length(),
                           b.c_str(), (int)b.length());
    if (r) return r - CSTR_EQUAL;
#endif
    TStr ua = UpperText(a), ub = UpperText(b);
    size_t n = ua.length() < ub.length() ? ua.length() : ub.length();
    int c = memcmp(ua.c_str(), ub.c_str(), n);
    if (c) return c;
    return ua.length() < ub.length() ? -1 : ua.length() > ub.length() ? 1 : 0;
}

unsigned HashText(const char* p, size_t n, bool foldCase) {
    unsigned h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = (unsigned char)p[i];
        h = (h ^ (foldCase ? upperTable[c] : c)) * 16777619u;
    }
    return h;
}

// ---- TStrList ----

TStrList::TStrList(const TStrList& other) : TStrList() { AddAll(other); }

TStrList& TStrList::operator=(const TStrList& other) {
    if (this != &other) {
        Clear();
        AddAll(other);
    }
    return *this;
}

TStrList::~TStrList() {
    Clear();
    free(items_);
}

void TStrList::Grow(size_t need) {
    if (need <= cap_) return;
    size_t grown = cap_ < 8 ? 8 : cap_ * 2;
    if (grown < need) grown = need;
    if (grown > ((size_t)-1) / sizeof(TStr)) OutOfMemory();
    // TStr is trivially relocatable (pointer + sizes), so a byte move is a move
    items_ = (TStr*)CheckedRealloc(items_, grown * sizeof(TStr));
    cap_ = grown;
}

void TStrList::Add(const TStr& s) { Insert((int)count_, s); }

void TStrList::Insert(int index, const TStr& s) {
    if (index < 0 || (size_t)index > count_) return;
    TStr copy(s);  // s may be an item of this list
    Grow(count_ + 1);
    memmove((void*)(items_ + index + 1), (void*)(items_ + index), (count_ - index) * sizeof(TStr));
    new (&items_[index]) TStr(static_cast<TStr&&>(copy));
    ++count_;
}

void TStrList::Delete(int index) {
    if (index < 0 || (size_t)index >= count_) return;
    items_[index].~TStr();
    memmove((void*)(items_ + index), (void*)(items_ + index + 1), (count_ - index - 1) * sizeof(TStr));
    --count_;
}

void TStrList::Clear() {
    for (size_t i = 0; i < count_; ++i) items_[i].~TStr();
    count_ = 0;
}

void TStrList::AddAll(const TStrList& other) {
    const size_t count = other.count_;  // fixed first: `other` may be this list
    Grow(count_ + count);
    for (size_t i = 0; i < count; ++i) Add(other.items_[i]);
}

int TStrList::IndexOf(const TStr& s) const {
    for (size_t i = 0; i < count_; ++i)
        if (SameText(items_[i], s)) return (int)i;
    return -1;
}

int TStrList::IndexOfName(const TStr& name) const {
    for (size_t i = 0; i < count_; ++i) {
        const TStr& item = items_[i];
        long eq = item.find('=');
        if (eq >= 0 && (size_t)eq == name.length() && SameText(item.substr(0, (size_t)eq), name))
            return (int)i;
    }
    return -1;
}

TStr TStrList::Value(const TStr& name) const {
    int i = IndexOfName(name);
    if (i < 0) return TStr();
    const TStr& item = items_[i];
    return item.substr((size_t)item.find('=') + 1);
}

void TStrList::SetValue(const TStr& name, const TStr& value) {
    TStr line = name + "=" + value;
    int i = IndexOfName(name);
    if (i < 0)
        Add(line);
    else
        items_[i] = line;
}

void TStrList::Sort() {
    // Insertion sort by binary search: stable, and lists here are short
    // (languages, section names), so the moves stay cheap.
    for (size_t i = 1; i < count_; ++i) {
        size_t lo = 0, hi = i;
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (CompareText(items_[i], items_[mid]) < 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        if (lo == i) continue;
        char held[sizeof(TStr)];
        memcpy(held, (void*)(items_ + i), sizeof(TStr));
        memmove((void*)(items_ + lo + 1), (void*)(items_ + lo), (i - lo) * sizeof(TStr));
        memcpy((void*)(items_ + lo), held, sizeof(TStr));
    }
}
