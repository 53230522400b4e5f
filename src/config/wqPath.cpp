#include "config/wqPath.h"

TStr AddBackslash(const TStr& path) {
    if (path.empty() || path.last() == '\\') return path;
    return path + '\\';
}

bool IsDriveRoot(const TStr& path) {
    if (path.length() != 3 || path[1] != ':' || path[2] != '\\') return false;
    char letter = path[0];
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

bool IsBareDrive(const TStr& path) { return path.length() == 2 && path[1] == ':'; }

TStr RemoveBackslash(const TStr& path) {
    if (path.length() <= 1 || path.last() != '\\' || IsDriveRoot(path)) return path;
    return path.substr(0, path.length() - 1);
}

size_t FolderPartLength(const TStr& path) {
    size_t n = path.length();
    while (n > 0 && path[n - 1] != '\\' && path[n - 1] != ':') --n;
    return n;
}

TStr FolderPart(const TStr& path) { return path.substr(0, FolderPartLength(path)); }

TStr FileNamePart(const TStr& path) { return path.substr(FolderPartLength(path)); }

TStr ChangeFileExt(const TStr& path, const TStr& ext) {
    size_t folder = FolderPartLength(path);
    long dot = path.rfind('.');
    size_t stem = dot >= 0 && (size_t)dot >= folder ? (size_t)dot : path.length();
    return path.substr(0, stem) + ext;
}

TStr DrivePart(const TStr& path) {
    if (path.length() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.length() < 2 || path[0] != '\\' || path[1] != '\\') return TStr();
    long share = path.find('\\', 2);
    if (share < 0) return path;
    long end = path.find('\\', (size_t)share + 1);
    return end < 0 ? path : path.substr(0, (size_t)end);
}
