// Rar20Encoder: entries, the input buffer, segments, blocks and their
// tables, the multimedia decision, and entries that are stored after all.
//
// The input sits in one buffer: up to a window of history, then the bytes
// being parsed. Positions are offsets in that buffer and only grow; when
// the buffer is full, its start is dropped in steps of whole windows (the match finder's tables are indexed
// by position modulo the window, so they stay valid after the same shift).
//
// Input is parsed in segments. Each segment becomes LZ tokens (or, when the
// multimedia mode codes it smaller, multimedia symbols) and joins the open
// block unless coding it with tables of its own is cheaper. A block is
// written when it is closed: with the tables the decoder already has when
// they do, else with a new table block. Blocks never span entries, so an
// entry's packed size is known when it ends.
#include "Rar20Encoder.h"

#include <string.h>

#include <algorithm>

#include "Rar20Audio.h"
#include "Rar20Codes.h"
#include "Rar20Lz.h"
#include "Rar20MatchFinder.h"

namespace tarvpack {
namespace rar20 {

namespace {

struct LevelParams {
    MatchFinder::Params finder;
    ParseParams parse;
    unsigned passes;          // optimal parsing passes per segment
    uint32_t segment;         // bytes per segment
    bool sampleMultimedia;    // judge the multimedia mode on a sample before trying it
};

const LevelParams kLevels[5] = {
    {{MatchFinder::kHashChain, 4, 16, 2, 32, false}, {ParseParams::kLazy, 32, false, 1, 4}, 0, 128 << 10, true},
    {{MatchFinder::kHashChain, 4, 17, 6, 48, true}, {ParseParams::kLazy, 48, false, 2, 16}, 0, 64 << 10, true},
    {{MatchFinder::kHashChain, 4, 18, 24, 96, true}, {ParseParams::kLazy, 96, false, 4, 0}, 0, 64 << 10, true},
    {{MatchFinder::kBinaryTree, 3, 19, 16, 48, true}, {ParseParams::kOptimal, 48, true, 4, 0}, 1, 32 << 10, false},
    {{MatchFinder::kBinaryTree, 3, 20, 32, 128, true}, {ParseParams::kOptimal, 128, true, 4, 0}, 2, 32 << 10, false},
};

// Bytes after which a large entry that has not shrunk is given up.
const uint64_t kGiveUpProbe = 256 << 10;
// The multimedia mode is tried when LZ codes a segment to more than this
// share of its bits, and taken when it is at least this much smaller.
const double kMultimediaTryRatio = 0.45;
const double kMultimediaGain = 0.97;
const uint32_t kMultimediaSample = 8192;
// Bits a reader may look at from the start of a code.
const unsigned kReaderLookahead = 16;
// Bytes kept readable behind the parsed ones for matches.
const uint32_t kLookahead = kMaxMatch + 8;
// A block's symbols wait in memory until it is written.
const size_t kMaxBlockSymbols = 1 << 20;

struct Block {
    bool audio = false;
    std::vector<LzToken> lz;
    LzStats lzStats;
    std::vector<AudioToken> au;
    AudioStats auStats;

    bool Empty() const { return lz.empty() && au.empty(); }
    void Append(Block&& o) {
        lz.insert(lz.end(), o.lz.begin(), o.lz.end());
        lzStats.Add(o.lzStats);
        au.insert(au.end(), o.au.begin(), o.au.end());
        auStats.Add(o.auStats);
    }
};

TableSet LzTableSet(const LzLengths& len) {
    TableSet t;
    t.audio = false;
    memcpy(t.len, len.main, kMainSymbols);
    memcpy(t.len + kMainSymbols, len.dist, kDistSymbols);
    memcpy(t.len + kMainSymbols + kDistSymbols, len.rep, kRepSymbols);
    return t;
}

LzLengths LzLengthsOf(const TableSet& t) {
    LzLengths len;
    memcpy(len.main, t.len, kMainSymbols);
    memcpy(len.dist, t.len + kMainSymbols, kDistSymbols);
    memcpy(len.rep, t.len + kMainSymbols + kDistSymbols, kRepSymbols);
    return len;
}

TableSet AudioTableSet(const AudioStats& stats) {
    TableSet t;
    t.audio = true;
    t.channels = stats.channels;
    AudioLengthsFor(stats, t.len);
    return t;
}

unsigned Log2(uint32_t v) {
    unsigned n = 0;
    while (v > 1) {
        v >>= 1;
        ++n;
    }
    return n;
}

}  // namespace

bool ValidOptions(const EncoderOptions& o, const char** why) {
    if (o.level < 1 || o.level > 5) {
        *why = "the level must be 1 (fastest) to 5 (best)";
        return false;
    }
    if (o.window < 0x10000 || o.window > kMaxDistance || (o.window & (o.window - 1))) {
        *why = "the window must be 64, 128, 256, 512 or 1024 KB";
        return false;
    }
    return true;
}

class Encoder::Impl {
public:
    explicit Impl(const EncoderOptions& o)
        : opts_(o), level_(kLevels[o.level - 1]), window_(o.window), parser_(level_.parse, &finder_) {
        finder_.Init(level_.finder, window_);
        uint32_t room = std::max(window_, 2 * (level_.segment + 2 * kLookahead));
        cap_ = 2 * window_ + room;
        buf_.assign((size_t)cap_ + 16, 0);
    }

