#include "SzddCodec.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace image::szdd {

namespace {

constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kWindowMask = kWindowSize - 1;
constexpr std::size_t kStartPosition = 0xFF0;  // write position before the first byte
constexpr std::uint8_t kWindowFill = 0x20;     // what the window holds before it is written
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMaxGroupOutput = 8 * kMaxMatch;  // eight references of 18 bytes
// A group takes at most 16 bytes after its flag byte; literal runs (empty
// ones too) are copied 8 bytes at a time and may read up to 8 past its end.
constexpr std::size_t kMaxGroupInput = 8 * 2 + 8;
// A reference never produces more than 9 bytes per stream byte it occupies.
constexpr std::uint64_t kMaxExpansion = kMaxMatch / 2;
// The fast copies below write whole 8- or 16-byte chunks and may run up to
// this far past the end of a reference into the buffer's spare tail.
constexpr std::size_t kCopySlack = 32;

std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// A window position names the byte written `distance` bytes before the
// current output position (1 to 4,096 back): output byte i sits at window
// position (0xFF0 + i) mod 4,096. Before anything was written there, it is
// a byte of the initial space fill.
std::size_t DistanceBack(std::size_t produced, std::size_t position) {
    return ((kStartPosition + produced - position - 1) & kWindowMask) + 1;
}

std::size_t WindowPosition(std::size_t produced, std::size_t distance) {
    return (kStartPosition + produced - distance) & kWindowMask;
}

// Number of consecutive 1 bits in flags from bit 0 up, at most limit (<= 8).
inline unsigned CountTrailingOnes(unsigned flags, unsigned limit) {
    const unsigned zeros = ~flags | (1u << limit);
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(zeros));
#else
    unsigned n = 0;
    while (((zeros >> n) & 1) == 0) {
        ++n;
    }
    return n;
#endif
}

// Copies a reference whose source lies wholly in the output already
// produced (distance <= bytes produced). May write up to kCopySlack bytes
// past dst + length; the bytes it reads are always ones already written.
inline void CopyReferenceFast(std::uint8_t* dst, std::size_t distance, std::size_t length) {
    const std::uint8_t* src = dst - distance;
    if (distance >= 16) {
        std::memcpy(dst, src, 16);
        std::memcpy(dst + 16, src + 16, 16);
    } else if (distance >= 8) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + 8, src + 8, 8);
        std::memcpy(dst + 16, src + 16, 8);
    } else if (distance == 1) {
        std::memset(dst, *src, kMaxMatch);
    } else {
        for (std::size_t k = 0; k < length; ++k) {
            dst[k] = src[k];
        }
    }
}

// Copies a reference one byte at a time, taking spaces for the part of the
// window that had not been written yet. Writes exactly length bytes.
inline void CopyReferenceExact(std::uint8_t* base, std::size_t produced, std::size_t distance,
                               std::size_t length) {
    for (std::size_t k = 0; k < length; ++k) {
        const std::size_t at = produced + k;
        base[at] = at >= distance ? base[at - distance] : kWindowFill;
    }
}

}  // namespace

const char* SzddErrorText(SzddError error) noexcept {
    switch (error) {
        case SzddError::None: return "no error";
        case SzddError::NotSzdd:
            return "not an SZDD file: the signature \"SZDD\" 88 F0 27 33 is missing";
        case SzddError::TruncatedHeader: return "the SZDD header is cut short (it takes 14 bytes)";
        case SzddError::UnknownMethod: return "unsupported compression method (only 'A' is known)";
        case SzddError::DeclaredTooLarge:
            return "the declared expanded length is larger than allowed";
        case SzddError::TruncatedReference:
            return "the compressed stream ends inside a back-reference";
        case SzddError::LengthShort:
            return "the compressed stream holds fewer bytes than the header declares";
        case SzddError::LengthExceeded:
            return "the compressed stream holds more bytes than the header declares";
        case SzddError::InputTooLarge:
            return "the input is 4 GiB or larger, more than an SZDD header can declare";
        case SzddError::OutOfMemory: return "not enough memory for the output";
    }
    return "unknown error";
}

