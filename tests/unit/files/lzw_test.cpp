#include "files/lzw.h"

#include <gtest/gtest.h>

#include <random>

#include "files/exp_file.h"
#include "files_test_support.h"

namespace qavz {
namespace {

using test::FilesTest;

// A bit packer written the slow way: each value's high bits go into the free
// bits of the current byte from the top.
struct SlowBits {
  std::vector<uint8_t> bytes;
  int freeBits = 0;
  void Put(uint32_t value, int width) {
    while (width > 0) {
      if (freeBits == 0) {
        bytes.push_back(0);
        freeBits = 8;
      }
      int take = std::min(freeBits, width);
      uint32_t bits = (value >> (width - take)) & ((1u << take) - 1);
      bytes.back() |= uint8_t(bits << (freeBits - take));
      freeBits -= take;
      width -= take;
    }
  }
};

// Reads the codes of a compressed image back, following 257 and 258.
std::vector<uint32_t> Codes(const std::vector<uint8_t>& file) {
  std::vector<uint32_t> codes;
  BitReader r;
  r.OpenInMemory(file.data() + 8, file.size() - 8);
  uint32_t width = 9, c;
  while (r.Read(c, width)) {
    codes.push_back(c);
    if (c == kLzwEnd) break;
    if (c == kLzwBump) width++;
    if (c == kLzwFlush) width = 9;
  }
  return codes;
}

// The classic encoder word for word: a 35,023-entry table probed from
// (c << 7) ^ p with the step 35,023 - index, written through SlowBits.
std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& data) {
  struct Entry {
    int32_t code;
    uint32_t parent, character;
  };
  std::vector<Entry> table(35023);
  uint32_t next = 0, width = 0, limit = 0;
  auto reset = [&] {
    for (Entry& e : table) e.code = -1;
    next = 259, width = 9, limit = 511;
  };
  auto probe = [&](uint32_t p, uint32_t c) {
    uint32_t index = (c << 7) ^ p;
    uint32_t step = index == 0 ? 1 : 35023 - index;
    for (;;) {
      if (table[index].code == -1 || (table[index].parent == p && table[index].character == c)) return index;
      if (index >= step)
        index -= step;
      else
        index += 35023 - step;
    }
  };
  SlowBits out;
  out.Put(0x71617600, 32);
  out.Put(uint32_t(data.size()), 32);
  reset();
  uint32_t s = data[0];
  for (size_t i = 1; i < data.size(); ++i) {
    uint32_t c = data[i], index = probe(s, c);
    if (table[index].code != -1) {
      s = uint32_t(table[index].code);
      continue;
    }
    table[index] = {int32_t(next++), s, c};
    out.Put(s, int(width));
    s = c;
    if (next > 32767) {
      out.Put(258, int(width));
      reset();
    } else if (next > limit) {
      out.Put(257, int(width));
      width++;
      limit = limit * 2 + 1;
    }
  }
  out.Put(s, int(width));
  out.Put(256, int(width));
  return out.bytes;
}

TEST(Lzw, OutputIsByteIdenticalToTheClassicEncoder) {
  std::mt19937 rng(11);
  for (int round = 0; round < 6; ++round) {
    std::vector<uint8_t> data(size_t(1) << (10 + 2 * round));
    int range = round % 2 ? 256 : 3 + round;
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i % 97 < 40 ? rng() % range : (i / 7) & 0xFF);
    std::vector<uint8_t> ours;
    ASSERT_TRUE(CompressToMemory(data.data(), uint32_t(data.size()), ours));
    EXPECT_EQ(ours, ReferenceEncode(data)) << "round " << round;
  }
}

TEST(Lzw, ThreeBytesGiveFourNineBitCodesAfterABigEndianHeader) {
  std::vector<uint8_t> out;
  const uint8_t abc[] = {'a', 'b', 'c'};
  ASSERT_TRUE(CompressToMemory(abc, 3, out));
  SlowBits expect;
  expect.Put(0x71617600, 32);
  expect.Put(3, 32);
  for (uint32_t code : {97u, 98u, 99u, 256u}) expect.Put(code, 9);
  EXPECT_EQ(out, expect.bytes);
  ASSERT_EQ(out.size(), 13u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 4), std::string("qav\0", 4));
}

