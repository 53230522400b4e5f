// Rar20Lz: tokens, prices and the LZ parsers.
#include "Rar20Lz.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tarvpack {
namespace rar20 {

namespace {

const uint32_t kInfinite = 0xFFFFFFFF;
// Positions one optimal pass covers: the path must end exactly at the end
// of each chunk, which costs a little at every border.
const uint32_t kChunk = 4096;

}  // namespace

// ---- statistics and prices ----

void LzStats::Add(const LzToken& t) {
    main[t.sym]++;
    if (t.sym <= kSymRepeatLast) return;
    if (t.sym < kSymShortDist) {
        rep[t.slot]++;
        extraBits += kLenBits[t.slot];
    } else if (t.sym < kSymNewTables) {
        extraBits += kShortBits[t.sym - kSymShortDist];
    } else {
        dist[t.slot]++;
        extraBits += kLenBits[t.sym - kSymLongMatch] + kDistBits[t.slot];
    }
}

void LzStats::Add(const LzStats& o) {
    for (unsigned i = 0; i < kMainSymbols; ++i) main[i] += o.main[i];
    for (unsigned i = 0; i < kDistSymbols; ++i) dist[i] += o.dist[i];
    for (unsigned i = 0; i < kRepSymbols; ++i) rep[i] += o.rep[i];
    extraBits += o.extraBits;
}

LzLengths LzLengthsFor(const LzStats& stats) {
    LzLengths len;
    uint32_t main[kMainSymbols];
    std::copy(stats.main, stats.main + kMainSymbols, main);
    main[kSymNewTables] = std::max<uint32_t>(main[kSymNewTables], 1);
    BuildCodeLengths(main, kMainSymbols, kMaxCodeLength, len.main);
    BuildCodeLengths(stats.dist, kDistSymbols, kMaxCodeLength, len.dist);
    BuildCodeLengths(stats.rep, kRepSymbols, kMaxCodeLength, len.rep);
    return len;
}

uint64_t LzCodedBits(const LzStats& stats, const LzLengths& len) {
    uint64_t parts[3] = {CodedBits(stats.main, len.main, kMainSymbols),
                         CodedBits(stats.dist, len.dist, kDistSymbols),
                         CodedBits(stats.rep, len.rep, kRepSymbols)};
    for (uint64_t p : parts)
        if (p == kNoCode) return kNoCode;
    return parts[0] + parts[1] + parts[2] + stats.extraBits;
}

void CostModel::FromLengths(const LzLengths& len, unsigned missing) {
    auto price = [&](uint8_t l) { return (uint32_t)(l ? l : missing) * kCostScale; };
    for (unsigned s = 0; s < kMainSymbols; ++s) main[s] = price(len.main[s]);
    uint32_t dist[kDistSymbols], rep[kRepSymbols];
    for (unsigned s = 0; s < kDistSymbols; ++s) dist[s] = price(len.dist[s]);
    for (unsigned s = 0; s < kRepSymbols; ++s) rep[s] = price(len.rep[s]);
    Derive(dist, rep);
}

void CostModel::Derive(const uint32_t* dist, const uint32_t* rep) {
    for (unsigned v = 0; v < 256; ++v) {
        unsigned s = LengthSlot(v);
        longLen[v] = main[kSymLongMatch + s] + kLenBits[s] * kCostScale;
        repLen[v] = rep[s] + kLenBits[s] * kCostScale;
    }
    for (unsigned s = 0; s < kDistSymbols; ++s) distSlot[s] = dist[s] + kDistBits[s] * kCostScale;
    shortDist[0] = kInfinite / 4;
    for (uint32_t d = 1; d <= 256; ++d) {
        unsigned s = ShortSlot(d);
        shortDist[d] = main[kSymShortDist + s] + kShortBits[s] * kCostScale;
    }
}

void CostModel::FromStats(const LzStats& stats) {
    // Information content with a small prior, so that symbols unseen so far
    // stay affordable and can come into use in a later pass.
    auto prices = [](const uint32_t* freq, unsigned n, uint32_t* out) {
        const double prior = 0.5;
        double total = prior * n;
        for (unsigned i = 0; i < n; ++i) total += freq[i];
        for (unsigned i = 0; i < n; ++i) {
            double bits = std::log2(total / (freq[i] + prior));
            bits = std::min(std::max(bits, 1.0), (double)kMaxCodeLength);
            out[i] = (uint32_t)(bits * kCostScale + 0.5);
        }
    };
    uint32_t dist[kDistSymbols], rep[kRepSymbols];
    prices(stats.main, kMainSymbols, main);
    prices(stats.dist, kDistSymbols, dist);
    prices(stats.rep, kRepSymbols, rep);
    Derive(dist, rep);
}

void CostModel::Default() {
    LzLengths len;
    for (unsigned s = 0; s < 256; ++s) len.main[s] = 8;
    len.main[kSymRepeatLast] = 6;
    for (unsigned j = 0; j < 4; ++j) len.main[kSymOldDist + j] = (uint8_t)(6 + j / 2);
    for (unsigned s = 0; s < 8; ++s) len.main[kSymShortDist + s] = (uint8_t)(7 + s / 2);
    len.main[kSymNewTables] = 15;
    for (unsigned s = 0; s < kRepSymbols; ++s) len.main[kSymLongMatch + s] = (uint8_t)(6 + s / 4);
    for (unsigned s = 0; s < kDistSymbols; ++s) len.dist[s] = (uint8_t)(4 + s / 12);
    for (unsigned s = 0; s < kRepSymbols; ++s) len.rep[s] = (uint8_t)(2 + s / 4);
    FromLengths(len, kMaxCodeLength);
}

// ---- tokens ----

LzToken MakeToken(MatchCode code, uint32_t len, uint32_t dist, uint8_t literal) {
    switch (code) {
    case kCodeLiteral:
        return LzToken{literal, 0, 0, 0};
    case kCodeRepeatLast:
        return LzToken{(uint16_t)kSymRepeatLast, 0, 0, 0};
    case kCodeShort: {
        unsigned s = ShortSlot(dist);
        return LzToken{(uint16_t)(kSymShortDist + s), 0, (uint8_t)(dist - 1 - kShortBase[s]), 0};
    }
    case kCodeLong: {
        unsigned v = len - 3 - LongBonus(dist);
        unsigned s = LengthSlot(v);
        unsigned ds = DistSlot(dist);
        return LzToken{(uint16_t)(kSymLongMatch + s), (uint8_t)ds, (uint8_t)(v - kLenBase[s]),
                       (uint16_t)(dist - 1 - kDistBase[ds])};
    }
    default: {
        unsigned v = len - 2 - RepBonus(dist);
        unsigned s = LengthSlot(v);
        return LzToken{(uint16_t)(kSymOldDist + (code - kCodeRep0)), (uint8_t)s, (uint8_t)(v - kLenBase[s]), 0};
    }
    }
}

bool CheapestCode(const LzState& state, const CostModel& model, uint32_t* len, uint32_t dist,
                  MatchCode* code, uint32_t* price) {
    // Judged by what each way saves against coding the bytes as literals,
    // so a way that reaches a little less for much less wins.
    uint32_t bestLen = 0, bestPrice = kInfinite;
    int64_t bestGain = INT64_MIN;
    MatchCode best = kCodeLiteral;
    auto consider = [&](MatchCode c, uint32_t l, uint32_t p) {
        int64_t gain = (int64_t)l * 8 * kCostScale - p;
        if (gain > bestGain) {
            bestGain = gain;
            bestLen = l;
            bestPrice = p;
            best = c;
        }
    };
    uint32_t want = *len;
    if (dist == state.rep[0] && state.lastLen >= 2 && want >= state.lastLen)
        consider(kCodeRepeatLast, state.lastLen, model.main[kSymRepeatLast]);
    for (unsigned j = 0; j < 4; ++j) {
        if (state.rep[j] != dist) continue;
        uint32_t l = std::min(want, RepMax(dist));
        if (l >= RepMin(dist)) consider((MatchCode)(kCodeRep0 + j), l, model.Rep(j, l, dist));
    }
    if (want == 2 && dist <= 256) consider(kCodeShort, 2, model.shortDist[dist]);
    if (want >= LongMin(dist)) {
        uint32_t l = std::min(want, LongMax(dist));
        consider(kCodeLong, l, model.Long(l, dist));
    }
    if (!bestLen) return false;
    *len = bestLen;
    *code = best;
    *price = bestPrice;
    return true;
}

// ---- lazy parsing ----

void LzParser::Insert(const ParseWindow& w, uint32_t from, uint32_t to, uint32_t* inserted) {
    for (uint32_t p = std::max(from, *inserted); p < to; ++p) finder_->Skip(w.buf, p, w.matchEnd - p, w.lowest);
    *inserted = std::max(*inserted, to);
}

LzParser::Candidate LzParser::BestAt(const ParseWindow& w, uint32_t pos, const CostModel& model,
                                     const LzState& state) {
    Candidate best;
    auto consider = [&](uint32_t len, uint32_t dist) {
        MatchCode code;
        uint32_t price;
        if (!CheapestCode(state, model, &len, dist, &code, &price)) return;
        int32_t gain = (int32_t)(len * 8 * kCostScale) - (int32_t)price;
        if (gain > best.gain) best = Candidate{len, dist, code, gain};
    };
    uint32_t avail = std::min(w.matchEnd - pos, kMaxMatch);
    for (unsigned j = 0; j < params_.reps; ++j) {
        uint32_t d = state.rep[j];
        if (!d || d > pos - w.lowest || d > w.maxDist || w.buf[pos] != w.buf[pos - d]) continue;
        uint32_t len = MatchLength(w.buf + pos - d, w.buf + pos, 0, avail);
        if (len < 2) continue;
        consider(len, d);
    }
    unsigned n = finder_->Find(w.buf, pos, w.matchEnd - pos, w.lowest, scratch_);
    for (unsigned k = 0; k < n; ++k)
        if (scratch_[k].dist <= w.maxDist) consider(scratch_[k].len, scratch_[k].dist);
    return best;
}

uint32_t LzParser::ParseLazy(const ParseWindow& w, uint32_t begin, uint32_t end, uint32_t* inserted,
                               const CostModel& model, LzState* state, std::vector<LzToken>* out,
                               LzStats* stats) {
    Insert(w, *inserted, begin, inserted);
    uint32_t pos = begin;
    Candidate cur;
    bool haveCur = false;
    auto literal = [&](uint32_t p) {
        LzToken t = MakeToken(kCodeLiteral, 1, 0, w.buf[p]);
        out->push_back(t);
        stats->Add(t);
    };
    while (pos < end) {
        if (!haveCur) {
            // A position the finder has passed (inside a stretch of a match it
            // left out) gets no new matches.
            cur = pos == *inserted ? BestAt(w, pos, model, *state) : Candidate();
            *inserted = std::max(*inserted, pos + 1);
        }
        haveCur = false;
        if (cur.len == 0) {
            literal(pos++);
            continue;
        }
        if (cur.len < params_.niceLen && pos + 1 < end && pos + 1 == *inserted) {
            Candidate next = BestAt(w, pos + 1, model, *state);
            *inserted = pos + 2;
            if (next.gain > cur.gain) {
                literal(pos++);
                cur = next;
                haveCur = true;
                continue;
            }
        }
        LzToken t = MakeToken(cur.code, cur.len, cur.dist, 0);
        out->push_back(t);
        stats->Add(t);
        state->Push(cur.len, cur.dist);
        // The fastest levels leave most of a long match out of the finder.
        uint32_t indexed = params_.inMatch ? std::min(cur.len, params_.inMatch + 1) : cur.len;
        Insert(w, pos + 1, pos + indexed, inserted);
        *inserted = std::max(*inserted, pos + cur.len);
        pos += cur.len;
    }
    return pos;
}

// ---- optimal parsing ----

const Match* LzParser::MatchesAt(uint32_t pos, unsigned* count) const {
    uint32_t i = pos - begin_;
    *count = first_[i + 1] - first_[i];
    return matches_.data() + first_[i];
}

void LzParser::CollectMatches(const ParseWindow& w, uint32_t begin, uint32_t end, uint32_t* inserted) {
    Insert(w, *inserted, begin, inserted);
    begin_ = begin;
    end_ = end;
    first_.assign(end - begin + 1, 0);
    matches_.clear();
    uint32_t p = begin;
    while (p < end) {
        first_[p - begin] = (uint32_t)matches_.size();
        unsigned n = 0;
        if (p == *inserted) {
            n = finder_->Find(w.buf, p, w.matchEnd - p, w.lowest, scratch_);
            *inserted = p + 1;
        }
        for (unsigned k = 0; k < n; ++k)
            if (scratch_[k].dist <= w.maxDist) matches_.push_back(scratch_[k]);
        n = (uint32_t)matches_.size() - first_[p - begin];
        uint32_t step = 1;
        if (n && matches_.back().len >= params_.niceLen) {
            // The parse takes this match as it is: positions inside it are
            // no decision points, only the finder needs them.
            step = std::min(matches_.back().len, LongMax(matches_.back().dist));
            Insert(w, p + 1, p + step, inserted);
        }
        for (uint32_t q = p + 1; q < p + step && q < end; ++q) first_[q - begin] = (uint32_t)matches_.size();
        p += step;
    }
    first_[end - begin] = (uint32_t)matches_.size();
}

uint32_t LzParser::ParseOptimal(const ParseWindow& w, const CostModel& model, LzState* state,
                                std::vector<LzToken>* out, LzStats* stats) {
    uint32_t pos = begin_;
    while (pos < end_) pos = OptimalChunk(w, pos, std::min(kChunk, end_ - pos), model, state, out, stats);
    return pos;
}

uint32_t LzParser::OptimalChunk(const ParseWindow& w, uint32_t pos0, uint32_t n, const CostModel& model,
                                LzState* state, std::vector<LzToken>* out, LzStats* stats) {
    if (nodes_.size() < n + 1) nodes_.resize(n + 1);
    for (uint32_t i = 0; i <= n; ++i) nodes_[i].cost = kInfinite;
    nodes_[0].cost = 0;
    nodes_[0].state = *state;
    uint32_t stopAt = n;
    Match nice = {0, 0};
    for (uint32_t i = 0; i < n; ++i) {
        Node& node = nodes_[i];
        if (i > 0) {
            node.state = nodes_[node.from].state;
            if (node.code != kCodeLiteral) node.state.Push(node.len, node.dist);
            if (node.tail) node.state.Push(node.tail, node.dist);
        }
        const uint32_t p = pos0 + i;
        unsigned count;
        const Match* m = MatchesAt(p, &count);
        if (count && m[count - 1].len >= params_.niceLen) {
            stopAt = i;
            nice = m[count - 1];
            break;
        }
        const uint32_t base = node.cost;
        const uint32_t room = n - i;
        auto relax = [&](uint32_t len, uint32_t price, MatchCode code, uint32_t dist) {
            Node& to = nodes_[i + len];
            if (base + price < to.cost) {
                to.cost = base + price;
                to.from = i;
                to.len = len;
                to.dist = dist;
                to.tail = 0;
                to.code = code;
            }
        };
        // A literal and a repeat of the distance after a match of `len`.
        auto relaxTail = [&](uint32_t len, uint32_t price, MatchCode code, uint32_t dist) {
            uint32_t at = p + len + 1;
            if (len + 2 >= room || !params_.tails || w.buf[at] != w.buf[at - dist]) return;
            uint32_t tail = MatchLength(w.buf + at - dist, w.buf + at, 0, std::min(room - len - 1, kMaxMatch));
            tail = std::min(tail, RepMax(dist));
            if (tail < RepMin(dist)) return;
            uint32_t total = price + model.main[w.buf[p + len]] + model.Rep(0, tail, dist);
            Node& to = nodes_[i + len + 1 + tail];
            if (base + total < to.cost) {
                to.cost = base + total;
                to.from = i;
                to.len = len;
                to.dist = dist;
                to.tail = (uint16_t)tail;
                to.code = code;
            }
        };
        relax(1, model.main[w.buf[p]], kCodeLiteral, 0);

        const LzState& s = node.state;
        uint32_t avail = std::min(std::min(room, w.matchEnd - p), kMaxMatch);
        for (unsigned j = 0; j < 4; ++j) {
            uint32_t d = s.rep[j];
            if (!d || d > p - w.lowest || d > w.maxDist || w.buf[p] != w.buf[p - d]) continue;
            uint32_t len = MatchLength(w.buf + p - d, w.buf + p, 1, avail);
            if (j == 0 && s.lastLen >= 2 && s.lastLen <= len)
                relax(s.lastLen, model.main[kSymRepeatLast], kCodeRepeatLast, d);
            uint32_t top = std::min(len, RepMax(d));
            for (uint32_t l = RepMin(d); l <= top; ++l) relax(l, model.Rep(j, l, d), (MatchCode)(kCodeRep0 + j), d);
            if (top >= RepMin(d)) relaxTail(top, model.Rep(j, top, d), (MatchCode)(kCodeRep0 + j), d);
        }
        uint32_t done = 1;
        for (unsigned k = 0; k < count; ++k) {
            uint32_t d = m[k].dist;
            uint32_t top = std::min(std::min(m[k].len, room), LongMax(d));
            uint32_t from = std::max(done + 1, (uint32_t)2);
            if (from == 2 && top >= 2) {
                if (d <= 256) relax(2, model.shortDist[d], kCodeShort, d);
                from = 3;
            }
            uint32_t distPrice = model.Dist(d);
            for (uint32_t l = std::max(from, LongMin(d)); l <= top; ++l)
                relax(l, model.longLen[l - 3 - LongBonus(d)] + distPrice, kCodeLong, d);
            if (top >= std::max(from, LongMin(d))) relaxTail(top, model.longLen[top - 3 - LongBonus(d)] + distPrice, kCodeLong, d);
            done = std::max(done, m[k].len);
        }
    }

    // Walk the cheapest path back, then code it forwards.
    std::vector<uint32_t> path;
    for (uint32_t i = stopAt; i > 0; i = nodes_[i].from) path.push_back(i);
    for (size_t k = path.size(); k-- > 0;) {
        const Node& node = nodes_[path[k]];
        uint32_t p = pos0 + node.from;
        LzToken t = MakeToken(node.code, node.len, node.dist, w.buf[p]);
        out->push_back(t);
        stats->Add(t);
        if (node.code != kCodeLiteral) state->Push(node.len, node.dist);
        if (node.tail) {
            LzToken lit = MakeToken(kCodeLiteral, 1, 0, w.buf[p + node.len]);
            LzToken rep = MakeToken(kCodeRep0, node.tail, node.dist, 0);
            out->push_back(lit);
            stats->Add(lit);
            out->push_back(rep);
            stats->Add(rep);
            state->Push(node.tail, node.dist);
        }
    }
    uint32_t end = pos0 + stopAt;
    if (nice.len) {
        uint32_t len = nice.len;
        MatchCode code;
        uint32_t price;
        CheapestCode(*state, model, &len, nice.dist, &code, &price);
        LzToken t = MakeToken(code, len, nice.dist, 0);
        out->push_back(t);
        stats->Add(t);
        state->Push(len, nice.dist);
        end += len;
    }
    return end;
}

}  // namespace rar20
}  // namespace tarvpack