SzddError SzddParseHeader(const std::uint8_t* data, std::size_t size, SzddHeader& header) noexcept {
    const std::size_t present = std::min(size, kSignature.size());
    if (present > 0 && std::memcmp(data, kSignature.data(), present) != 0) {
        return SzddError::NotSzdd;
    }
    if (size < kHeaderSize) {
        return SzddError::TruncatedHeader;
    }
    std::copy(data, data + kSignature.size(), header.signature.begin());
    header.method = data[8];
    header.lastNameChar = data[9];
    header.declaredLength = LoadLe32(data + 10);
    return SzddError::None;
}

SzddError SzddExpand(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                     const SzddExpandOptions& options) noexcept {
    out.clear();
    SzddHeader header;
    if (const SzddError error = SzddParseHeader(data, size, header); error != SzddError::None) {
        return error;
    }
    if (header.method != kMethodLzss) {
        return SzddError::UnknownMethod;
    }
    if (header.declaredLength > options.maxDeclaredLength) {
        return SzddError::DeclaredTooLarge;
    }

    const std::uint64_t streamBound =
        static_cast<std::uint64_t>(size - kHeaderSize) * kMaxExpansion;
    const std::uint64_t capacity = std::min<std::uint64_t>(header.declaredLength, streamBound);
    if (capacity > SIZE_MAX - kCopySlack) {
        return SzddError::OutOfMemory;
    }
    try {
        out.resize(static_cast<std::size_t>(capacity) + kCopySlack);
    } catch (const std::exception&) {
        std::vector<std::uint8_t>().swap(out);
        return SzddError::OutOfMemory;
    }

    const std::uint8_t* ip = data + kHeaderSize;
    const std::uint8_t* const end = data + size;
    std::uint8_t* const base = out.data();
    std::uint8_t* op = base;
    // Output stops here: at the declared length, or earlier where the stream
    // cannot reach that far anyway.
    std::uint8_t* const limit = base + capacity;
    SzddError error = SzddError::None;

    while (ip < end) {
        unsigned flags = *ip++;
        if (end - ip >= static_cast<std::ptrdiff_t>(kMaxGroupInput) &&
            limit - op >= static_cast<std::ptrdiff_t>(kMaxGroupOutput)) {
            // The whole group fits in what is left of input and output.
            // Each run of literals is one 8-byte copy, so that only the
            // references branch: the flag bits follow no pattern that a
            // branch predictor could learn.
            unsigned items = 8;
            for (;;) {
                const unsigned literals = CountTrailingOnes(flags, items);
                std::memcpy(op, ip, 8);
                op += literals;
                ip += literals;
                flags >>= literals;
                items -= literals;
                if (items == 0) {
                    break;
                }
                const std::size_t position = ip[0] | (static_cast<std::size_t>(ip[1] & 0xF0) << 4);
                const std::size_t length = (ip[1] & 0x0F) + kMinMatch;
                ip += 2;
                const std::size_t produced = static_cast<std::size_t>(op - base);
                const std::size_t distance = DistanceBack(produced, position);
                if (distance <= produced) {
                    CopyReferenceFast(op, distance, length);
                } else {
                    CopyReferenceExact(base, produced, distance, length);
                }
                op += length;
                flags >>= 1;
                items -= 1;
            }
            continue;
        }
        // Near either end: check every item.
        for (int item = 0; item < 8 && ip < end; ++item, flags >>= 1) {
            if (flags & 1) {
                if (op == limit) {
                    error = SzddError::LengthExceeded;
                    break;
                }
                *op++ = *ip++;
                continue;
            }
            if (end - ip < 2) {
                error = SzddError::TruncatedReference;
                break;
            }
            const std::size_t position = ip[0] | (static_cast<std::size_t>(ip[1] & 0xF0) << 4);
            std::size_t length = (ip[1] & 0x0F) + kMinMatch;
            ip += 2;
            if (length > static_cast<std::size_t>(limit - op)) {
                length = static_cast<std::size_t>(limit - op);
                error = SzddError::LengthExceeded;
            }
            const std::size_t produced = static_cast<std::size_t>(op - base);
            CopyReferenceExact(base, produced, DistanceBack(produced, position), length);
            op += length;
            if (error != SzddError::None) {
                break;
            }
        }
        if (error != SzddError::None) {
            break;
        }
    }

    const auto produced = static_cast<std::size_t>(op - base);
    if (error == SzddError::None && produced != header.declaredLength) {
        error = SzddError::LengthShort;
    }
    if (error != SzddError::None && !options.keepPartialOutput) {
        std::vector<std::uint8_t>().swap(out);
    } else {
        out.resize(produced);
    }
    return error;
}

