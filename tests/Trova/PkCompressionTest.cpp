#include "Trova/PkCompression.h"

#include "Support/TestSupport.h"
#include "Trova/PkSampleData.h"
#include "Util/Exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

using namespace Ostrel;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Compress(const Bytes& input, Trova::PkParse parse = Trova::PkParse::Optimal) {
    Bytes output(Trova::PkCompressBound(input.size()));
    output.resize(Trova::PkCompress(input.data(), static_cast<std::uint32_t>(input.size()),
                                    output.data(), static_cast<std::uint32_t>(output.size()),
                                    parse));
    return output;
}

// The expanded bytes; a failure throws, which fails the test.
Bytes Decompress(const Bytes& input, std::size_t capacity) {
    Bytes output(capacity);
    output.resize(Trova::PkDecompress(input.data(), static_cast<std::uint32_t>(input.size()),
                                      output.data(), static_cast<std::uint32_t>(output.size())));
    return output;
}

std::string DecompressFailure(const Bytes& input, std::size_t capacity = 1000) {
    return Test::MessageOf([&] { Decompress(input, capacity); });
}

const std::string kDecompressFailure =
    "Assertion failure at PkCompression: 99\nresult == CMP_NO_ERROR && dp.InBytesRemaining == 0\n";

// The inputs every round trip runs over, by name.
std::map<std::string, Bytes> VariedInputs() {
    Bytes period3(9000);
    for (std::size_t i = 0; i < period3.size(); ++i) {
        period3[i] = static_cast<std::uint8_t>(i % 3);
    }
    return {
        {"empty", {}},
        {"one byte", {0x5A}},
        {"4096 bytes", Ostrel::Test::Texture16Sample(4096)},
        {"4097 bytes", Ostrel::Test::TextSample(4097)},
        {"zeros", Bytes(70000, 0)},
        {"runs", Ostrel::Test::RunSample(30000)},
        {"period 3", period3},
        {"text", Ostrel::Test::TextSample(20000)},
        {"random", Ostrel::Test::RandomSample(20000)},
        {"texture 16-bit", Ostrel::Test::Texture16Sample(65536)},
        {"palette 4-bit", Ostrel::Test::Palette4Sample(32768)},
        {"photo 32-bit", Ostrel::Test::Photo32Sample(65536)},
    };
}

// The optimal parse is never larger than the fast one.
TEST(PkCompression, RoundTripsEveryInputWithTheFixedHeader) {
    for (const auto& [name, input] : VariedInputs()) {
        SCOPED_TRACE(name);
        const Bytes fast = Compress(input, Trova::PkParse::Fast);
        const Bytes compressed = Compress(input);
        EXPECT_LE(compressed.size(), fast.size());
        ASSERT_GE(compressed.size(), 4u);
        EXPECT_EQ(compressed[0], 0); // binary literals
        EXPECT_EQ(compressed[1], 6); // 4096-byte dictionary
        EXPECT_EQ(Decompress(compressed, input.size()), input);
        EXPECT_EQ(Decompress(fast, input.size()), input);
    }
}

TEST(PkCompression, CompressesRepetitiveData) {
    EXPECT_LT(Compress(Bytes(70000, 0)).size(), 450u);
    EXPECT_LT(Compress(Ostrel::Test::TextSample(20000)).size(), 20000u / 3);
}

TEST(PkCompression, CompressFailsWhenTheDestinationCannotHoldTheStream) {
    // Twice the size is short for the tiniest inputs; the bound is not.
    Bytes output(Trova::PkCompressBound(1));
    const std::uint8_t one = 1;
    EXPECT_THROW(Trova::PkCompress(&one, 1, output.data(), 2), Util::XAssertion);
    EXPECT_EQ(Trova::PkCompress(&one, 1, output.data(), Trova::PkCompressBound(1)),
              Trova::PkCompressBound(1));
}

TEST(PkDecompress, ExpandsTheWorkedExampleWithASmallDictionary) {
    const Bytes stream{0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F};
    const std::string text = "AIAIAIAIAIAIA";
    EXPECT_EQ(Decompress(stream, 100), Bytes(text.begin(), text.end()));
}

TEST(PkDecompress, DropsOutputBeyondTheDestination) {
    const Bytes input = Ostrel::Test::TextSample(10000);
    const Bytes compressed = Compress(input);
    EXPECT_EQ(Decompress(compressed, 5000), Bytes(input.begin(), input.begin() + 5000));
    EXPECT_EQ(Decompress(compressed, 0), Bytes());
}

