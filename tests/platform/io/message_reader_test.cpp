#include "vex/io/message_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_transport.h"

namespace vex::io {
namespace {

using std::chrono::milliseconds;
using testing::ScriptedTransport;

std::string Text(const ByteVector& v) {
  return std::string(v.begin(), v.end());
}

Deadline Soon(int ms = 1000) {
  return DeadlineAfter(milliseconds(ms));
}

// Feeds a script byte by byte with interrupted reads between bytes.
void Trickle(ScriptedTransport& t, const std::string& bytes) {
  for (char c : bytes) {
    t.Data(std::string(1, c));
    t.Zero();
  }
}

TEST(MessageReaderTest, MessagesAndBlocksSurviveOddChunking) {
  const std::string block_data = std::string("a\nb\x11\x13\0z", 7);
  const std::string stream = "VEXAN,R7104,SN1,1.02\n#17" + block_data + "\n" + "#0abc\n" +
                             "\n#213hello, world!" + "done\n";
  for (std::size_t chunk :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{64}}) {
    SCOPED_TRACE(chunk);
    ScriptedTransport t;
    if (chunk == 1) {
      Trickle(t, stream);
    } else {
      t.Data(stream);
      t.set_max_chunk(chunk);
    }
    MessageReader r(t, 64);
    std::string msg;
    ASSERT_TRUE(r.ReadMessage(msg, Soon()).ok());
    EXPECT_EQ(msg, "VEXAN,R7104,SN1,1.02");

    // A definite block is read by its length: line feeds and XON/XOFF bytes
    // inside the data do not end it, the trailing line feed is swallowed.
    ByteVector out;
    MessageReader::BlockInfo info;
    ASSERT_TRUE(r.ReadBlock(out, Soon(), MessageReader::BlockHeader::kStrip, &info).ok());
    EXPECT_EQ(Text(out), block_data);
    EXPECT_EQ(info.header_size, 3u);
    EXPECT_EQ(info.data_size, 7u);

    ASSERT_TRUE(r.ReadBlock(out, Soon(), MessageReader::BlockHeader::kStrip, &info).ok());
    EXPECT_EQ(Text(out), "abc");
    EXPECT_TRUE(info.indefinite);

    // Header kept; the leading line end is skipped; no trailer follows, so
    // the next bytes belong to the next message.
    ASSERT_TRUE(r.ReadBlock(out, Soon(), MessageReader::BlockHeader::kKeep, &info).ok());
    EXPECT_EQ(Text(out), "#213hello, world!");
    ASSERT_TRUE(r.ReadMessage(msg, Soon()).ok());
    EXPECT_EQ(msg, "done");
  }
}

TEST(MessageReaderTest, MalformedBlockHeaders) {
  struct Case {
    std::string reply;
    Errc code;
    const char* text;
  };
  const Case cases[] = {
      {"15hello\n", Errc::kMalformed, "does not start with '#'"},
      {"#x5hello\n", Errc::kMalformed, "length digit count 0x78 'x' is not a digit"},
      {"#2a5hello\n", Errc::kMalformed, "length field holds 0x61 'a'"},
      {"#3-05hello\n", Errc::kMalformed, "length field holds 0x2d '-'"},
      {"#41001" + std::string(1001, 'x'), Errc::kTooLarge, "announces 1001 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply.substr(0, 8));
    ScriptedTransport t;
    t.Data(c.reply);
    MessageReader r(t);
    r.set_max_size(1000);
    ByteVector out;
    Status st = r.ReadBlock(out, Soon());
    EXPECT_EQ(st.code(), c.code) << st.ToString();
    EXPECT_NE(st.message().find(c.text), std::string::npos) << st.message();
  }

  // A header announcing more than the default cap fails before any
  // allocation, even though the data never comes.
  ScriptedTransport t;
  t.Data("#9300000000");
  MessageReader r(t);
  ByteVector out;
  auto start = Clock::now();
  Status st = r.ReadBlock(out, Soon(2000));
  EXPECT_EQ(st.code(), Errc::kTooLarge);
  EXPECT_EQ(out.capacity(), 0u);
  EXPECT_LT(Clock::now() - start, milliseconds(500));
}

TEST(MessageReaderTest, ShortBlockFailsAtTheOneDeadline) {
  // Shorter than announced on a stream: nothing more comes, the read times
  // out at its deadline and says how much arrived.
  {
    ScriptedTransport t;
    t.Data("#210hello");
    MessageReader r(t);
    ByteVector out;
    auto start = Clock::now();
    Status st = r.ReadBlock(out, Soon(200));
    auto took = Clock::now() - start;
    EXPECT_EQ(st.code(), Errc::kTimeout);
    EXPECT_NE(st.message().find("received 5 of 10 bytes"), std::string::npos) << st.message();
    EXPECT_GE(took, milliseconds(200));
    EXPECT_EQ(Text(out), "hello");
  }
  // On a message transport END before the length is exhausted is a
  // truncation, reported at once.
  {
    ScriptedTransport t(true);
    t.Data("#210hel", true);
    MessageReader r(t);
    ByteVector out;
    Status st = r.ReadBlock(out, Soon(2000));
    EXPECT_EQ(st.code(), Errc::kTruncated);
    EXPECT_NE(st.message().find("received 3 of 10 bytes"), std::string::npos) << st.message();
  }
  // The peer closing mid-block.
  {
    ScriptedTransport t;
    t.Data("#210hel").Hangup();
    MessageReader r(t);
    ByteVector out;
    Status st = r.ReadBlock(out, Soon());
    EXPECT_EQ(st.code(), Errc::kClosed);
    EXPECT_NE(st.message().find("received 3 of 10 bytes"), std::string::npos) << st.message();
  }
  // A reply that trickles in (one byte every 40 ms) is bounded by one
  // deadline for the whole transfer, not a fresh timeout per read.
  {
    ScriptedTransport t;
    for (char c : std::string("0123456789")) t.Delay(milliseconds(40)).Data(std::string(1, c));
    t.Data("\n");
    MessageReader r(t);
    std::string msg;
    auto start = Clock::now();
    Status st = r.ReadMessage(msg, Soon(150));
    auto took = Clock::now() - start;
    EXPECT_EQ(st.code(), Errc::kTimeout) << msg;
    EXPECT_GE(took, milliseconds(150));
    EXPECT_LT(took, milliseconds(300));
  }
}

TEST(MessageReaderTest, LargeBlockGoesStraightIntoTheDestination) {
  const std::size_t kSize = 8u << 20;
  std::string data(kSize, '\0');
  for (std::size_t i = 0; i < kSize; ++i) data[i] = static_cast<char>(i * 7 + (i >> 8));
  ScriptedTransport t;
  const std::string len = std::to_string(kSize);
  t.Data("#" + std::to_string(len.size()) + len + data + "\n");
  t.set_max_chunk(1u << 20);
  MessageReader r(t);
  ByteVector out;
  Status st = r.ReadBlock(out, Soon(5000));
  ASSERT_TRUE(st.ok()) << st.ToString();
  ASSERT_EQ(out.size(), kSize);
  EXPECT_EQ(0, std::memcmp(out.data(), data.data(), kSize));
  // 1 MiB per read: about nine reads plus the trailer, not thousands.
  EXPECT_LE(t.reads(), 12);
  EXPECT_EQ(t.pending_steps(), 0u);
}

TEST(MessageReaderTest, EndingWithoutTerminator) {
  // No termination character on a message transport: END ends the reply.
  {
    ScriptedTransport t(true);
    t.Data("part one ").Zero().Data("and two", true).Data("next", true);
    MessageReader r(t, 4);
    r.set_term_char(MessageReader::kNoTermChar);
    std::string msg;
    ASSERT_TRUE(r.ReadMessage(msg, Soon()).ok());
    EXPECT_EQ(msg, "part one and two");
    ASSERT_TRUE(r.ReadMessage(msg, Soon()).ok());
    EXPECT_EQ(msg, "next");
  }
  // On a stream, the reply is what arrives before the deadline; nothing at
  // all is a timeout.
  {
    ScriptedTransport t;
    t.Data("1.25E-3\n");
    MessageReader r(t);
    r.set_term_char(MessageReader::kNoTermChar);
    std::string msg;
    ASSERT_TRUE(r.ReadMessage(msg, Soon(100)).ok());
    EXPECT_EQ(msg, "1.25E-3\n");
    EXPECT_EQ(r.ReadMessage(msg, Soon(100)).code(), Errc::kTimeout);
  }
  // END on a transport with a termination character also ends a message.
  {
    ScriptedTransport t(true);
    t.Data("no line feed", true).Data("second\n");
    MessageReader r(t);
    std::string msg;
    ASSERT_TRUE(r.ReadMessage(msg, Soon()).ok());
    EXPECT_EQ(msg, "no line feed");
    ASSERT_TRUE(r.ReadMessage(msg, Soon()).ok());
    EXPECT_EQ(msg, "second");
  }
  // A reply longer than the cap fails rather than growing without bound.
  {
    ScriptedTransport t;
    t.Data(std::string(2000, 'x') + "\n");
    MessageReader r(t, 256);
    r.set_max_size(1000);
    std::string msg;
    EXPECT_EQ(r.ReadMessage(msg, Soon()).code(), Errc::kTooLarge);
  }
}

TEST(MessageReaderTest, RawBytesAndTrailerHandling) {
  ScriptedTransport t;
  t.Data("ABCDEFGH");
  t.set_max_chunk(3);
  MessageReader r(t, 64);
  ByteVector out;
  ASSERT_TRUE(r.ReadBytes(5, out, Soon()).ok());
  EXPECT_EQ(Text(out), "ABCDE");
  Status st = r.ReadBytes(5, out, Soon(100));
  EXPECT_EQ(st.code(), Errc::kTimeout);
  EXPECT_EQ(Text(out), "FGH");

  // A block whose device sends no trailing line feed costs only the short
  // grace, not the whole timeout.
  ScriptedTransport t2;
  t2.Data("#13abc");
  MessageReader r2(t2);
  auto start = Clock::now();
  ASSERT_TRUE(r2.ReadBlock(out, Soon(3000)).ok());
  EXPECT_LT(Clock::now() - start, milliseconds(1000));
  EXPECT_EQ(Text(out), "abc");

  // A late trailing line feed within the grace is still swallowed.
  ScriptedTransport t3;
  t3.Data("#13abc").Delay(milliseconds(10)).Data("\nnext\n");
  MessageReader r3(t3);
  ASSERT_TRUE(r3.ReadBlock(out, Soon()).ok());
  std::string msg;
  ASSERT_TRUE(r3.ReadMessage(msg, Soon()).ok());
  EXPECT_EQ(msg, "next");

  // Discard drops read-ahead bytes.
  ScriptedTransport t4;
  t4.Data("stale\nfresh\n");
  MessageReader r4(t4);
  ASSERT_TRUE(r4.ReadBytes(1, out, Soon()).ok());
  ASSERT_TRUE(r4.Discard().ok());
  EXPECT_EQ(r4.buffered(), 0u);
  t4.Data("fresh\n");
  ASSERT_TRUE(r4.ReadMessage(msg, Soon()).ok());
  EXPECT_EQ(msg, "fresh");
}

}  // namespace
}  // namespace vex::io