    void BeginEntry(uint64_t size, Sink sink) {
        entryStart_ = end_;
        size_ = size;
        fed_ = 0;
        parsedInEntry_ = 0;
        gaveUp_ = false;
        packed_ = 0;
        out_.clear();
        writer_ = BitWriter(&out_);
        lastCodeAt_ = 0;
        sink_ = std::move(sink);
        continues_ = opts_.solid && stream_.started;
        if (!continues_) {
            stream_ = StreamState();
            stream_.start = entryStart_;
        }
    }

    bool Feed(const uint8_t* data, size_t n) {
        while (n > 0 && !gaveUp_) {
            if (end_ == cap_) MakeRoom();
            size_t k = std::min<uint64_t>(std::min<uint64_t>(n, cap_ - end_), size_ - fed_);
            if (k == 0) break;  // more than announced: ignored
            memcpy(&buf_[end_], data, k);
            end_ += (uint32_t)k;
            fed_ += k;
            data += k;
            n -= k;
            ProcessReady(false);
        }
        return !gaveUp_;
    }

    EntryOutcome EndEntry() {
        EntryOutcome o;
        if (!gaveUp_ && fed_ > 0) {
            ProcessReady(true);
            if (!gaveUp_) {
                CloseBlock();
                PadForReaders();
                Flush();
            }
        }
        if (gaveUp_ || fed_ == 0 || packed_ >= fed_) {
            Discard();
            return o;
        }
        o.stored = false;
        o.solid = continues_;
        o.packedSize = packed_;
        o.method = (uint8_t)(0x30 + opts_.level);
        o.dictionaryBits = Log2(window_ >> 16);
        stream_.started = true;
        return o;
    }

private:
    // What the decoder holds between entries, mirrored.
    struct StreamState {
        bool started = false;      // a compressed entry opened the stream
        uint32_t start = 0;        // first position of the stream in the buffer
        LzState lz;
        AudioState audio;          // the predictor, as far as the parsed input goes
        TableSet tables;           // the tables the decoder has
        bool tablesSent = false;
        RememberedLengths remembered;
        unsigned writerChannel = 0;  // channel of the next multimedia symbol written
    };

    uint32_t EntryEnd() const { return fed_ == size_ ? end_ : UINT32_MAX; }

    ParseWindow Window() const {
        return ParseWindow{buf_.data(), stream_.start, std::min(end_, EntryEnd()), window_ - 1};
    }

    // Parses every segment whose bytes (and the bytes matches may reach) are in.
    void ProcessReady(bool all) {
        while (!gaveUp_ && parsed_ < end_) {
            uint32_t segEnd = std::min<uint64_t>((uint64_t)parsed_ + level_.segment, EntryEnd());
            if (!all && fed_ < size_ && (uint64_t)end_ < (uint64_t)segEnd + kLookahead) break;
            ProcessSegment(std::min(segEnd, end_));
            CheckGiveUp();
        }
    }

    // Drops the oldest whole windows from the buffer.
    void MakeRoom() {
        uint32_t keepFrom = std::min(parsed_, inserted_);
        uint32_t shift = keepFrom > window_ ? (keepFrom - window_) / window_ * window_ : 0;
        if (shift == 0) return;
        memmove(buf_.data(), buf_.data() + shift, end_ - shift);
        auto rebase = [shift](uint32_t& v) { v = v > shift ? v - shift : 0; };
        for (uint32_t* v : {&end_, &parsed_, &inserted_, &entryStart_, &stream_.start}) rebase(*v);
        finder_.Rebase(shift);
    }

