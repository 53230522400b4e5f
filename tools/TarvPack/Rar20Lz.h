// Rar20Lz: the LZ half of the RAR 2.0 encoder: the decoder's match history
// as the encoder mirrors it, coded symbols (tokens), their statistics and
// costs, and the parsers that turn bytes into tokens:
//   - lazy: take the best-looking match at each position, or one position
//     later when that looks better (the faster levels);
//   - optimal: a shortest path over the positions of a chunk, where each
//     position can be reached by a literal, a new match of any length the
//     match finder allows, or a match at one of the four remembered
//     distances, each priced by the current code lengths; the path carries
//     the remembered distances along (the best levels).
#ifndef TARV_TOOLS_TARVPACK_RAR20LZ_H
#define TARV_TOOLS_TARVPACK_RAR20LZ_H

#include <stdint.h>

#include <vector>

#include "Rar20Codes.h"
#include "Rar20MatchFinder.h"

namespace tarvpack {
namespace rar20 {

// What the decoder remembers of the matches so far. Every match, whatever
// symbol codes it, becomes the newest distance and "the previous match".
struct LzState {
    uint32_t rep[4] = {0, 0, 0, 0};  // newest first; 0 = none yet
    uint32_t lastLen = 0;
    void Push(uint32_t len, uint32_t dist) {
        rep[3] = rep[2];
        rep[2] = rep[1];
        rep[1] = rep[0];
        rep[0] = dist;
        lastLen = len;
    }
};

// One main-table symbol with what follows it.
struct LzToken {
    uint16_t sym;        // 0..255 literal, 256..268, 270..297
    uint8_t slot;        // repeated-distance length slot, or distance slot
    uint8_t lenExtra;    // extra bits of the length (or of a short distance)
    uint16_t distExtra;  // extra bits of a new match's distance
};

struct LzStats {
    uint32_t main[kMainSymbols] = {};
    uint32_t dist[kDistSymbols] = {};
    uint32_t rep[kRepSymbols] = {};
    uint64_t extraBits = 0;
    void Add(const LzToken& t);
    void Add(const LzStats& o);
};

// The LZ tables: lengths of main, distance and repeated-length codes.
struct LzLengths {
    uint8_t main[kMainSymbols];
    uint8_t dist[kDistSymbols];
    uint8_t rep[kRepSymbols];
};
// Code lengths for the statistics; the new-tables symbol always gets a code
// so a later block can take over.
LzLengths LzLengthsFor(const LzStats& stats);
// Bits of the tokens coded with `len`, extra bits included (kNoCode when a
// used symbol has no code).
uint64_t LzCodedBits(const LzStats& stats, const LzLengths& len);

// Prices in 1/16 bits.
const uint32_t kCostScale = 16;
struct CostModel {
    uint32_t main[kMainSymbols];
    uint32_t longLen[256];   // length value of a new match: slot symbol + extra bits
    uint32_t repLen[256];    // length value of a repeated-distance match
    uint32_t distSlot[kDistSymbols];  // slot symbol + extra bits
    uint32_t shortDist[257];          // length-2 match at distance 1..256

    // Code lengths as prices; symbols without a code cost `missing` bits.
    void FromLengths(const LzLengths& len, unsigned missing);
    void FromStats(const LzStats& stats);
    // Rough prices for a start without statistics.
    void Default();
    // Fills the derived prices from main[] and the distance / repeated-length symbol prices.
    void Derive(const uint32_t* dist, const uint32_t* rep);

