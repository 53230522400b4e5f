// Rar20MatchFinder: hash chains and binary trees over the encoder's buffer.
#include "Rar20MatchFinder.h"

#include <string.h>

#include <algorithm>

#include "Rar20Codes.h"

namespace tarvpack {
namespace rar20 {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "MatchLength counts bytes from the low end");

namespace {

const unsigned kHash2Bits = 16;
const unsigned kHash3Bits = 16;

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

// Hash of the first 3 or 4 bytes at p.
inline uint32_t HashHead(const uint8_t* p, unsigned bytes, unsigned bits) {
    uint32_t v = Load32(p) << (8 * (4 - bytes));
    return (v * 2654435761u) >> (32 - bits);
}
inline uint32_t Hash3(const uint8_t* p) { return ((Load32(p) << 8) * 2654435761u) >> (32 - kHash3Bits); }
inline uint32_t Hash2(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }

// Positions below `minPos`, and empty slots, are no candidates.
inline bool Usable(uint32_t slot, uint32_t minPos, uint32_t pos) {
    return slot != 0 && slot - 1 >= minPos && slot - 1 < pos;
}

void RebaseTable(std::vector<uint32_t>& t, uint32_t shift) {
    for (uint32_t& v : t) v = v > shift ? v - shift : 0;
}

}  // namespace

uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t start, uint32_t limit) {
    uint32_t len = start;
    while (len + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, a + len, 8);
        memcpy(&y, b + len, 8);
        if (x != y) return len + (uint32_t)(__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
}

void MatchFinder::Init(const Params& params, uint32_t cycle) {
    params_ = params;
    mask_ = cycle - 1;
    head_.assign((size_t)1 << params.hashBits, 0);
    links_.assign((size_t)cycle * (params.kind == kBinaryTree ? 2 : 1), 0);
    head2_.assign(params.shortMatches ? (size_t)1 << kHash2Bits : 0, 0);
    head3_.assign(params.shortMatches ? (size_t)1 << kHash3Bits : 0, 0);
}

uint32_t MatchFinder::Lowest(uint32_t pos, uint32_t lowest) const {
    return pos > mask_ ? std::max(lowest, pos - mask_) : lowest;
}

void MatchFinder::Rebase(uint32_t shift) {
    RebaseTable(head_, shift);
    RebaseTable(links_, shift);
    RebaseTable(head2_, shift);
    RebaseTable(head3_, shift);
}

unsigned MatchFinder::FindShort(const uint8_t* buf, uint32_t pos, uint32_t limit, uint32_t minPos,
                                Match* out, uint32_t* bestLen) {
    unsigned n = 0;
    const uint8_t* p = buf + pos;
    uint32_t& slot2 = head2_[Hash2(p)];
    uint32_t& slot3 = head3_[Hash3(p)];
    uint32_t c2 = slot2, c3 = slot3;
    slot2 = slot3 = pos + 1;
    if (Usable(c2, minPos, pos) && pos - (c2 - 1) <= 256) {
        uint32_t len = MatchLength(buf + c2 - 1, p, 0, limit);
        if (len > *bestLen) {
            *bestLen = len;
            out[n++] = Match{len, pos - (c2 - 1)};
        }
    }
    if (Usable(c3, minPos, pos) && c3 != c2) {
        uint32_t len = MatchLength(buf + c3 - 1, p, 0, limit);
        if (len > *bestLen) {
            *bestLen = len;
            out[n++] = Match{len, pos - (c3 - 1)};
        }
    }
    return n;
}

unsigned MatchFinder::Find(const uint8_t* buf, uint32_t pos, uint32_t avail, uint32_t lowest, Match* out) {
    if (avail < 4) return 0;
    uint32_t limit = std::min(avail, kMaxMatch);
    uint32_t minPos = Lowest(pos, lowest);
    uint32_t bestLen = 1;
    unsigned n = params_.shortMatches ? FindShort(buf, pos, limit, minPos, out, &bestLen) : 0;
    if (bestLen >= limit) {
        // Nothing to learn from the longer structures; keep them up to date.
        Skip(buf, pos, avail, lowest);
        return n;
    }
    uint32_t& slot = head_[HashHead(buf + pos, params_.hashBytes, params_.hashBits)];
    uint32_t cand = slot;
    slot = pos + 1;
    if (params_.kind == kHashChain) {
        links_[pos & mask_] = cand;
        return n + ChainSearch(buf, pos, limit, minPos, cand, out + n, bestLen);
    }
    return n + TreeSearch(buf, pos, limit, minPos, cand, out + n, bestLen);
}

void MatchFinder::Skip(const uint8_t* buf, uint32_t pos, uint32_t avail, uint32_t lowest) {
    if (avail < 4) return;
    if (params_.shortMatches) {
        head2_[Hash2(buf + pos)] = pos + 1;
        head3_[Hash3(buf + pos)] = pos + 1;
    }
    uint32_t& slot = head_[HashHead(buf + pos, params_.hashBytes, params_.hashBits)];
    uint32_t cand = slot;
    slot = pos + 1;
    if (params_.kind == kHashChain) {
        links_[pos & mask_] = cand;
        return;
    }
    // The tree must be re-rooted at pos even when nobody wants its matches.
    Match ignored[kMaxMatches];
    TreeSearch(buf, pos, std::min(avail, kMaxMatch), Lowest(pos, lowest), cand, ignored, kMaxMatch);
}

unsigned MatchFinder::ChainSearch(const uint8_t* buf, uint32_t pos, uint32_t limit, uint32_t minPos,
                                  uint32_t cand, Match* out, uint32_t bestLen) {
    unsigned n = 0;
    const uint8_t* p = buf + pos;
    for (unsigned left = params_.depth; left > 0 && Usable(cand, minPos, pos); --left) {
        const uint8_t* c = buf + cand - 1;
        // Only a candidate that agrees at the current best length can beat it.
        if (c[bestLen] == p[bestLen] && c[0] == p[0] && c[1] == p[1]) {
            uint32_t len = MatchLength(c, p, 2, limit);
            if (len > bestLen) {
                bestLen = len;
                out[n++] = Match{len, pos - (cand - 1)};
                if (len >= params_.niceLen || len >= limit) break;
            }
        }
        uint32_t next = links_[(cand - 1) & mask_];
        if (next >= cand) break;  // a stale link (the slot was reused)
        cand = next;
    }
    return n;
}

// One walk down the tree of the hash: every node passed is hung below the
// new root on the side its bytes sort to. len0 / len1 are the prefixes the
// new position shares with everything on the smaller / larger side.
unsigned MatchFinder::TreeSearch(const uint8_t* buf, uint32_t pos, uint32_t limit, uint32_t minPos,
                                 uint32_t cand, Match* out, uint32_t bestLen) {
    unsigned n = 0;
    const uint8_t* p = buf + pos;
    uint32_t* smaller = &links_[2 * (size_t)(pos & mask_)];
    uint32_t* larger = smaller + 1;
    uint32_t len0 = 0, len1 = 0;
    for (unsigned left = params_.depth;; --left) {
        if (left == 0 || !Usable(cand, minPos, pos)) {
            *smaller = *larger = 0;
            break;
        }
        uint32_t c = cand - 1;
        uint32_t* node = &links_[2 * (size_t)(c & mask_)];
        uint32_t len = MatchLength(buf + c, p, std::min(len0, len1), limit);
        if (len > bestLen) {
            bestLen = len;
            out[n++] = Match{len, pos - c};
        }
        if (len >= params_.niceLen || len >= limit) {
            // The new position takes this node's place in the tree.
            *smaller = node[0];
            *larger = node[1];
            break;
        }
        if (buf[c + len] < p[len]) {
            *smaller = cand;
            smaller = node + 1;
            cand = *smaller;
            len0 = len;
        } else {
            *larger = cand;
            larger = node;
            cand = *larger;
            len1 = len;
        }
    }
    return n;
}

}  // namespace rar20
}  // namespace tarvpack