// Streams cut short, down to the empty one, are in the truncation test below.
TEST(PkDecompress, RejectsMalformedStreams) {
    Bytes leftOver = Compress(Ostrel::Test::TextSample(1000));
    leftOver.resize(leftOver.size() + 4096, 0);
    const struct {
        const char* cause;
        Bytes stream;
    } cases[] = {
        {"dictionary bits 3", {0, 3, 1, 0xFF, 0}},
        {"dictionary bits 7", {0, 7, 1, 0xFF, 0}},
        {"literal coding 2", {2, 6, 1, 0xFF, 0}},
        {"first token copies 3 bytes at distance 1", {0, 6, 0x07, 0x00, 0x01, 0xFF, 0x00}},
        {"copy of 2 at distance 2 after one literal", {0, 4, 0x82, 0x64, 0x04, 0xF8, 0x07}},
        {"input left over after the end code", leftOver},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecompressFailure(c.stream), kDecompressFailure) << c.cause;
    }
}

TEST(PkDecompress, RejectsEveryTruncationOfAStream) {
    for (const Bytes& input : {Ostrel::Test::TextSample(3000), Ostrel::Test::RandomSample(2500)}) {
        const Bytes compressed = Compress(input);
        for (std::size_t size = 0; size < compressed.size(); ++size) {
            SCOPED_TRACE(size);
            const Bytes prefix(compressed.begin(), compressed.begin() + size);
            ASSERT_EQ(DecompressFailure(prefix, input.size()), kDecompressFailure);
        }
    }
}

TEST(PkExpandBound, HoldsForTheLongestCopiesAndIsNearlyReached) {
    const Bytes zeros(1 << 20, 0);
    const Bytes stream = Compress(zeros);
    EXPECT_EQ(Decompress(stream, zeros.size()), zeros);
    EXPECT_LE(zeros.size(), Trova::PkExpandBound(stream.size()));
    // With its larger dictionary a copy costs two bits more than the bound assumes.
    EXPECT_GT(zeros.size(), Trova::PkExpandBound(stream.size()) * 9 / 10);
}

// ---- Against the independent implementation under the peers directory.

class PkPeer : public testing::Test {
protected:
    void SetUp() override {
        VELLIX_POSIX_ONLY(Ostrel::Test::kPeerPrograms);
        if (!std::filesystem::exists(std::string(VELLIX_PEERS_DIR) + "/node_modules/node-pkware")) {
            if (std::getenv("CI")) {
                FAIL() << "node-pkware is missing under " VELLIX_PEERS_DIR "/node_modules";
            }
            GTEST_SKIP() << "node-pkware is not installed (tools/setup.sh installs it)";
        }
    }

    Bytes Run(const std::string& script, const Bytes& input, const std::string& arguments = "") {
        Ostrel::Test::WriteBytes(dir_ / "in", input);
        int exitCode = -1;
        const std::string output =
            Ostrel::Test::RunCommand("node " VELLIX_PEERS_DIR "/" + script + " '" + (dir_ / "in") +
                                         "' '" + (dir_ / "out") + "' " + arguments + " 2>&1",
                                     &exitCode);
        EXPECT_EQ(exitCode, 0) << output;
        return exitCode == 0 ? Ostrel::Test::ReadBytes(dir_ / "out") : Bytes{};
    }

    Ostrel::Test::TempDir dir_;
};

TEST_F(PkPeer, ExpandsOurStreams) {
    for (const auto& [name, input] : VariedInputs()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Run("explode.mjs", Compress(input)), input);
    }
}

TEST_F(PkPeer, WeExpandItsStreamsInEveryCodingAndDictionarySize) {
    for (const auto& [name, input] : VariedInputs()) {
        if (input.size() < 3) {
            continue; // the peer writes no valid stream for fewer than 3 bytes
        }
        for (const std::string coding : {"binary", "ascii"}) {
            for (const char* size : {"small", "medium", "large"}) {
                SCOPED_TRACE(name + " " + coding + " " + size);
                const Bytes stream = Run("implode.mjs", input, coding + " " + size);
                ASSERT_GE(stream.size(), 2u);
                EXPECT_EQ(stream[0], coding == "ascii" ? 1 : 0);
                EXPECT_EQ(Decompress(stream, input.size()), input);
            }
        }
    }
}

} // namespace
