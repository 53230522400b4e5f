// libFuzzer entry for the archive reader: the input is the first volume of
// an archive (and, for a few volume changes, every later one too); the
// locating step, the integrity check, the header walk and the data pass run
// over it with the three processing modes in turn. Checks what must hold
// for any bytes: names stay within 260 bytes, results are known codes, an
// entry the reader refuses is never written and gets the refusal as its
// result, output never exceeds the entry's size, success means complete,
// matching data, and a damaged walk stays damaged. Run with
// -malloc_limit_mb=2: nothing may allocate what a header claims.
#include "archive/RarReader.h"

#include <stdlib.h>
#include <string.h>

using namespace rar;

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    int volumeChanges;
};

size_t ReadAt(void* ctx, uint64_t offset, uint8_t* buf, size_t size) {
    Input* in = static_cast<Input*>(ctx);
    if (offset >= in->size) return 0;
    size_t n = in->size - offset < size ? (size_t)(in->size - offset) : size;
    memcpy(buf, in->data + offset, n);
    return n;
}

bool OpenVolume(void* ctx, const char*) { return ++static_cast<Input*>(ctx)->volumeChanges <= 3; }

struct Output {
    uint64_t written;
    uint32_t crc;
};

size_t Write(void* ctx, const uint8_t* data, size_t size) {
    Output* out = static_cast<Output*>(ctx);
    out->written += size;
    out->crc = Crc32Update(out->crc, data, size);
    return size;
}

void Progress(void*, const char* name, uint32_t bytes, bool) {
    if (bytes == 0 || strlen(name) > kMaxNameBytes) abort();
}

RarReader* NewReader() {
    RarReader* r = new RarReader;
    if (!r->AllocateWindow()) abort();
    return r;
}


bool KnownResult(int result) {
    return result == kExtractOk || result == kExtractBadData ||
           (result >= kExtractUnsafeName && result <= kExtractUnsupportedDictionary);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One reader for every input, as in the installer (the decoder's solid
    // chain is broken by each new archive's first entry anyway).
    static RarReader* reader = NewReader();
    Input in = {data, size, 0};
    VolumeIo io = {&in, ReadAt, OpenVolume};
    if (reader->Open(io, "fuzz.rar") != kOpenOk) return 0;
    reader->VerifyIntegrity();
    FileHeader h;
    WalkStatus walk;
    for (unsigned i = 0; (walk = reader->NextEntry(&h)) == kWalkEntry; ++i) {
        if (strlen(h.name) > kMaxNameBytes + 1 || h.hostOs > 3) abort();
        int check = reader->CheckEntry();
        if (!KnownResult(check) || ResultText(check, h).empty()) abort();
        Output out = {0, 0};
        EntrySink sink = {&out, Write, Progress};
        ProcessMode mode = i % 3 == 0 ? kProcessExtract : i % 3 == 1 ? kProcessSkip : kProcessList;
        int result = reader->ProcessFile(mode, sink);
        if (!KnownResult(result)) abort();
        if (out.written > h.unpSize) abort();
        if (mode == kProcessExtract && check != kExtractOk && (result != check || out.written)) abort();
        if (mode == kProcessExtract && result == kExtractOk &&
            (out.written != h.unpSize ||
             (!(h.block.flags & kFileSplitAfter) && out.crc != h.fileCrc)))
            abort();
        if (mode != kProcessExtract && out.written) abort();
    }
    if (walk == kWalkDamaged && !reader->DamageText()[0]) abort();
    if (reader->NextEntry(&h) != walk) abort();
    return 0;
}