namespace {

struct Match {
    std::size_t length = 0;
    std::size_t distance = 0;
};

// Longest-match search over the whole 4,096-byte window with binary search
// trees, one per hash of the next four bytes. Each tree orders positions
// by the 18 bytes that follow them and keeps newer positions above older
// ones: a new position becomes the root, the old tree is split around it
// along the search path, and the search stops at the first position that
// has left the window, since everything below it is older still. The
// longest match of four or more bytes is always on that path.
//
// Matches of exactly three bytes come from a table of the latest position
// per hash of three bytes. Keying the trees by three bytes instead would
// find the few three-byte matches that table misses, at some 30% more
// time per position.
//
// Positions are indices into one text that begins with 4,096 spaces (the
// window's initial fill) followed by the input and kTextPadding zeros, so
// that references into the unwritten window need no special case and
// comparisons may read past the end of the input.
class MatchFinder {
public:
    static constexpr std::size_t kTextPadding = 32;

    // The fill's positions up to 18 before its end all carry the same key,
    // and of equal keys a tree keeps only the newest, so the trees start
    // from the last of them.
    MatchFinder(const std::uint8_t* text, std::size_t textEnd)
        : text_(text),
          textEnd_(textEnd),
          next_(kWindowSize - kMaxMatch),
          head_(kHashSize, 0),
          last3_(kHash3Size, 0),
          tree_(2 * kTreeSlots, 0) {}

    // Adds every position before pos that is not in the trees yet.
    void InsertUpTo(std::size_t pos) {
        while (next_ < pos) {
            Insert(next_);
        }
    }

    // Adds pos (every earlier position must be in already) and returns its
    // longest match of 3 to 18 bytes, not reaching past the end of the
    // input; length 0 when there is none.
    Match Insert(std::size_t pos) {
        next_ = pos + 1;
        if (pos - base_ >= kRebaseAt) {
            Rebase(pos);
        }
        const std::uint8_t* const cur = text_ + pos;
        const Link self = static_cast<Link>(pos - base_ + kLinkBias);
        const std::uint32_t key = Load32(cur);
        Link* const headSlot = &head_[Hash4(key)];
        Link link = *headSlot;
        *headSlot = self;
        Link* const lastSlot = &last3_[Hash3(key)];
        const Link last3 = *lastSlot;
        *lastSlot = self;
        // Where the next node smaller than cur hangs ([1]) and the next one
        // larger ([0]), and the prefix that cur shares with everything on
        // that side; indexing by the comparison keeps the walk free of
        // branches that no predictor could learn.
        Link* pending[2] = {&tree_[2 * (pos & kTreeMask)] + 1, &tree_[2 * (pos & kTreeMask)]};
        std::size_t sideCommon[2] = {0, 0};
        std::size_t bestCommon = 0;
        std::size_t bestDistance = 0;
        for (std::size_t stepsLeft = kMaxTreeSteps;; --stepsLeft) {
            const std::size_t distance = self - link;
            if (distance > kWindowSize || stepsLeft == 0) {
                *pending[0] = 0;
                *pending[1] = 0;
                break;
            }
            const std::size_t candidate = pos - distance;
            Link* const node = &tree_[2 * (candidate & kTreeMask)];
            const std::uint8_t* const p = text_ + candidate;
            const std::size_t common = CommonLength(p, cur, std::min(sideCommon[0], sideCommon[1]));
            const bool better = common > bestCommon;
            bestDistance = better ? distance : bestDistance;
            bestCommon = better ? common : bestCommon;
            if (common == kMaxMatch) {
                // Same key: the new position takes the old one's place.
                *pending[1] = node[0];
                *pending[0] = node[1];
                break;
            }
            // A smaller candidate hangs on the smaller side and the search
            // goes on in its larger subtree, and the other way round.
            const std::size_t side = p[common] < cur[common] ? 1 : 0;
            *pending[side] = link;
            pending[side] = &node[side];
            link = node[side];
            sideCommon[side] = common;
        }
        if (bestCommon < 4) {
            // The trees hold only positions that share four bytes; three
            // come from the latest position whose first three hashed alike.
            const std::size_t distance = self - last3;
            if (distance <= kWindowSize &&
                (Load32(cur - distance) & 0xFFFFFF) == (key & 0xFFFFFF)) {
                bestCommon = 3;
                bestDistance = distance;
            }
        }
        // The keys run into the zeros after the input; a match may not.
        Match best;
        const std::size_t length = std::min(bestCommon, textEnd_ - pos);
        if (length >= kMinMatch) {
            best.length = length;
            best.distance = bestDistance;
        }
        return best;
    }

private:
    static constexpr unsigned kHashBits = 15;
    static constexpr std::size_t kHashSize = std::size_t{1} << kHashBits;
    static constexpr unsigned kHash3Bits = 16;
    static constexpr std::size_t kHash3Size = std::size_t{1} << kHash3Bits;
    // Twice the window, so that a position 4,096 back, still a valid
    // source, does not share its node with the one being added.
    static constexpr std::size_t kTreeSlots = 2 * kWindowSize;
    static constexpr std::size_t kTreeMask = kTreeSlots - 1;
    // Bounds the work per position on degenerate inputs; ordinary data
    // never comes near it.
    static constexpr std::size_t kMaxTreeSteps = 256;
    // A link holds position - base_ + kLinkBias, so that it fits 32 bits
    // and the empty link 0 always lies beyond the window's reach.
    using Link = std::uint32_t;
    static constexpr std::size_t kLinkBias = kWindowSize + 1;
    // Links are rebased long before they could overflow (often enough that
    // a few megabytes of input go through it).
    static constexpr std::size_t kRebaseAt = std::size_t{1} << 22;

