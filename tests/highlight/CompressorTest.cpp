#include "highlight/Compressor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

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

namespace {

std::vector<uint8_t> CorpusBytes(size_t limit = SIZE_MAX) {
    std::vector<uint8_t> all;
    const std::filesystem::path root = "/work/shared/corpus/css";
    if (!std::filesystem::exists(root)) return all;
    std::vector<std::filesystem::path> files;
    for (auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".css") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        all.insert(all.end(), std::istreambuf_iterator<char>(in), {});
        if (all.size() >= limit) break;
    }
    if (all.size() > limit) all.resize(limit);
    return all;
}

// A memory stream that fails on demand, for the compressor's error paths.
class TFaultyStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    bool FailSeek = false;
    bool FailSize = false;
    int64_t ReadLimit = -1; // bytes readable before reads throw
    int64_t WriteLimit = -1;
    int64_t Read(void* b, int64_t n) override {
        if (ReadLimit >= 0) {
            if (ReadLimit == 0) throw EStreamError("Stream read error");
            n = std::min(n, ReadLimit);
            ReadLimit -= n;
        }
        return TMemoryStream::Read(b, n);
    }
    int64_t Write(const void* b, int64_t n) override {
        if (WriteLimit >= 0) {
            n = std::min(n, WriteLimit);
            WriteLimit -= n;
        }
        return TMemoryStream::Write(b, n);
    }
    int64_t Seek(int64_t o, TSeekOrigin origin) override {
        if (FailSeek) throw EStreamError("no seek");
        return TMemoryStream::Seek(o, origin);
    }
    int64_t Size() override {
        if (FailSize) throw EStreamError("no size");
        return TMemoryStream::Size();
    }
};

std::string MessageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const ECompressorException& e) {
        return e.what();
    }
    return "(no exception)";
}

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("quillet-comp-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The KH blocks of a container: (block length, flag byte) in order.
std::vector<std::pair<size_t, uint8_t>> Blocks(const std::vector<uint8_t>& packed) {
    std::vector<std::pair<size_t, uint8_t>> blocks;
    for (size_t i = 8; i + 2 <= packed.size();) {
        const size_t n = packed[i] | (size_t(packed[i + 1]) << 8);
        blocks.emplace_back(n, packed[i + 2]);
        i += 2 + n;
    }
    return blocks;
}

} // namespace

TEST(Compressor, BlockShapesForRunsIncompressibleChunksAndWholeChunkLengths) {
    // Equal bytes become run items: a tiny compressed block, then the closing empty chunk.
    std::vector<uint8_t> same(32768, 'x');
    auto packed = Pack(same, cmKH);
    auto blocks = Blocks(packed);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].second, 0x40);
    EXPECT_LT(blocks[0].first, 64u);
    EXPECT_EQ(blocks[1], std::make_pair(size_t(1), uint8_t(0x80)));
    EXPECT_EQ(Unpack(packed), same);

    // Random bytes do not shrink: stored whole with the flag byte in front.
    std::mt19937 rng(11);
    std::vector<uint8_t> noise(1000);
    for (auto& b : noise)
        b = uint8_t(rng());
    packed = Pack(noise, cmKH);
    blocks = Blocks(packed);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], std::make_pair(size_t(1001), uint8_t(0x80)));
    EXPECT_TRUE(std::equal(noise.begin(), noise.end(), packed.begin() + 11));
    EXPECT_EQ(Unpack(packed), noise);

    // Exactly two chunks: two full blocks and the closing empty one.
    std::vector<uint8_t> two(65536);
    for (size_t i = 0; i < two.size(); ++i)
        two[i] = uint8_t("selector { x: y }"[i % 17]);
    packed = Pack(two, cmKH);
    EXPECT_EQ(packed[4] | (packed[5] << 8) | (packed[6] << 16), 65536);
    blocks = Blocks(packed);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[2].first, 1u);
    EXPECT_EQ(Unpack(packed), two);
}