    void ProcessSegment(uint32_t segEnd) {
        const ParseWindow w = Window();
        const LzState before = stream_.lz;
        Block seg;
        uint32_t stop = ParseLz(w, segEnd, &seg);
        uint32_t n = stop - parsed_;
        if (opts_.multimedia) TryMultimedia(w, n, before, &seg);
        parsed_ = stop;
        parsedInEntry_ += n;
        AddSegment(std::move(seg));
    }

    uint32_t ParseLz(const ParseWindow& w, uint32_t segEnd, Block* seg) {
        CostModel model;
        const bool blockIsLz = !block_.Empty() && !block_.audio;
        if (level_.parse.kind != ParseParams::kOptimal) {
            if (blockIsLz && block_.lz.size() >= 4096)
                model.FromStats(block_.lzStats);
            else
                model.Default();
            return parser_.ParseLazy(w, parsed_, segEnd, &inserted_, model, &stream_.lz, &seg->lz, &seg->lzStats);
        }
        // Each pass prices the symbols by what the previous pass (or the
        // open block) used; the smallest result wins.
        parser_.CollectMatches(w, parsed_, segEnd, &inserted_);
        if (blockIsLz)
            model.FromStats(block_.lzStats);
        else
            model.Default();
        const LzState start = stream_.lz;
        uint64_t bestBits = kNoCode;
        uint32_t stop = parsed_;
        LzState bestState;
        for (unsigned pass = 0; pass < level_.passes; ++pass) {
            stream_.lz = start;
            Block trial;
            uint32_t end = parser_.ParseOptimal(w, model, &stream_.lz, &trial.lz, &trial.lzStats);
            uint64_t bits = OwnBits(trial.lzStats);
            if (bits < bestBits) {
                bestBits = bits;
                bestState = stream_.lz;
                stop = end;
                *seg = std::move(trial);
            }
            LzStats prices = seg->lzStats;
            if (blockIsLz) prices.Add(block_.lzStats);
            model.FromStats(prices);
        }
        stream_.lz = bestState;
        return stop;
    }

    // Bits a block with these statistics takes with tables of its own.
    uint64_t OwnBits(const LzStats& stats) const {
        LzLengths len = LzLengthsFor(stats);
        return LzCodedBits(stats, len) + TableBlockBits(LzTableSet(len), stream_.remembered);
    }
    uint64_t OwnBits(const AudioStats& stats) const {
        TableSet t = AudioTableSet(stats);
        return AudioCodedBits(stats, t.len) + TableBlockBits(t, stream_.remembered);
    }
    uint64_t OwnBits(const Block& b) const { return b.audio ? OwnBits(b.auStats) : OwnBits(b.lzStats); }

    // Codes the segment's bytes with 1..4 multimedia channels and keeps the
    // best when it beats the LZ tokens. The fast levels judge the channel
    // counts on a sample and code the whole segment with the best of them only.
    void TryMultimedia(const ParseWindow& w, uint32_t n, const LzState& lzBefore, Block* seg) {
        if (n == 0) return;
        const uint8_t* data = w.buf + parsed_;
        uint64_t lzBits = OwnBits(*seg);
        if (lzBits < kMultimediaTryRatio * 8.0 * n) return;
        unsigned first = 1, last = kMaxChannels;
        if (level_.sampleMultimedia && n > 2 * kMultimediaSample) {
            first = last = SampleChannels(data, lzBits * kMultimediaSample / n);
            if (!first) return;
        }
        uint64_t bestBits = (uint64_t)(lzBits * kMultimediaGain);
        Block best;
        AudioState bestState;
        for (unsigned k = first; k <= last; ++k) {
            Block trial;
            trial.audio = true;
            AudioState state = stream_.audio;
            EncodeAudio(data, n, k, &state, &trial.au, &trial.auStats);
            uint64_t bits = OwnBits(trial);
            if (bits < bestBits) {
                bestBits = bits;
                best = std::move(trial);
                bestState = state;
            }
        }
        if (best.Empty()) return;
        *seg = std::move(best);
        stream_.audio = bestState;
        stream_.lz = lzBefore;
    }

    // The channel count that codes a sample at least 10 % below LZ, best
    // first; 0 when none does.
    unsigned SampleChannels(const uint8_t* data, uint64_t lzSampleBits) const {
        unsigned best = 0;
        uint64_t bestBits = (uint64_t)(lzSampleBits * 0.9);
        for (unsigned k = 1; k <= kMaxChannels; ++k) {
            Block trial;
            trial.audio = true;
            AudioState state = stream_.audio;
            EncodeAudio(data, kMultimediaSample, k, &state, &trial.au, &trial.auStats);
            TableSet t = AudioTableSet(trial.auStats);
            uint64_t bits = AudioCodedBits(trial.auStats, t.len);
            if (bits < bestBits) {
                bestBits = bits;
                best = k;
            }
        }
        return best;
    }