    static std::uint32_t Load32(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }

    static std::size_t Hash4(std::uint32_t fourBytes) {
        return (fourBytes * 0x9E3779B1u) >> (32 - kHashBits);
    }

    static std::size_t Hash3(std::uint32_t fourBytes) {
        return ((fourBytes & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHash3Bits);
    }

    // Number of equal leading bytes of a and b, at most 18, given that the
    // first `known` are equal.
    static std::size_t CommonLength(const std::uint8_t* a, const std::uint8_t* b,
                                    std::size_t known) {
        std::size_t n = known;
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        for (; n < kMaxMatch; n += 8) {
            std::uint64_t x;
            std::uint64_t y;
            std::memcpy(&x, a + n, 8);
            std::memcpy(&y, b + n, 8);
            if (x != y) {
                n += static_cast<std::size_t>(__builtin_ctzll(x ^ y)) / 8;
                break;
            }
        }
        return std::min(n, kMaxMatch);
#else
        while (n < kMaxMatch && a[n] == b[n]) {
            ++n;
        }
        return n;
#endif
    }

    // Moves base_ up to the far end of the window of pos; links that would
    // fall to zero or below were out of reach already and become empty.
    void Rebase(std::size_t pos) {
        const std::size_t shift = pos - kWindowSize - base_;
        for (std::vector<Link>* table : {&head_, &last3_, &tree_}) {
            for (Link& link : *table) {
                link = link > shift ? static_cast<Link>(link - shift) : 0;
            }
        }
        base_ += shift;
    }

    const std::uint8_t* text_;
    std::size_t textEnd_;
    std::size_t next_;
    std::size_t base_ = 0;
    std::vector<Link> head_;
    std::vector<Link> last3_;
    std::vector<Link> tree_;  // per slot: smaller child, larger child
};

// Appends groups to a buffer sized for the worst case (all literals).
class GroupWriter {
public:
    explicit GroupWriter(std::uint8_t* out) : op_(out) {}

    void Literal(std::uint8_t byte) {
        StartItem(true);
        *op_++ = byte;
    }

    void Reference(std::size_t position, std::size_t length) {
        StartItem(false);
        *op_++ = static_cast<std::uint8_t>(position);
        *op_++ = static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kMinMatch));
    }

    std::uint8_t* End() const { return op_; }

private:
    void StartItem(bool literal) {
        if (bit_ == 8) {
            flags_ = op_++;
            *flags_ = 0;
            bit_ = 0;
        }
        if (literal) {
            *flags_ |= static_cast<std::uint8_t>(1u << bit_);
        }
        ++bit_;
    }

    std::uint8_t* op_;
    std::uint8_t* flags_ = nullptr;
    unsigned bit_ = 8;
};

