#include "highlight/Compressor.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

static std::vector<uint8_t> Pack(const std::vector<uint8_t>& data, TCompressMethod m) {
    TReadOnlyMemoryStream in(data.data(), int64_t(data.size()));
    TMemoryStream out;
    TCompressor c;
    c.SetMethod(m);
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    c.Compress();
    return out.Bytes();
}

static std::vector<uint8_t> Unpack(const std::vector<uint8_t>& data) {
    TReadOnlyMemoryStream in(data.data(), int64_t(data.size()));
    TMemoryStream out;
    TCompressor c;
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    c.Decompress();
    return out.Bytes();
}

TEST(Compressor, EmptyInputIsMagicLengthAndOneStoredBlock) {
    auto packed = Pack({}, cmKH);
    std::vector<uint8_t> want = {'W', 'R', 'Z', 'L', 0, 0, 0, 0, 1, 0, 0x80};
    EXPECT_EQ(packed, want);
    EXPECT_TRUE(Unpack(packed).empty());
}

TEST(Compressor, RoundTripsBothMethodsOnRandomAndRepetitiveData) {
    std::mt19937 rng(7);
    for (size_t size : {1u, 100u, 32768u, 65536u, 100000u}) {
        std::vector<uint8_t> data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = (i / 50) % 2 ? uint8_t(rng()) : uint8_t("abcabcx"[i % 7]);
        for (auto m : {cmKH, cmLZH})
            EXPECT_EQ(Unpack(Pack(data, m)), data) << size << " " << m;
    }
}

TEST(Compressor, EveryPrefixOfACompressedStreamFailsCleanly) {
    std::vector<uint8_t> data(3000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t("body { color: red; }\n"[i % 21]);
    for (auto m : {cmKH, cmLZH}) {
        auto packed = Pack(data, m);
        for (size_t n = 0; n < packed.size(); ++n) {
            std::vector<uint8_t> cut(packed.begin(), packed.begin() + long(n));
            EXPECT_THROW(Unpack(cut), ECompressorException) << n;
        }
    }
}

TEST(Compressor, AlteredLengthAndRandomFlipsNeverCrash) {
    std::vector<uint8_t> data(40000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t("a { margin: 0 auto; }\n"[i % 22]);
    auto packed = Pack(data, cmKH);
    auto altered = packed;
    altered[4] ^= 1;
    try {
        Unpack(altered);
        FAIL();
    } catch (const ECompressorException& e) {
        EXPECT_STREQ(e.what(), "Compressor (decompression Compressor/KH) : Original and "
                               "compressed sizes do not match !");
    }
    std::mt19937 rng(3);
    for (auto m : {cmKH, cmLZH}) {
        auto base = Pack(data, m);
        for (int k = 0; k < 300; ++k) {
            auto bad = base;
            bad[8 + rng() % (bad.size() - 8)] ^= uint8_t(1 + rng() % 255);
            try {
                Unpack(bad);
            } catch (const ECompressorException&) {
            }
        }
    }
}