TEST(Compressor, CorpusRoundTripsWithBothMethodsAndKHShrinksIt) {
    auto corpus = CorpusBytes(2 << 20);
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    for (auto m : {cmKH, cmLZH}) {
        auto packed = Pack(corpus, m);
        EXPECT_LT(packed.size(), corpus.size() * 6 / 10) << m;
        EXPECT_EQ(Unpack(packed), corpus) << m;
    }
}

TEST(Compressor, StreamModeStartsAtThePositionAndLeavesTrailingBytes) {
    std::vector<uint8_t> data = {'h', 'e', 'a', 'd', 'b', 'o', 'd', 'y', '!', '!'};
    TReadOnlyMemoryStream in(data.data(), int64_t(data.size()));
    in.SetPosition(4);
    TMemoryStream out;
    TCompressor c;
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    const int64_t written = c.Compress();
    EXPECT_EQ(written, int64_t(out.Size()));
    EXPECT_EQ(Unpack(out.Bytes()), std::vector<uint8_t>(data.begin() + 4, data.end()));

    // A container followed by other bytes: decoding stops at its end.
    for (auto m : {cmKH, cmLZH}) {
        auto packed = Pack(data, m);
        const size_t end = packed.size();
        packed.push_back(0xAB);
        TReadOnlyMemoryStream pin(packed.data(), int64_t(packed.size()));
        TMemoryStream pout;
        TCompressor d;
        d.SetInputStream(&pin);
        d.SetOutputStream(&pout);
        EXPECT_EQ(d.Decompress(), int64_t(data.size()));
        EXPECT_EQ(pin.Position(), int64_t(end)) << m;
    }
}

TEST(Compressor, AdvisePicksLZHForSmallInputsAndSamplesLargeOnes) {
    TCompressor c;
    std::vector<uint8_t> small(98303, 'a');
    TReadOnlyMemoryStream s(small.data(), int64_t(small.size()));
    c.SetInputStream(&s);
    EXPECT_EQ(c.Advise(), cmLZH);
    EXPECT_EQ(c.Method(), cmLZH);

    std::vector<uint8_t> text(200000);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = uint8_t("p { margin: 0 }\n"[i % 16]);
    TReadOnlyMemoryStream t(text.data(), int64_t(text.size()));
    t.SetPosition(10);
    c.SetInputStream(&t);
    c.SetMethod(cmAdvise);
    EXPECT_EQ(c.Advise(), cmKH);
    EXPECT_EQ(t.Position(), 10);
    c.SetAdviseThreshold(0);
    EXPECT_EQ(c.Advise(), cmLZH);

    std::mt19937 rng(5);
    std::vector<uint8_t> noise(200000);
    for (auto& b : noise)
        b = uint8_t(rng());
    TReadOnlyMemoryStream n(noise.data(), int64_t(noise.size()));
    c.SetInputStream(&n);
    c.SetAdviseThreshold(40);
    EXPECT_EQ(c.Advise(), cmLZH);

    // Compressing with advise writes the chosen magic and round-trips.
    TCompressor a;
    a.SetMethod(cmAdvise);
    TReadOnlyMemoryStream t2(text.data(), int64_t(text.size()));
    TMemoryStream out;
    a.SetInputStream(&t2);
    a.SetOutputStream(&out);
    a.Compress();
    EXPECT_EQ(out.Bytes()[0], 'W');
    EXPECT_EQ(Unpack(out.Bytes()), text);

    const std::string path = TempPath("advise");
    WriteFile(path, text);
    TCompressor f;
    f.SetStreamMode(false);
    f.SetInputFile(path);
    EXPECT_EQ(f.Advise(), cmKH);
    std::filesystem::remove(path);
}

