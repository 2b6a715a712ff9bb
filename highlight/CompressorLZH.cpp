#include "highlight/CompressorLZH.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillet::lzh {

namespace {

constexpr int N = 4096;
constexpr int F = 60;
constexpr int Threshold = 2;
constexpr int Nil = N;
constexpr int NChar = 256 - Threshold + F; // 314
constexpr int T = NChar * 2 - 1;           // 627
constexpr int R = T - 1;                   // 626
constexpr unsigned MaxFreq = 0x8000;
constexpr size_t IoSize = 32768;

// Prefix code for the upper 6 bits of a match position: lengths 3..8,
// assigned canonically in position order.
struct TPositionCodes {
    uint8_t Len[64];
    uint8_t Code[64];
    uint8_t DecodeCode[256]; // by the next 8 bits: the upper 6 position bits
    uint8_t DecodeLen[256];  // and that code's length
    TPositionCodes() {
        static const uint8_t counts[] = {1, 3, 8, 12, 24, 16}; // lengths 3..8
        int k = 0;
        unsigned code = 0;
        for (int l = 3; l <= 8; ++l) {
            for (int c = 0; c < counts[l - 3]; ++c, ++k) {
                Len[k] = uint8_t(l);
                Code[k] = uint8_t(code << (8 - l));
                for (unsigned b = 0; b < (1u << (8 - l)); ++b) {
                    DecodeCode[Code[k] | b] = uint8_t(k);
                    DecodeLen[Code[k] | b] = uint8_t(l);
                }
                ++code;
            }
            code <<= 1;
        }
    }
};

const TPositionCodes& PositionCodes() {
    static const TPositionCodes codes;
    return codes;
}

} // namespace

struct TTables {
    uint8_t Text[N + F - 1];
    int LSon[N + 1], RSon[N + 257], Dad[N + 1];
    int MatchPosition = 0, MatchLength = 0;
    unsigned Freq[T + 1];
    int Parent[T + NChar];
    int Son[T];

    void InitTree() {
        for (int i = N + 1; i <= N + 256; ++i)
            RSon[i] = Nil;
        for (int i = 0; i < N; ++i)
            Dad[i] = Nil;
    }

    void InsertNode(int r) {
        int cmp = 1;
        const uint8_t* key = &Text[r];
        int p = N + 1 + key[0];
        RSon[r] = LSon[r] = Nil;
        MatchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (RSon[p] != Nil) {
                    p = RSon[p];
                } else {
                    RSon[p] = r;
                    Dad[r] = p;
                    return;
                }
            } else {
                if (LSon[p] != Nil) {
                    p = LSon[p];
                } else {
                    LSon[p] = r;
                    Dad[r] = p;
                    return;
                }
            }
            int i = 1;
            for (; i < F; ++i)
                if ((cmp = key[i] - Text[p + i]) != 0) break;
            if (i > Threshold) {
                const int pos = ((r - p) & (N - 1)) - 1;
                if (i > MatchLength) {
                    MatchPosition = pos;
                    if ((MatchLength = i) >= F) break;
                } else if (i == MatchLength && pos < MatchPosition) {
                    MatchPosition = pos;
                }
            }
        }
        // Replace p by r: a full match makes the older node redundant.
        Dad[r] = Dad[p];
        LSon[r] = LSon[p];
        RSon[r] = RSon[p];
        Dad[LSon[p]] = r;
        Dad[RSon[p]] = r;
        if (RSon[Dad[p]] == p)
            RSon[Dad[p]] = r;
        else
            LSon[Dad[p]] = r;
        Dad[p] = Nil;
    }

    void DeleteNode(int p) {
        if (Dad[p] == Nil) return;
        int q;
        if (RSon[p] == Nil) {
            q = LSon[p];
        } else if (LSon[p] == Nil) {
            q = RSon[p];
        } else {
            q = LSon[p];
            if (RSon[q] != Nil) {
                do
                    q = RSon[q];
                while (RSon[q] != Nil);
                RSon[Dad[q]] = LSon[q];
                Dad[LSon[q]] = Dad[q];
                LSon[q] = LSon[p];
                Dad[LSon[p]] = q;
            }
            RSon[q] = RSon[p];
            Dad[RSon[p]] = q;
        }
        Dad[q] = Dad[p];
        if (RSon[Dad[p]] == p)
            RSon[Dad[p]] = q;
        else
            LSon[Dad[p]] = q;
        Dad[p] = Nil;
    }

    void StartHuff() {
        for (int i = 0; i < NChar; ++i) {
            Freq[i] = 1;
            Son[i] = i + T;
            Parent[i + T] = i;
        }
        for (int i = 0, j = NChar; j <= R; i += 2, ++j) {
            Freq[j] = Freq[i] + Freq[i + 1];
            Son[j] = i;
            Parent[i] = Parent[i + 1] = j;
        }
        Freq[T] = 0xFFFF; // sentinel for the reorder scan
        Parent[R] = 0;
    }

    // Halves the frequencies and rebuilds the tree when the root count saturates.
    void Reconstruct() {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (Son[i] >= T) {
                Freq[j] = (Freq[i] + 1) / 2;
                Son[j] = Son[i];
                ++j;
            }
        }
        for (int i = 0, k, jj = NChar; jj < T; i += 2, ++jj) {
            const unsigned f = Freq[jj] = Freq[i] + Freq[i + 1];
            for (k = jj - 1; f < Freq[k]; --k) {
            }
            ++k;
            const size_t l = size_t(jj - k);
            std::memmove(&Freq[k + 1], &Freq[k], l * sizeof(Freq[0]));
            Freq[k] = f;
            std::memmove(&Son[k + 1], &Son[k], l * sizeof(Son[0]));
            Son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            const int k = Son[i];
            if (k >= T)
                Parent[k] = i;
            else
                Parent[k] = Parent[k + 1] = i;
        }
    }

    void Update(int c) {
        if (Freq[R] == MaxFreq) Reconstruct();
        c = Parent[c + T];
        do {
            const unsigned k = ++Freq[c];
            int l = c + 1;
            if (k > Freq[l]) {
                while (k > Freq[++l]) {
                }
                --l;
                Freq[c] = Freq[l];
                Freq[l] = k;
                const int i = Son[c];
                Parent[i] = l;
                if (i < T) Parent[i + 1] = l;
                const int j = Son[l];
                Son[l] = i;
                Parent[j] = c;
                if (j < T) Parent[j + 1] = c;
                Son[c] = j;
                c = l;
            }
        } while ((c = Parent[c]) != 0);
    }
};

