// Rar20Codes: Huffman code lengths, canonical codes, bit output, table blocks.
#include "Rar20Codes.h"

#include <string.h>

#include <algorithm>
#include <array>

namespace tarvpack {
namespace rar20 {

unsigned LengthSlot(unsigned value) {
    static const std::array<uint8_t, 256> slots = [] {
        std::array<uint8_t, 256> t{};
        for (unsigned s = 0; s < kRepSymbols; ++s)
            for (unsigned v = kLenBase[s]; v < kLenBase[s] + (1u << kLenBits[s]); ++v) t[v] = (uint8_t)s;
        return t;
    }();
    return slots[value];
}

// ---- Huffman codes ----

namespace {

// Depths of the leaves of a Huffman tree over `weights` (ascending, at
// least two), built with one queue of leaves and one of merged nodes.
void HuffmanDepths(const std::vector<uint32_t>& weights, std::vector<unsigned>* depths) {
    size_t m = weights.size();
    std::vector<uint64_t> weight(2 * m - 1);
    std::vector<size_t> parent(2 * m - 1);
    for (size_t i = 0; i < m; ++i) weight[i] = weights[i];
    size_t leaf = 0, merged = m, next = m;
    auto takeSmallest = [&]() {
        if (leaf < m && (merged >= next || weight[leaf] <= weight[merged])) return leaf++;
        return merged++;
    };
    for (; next < 2 * m - 1; ++next) {
        size_t a = takeSmallest();
        size_t b = takeSmallest();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = next;
    }
    std::vector<unsigned> depth(2 * m - 1, 0);
    for (size_t i = 2 * m - 2; i-- > 0;) depth[i] = depth[parent[i]] + 1;
    depths->assign(depth.begin(), depth.begin() + (ptrdiff_t)m);
}

}  // namespace

void BuildCodeLengths(const uint32_t* freq, unsigned n, unsigned maxLength, uint8_t* lengths) {
    memset(lengths, 0, n);
    std::vector<uint16_t> used;
    for (unsigned i = 0; i < n; ++i)
        if (freq[i]) used.push_back((uint16_t)i);
    if (used.size() < 2) {
        // A lone symbol (or none) still gets a complete two-symbol code.
        unsigned a = used.empty() ? 0 : used[0];
        lengths[a] = 1;
        lengths[a == 0 ? 1 : 0] = 1;
        return;
    }
    std::stable_sort(used.begin(), used.end(), [&](uint16_t x, uint16_t y) { return freq[x] < freq[y]; });
    std::vector<uint32_t> weights(used.size());
    for (size_t i = 0; i < used.size(); ++i) weights[i] = freq[used[i]];
    std::vector<unsigned> depths;
    HuffmanDepths(weights, &depths);

    // Too deep: move pairs of the deepest leaves up, each time pushing one
    // shallower leaf one level down, which keeps the code complete.
    std::vector<unsigned> count(std::max<unsigned>(maxLength, *std::max_element(depths.begin(), depths.end())) + 1, 0);
    for (unsigned d : depths) count[d]++;
    for (unsigned len = (unsigned)count.size() - 1; len > maxLength; --len) {
        while (count[len] > 0) {
            unsigned j = len - 2;
            while (count[j] == 0) --j;
            count[len] -= 2;
            count[len - 1] += 1;
            count[j + 1] += 2;
            count[j] -= 1;
        }
    }
    // The most frequent symbols take the shortest codes.
    size_t k = used.size();
    for (unsigned len = 1; len <= maxLength; ++len)
        for (unsigned c = 0; c < count[len]; ++c) lengths[used[--k]] = (uint8_t)len;
}

void BuildCodes(const uint8_t* lengths, unsigned n, uint16_t* codes) {
    unsigned count[kMaxCodeLength + 1] = {0};
    for (unsigned i = 0; i < n; ++i) count[lengths[i]]++;
    count[0] = 0;
    unsigned next[kMaxCodeLength + 1] = {0};
    unsigned code = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (unsigned i = 0; i < n; ++i) codes[i] = lengths[i] ? (uint16_t)next[lengths[i]]++ : 0;
}

uint64_t CodedBits(const uint32_t* freq, const uint8_t* lengths, unsigned n) {
    uint64_t bits = 0;
    for (unsigned i = 0; i < n; ++i) {
        if (!freq[i]) continue;
        if (!lengths[i]) return kNoCode;
        bits += (uint64_t)freq[i] * lengths[i];
    }
    return bits;
}

// ---- bit output ----

void BitWriter::Drain() {
    while (count_ >= 8) {
        count_ -= 8;
        out_->push_back((uint8_t)(acc_ >> count_));
    }
}

void BitWriter::AlignToByte() {
    if (count_ % 8) Put(0, 8 - count_ % 8);
    Drain();
}

// ---- table blocks ----

namespace {

// One symbol of the code that transmits code lengths, with its extra bits.
struct LengthToken {
    uint8_t sym;    // 0..15 change, 16 repeat, 17 short zero run, 18 long zero run
    uint8_t extra;  // value of the extra bits
};
const unsigned kRepeatPrev = 16, kZeros3 = 17, kZeros11 = 18;
const unsigned kPreExtraBits[kPreSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

struct TablePlan {
    bool keep;  // changes against the remembered lengths (else from zero)
    uint8_t preLen[kPreSymbols];
    std::vector<LengthToken> tokens;
    uint32_t bits;
};

// The cheapest token sequence for `len` after `old` with the given costs of
// the length-code symbols; returns its cost.
uint32_t Tokenize(const uint8_t* len, const uint8_t* old, unsigned count, const uint32_t* cost,
                  std::vector<LengthToken>* tokens) {
    const uint32_t kInf = 0xFFFFFFFF;
    std::vector<uint32_t> best(count + 1, kInf);
    std::vector<LengthToken> via(count + 1);
    std::vector<uint16_t> from(count + 1);
    best[0] = 0;
    auto relax = [&](unsigned i, unsigned to, uint32_t c, LengthToken t) {
        if (best[i] + c < best[to]) {
            best[to] = best[i] + c;
            via[to] = t;
            from[to] = (uint16_t)i;
        }
    };
    for (unsigned i = 0; i < count; ++i) {
        unsigned delta = (len[i] - old[i]) & 15;
        relax(i, i + 1, cost[delta], LengthToken{(uint8_t)delta, 0});
        if (i > 0) {
            unsigned run = 0;
            while (run < 6 && i + run < count && len[i + run] == len[i - 1]) ++run;
            for (unsigned k = 3; k <= run; ++k)
                relax(i, i + k, cost[kRepeatPrev] + 2, LengthToken{(uint8_t)kRepeatPrev, (uint8_t)(k - 3)});
        }
        if (len[i] == 0) {
            unsigned run = 0;
            while (run < 138 && i + run < count && len[i + run] == 0) ++run;
            for (unsigned k = 3; k <= run && k <= 10; ++k)
                relax(i, i + k, cost[kZeros3] + 3, LengthToken{(uint8_t)kZeros3, (uint8_t)(k - 3)});
            if (run >= 11)
                relax(i, i + run, cost[kZeros11] + 7, LengthToken{(uint8_t)kZeros11, (uint8_t)(run - 11)});
        }
    }
    tokens->clear();
    for (unsigned i = count; i > 0; i = from[i]) tokens->push_back(via[i]);
    std::reverse(tokens->begin(), tokens->end());
    return best[count];
}

// Refines the length code and the token sequence together a few times.
TablePlan PlanWith(const TableSet& t, const uint8_t* old, bool keep) {
    unsigned count = t.Count();
    uint32_t cost[kPreSymbols];
    for (unsigned s = 0; s < kPreSymbols; ++s) cost[s] = 4 + kPreExtraBits[s];
    TablePlan best;
    best.bits = 0xFFFFFFFF;
    unsigned header = 2 + (t.audio ? 2 : 0) + 4 * kPreSymbols;
    for (int round = 0; round < 3; ++round) {
        TablePlan plan;
        plan.keep = keep;
        Tokenize(t.len, old, count, cost, &plan.tokens);
        uint32_t freq[kPreSymbols] = {0};
        for (const LengthToken& tok : plan.tokens) freq[tok.sym]++;
        BuildCodeLengths(freq, kPreSymbols, kMaxCodeLength, plan.preLen);
        plan.bits = header;
        for (const LengthToken& tok : plan.tokens) plan.bits += plan.preLen[tok.sym] + kPreExtraBits[tok.sym];
        for (unsigned s = 0; s < kPreSymbols; ++s)
            cost[s] = (plan.preLen[s] ? plan.preLen[s] : kMaxCodeLength + 2) + kPreExtraBits[s];
        if (plan.bits < best.bits) best = std::move(plan);
    }
    return best;
}

TablePlan Plan(const TableSet& t, const RememberedLengths& remembered) {
    static const uint8_t zeros[kRememberedSize] = {0};
    TablePlan fromZero = PlanWith(t, zeros, false);
    TablePlan changes = PlanWith(t, remembered.len, true);
    return changes.bits <= fromZero.bits ? changes : fromZero;
}

}  // namespace

uint32_t TableBlockBits(const TableSet& tables, const RememberedLengths& remembered) {
    return Plan(tables, remembered).bits;
}

void WriteTableBlock(BitWriter* out, const TableSet& tables, RememberedLengths* remembered) {
    TablePlan plan = Plan(tables, *remembered);
    out->Put(tables.audio ? 1 : 0, 1);
    out->Put(plan.keep ? 1 : 0, 1);
    if (tables.audio) out->Put(tables.channels - 1, 2);
    for (unsigned s = 0; s < kPreSymbols; ++s) out->Put(plan.preLen[s], 4);
    uint16_t codes[kPreSymbols];
    BuildCodes(plan.preLen, kPreSymbols, codes);
    for (const LengthToken& tok : plan.tokens) {
        out->Put(codes[tok.sym], plan.preLen[tok.sym]);
        if (kPreExtraBits[tok.sym]) out->Put(tok.extra, kPreExtraBits[tok.sym]);
    }
    if (!plan.keep) memset(remembered->len, 0, sizeof remembered->len);
    memcpy(remembered->len, tables.len, tables.Count());
}

}  // namespace rar20
}  // namespace tarvpack