TEST(Compressor, FileModeRoundTripsAndRemovesTheOutputOnFailure) {
    const std::string in = TempPath("in"), packed = TempPath("packed"), out = TempPath("out");
    std::vector<uint8_t> data(50000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t("a:hover { color: #fff }\n"[i % 24]);
    WriteFile(in, data);
    TCompressor c;
    c.SetStreamMode(false);
    c.SetMethod(cmLZH);
    c.SetInputFile(in);
    c.SetOutputFile(packed);
    const int64_t written = c.Compress();
    EXPECT_EQ(int64_t(std::filesystem::file_size(packed)), written);
    c.SetInputFile(packed);
    c.SetOutputFile(out);
    EXPECT_EQ(c.Decompress(), int64_t(data.size()));
    EXPECT_EQ(std::filesystem::file_size(out), data.size());

    // A truncated file: the read error names the file, and no partial output is left.
    std::filesystem::resize_file(packed, 9);
    std::filesystem::remove(out);
    EXPECT_EQ(MessageOf([&] { c.Decompress(); }),
              "Compressor : Error reading from input file : " + packed + " (LZH)");
    EXPECT_FALSE(std::filesystem::exists(out));
    std::filesystem::resize_file(packed, 3);
    EXPECT_EQ(MessageOf([&] { c.Decompress(); }),
              "Compressor : Error reading from input file : " + packed);
    EXPECT_FALSE(std::filesystem::exists(out));
    WriteFile(packed, {'n', 'o', 'p', 'e', 0, 0, 0, 0});
    EXPECT_EQ(MessageOf([&] { c.Decompress(); }),
              packed + " : Compressor decompression : this file has no valid header !");
    EXPECT_FALSE(std::filesystem::exists(out));

    c.SetInputFile(TempPath("missing"));
    EXPECT_EQ(MessageOf([&] { c.Compress(); }),
              "Compressor (de)compression : Failed to open input file : " + TempPath("missing") +
                  ": " + std::strerror(ENOENT));
    EXPECT_EQ(MessageOf([&] { c.Advise(); }),
              "Compressor advise : can open input file : " + TempPath("missing"));
    c.SetInputFile(in);
    c.SetOutputFile("/nonexistent-dir/x");
    EXPECT_EQ(MessageOf([&] { c.Compress(); }),
              "Compressor (de)compression : Failed to open output file : /nonexistent-dir/x: " +
                  std::string(std::strerror(ENOENT)));
    // The full device takes the bytes in place, says why it failed and stays a device.
    if (std::filesystem::is_character_file("/dev/full")) {
        c.SetOutputFile("/dev/full");
        EXPECT_EQ(MessageOf([&] { c.Compress(); }),
                  "Compressor : Error writing to output file : /dev/full: " +
                      std::string(std::strerror(ENOSPC)));
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
    for (auto& p : {in, packed, out})
        std::filesystem::remove(p);
}

TEST(Compressor, StreamFailuresRaiseTheirMessages) {
    std::vector<uint8_t> data(40000, 'q');
    for (size_t i = 0; i < data.size(); i += 7)
        data[i] = uint8_t(i);
    auto run = [](TStream* in, TStream* out, TCompressMethod m, bool compress) {
        return MessageOf([&] {
            TCompressor c;
            c.SetMethod(m);
            c.SetInputStream(in);
            c.SetOutputStream(out);
            if (compress)
                c.Compress();
            else
                c.Decompress();
        });
    };
    TMemoryStream sink;
    TFaultyStream src(data);
    EXPECT_EQ(run(nullptr, &sink, cmKH, true),
              "Compressor (de)compression : Failed to initialize input stream !");
    EXPECT_EQ(run(&src, nullptr, cmKH, false),
              "Compressor (de)compression : Failed to initialize output stream !");
    src.FailSize = true;
    EXPECT_EQ(run(&src, &sink, cmKH, true),
              "Compressor compression : Failed to obtain the size of the input stream !");
    src.FailSize = false;
    src.FailSeek = true;
    EXPECT_EQ(run(&src, &sink, cmKH, false),
              "Compressor (de)compression : Failed to initialize input stream !");
    src.FailSeek = false;

    TFaultyStream full;
    full.WriteLimit = 100;
    EXPECT_EQ(run(&src, &full, cmKH, true), "Compressor : Error writing to output stream !");

    src.SetPosition(0);
    src.ReadLimit = 1000;
    EXPECT_EQ(run(&src, &sink, cmKH, true),
              "Compressor : Error reading from input stream ! (Compressor/KH)");
    src.ReadLimit = -1;

    auto lzh = Pack(data, cmLZH);
    lzh.resize(lzh.size() / 2);
    TMemoryStream half(lzh);
    EXPECT_EQ(run(&half, &sink, cmKH, false),
              "Compressor : Error reading from input stream ! (LZH)");
    TMemoryStream shortHeader(std::vector<uint8_t>{'W', 'R'});
    EXPECT_EQ(run(&shortHeader, &sink, cmKH, false),
              "Compressor : Error reading from input stream !");
    TMemoryStream badMagic(std::vector<uint8_t>{'W', 'R', 'Z', 'X', 0, 0, 0, 0});
    EXPECT_EQ(run(&badMagic, &sink, cmKH, false),
              "Compressor decompression : input stream contains no valid header !");

    auto longer = Pack(data, cmLZH);
    longer[4] = uint8_t(longer[4] - 1); // one byte fewer declared than the bit stream holds
    TMemoryStream over(longer);
    EXPECT_EQ(run(&over, &sink, cmKH, false),
              "Compressor (LZH decompression) : Original and compressed sizes do not match !");
}

TEST(Compressor, AllocationFailuresRaiseTheirMessages) {
    std::vector<uint8_t> data(200000, 'z');
    auto with = [&](TCompressorAlloc refused, TCompressMethod m, int op) {
        TCompressor::AllocationHook = [refused](TCompressorAlloc k) { return k != refused; };
        TReadOnlyMemoryStream in(data.data(), int64_t(data.size()));
        TMemoryStream out;
        std::string msg;
        try {
            TCompressor c;
            c.SetMethod(m);
            c.SetInputStream(&in);
            c.SetOutputStream(&out);
            if (op == 0) c.Compress();
            if (op == 1) c.Advise();
            msg = "(no exception)";
        } catch (const ECompressorKHCompressor& e) {
            msg = std::string("KH:") + e.what();
        } catch (const ECompressorException& e) {
            msg = e.what();
        }
        TCompressor::AllocationHook = nullptr;
        return msg;
    };
    EXPECT_EQ(with(caIOBuffers, cmKH, 0),
              "Compressor (de)compression : Failed to get memory for I/O buffers !");
    EXPECT_EQ(with(caHashTable, cmKH, 0), "KH:CompressorKH : no memory for HASH table");
    EXPECT_EQ(with(caLZHTables, cmLZH, 0), "LZH : Cannot get memory for dictionary tables");
    EXPECT_EQ(with(caIOBuffers, cmAdvise, 1), "Compressor advise : Error getting I/O buffers");
    EXPECT_EQ(with(caLZHTables, cmKH, 0), "(no exception)");
}

TEST(Compressor, AdviseStreamFailures) {
    std::vector<uint8_t> data(200000, 'k');
    TFaultyStream s(data);
    TCompressor c;
    EXPECT_EQ(MessageOf([&] { c.Advise(); }),
              "Compressor edvise : can not initialize the input stream!");
    c.SetInputStream(&s);
    s.FailSize = true;
    EXPECT_EQ(MessageOf([&] { c.Advise(); }),
              "Compressor advise : can not get size of inputstream !");
    s.FailSize = false;
    s.ReadLimit = 100;
    EXPECT_EQ(MessageOf([&] { c.Advise(); }), "Compressor advise : input stream read error !");
}