    // Joins the segment to the open block, or closes the block when the
    // segment is cheaper with tables of its own.
    void AddSegment(Block&& seg) {
        if (seg.Empty()) return;
        if (!block_.Empty()) {
            bool sameKind = block_.audio == seg.audio && (!seg.audio || block_.auStats.channels == seg.auStats.channels);
            bool split = !sameKind || block_.lz.size() + block_.au.size() >= kMaxBlockSymbols;
            if (!split) {
                const unsigned switchBits = 8;
                uint64_t apart = OwnBits(block_) + OwnBits(seg) + switchBits;
                if (seg.audio) {
                    AudioStats merged = block_.auStats;
                    merged.Add(seg.auStats);
                    split = apart < OwnBits(merged);
                } else {
                    LzStats merged = block_.lzStats;
                    merged.Add(seg.lzStats);
                    split = apart < OwnBits(merged);
                }
            }
            if (!split) {
                block_.Append(std::move(seg));
                return;
            }
            CloseBlock();
        }
        block_ = std::move(seg);
    }

    // Writes the open block, with the decoder's current tables when that
    // is cheaper than sending new ones.
    void CloseBlock() {
        if (block_.Empty()) return;
        StreamState& s = stream_;
        TableSet fresh = block_.audio ? AudioTableSet(block_.auStats) : LzTableSet(LzLengthsFor(block_.lzStats));
        uint64_t freshBits = block_.audio ? AudioCodedBits(block_.auStats, fresh.len)
                                          : LzCodedBits(block_.lzStats, LzLengthsOf(fresh));
        freshBits += TableBlockBits(fresh, s.remembered);
        uint64_t reuseBits = kNoCode;
        if (s.tablesSent) {
            freshBits += SwitchLength();
            if (block_.audio && s.tables.audio && s.tables.channels == block_.auStats.channels)
                reuseBits = AudioCodedBits(block_.auStats, s.tables.len);
            else if (!block_.audio && !s.tables.audio)
                reuseBits = LzCodedBits(block_.lzStats, LzLengthsOf(s.tables));
        }
        if (reuseBits > freshBits) {
            if (s.tablesSent) WriteSwitch();
            WriteTableBlock(&writer_, fresh, &s.remembered);
            s.tables = fresh;
            s.tablesSent = true;
            if (fresh.audio && s.writerChannel >= fresh.channels) s.writerChannel = 0;
        }
        if (block_.audio)
            WriteAudioTokens();
        else
            WriteLzTokens();
        block_ = Block();
        if (out_.size() >= (1u << 20)) Flush();
    }

    // Length of the new-tables code in the decoder's current table.
    unsigned SwitchLength() const {
        const StreamState& s = stream_;
        return s.tables.audio ? s.tables.len[s.writerChannel * kAudioSymbols + kAudioNewTables]
                              : s.tables.len[kSymNewTables];
    }

    void WriteSwitch() {
        const StreamState& s = stream_;
        const uint8_t* len = s.tables.audio ? s.tables.len + s.writerChannel * kAudioSymbols : s.tables.len;
        unsigned n = s.tables.audio ? kAudioSymbols : kMainSymbols;
        unsigned sym = s.tables.audio ? kAudioNewTables : kSymNewTables;
        uint16_t codes[kMainSymbols];
        BuildCodes(len, n, codes);
        writer_.Put(codes[sym], len[sym]);
    }

    void WriteLzTokens() {
        LzLengths len = LzLengthsOf(stream_.tables);
        uint16_t mainCode[kMainSymbols], distCode[kDistSymbols], repCode[kRepSymbols];
        BuildCodes(len.main, kMainSymbols, mainCode);
        BuildCodes(len.dist, kDistSymbols, distCode);
        BuildCodes(len.rep, kRepSymbols, repCode);
        for (const LzToken& t : block_.lz) {
            lastCodeAt_ = writer_.BitsWritten();
            writer_.Put(mainCode[t.sym], len.main[t.sym]);
            if (t.sym <= kSymRepeatLast) continue;
            if (t.sym < kSymShortDist) {
                lastCodeAt_ = writer_.BitsWritten();
                writer_.Put(repCode[t.slot], len.rep[t.slot]);
                writer_.Put(t.lenExtra, kLenBits[t.slot]);
            } else if (t.sym < kSymNewTables) {
                writer_.Put(t.lenExtra, kShortBits[t.sym - kSymShortDist]);
            } else {
                writer_.Put(t.lenExtra, kLenBits[t.sym - kSymLongMatch]);
                lastCodeAt_ = writer_.BitsWritten();
                writer_.Put(distCode[t.slot], len.dist[t.slot]);
                writer_.Put(t.distExtra, kDistBits[t.slot]);
            }
        }
    }