// Random bytes add one dictionary entry per code written, so the places of
// the bumps and of the flush are known exactly: a 257 once the next free code
// passes 511, 1023, ... 16383, and a 258 once it passes 32767.
TEST(Lzw, WidthGrowsNineToFifteenThenAFlushResetsIt) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(400'000), out;
  for (uint8_t& b : data) b = uint8_t(rng());
  ASSERT_TRUE(CompressToMemory(data.data(), uint32_t(data.size()), out));
  std::vector<uint32_t> codes = Codes(out);
  std::vector<size_t> bumpsAfter, flushesAfter;
  size_t dataCodes = 0;
  for (uint32_t c : codes) {
    if (c == kLzwBump)
      bumpsAfter.push_back(dataCodes);
    else if (c == kLzwFlush)
      flushesAfter.push_back(dataCodes), dataCodes = 0;
    else if (c != kLzwEnd)
      dataCodes++;
    if (flushesAfter.size() == 1 && bumpsAfter.size() > 6) break;
  }
  ASSERT_GE(flushesAfter.size(), 1u);
  EXPECT_EQ(flushesAfter[0], 32767u - 259 + 1);
  ASSERT_GE(bumpsAfter.size(), 6u);
  EXPECT_EQ(std::vector<size_t>(bumpsAfter.begin(), bumpsAfter.begin() + 6),
            (std::vector<size_t>{253, 765, 1789, 3837, 7933, 16125}));
  if (bumpsAfter.size() > 6) {
    EXPECT_EQ(bumpsAfter[6], 253u) << "width 9 again after the flush";
  }
  std::vector<uint8_t> back;
  ASSERT_TRUE(ExpandFromMemory(out.data(), out.size(), back));
  EXPECT_EQ(back, data);
}

TEST(Lzw, LongRunOfOneByteGrowsTheWidth) {
  std::vector<uint8_t> run(2'000'000, 'x'), out, back;
  ASSERT_TRUE(CompressToMemory(run.data(), uint32_t(run.size()), out));
  std::vector<uint32_t> codes = Codes(out);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kLzwBump), 3) << "9 -> 12 bits for 2 MB";
  EXPECT_LT(out.size(), 5000u);
  ASSERT_TRUE(ExpandFromMemory(out.data(), out.size(), back));
  EXPECT_EQ(back, run);
}

struct RoundTrip {
  const char* name;
  std::vector<uint8_t> data;
};

class LzwRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(LzwRoundTrip, ExpandsToTheSameBytes) {
  const std::vector<uint8_t>& data = GetParam().data;
  std::vector<uint8_t> packed, back;
  ASSERT_TRUE(CompressToMemory(data.data(), uint32_t(data.size()), packed));
  uint32_t declared = 0;
  ASSERT_TRUE(ExpandFromMemory(packed.data(), packed.size(), back, &declared));
  EXPECT_EQ(declared, data.size());
  EXPECT_EQ(back, data);
}

std::vector<uint8_t> Random(size_t n, unsigned seed, int range) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = uint8_t(rng() % range);
  return v;
}