namespace {

class TBitWriter {
public:
    explicit TBitWriter(TByteSink& sink) : FSink(sink), FBuf(IoSize) {}
    // Writes the low `count` bits of code, most significant first.
    void Put(uint64_t code, int count) {
        while (count > 0) {
            const int take = std::min(count, 32);
            count -= take;
            FAcc = (FAcc << take) | ((code >> count) & ((uint64_t(1) << take) - 1));
            FBits += take;
            while (FBits >= 8) {
                FBits -= 8;
                Byte(uint8_t(FAcc >> FBits));
            }
        }
    }
    void Finish() {
        if (FBits > 0) Byte(uint8_t(FAcc << (8 - FBits)));
        FBits = 0;
        if (FLen) FSink.Put(FBuf.data(), FLen);
        FLen = 0;
    }

private:
    void Byte(uint8_t b) {
        FBuf[FLen++] = b;
        if (FLen == FBuf.size()) {
            FSink.Put(FBuf.data(), FLen);
            FLen = 0;
        }
    }
    TByteSink& FSink;
    std::vector<uint8_t> FBuf;
    size_t FLen = 0;
    uint64_t FAcc = 0;
    int FBits = 0;
};

class TBitReader {
public:
    explicit TBitReader(TByteSource& source) : FSource(source), FBuf(IoSize) {}
    // false when the input ended.
    bool Bit(unsigned& bit) {
        if (FBits == 0) {
            if (FPos == FLen && !Refill()) return false;
            FAcc = FBuf[FPos++];
            FBits = 8;
        }
        --FBits;
        bit = (FAcc >> FBits) & 1;
        return true;
    }
    bool Bits(int count, unsigned& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            unsigned b;
            if (!Bit(b)) return false;
            value = (value << 1) | b;
        }
        return true;
    }
    size_t Unused() const { return FLen - FPos; }

private:
    bool Refill() {
        FLen = FSource.Fill(FBuf.data(), FBuf.size());
        FPos = 0;
        return FLen > 0;
    }
    TByteSource& FSource;
    std::vector<uint8_t> FBuf;
    size_t FPos = 0, FLen = 0;
    unsigned FAcc = 0;
    int FBits = 0;
};

class TInput {
public:
    TInput(TByteSource& source, uint64_t length) : FSource(source), FLeft(length), FBuf(IoSize) {}
    bool Next(uint8_t& c) {
        if (FPos == FLen) {
            if (FLeft == 0) return false;
            const size_t want = size_t(std::min<uint64_t>(FLeft, FBuf.size()));
            FLen = FSource.Fill(FBuf.data(), want);
            FPos = 0;
            if (FLen == 0) return false;
            FLeft -= FLen;
        }
        c = FBuf[FPos++];
        return true;
    }

private:
    TByteSource& FSource;
    uint64_t FLeft;
    std::vector<uint8_t> FBuf;
    size_t FPos = 0, FLen = 0;
};

} // namespace

