// wqString: the 8-bit ANSI string and the Name=Value string list that every
// module of the installer speaks in.
//
// The installer must stay far below 128 KB, so it uses these two light types
// instead of std::string / std::vector (which drag the exception unwinder in).
// Positions in this class are 0-based; the text functions of wqStrUtils use the
// 1-based positions of the script language.
//
// Allocation failure is fatal: the process shows no half-built state, it ends
// (see OutOfMemory in wqString.cpp).
#ifndef TARV_CONFIG_WQSTRING_H
#define TARV_CONFIG_WQSTRING_H

#include <stddef.h>

class TStr {
public:
    TStr() : data_(const_cast<char*>(kEmpty)), len_(0), cap_(0) {}
    TStr(const char* text);
    TStr(const char* text, size_t count);
    TStr(const TStr& other);
    TStr(TStr&& other) noexcept;
    ~TStr();
    TStr& operator=(const TStr& other);
    TStr& operator=(TStr&& other) noexcept;
    TStr& operator=(const char* text);

    const char* c_str() const { return data_; }
    size_t length() const { return len_; }
    bool empty() const { return len_ == 0; }
    char operator[](size_t i) const { return data_[i]; }
    char& at(size_t i) { return data_[i]; }
    char last() const { return len_ ? data_[len_ - 1] : '\0'; }

    TStr& append(const char* text, size_t count);
    TStr& operator+=(const TStr& s) { return append(s.data_, s.len_); }
    TStr& operator+=(const char* text);
    TStr& operator+=(char c) { return append(&c, 1); }

    // Characters [pos, pos + count), clipped to the text.
    TStr substr(size_t pos, size_t count = (size_t)-1) const;
    // 0-based index of the first occurrence at or after `from`, or -1.
    long find(char c, size_t from = 0) const;
    long find(const TStr& text, size_t from = 0) const;
    long rfind(char c) const;
    void erase(size_t pos, size_t count = 1);
    void insert(size_t pos, const char* text, size_t count);
    void resize(size_t n);  // new characters are NUL bytes
    void reserve(size_t n);
    void clear() { resize(0); }
    // Writable buffer of n characters (for Win32 calls that fill a buffer);
    // call resize() with the real length afterwards.
    char* buffer(size_t n);

    bool operator==(const TStr& o) const;
    bool operator!=(const TStr& o) const { return !(*this == o); }
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }

private:
    static const char kEmpty[1];
    char* data_;
    size_t len_;
    size_t cap_;  // 0: data_ points at kEmpty
};

TStr operator+(const TStr& a, const TStr& b);
TStr operator+(const TStr& a, const char* b);
TStr operator+(const char* a, const TStr& b);
TStr operator+(const TStr& a, char c);

// Decimal text of a signed 32-bit value.
TStr IntToStr(long value);
// printf-style formatting with %s (const char*), %d, %u, %x and %.Nd only.
TStr Format(const char* fmt, ...);

// Case rules of the user's locale for 8-bit text. On Windows these are the
// system's ANSI conversions; native builds fold ASCII only.
TStr UpperText(const TStr& s);
// One character through the same conversion (a table built on first use).
unsigned char UpperChar(unsigned char c);
// Equality without regard to case (both sides upper-cased, then compared).
bool SameText(const TStr& a, const TStr& b);
// Ordering without regard to case, for sorted lists: <0, 0, >0.
int CompareText(const TStr& a, const TStr& b);

// FNV-1a hash of n bytes, optionally of their upper-case forms (UpperChar),
// so that texts equal without regard to case hash alike.
unsigned HashText(const char* p, size_t n, bool foldCase);

// An ordered list of strings, usually "Name=Value" items. The name of an item
// is the text before its first "="; look-ups by name ignore case and take the
// first item of a name; duplicates are allowed.
class TStrList {
public:
    TStrList() : items_(nullptr), count_(0), cap_(0) {}
    TStrList(const TStrList& other);
    TStrList& operator=(const TStrList& other);
    ~TStrList();

    int Count() const { return (int)count_; }
    const TStr& operator[](int i) const { return items_[i]; }
    TStr& Item(int i) { return items_[i]; }

    void Add(const TStr& s);
    void Insert(int index, const TStr& s);
    void Delete(int index);
    void Clear();
    void AddAll(const TStrList& other);

    // Index of the first item equal to s without regard to case, or -1.
    int IndexOf(const TStr& s) const;
    // Index of the first item whose name equals `name` without regard to case.
    int IndexOfName(const TStr& name) const;
    // Value of the first item of that name; empty when there is none.
    TStr Value(const TStr& name) const;
    // Sets the value of the first item of that name, or appends name=value.
    void SetValue(const TStr& name, const TStr& value);
    // Stable sort without regard to case (CompareText).
    void Sort();

private:
    void Grow(size_t need);
    TStr* items_;
    size_t count_;
    size_t cap_;
};

// Ends the process after an allocation failure (never returns).
[[noreturn]] void OutOfMemory();

#endif