std::vector<uint8_t> Text(size_t n) {
  const std::string words = "the quick brown fox jumps over the lazy dog; ";
  std::vector<uint8_t> v;
  for (size_t i = 0; v.size() < n; ++i) v.push_back(uint8_t(words[(i * 7 + i / 45) % words.size()]));
  return v;
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzwRoundTrip,
                         ::testing::Values(RoundTrip{"OneByte", {42}}, RoundTrip{"TwoEqual", {9, 9}},
                                           RoundTrip{"KwKwK", {'a', 'b', 'a', 'b', 'a', 'b', 'a'}},
                                           RoundTrip{"Random", Random(300'000, 1, 256)},
                                           RoundTrip{"FewSymbols", Random(500'000, 2, 3)},
                                           RoundTrip{"Text", Text(400'000)},
                                           RoundTrip{"BufferEdge", Random(16384 * 2 + 1, 3, 16)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Lzw, StreamWithoutEndCodeExpandsWithAZeroTail) {
  SlowBits s;
  s.Put(0x71617600, 32);
  s.Put(6, 32);
  for (uint32_t code : {'h', 'i'}) s.Put(code, 9);
  std::vector<uint8_t> back;
  uint32_t declared = 0;
  ASSERT_TRUE(ExpandFromMemory(s.bytes.data(), s.bytes.size(), back, &declared));
  EXPECT_EQ(std::string(back.begin(), back.end()), "hi");
  EXPECT_EQ(declared, 6u);
}

struct Corrupt {
  const char* name;
  uint32_t length;
  std::vector<std::pair<uint32_t, int>> codes;
};

class LzwCorrupt : public ::testing::TestWithParam<Corrupt> {};

// Streams no encoder writes are refused instead of decoded into garbage or
// past the block.
TEST_P(LzwCorrupt, IsRefused) {
  SlowBits s;
  s.Put(0x71617600, 32);
  s.Put(GetParam().length, 32);
  for (auto [code, width] : GetParam().codes) s.Put(code, width);
  std::vector<uint8_t> back;
  EXPECT_FALSE(ExpandFromMemory(s.bytes.data(), s.bytes.size(), back));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LzwCorrupt,
    ::testing::Values(
        Corrupt{"LongerThanHeader", 2, {{'a', 9}, {'b', 9}, {'c', 9}, {256, 9}}},
        Corrupt{"StringPastEnd", 3, {{'a', 9}, {'b', 9}, {259, 9}, {256, 9}}},
        Corrupt{"FirstCodeNotLiteral", 10, {{300, 9}, {256, 9}}},
        Corrupt{"CodeBeyondNext", 10, {{'a', 9}, {400, 9}, {256, 9}}},
        Corrupt{"WidthPast15",
                10,
                {{'a', 9}, {257, 9}, {257, 10}, {257, 11}, {257, 12}, {257, 13}, {257, 14}, {257, 15}}},
        Corrupt{"ByteIntoEmptyBlock", 0, {{'a', 9}, {256, 9}}},
        // 13 bytes cannot stand for more than 13 * 2^18 bytes.
        Corrupt{"ClaimsFourGiB", 0xFFFFFFFF, {{'a', 9}, {256, 9}}},
        Corrupt{"ClaimsPastTheBound", 13 * (1u << 18) + 1, {{'a', 9}, {256, 9}}}),
    [](const auto& info) { return std::string(info.param.name); });

class CompressedFiles : public FilesTest {};

TEST_F(CompressedFiles, SaveAndOpenThroughTheFileLayer) {
  std::vector<uint8_t> data = Text(50'000);
  ASSERT_TRUE(WriteCompressedFile("saved.dat", data.data(), uint32_t(data.size())));
  std::vector<uint8_t> back;
  ASSERT_TRUE(LoadExpFile("saved.dat", back));
  EXPECT_EQ(back, data);
  std::vector<uint8_t> image;
  ASSERT_TRUE(CompressToMemory(data.data(), uint32_t(data.size()), image));
  EXPECT_EQ(test::ReadFile("saved.dat"), image) << "file and memory writers agree";
}

// The old file stays until the new one is written whole.
TEST_F(CompressedFiles, TheOldFileStaysUntilTheNewOneIsClosed) {
  std::vector<uint8_t> data = Text(1000);
  ASSERT_TRUE(WriteCompressedFile("keep.dat", data.data(), 1000));
  std::vector<uint8_t> before = test::ReadFile("keep.dat");
  {
    BitWriter writer;
    ASSERT_TRUE(writer.Create("keep.dat"));
    ASSERT_TRUE(writer.Write(kCompressedMagic, 32));
    EXPECT_EQ(test::ReadFile("keep.dat"), before) << "nothing replaced while writing";
  }  // closed without error: now it is replaced
  EXPECT_EQ(test::ReadFile("keep.dat").size(), 4u);
}

TEST_F(CompressedFiles, SizeZeroLeavesOnlyTheHeader) {
  const uint8_t one = 1;
  EXPECT_FALSE(WriteCompressedFile("empty.dat", &one, 0));
  EXPECT_EQ(test::ReadFile("empty.dat"), (std::vector<uint8_t>{'q', 'a', 'v', 0, 0, 0, 0, 0}));
  EXPECT_FALSE(WriteCompressedFile("none.dat", nullptr, 5));
  EXPECT_EQ(test::ReadFile("none.dat"), (std::vector<uint8_t>{'q', 'a', 'v', 0, 0, 0, 0, 5}));
}

TEST_F(CompressedFiles, UncreatableFileIsReported) {
  const uint8_t one = 1;
  EXPECT_FALSE(WriteCompressedFile("no\\such\\dir\\x.dat", &one, 1));
  EXPECT_EQ(LastMessage(), "ファイルの作成に失敗しました FILE - no\\such\\dir\\x.dat");
}

TEST_F(CompressedFiles, ShortOrForeignFilesReadAsPlainData) {
  for (std::string content : {std::string(""), std::string("qa"), std::string("qav"),
                              std::string("qav\1 more"), std::string("plain text file")}) {
    test::WriteFile("plain.dat", content);
    std::vector<uint8_t> back;
    ASSERT_TRUE(LoadExpFile("plain.dat", back)) << content;
    EXPECT_EQ(std::string(back.begin(), back.end()), content);
  }
}

TEST_F(CompressedFiles, ExpandedFileSeeksAndReadsToItsEnd) {
  std::vector<uint8_t> data = Text(1000);
  ASSERT_TRUE(WriteCompressedFile("c.dat", data.data(), 1000));
  ExpFilePtr f(OpenExpFile("c.dat"));
  ASSERT_TRUE(f);
  EXPECT_EQ(ExpFileSize(f.get()), 1000);
  EXPECT_EQ(SeekExpFile(f.get(), -10, 2), 990);
  EXPECT_EQ(SeekExpFile(f.get(), 11, 1), -1);
  EXPECT_EQ(SeekExpFile(f.get(), 5, 7), 990) << "an unknown origin only reports the position";
  uint8_t buf[32];
  uint32_t got = 99;
  EXPECT_TRUE(ReadExpFile(f.get(), buf, 32, &got));
  EXPECT_EQ(got, 10u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 10), std::vector<uint8_t>(data.end() - 10, data.end()));
  EXPECT_TRUE(ReadExpFile(f.get(), buf, 32, &got));
  EXPECT_EQ(got, 0u) << "at the end: success and nothing";
  EXPECT_EQ(SeekExpFile(f.get(), -1, 0), -1);
  EXPECT_EQ(SeekExpFile(f.get(), 1000, 0), 1000);
  EXPECT_FALSE(ReadExpFile(f.get(), nullptr, 1, &got));
}

// A header may claim more than the codes give (the rest reads as zeros), but
// not more than a file of its size can stand for: such a claim is refused
// before anything of that size is allocated.
TEST_F(CompressedFiles, HeaderClaimIsBoundedByTheFileSize) {
  SlowBits s;
  s.Put(kCompressedMagic, 32);
  s.Put(0, 32);
  for (uint32_t code : {uint32_t('a'), 256u}) s.Put(code, 9);
  s.bytes.resize(13);  // trailing bytes after the end code are ignored
  auto claim = [&](uint32_t length) {
    for (int i = 0; i < 4; ++i) s.bytes[4 + i] = uint8_t(length >> (24 - 8 * i));
    test::WriteFile("claim.dat", s.bytes);
    return ExpFilePtr(OpenExpFile("claim.dat"));
  };
  uint32_t bound = 13 * uint32_t(kLzwMaxExpansion);
  ExpFilePtr most = claim(bound);
  ASSERT_TRUE(most);
  EXPECT_EQ(ExpFileSize(most.get()), int32_t(bound));
  EXPECT_FALSE(claim(bound + 1));
  EXPECT_FALSE(claim(0x80000000u)) << "a 2 GB source file of 13 bytes";
  EXPECT_FALSE(claim(0xFFFFFFFFu));
}

TEST_F(CompressedFiles, HeaderLengthSmallerThanTheDataFailsTheOpen) {
  std::vector<uint8_t> data = Text(100), image;
  ASSERT_TRUE(CompressToMemory(data.data(), 100, image));
  image[7] = 50;  // declared length 50
  test::WriteFile("bad.dat", image);
  EXPECT_EQ(OpenExpFile("bad.dat"), nullptr);
}

}  // namespace
}  // namespace qavz