TLZHCoder::TLZHCoder() : FT(std::make_unique<TTables>()) {}
TLZHCoder::~TLZHCoder() = default;

void TLZHCoder::Encode(TByteSource& source, uint64_t length, TByteSink& sink) {
    TTables& t = *FT;
    const TPositionCodes& pc = PositionCodes();
    TBitWriter out(sink);
    TInput in(source, length);
    t.StartHuff();
    t.InitTree();
    auto encodeChar = [&](int c) {
        // Leaf to root gives the code backwards; odd nodes are the 1 branch.
        uint64_t code = 0;
        int len = 0;
        int k = t.Parent[c + T];
        do {
            code |= uint64_t(k & 1) << len;
            ++len;
        } while ((k = t.Parent[k]) != R);
        out.Put(code, len);
        t.Update(c);
    };
    auto encodePosition = [&](unsigned c) {
        const unsigned hi = c >> 6;
        out.Put(pc.Code[hi] >> (8 - pc.Len[hi]), pc.Len[hi]);
        out.Put(c & 0x3F, 6);
    };

    int s = 0;
    int r = N - F;
    std::memset(t.Text, ' ', size_t(r));
    int len = 0;
    uint8_t c;
    for (; len < F && in.Next(c); ++len)
        t.Text[r + len] = c;
    if (len == 0) {
        out.Finish();
        return;
    }
    for (int i = 1; i <= F; ++i)
        t.InsertNode(r - i);
    t.InsertNode(r);
    do {
        if (t.MatchLength > len) t.MatchLength = len;
        int matched;
        if (t.MatchLength <= Threshold) {
            matched = 1;
            encodeChar(t.Text[r]);
        } else {
            matched = t.MatchLength;
            encodeChar(255 - Threshold + matched);
            encodePosition(unsigned(t.MatchPosition));
        }
        int i = 0;
        for (; i < matched && in.Next(c); ++i) {
            t.DeleteNode(s);
            t.Text[s] = c;
            if (s < F - 1) t.Text[s + N] = c; // mirror so comparisons never wrap
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            t.InsertNode(r);
        }
        for (; i < matched; ++i) {
            t.DeleteNode(s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len) t.InsertNode(r);
        }
    } while (len > 0);
    out.Finish();
}

TDecodeResult TLZHCoder::Decode(TByteSource& source, uint64_t length, TByteSink& sink,
                                size_t& unusedInput) {
    TTables& t = *FT;
    const TPositionCodes& pc = PositionCodes();
    TBitReader in(source);
    std::vector<uint8_t> out(IoSize);
    size_t outLen = 0;
    t.StartHuff();
    std::memset(t.Text, ' ', N - F);
    int r = N - F;
    uint64_t count = 0;
    TDecodeResult result = drOk;
    auto put = [&](uint8_t b) {
        out[outLen++] = b;
        if (outLen == out.size()) {
            sink.Put(out.data(), outLen);
            outLen = 0;
        }
        t.Text[r] = b;
        r = (r + 1) & (N - 1);
    };
    while (count < length) {
        // Any bit sequence reaches a leaf: the tree is always complete.
        int node = t.Son[R];
        unsigned bit;
        while (node < T) {
            if (!in.Bit(bit)) return unusedInput = 0, drTruncated;
            node = t.Son[node + int(bit)];
        }
        const int ch = node - T;
        t.Update(ch);
        if (ch < 256) {
            put(uint8_t(ch));
            ++count;
            continue;
        }
        unsigned first;
        if (!in.Bits(8, first)) return unusedInput = 0, drTruncated;
        unsigned rest;
        if (!in.Bits(pc.DecodeLen[first] - 2, rest)) return unusedInput = 0, drTruncated;
        const unsigned low = ((first << (pc.DecodeLen[first] - 2)) | rest) & 0x3F;
        const unsigned position = (unsigned(pc.DecodeCode[first]) << 6) | low;
        const int start = (r - int(position) - 1) & (N - 1);
        const int n = ch - 255 + Threshold;
        if (uint64_t(n) > length - count) {
            result = drOverrun;
            break;
        }
        for (int k = 0; k < n; ++k)
            put(t.Text[(start + k) & (N - 1)]);
        count += uint64_t(n);
    }
    if (outLen) sink.Put(out.data(), outLen);
    unusedInput = in.Unused();
    return result;
}

} // namespace quillet::lzh