    void WriteAudioTokens() {
        StreamState& s = stream_;
        uint16_t codes[kMaxChannels][kAudioSymbols];
        for (unsigned c = 0; c < s.tables.channels; ++c)
            BuildCodes(s.tables.len + c * kAudioSymbols, kAudioSymbols, codes[c]);
        for (const AudioToken& t : block_.au) {
            lastCodeAt_ = writer_.BitsWritten();
            writer_.Put(codes[t.channel][t.sym], s.tables.len[t.channel * kAudioSymbols + t.sym]);
            s.writerChannel = (t.channel + 1) % s.tables.channels;
        }
    }

    void Flush() {
        if (out_.empty()) return;
        if (sink_) sink_(out_.data(), out_.size());
        packed_ += out_.size();
        out_.clear();
    }

    // Some readers look up every code with a fixed number of bits and fail
    // when those pass the end of the data, even if the code is shorter: the
    // last code is followed by enough zero bits for such a look-up.
    void PadForReaders() {
        uint64_t end = lastCodeAt_ + kReaderLookahead;
        if (writer_.BitsWritten() < end) writer_.Put(0, (unsigned)(end - writer_.BitsWritten()));
        writer_.AlignToByte();
    }

    // A large entry that has not shrunk so far is not worth finishing.
    void CheckGiveUp() {
        if (parsedInEntry_ < kGiveUpProbe) return;
        uint64_t bits = writer_.BitsWritten() + (block_.Empty() ? 0 : OwnBits(block_));
        if (bits >= parsedInEntry_ * 8 * 0.995) gaveUp_ = true;
    }

    // The entry is stored after all. A stored entry is no part of the
    // decoder's stream, and some readers (unar 1.10) even take a compressed
    // entry's solid flag as continuing from whatever entry stands before it,
    // stored or not: so the next compressed entry starts a new stream. The
    // entry's bytes stay in the buffer below that stream's start.
    void Discard() {
        block_ = Block();
        out_.clear();
        writer_ = BitWriter(&out_);
        stream_.started = false;
        parsed_ = inserted_ = end_;
    }

    const EncoderOptions opts_;
    const LevelParams level_;
    const uint32_t window_;
    MatchFinder finder_;
    LzParser parser_;

    std::vector<uint8_t> buf_;
    uint32_t cap_ = 0;
    uint32_t end_ = 0;       // bytes in the buffer
    uint32_t parsed_ = 0;    // first byte not yet parsed
    uint32_t inserted_ = 0;  // first position not yet in the match finder

    StreamState stream_;
    Block block_;

    // The current entry.
    uint32_t entryStart_ = 0;
    uint64_t size_ = 0;
    uint64_t fed_ = 0;
    uint64_t parsedInEntry_ = 0;
    bool continues_ = false;  // continues the stream (solid)
    bool gaveUp_ = false;
    std::vector<uint8_t> out_;
    BitWriter writer_{&out_};
    uint64_t lastCodeAt_ = 0;  // bit position of the last code written
    Sink sink_;
    uint64_t packed_ = 0;
};

Encoder::Encoder(const EncoderOptions& options) : impl_(new Impl(options)) {}
Encoder::~Encoder() = default;

void Encoder::BeginEntry(uint64_t size, Sink sink) { impl_->BeginEntry(size, std::move(sink)); }
bool Encoder::Feed(const uint8_t* data, size_t size) { return impl_->Feed(data, size); }
EntryOutcome Encoder::EndEntry() { return impl_->EndEntry(); }

EntryOutcome Encoder::Encode(const uint8_t* data, size_t size, std::vector<uint8_t>* packed) {
    packed->clear();
    BeginEntry(size, [packed](const uint8_t* p, size_t n) { packed->insert(packed->end(), p, p + n); });
    Feed(data, size);
    EntryOutcome o = EndEntry();
    if (o.stored) packed->clear();
    return o;
}

}  // namespace rar20
}  // namespace tarvpack
