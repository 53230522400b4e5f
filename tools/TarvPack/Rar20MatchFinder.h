// Rar20MatchFinder: finds earlier occurrences of the bytes at a position of
// the encoder's buffer, for the LZ parsers.
//
// Two structures share one interface:
//   - hash chains (the faster levels): the last position of each 3- or 4-byte hash
//     and, per position, the previous one of the same hash; a search walks
//     the chain up to `depth` candidates;
//   - binary trees (the best levels): per hash, a tree of earlier positions
//     ordered by the bytes that follow them, newest at the root; a search
//     walks one path and re-roots the tree at the new position, learning the
//     common prefix from both sides so no byte is compared twice.
// Both can also keep the last position of every 2-byte value and of a
// 3-byte hash, which finds the short matches with small distances.
//
// Positions are offsets in the caller's buffer and only grow (a new stream
// goes on behind the old one; `lowest` keeps the old positions out). Calling
// order: Init once, then Find or Skip for consecutive positions; Rebase when
// the caller moves its buffer.
#ifndef TARV_TOOLS_TARVPACK_RAR20MATCHFINDER_H
#define TARV_TOOLS_TARVPACK_RAR20MATCHFINDER_H

#include <stdint.h>

#include <vector>

namespace tarvpack {
namespace rar20 {

struct Match {
    uint32_t len;
    uint32_t dist;
};

class MatchFinder {
public:
    enum Kind { kHashChain, kBinaryTree };
    struct Params {
        Kind kind;
        unsigned hashBytes;  // 3 or 4: bytes the main structure hashes
        unsigned hashBits;   // size of its hash table
        unsigned depth;      // candidates looked at per position
        unsigned niceLen;    // a match this long ends the search
        bool shortMatches;   // keep the 2- and 3-byte tables
    };
    // Most matches Find reports at one position.
    static const unsigned kMaxMatches = 270;

    // `cycle` (a power of two) bounds the distances: matches reach at most
    // cycle - 1 bytes back.
    void Init(const Params& params, uint32_t cycle);

    // Matches of the bytes at `pos` (`avail` bytes readable there, and
    // 8 more bytes of padding) with positions from `lowest` on, in order of
    // increasing length, each with the smallest distance found for it;
    // inserts `pos`. Lengths are at most min(avail, kMaxMatch). Returns the
    // number written to `out` (room for kMaxMatches).
    unsigned Find(const uint8_t* buf, uint32_t pos, uint32_t avail, uint32_t lowest, Match* out);
    // Inserts `pos` without reporting matches.
    void Skip(const uint8_t* buf, uint32_t pos, uint32_t avail, uint32_t lowest);

    // The buffer moved down by `shift` bytes (a multiple of the cycle).
    void Rebase(uint32_t shift);
private:
    uint32_t Lowest(uint32_t pos, uint32_t lowest) const;
    unsigned FindShort(const uint8_t* buf, uint32_t pos, uint32_t limit, uint32_t minPos, Match* out,
                       uint32_t* bestLen);
    unsigned ChainSearch(const uint8_t* buf, uint32_t pos, uint32_t limit, uint32_t minPos,
                         uint32_t cand, Match* out, uint32_t bestLen);
    unsigned TreeSearch(const uint8_t* buf, uint32_t pos, uint32_t limit, uint32_t minPos,
                        uint32_t cand, Match* out, uint32_t bestLen);

    Params params_ = {};
    uint32_t mask_ = 0;   // cycle - 1
    // Tables hold position + 1; 0 is empty.
    std::vector<uint32_t> head_;
    std::vector<uint32_t> links_;  // chain: 1 per position; tree: 2 (smaller, larger)
    std::vector<uint32_t> head2_;
    std::vector<uint32_t> head3_;
};

// Length of the common prefix of a and b, from `start` up to `limit`.
uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t start, uint32_t limit);

}  // namespace rar20
}  // namespace tarvpack

#endif