// Item costs in bits, flag bit included.
constexpr std::uint32_t kLiteralCost = 9;
constexpr std::uint32_t kReferenceCost = 17;
// Positions parsed together; a parse may run up to 17 bytes past a block.
constexpr std::size_t kBlockSize = 1 << 16;

}  // namespace

SzddError SzddCompress(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                       std::uint8_t lastNameChar) noexcept {
    out.clear();
    const std::uint64_t size64 = size;  // compared as 64 bits on every target
    if (size64 > UINT32_MAX) {
        return SzddError::InputTooLarge;
    }
    // All literals, one flag byte per eight: no parse is longer.
    const std::uint64_t worstCase = kHeaderSize + size64 + (size64 / 8 + 1);
    if (worstCase > SIZE_MAX || kWindowSize + MatchFinder::kTextPadding > SIZE_MAX - size) {
        return SzddError::OutOfMemory;  // only where size_t has 32 bits
    }
    try {
        // Reserved, not filled: the output is sized block by block, so
        // that no page is touched twice or for nothing. It never moves.
        out.reserve(static_cast<std::size_t>(worstCase));
        out.resize(kHeaderSize);

        std::vector<std::uint8_t> text;
        text.reserve(kWindowSize + size + MatchFinder::kTextPadding);
        text.assign(kWindowSize, kWindowFill);
        text.insert(text.end(), data, data + size);
        text.resize(text.size() + MatchFinder::kTextPadding, 0);
        const std::size_t textEnd = kWindowSize + size;
        MatchFinder finder(text.data(), textEnd);

        std::copy(kSignature.begin(), kSignature.end(), out.begin());
        out[8] = kMethodLzss;
        out[9] = lastNameChar;
        StoreLe32(out.data() + 10, static_cast<std::uint32_t>(size));
        GroupWriter writer(out.data() + kHeaderSize);

        const std::size_t blockCapacity = std::min(kBlockSize, size);
        std::vector<std::uint8_t> lengths(blockCapacity);
        std::vector<std::uint16_t> distances(blockCapacity);
        std::vector<std::uint8_t> steps(blockCapacity);
        std::vector<std::uint32_t> cost(blockCapacity + kMaxMatch, 0);

        std::size_t pos = kWindowSize;
        while (pos < textEnd) {
            const std::size_t blockLength = std::min(kBlockSize, textEnd - pos);
            // The block's items start inside it and cost at most 9 bits per
            // byte they cover, one reference running past its end included.
            const std::size_t written = static_cast<std::size_t>(writer.End() - out.data());
            out.resize(std::min<std::size_t>(static_cast<std::size_t>(worstCase),
                                             written + (blockLength + kMaxMatch) / 8 * 9 + 2 * 9));
            finder.InsertUpTo(pos);
            for (std::size_t j = 0; j < blockLength; ++j) {
                const Match m = finder.Insert(pos + j);
                lengths[j] = static_cast<std::uint8_t>(m.length);
                distances[j] = static_cast<std::uint16_t>(m.distance);
            }
            // Cheapest cover of the block, back to front. Beyond the block
            // everything counts as free; the next block starts where the
            // chosen parse ends.
            std::fill(cost.begin() + static_cast<std::ptrdiff_t>(blockLength), cost.end(), 0u);
            for (std::size_t j = blockLength; j-- > 0;) {
                std::uint32_t bestCost = cost[j + 1] + kLiteralCost;
                std::uint8_t bestStep = 1;
                for (std::size_t len = kMinMatch; len <= lengths[j]; ++len) {
                    const std::uint32_t c = cost[j + len] + kReferenceCost;
                    if (c < bestCost) {
                        bestCost = c;
                        bestStep = static_cast<std::uint8_t>(len);
                    }
                }
                cost[j] = bestCost;
                steps[j] = bestStep;
            }
            std::size_t j = 0;
            while (j < blockLength) {
                const std::size_t at = pos + j;
                if (steps[j] == 1) {
                    writer.Literal(text[at]);
                } else {
                    writer.Reference(WindowPosition(at - kWindowSize, distances[j]), steps[j]);
                }
                j += steps[j];
            }
            pos += j;
        }
        out.resize(static_cast<std::size_t>(writer.End() - out.data()));
    } catch (const std::exception&) {
        std::vector<std::uint8_t>().swap(out);
        return SzddError::OutOfMemory;
    }
    return SzddError::None;
}

}  // namespace image::szdd
