#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Zlib.h"
#include "tests/support/PeerProcess.h"

namespace ql {
namespace {

std::string sample() {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + " of the log\n";
    return text;
}

TEST(Zlib, CompressedStreamsInflateInAnIndependentPeerAndBack) {
    const std::string text = sample();
    for (int level : {-1, 0, 1, 9}) {
        auto stream = ns::zlibCompress(ns::Data(text), level);
        ASSERT_TRUE(stream) << level;
        auto peer = test::runPeer(test::pythonCommand("import sys,zlib; sys.stdout.buffer.write("
                                                      "zlib.decompress(sys.stdin.buffer.read()))"),
                                  stream->view());
        ASSERT_TRUE(peer) << level;
        EXPECT_EQ(*peer, text) << level;
        auto back = ns::zlibInflate(*stream, text.size());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->view(), text);
    }
    // Incompressible input still fits: the output is sized for zlib's worst case.
    std::string noise;
    unsigned state = 12345;
    for (int i = 0; i < 70000; ++i) noise += static_cast<char>((state = state * 1103515245 + 12345) >> 24);
    auto stream = ns::zlibCompress(ns::Data(noise), 9);
    ASSERT_TRUE(stream);
    EXPECT_EQ(ns::zlibInflate(*stream, noise.size())->view(), noise);
    EXPECT_FALSE(ns::zlibCompress(ns::Data(text), 42));
}

TEST(Zlib, InflateRefusesDamagedShortTrailingAndOversizedStreams) {
    const std::string text = sample();
    auto peer = test::runPeer(
        test::pythonCommand("import sys,zlib; sys.stdout.buffer.write(zlib.compress(sys.stdin.buffer.read()))"), text);
    ASSERT_TRUE(peer);
    const ns::Data stream(*peer);
    EXPECT_EQ(ns::zlibInflate(stream, text.size())->view(), text);
    EXPECT_FALSE(ns::zlibInflate(stream, text.size() - 1));
    EXPECT_FALSE(ns::zlibInflate(stream.subdata(0, stream.length() - 5), text.size()));
    ns::Data trailing = stream;
    trailing.append(std::string_view("xx"));
    EXPECT_FALSE(ns::zlibInflate(trailing, text.size()));
    EXPECT_FALSE(ns::zlibInflate(ns::Data(std::string_view("not a zlib stream")), 1000));
    EXPECT_EQ(ns::zlibInflate(*ns::zlibCompress(ns::Data()), 0)->length(), 0u);
}

}  // namespace
}  // namespace ql