    uint32_t Dist(uint32_t dist) const {
        unsigned s = DistSlot(dist);
        return distSlot[s];
    }
    uint32_t Long(uint32_t len, uint32_t dist) const { return longLen[len - 3 - LongBonus(dist)] + Dist(dist); }
    uint32_t Rep(unsigned j, uint32_t len, uint32_t dist) const {
        return main[kSymOldDist + j] + repLen[len - 2 - RepBonus(dist)];
    }
};

// The ways a match can be coded.
enum MatchCode : uint8_t { kCodeLiteral, kCodeRepeatLast, kCodeRep0, kCodeRep1, kCodeRep2, kCodeRep3, kCodeShort, kCodeLong };

// Limits of the lengths each way can express at a distance.
inline uint32_t LongMin(uint32_t dist) { return 3 + LongBonus(dist); }
inline uint32_t LongMax(uint32_t dist) { return 258 + LongBonus(dist); }
inline uint32_t RepMin(uint32_t dist) { return 2 + RepBonus(dist); }
inline uint32_t RepMax(uint32_t dist) { return 257 + RepBonus(dist); }

LzToken MakeToken(MatchCode code, uint32_t len, uint32_t dist, uint8_t literal);
// The best way to code a match of up to `len` bytes at `dist` after
// `state`, with its price; *len becomes the length that way codes (shorter
// when no way reaches `len`, or when a shorter way is much cheaper). False
// when no way can code it at all.
bool CheapestCode(const LzState& state, const CostModel& model, uint32_t* len, uint32_t dist,
                  MatchCode* code, uint32_t* price);

// Where the parsers work: positions are offsets in `buf`.
struct ParseWindow {
    const uint8_t* buf;
    uint32_t lowest;    // first byte of the stream: no match reaches before it
    uint32_t matchEnd;  // no match reaches past this (the entry's end, or the buffered data)
    uint32_t maxDist;
};

struct ParseParams {
    enum Kind { kLazy, kOptimal } kind;
    unsigned niceLen;  // a match this long is taken without weighing others
    bool tails;        // optimal: also try match + literal + same distance again
    unsigned reps;     // lazy: remembered distances tried at each position (1..4)
    unsigned inMatch;  // lazy: positions inside a match given to the finder (0 = all)
};

// Tokens for [begin, end) and the state after them. Returns the position
// after the last token (a match may run past `end`, never past matchEnd).
// `inserted` is the first position not yet in the match finder; it is
// brought up to date.
class LzParser {
public:
    LzParser(const ParseParams& params, MatchFinder* finder) : params_(params), finder_(finder) {}

    uint32_t ParseLazy(const ParseWindow& w, uint32_t begin, uint32_t end, uint32_t* inserted,
                       const CostModel& model, LzState* state, std::vector<LzToken>* out, LzStats* stats);

    // Optimal parsing: first collect the matches of [begin, end) once, then
    // parse as often as wanted with different prices (same begin and state
    // each time).
    void CollectMatches(const ParseWindow& w, uint32_t begin, uint32_t end, uint32_t* inserted);
    uint32_t ParseOptimal(const ParseWindow& w, const CostModel& model, LzState* state,
                          std::vector<LzToken>* out, LzStats* stats);

private:
    struct Candidate {
        uint32_t len = 0, dist = 0;
        MatchCode code = kCodeLiteral;
        int32_t gain = 0;  // price of the bytes as literals minus the match's price
    };
    Candidate BestAt(const ParseWindow& w, uint32_t pos, const CostModel& model, const LzState& state);
    void Insert(const ParseWindow& w, uint32_t from, uint32_t to, uint32_t* inserted);
    uint32_t OptimalChunk(const ParseWindow& w, uint32_t pos, uint32_t n, const CostModel& model,
                          LzState* state, std::vector<LzToken>* out, LzStats* stats);
    const Match* MatchesAt(uint32_t pos, unsigned* count) const;

    ParseParams params_;
    MatchFinder* finder_;
    Match scratch_[MatchFinder::kMaxMatches];
    // Collected matches: for position begin_ + i, matches_[first_[i] .. first_[i + 1]).
    uint32_t begin_ = 0, end_ = 0;
    std::vector<uint32_t> first_;
    std::vector<Match> matches_;
    // A position of the optimal parse: its cheapest arrival so far.
    // The arrival may be a match followed by a literal and a second match
    // at the same distance (tail > 0): a combination a single cheapest
    // arrival per position would often miss.
    struct Node {
        uint32_t cost;
        uint32_t from;
        uint32_t len;
        uint32_t dist;
        uint16_t tail;  // length of the second match, 0 = none
        MatchCode code;
        LzState state;  // after arriving here
    };
    std::vector<Node> nodes_;
};

}  // namespace rar20
}  // namespace tarvpack

#endif
