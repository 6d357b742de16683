// Archive primitives read from hand-written byte vectors: strings, names,
// counts, element headers, and the bounds checks of the buffered reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jwwsections.h"
#include "jwwunit.h"
#include "testutil.h"

using testutil::Hex;

namespace {

using namespace qm;

// A reader over bytes it owns.
struct TMem {
  explicit TMem(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)), Reader(Bytes.data(), Bytes.size()) {}
  explicit TMem(std::string_view hex) : TMem(Hex(hex)) {}
  std::vector<uint8_t> Bytes;
  TJwwReader Reader;
};

// n bytes 'a', 'b', ... 'z', 'a', ...
std::string Letters(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, std::string_view b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Runs f, which must raise EJwwError; returns it.
template <typename F>
EJwwError Raised(F f) {
  try {
    f();
  } catch (const EJwwError& e) {
    return e;
  }
  ADD_FAILURE() << "no EJwwError was raised";
  return EJwwError(~0ull, "");
}

bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

}  // namespace

// ---------------------------------------------------------------------------
// Strings

TEST(ArchiveReadString, EveryLengthForm) {
  struct Case {
    const char* Prefix;
    size_t Length;
  };
  // One byte below 0xFF; else 0xFF and a word below 0xFFFE; else 0xFF, the
  // word 0xFFFF and 32 bits.
  for (const Case& c : {Case{"00", 0}, Case{"01", 1}, Case{"FE", 254}, Case{"FF FF 00", 255}, Case{"FF 00 01", 256},
                        Case{"FF 2C 01", 300}, Case{"FF FD FF", 65533}, Case{"FF FFFF FEFF0000", 65534},
                        Case{"FF FFFF FFFF0000", 65535}, Case{"FF FFFF 00000100", 65536},
                        Case{"FF FFFF 70110100", 70000}}) {
    const std::string body = Letters(c.Length);
    TMem m(Join(Hex(c.Prefix), body + "#"));
    const TJwwString s = TJwwData::ReadString(m.Reader);
    EXPECT_FALSE(s.IsWide()) << c.Prefix;
    EXPECT_EQ(s, body) << c.Prefix;
    EXPECT_EQ(m.Reader.Offset(), Hex(c.Prefix).size() + c.Length) << c.Prefix;
    EXPECT_EQ(m.Reader.U8("the next byte"), '#') << c.Prefix;
  }
  // Longer forms also for short strings, which a writer would not produce.
  TMem shortInLongForm("FF 03 00 41 42 43  FF FFFF 02000000 44 45");
  EXPECT_EQ(TJwwData::ReadString(shortInLongForm.Reader), "ABC");
  EXPECT_EQ(TJwwData::ReadString(shortInLongForm.Reader), "DE");
}

TEST(ArchiveReadString, EveryWideLengthForm) {
  struct Case {
    const char* Prefix;  // after the wide marker FF FEFF
    size_t Units;
  };
  for (const Case& c : {Case{"00", 0}, Case{"01", 1}, Case{"FE", 254}, Case{"FF FF00", 255},
                        Case{"FF FDFF", 65533}, Case{"FF FEFF", 65534}, Case{"FF FFFF FFFF0000", 65535},
                        Case{"FF FFFF 70110100", 70000}, Case{"FF FFFF 03000000", 3}}) {
    std::vector<uint8_t> bytes = Hex(std::string("FF FEFF ") + c.Prefix);
    std::u16string units(c.Units, u'\0');
    for (size_t i = 0; i < c.Units; ++i) {
      units[i] = static_cast<char16_t>(0x3042 + i % 80);  // ぁ あ ... in little-endian pairs
      bytes.push_back(static_cast<uint8_t>(units[i] & 0xFF));
      bytes.push_back(static_cast<uint8_t>(units[i] >> 8));
    }
    bytes.push_back('#');
    TMem m(bytes);
    EXPECT_EQ(TJwwData::ReadString(m.Reader), TJwwString::Wide(units)) << c.Prefix;
    EXPECT_EQ(m.Reader.Remaining(), 1u) << c.Prefix;
  }
  // Units Shift-JIS cannot hold, a pair and unpaired surrogates come as they are.
  TMem m("FF FEFF 06  E900 6024 42D8 B7DF 00DC 3DD8");
  EXPECT_EQ(TJwwData::ReadString(m.Reader), TJwwString::Wide(u"\u00E9\u2460\xD842\xDFB7\xDC00\xD83D"));
  EXPECT_EQ(m.Reader.Remaining(), 0u);
}

TEST(ArchiveReadString, ZeroAndControlBytesAreOrdinary) {
  TMem m("03 41 00 42  04 41 0D 0A 42  02 43 44");
  const TJwwString first = TJwwData::ReadString(m.Reader);
  EXPECT_EQ(first, std::string("A\0B", 3));
  EXPECT_EQ(first.size(), 3u);
  EXPECT_EQ(TJwwData::ReadString(m.Reader), "A\r\nB");
  EXPECT_EQ(TJwwData::ReadString(m.Reader), "CD");
  EXPECT_EQ(m.Reader.Remaining(), 0u);
}

TEST(ArchiveReadString, ShortDataRaisesAtTheMissingBytes) {
  struct Case {
    std::vector<uint8_t> Bytes;
    uint64_t Offset;
  };
  const std::vector<Case> cases = {
      {Hex(""), 0},                              // no length byte
      {Hex("05 41 42"), 1},                      // 5 announced, 2 there
      {Hex("FF"), 1},                            // long prefix without its word
      {Hex("FF 2C"), 1},                         // long prefix with half a word
      {Join(Hex("FF 00 01"), Letters(255)), 3},  // one byte short of 256
      {Hex("FF FFFF 0100"), 3},                  // half a 32-bit length
      {Hex("FF FFFF 05000000 4142"), 7},         // 5 announced, 2 there
      {Hex("FF FEFF"), 3},                       // the wide marker without a length
      {Hex("FF FEFF FF FF"), 4},                 // a wide length cut inside its word
      {Hex("FF FEFF 02 4100 42"), 4},            // 2 units announced, 1.5 there
      {Hex("FF FEFF FF FFFF 00943577 4100"), 10},  // 2,000,000,000 units: refused before any allocation
  };
  for (const Case& c : cases) {
    TMem m(c.Bytes);
    const EJwwError e = Raised([&] { TJwwData::ReadString(m.Reader, "the memo"); });
    EXPECT_EQ(e.Offset(), c.Offset) << testing::PrintToString(c.Bytes);
    EXPECT_TRUE(Contains(e.what(), "the memo")) << e.what();
  }
  // Behind a complete string the offset counts from the start of the data.
  TMem second("01 41 07 42");
  EXPECT_EQ(TJwwData::ReadString(second.Reader), "A");
  EXPECT_EQ(Raised([&] { TJwwData::ReadString(second.Reader); }).Offset(), 3u);
}

// ---------------------------------------------------------------------------
// Names: strings without one-byte control characters, Shift-JIS pairs kept

TEST(ArchiveReadName, DropsControlBytesKeepsPairs) {
  struct Case {
    const char* Bytes;
    std::string Expected;
  };
  const std::vector<Case> cases = {
      {"04 41 0D 0A 42", "AB"},
      {"02 41 82", "A"},  // a lead byte without its second byte
      {"01 E0", ""},      // the same, alone
      {"03 82 0A 43", std::string("\x82\x0A"
                                  "C")},  // the pair's second byte is never tested
      {"03 81 1F 41", std::string("\x81\x1F"
                                  "A")},
      {"04 9F 41 FD 42",
       "\x9F"
       "A"
       "\xFD"
       "B"},                            // both ends of the lead ranges
      {"03 A0 DF FE", "\xA0\xDF\xFE"},  // one-byte characters outside the lead ranges
      {"05 09 1F 20 7F 00", " \x7F"},   // below 0x20 goes, 0x20 and 0x7F stay
      {"00", ""},
  };
  for (const Case& c : cases) {
    TMem m(c.Bytes);
    EXPECT_EQ(TJwwData::ReadName(m.Reader), c.Expected) << c.Bytes;
    EXPECT_EQ(m.Reader.Remaining(), 0u) << c.Bytes;
  }
  TMem plain("04 41 0D 0A 42");
  EXPECT_EQ(TJwwData::ReadString(plain.Reader), "A\r\nB");

  // Wide names lose their units below 0x20 and nothing else.
  TMem wide("FF FEFF 07  4100 0D00 0A00 42D8 B7DF 1F00 2000  FF FEFF 01 0900");
  EXPECT_EQ(TJwwData::ReadName(wide.Reader), TJwwString::Wide(u"A\xD842\xDFB7 "));
  EXPECT_EQ(TJwwData::ReadName(wide.Reader), TJwwString::Wide(u""));
}

// ---------------------------------------------------------------------------
// Counts

TEST(ArchiveReadCount, ShortAndLongForms) {
  struct Case {
    const char* Bytes;
    int32_t Value;
    uint64_t Size;
  };
  for (const Case& c :
       {Case{"00 00", 0, 2}, Case{"FE FF", 65534, 2}, Case{"01 80", 0x8001, 2}, Case{"FF FF FF FF 00 00", 65535, 6},
        Case{"FF FF 70 11 01 00", 70000, 6}, Case{"FF FF 03 00 00 00", 3, 6}}) {
    TMem m(Join(Hex(c.Bytes), "#"));
    EXPECT_EQ(TJwwData::ReadCount(m.Reader, "a count"), c.Value) << c.Bytes;
    EXPECT_EQ(m.Reader.Offset(), c.Size) << c.Bytes;
  }
  TMem cut("FF FF 70 11");
  const EJwwError e = Raised([&] { TJwwData::ReadCount(cut.Reader, "the element count"); });
  EXPECT_EQ(e.Offset(), 2u);
  EXPECT_TRUE(Contains(e.what(), "the element count")) << e.what();
}

// ---------------------------------------------------------------------------
// Element headers: 15 bytes from version 351, 13 (no PenWidth) before

TEST(ArchiveEntityHeader, ThirteenOrFifteenBytes) {
  TJwwData d;
  for (int32_t v : {351, 420, 700}) {
    d.Header.Version = v;
    TMem m("78 56 34 12 02 03 00 04 01 05 00 06 00 07 80 EE");
    TEntJwwEntityHeader h;
    TJwwSections::ReadEntityHeader(d, m.Reader, h);
    EXPECT_EQ(m.Reader.Offset(), 15u) << v;
    EXPECT_EQ(h, (TEntJwwEntityHeader{0x12345678, 2, 3, 0x0104, 5, 6, 0x8007})) << v;
  }
  for (int32_t v : {220, 300, 350}) {
    d.Header.Version = v;
    TMem m("78 56 34 12 02 03 00 05 00 06 00 07 80 EE EE");
    TEntJwwEntityHeader h;
    h.PenWidth = 99;  // must be cleared, not kept
    TJwwSections::ReadEntityHeader(d, m.Reader, h);
    EXPECT_EQ(m.Reader.Offset(), 13u) << v;
    EXPECT_EQ(h, (TEntJwwEntityHeader{0x12345678, 2, 3, 0, 5, 6, 0x8007})) << v;
  }
  d.Header.Version = 351;
  TMem cut("78 56 34 12 02 03 00 04 01 05 00 06 00 07");
  TEntJwwEntityHeader h;
  const EJwwError e = Raised([&] { TJwwSections::ReadEntityHeader(d, cut.Reader, h); });
  EXPECT_EQ(e.Offset(), 13u);
}

// ---------------------------------------------------------------------------
// The reader itself

TEST(ArchiveReader, LittleEndianScalars) {
  TMem m("AB 34 12 FE FF FF FF FE FF FF FF 00 00 00 00 00 00 F0 BF 00 00 00 00 00 00 F0 3F");
  EXPECT_EQ(m.Reader.U8("a byte"), 0xAB);
  EXPECT_EQ(m.Reader.U16("a word"), 0x1234);
  EXPECT_EQ(m.Reader.I32("an int32"), -2);
  EXPECT_EQ(m.Reader.U32("an int32"), 0xFFFFFFFEu);
  EXPECT_EQ(m.Reader.F64("a double"), -1.0);
  EXPECT_EQ(m.Reader.Offset(), 19u);
  EXPECT_EQ(m.Reader.Remaining(), 8u);
  EXPECT_EQ(m.Reader.F64("a double"), 1.0);
  EXPECT_EQ(m.Reader.Remaining(), 0u);
  EXPECT_EQ(m.Reader.Size(), 27u);
}

TEST(ArchiveReader, BoundsNameTheFieldAndOffset) {
  TMem m("01 02 03 04 05");
  m.Reader.U16("a word");
  EXPECT_NO_THROW(m.Reader.Require(3, "three bytes"));
  EXPECT_EQ(m.Reader.Offset(), 2u);  // Require consumes nothing
  EJwwError e = Raised([&] { m.Reader.Require(4, "the paper size"); });
  EXPECT_EQ(e.Offset(), 2u);
  EXPECT_TRUE(Contains(e.what(), "the paper size")) << e.what();

  e = Raised([&] { m.Reader.I32("the version"); });
  EXPECT_EQ(e.Offset(), 2u);
  EXPECT_TRUE(Contains(e.Message(), "the version")) << e.Message();
  EXPECT_EQ(m.Reader.Offset(), 2u);  // a failed read consumes nothing

  e = Raised([&] { m.Reader.F64("a double"); });
  EXPECT_EQ(e.Offset(), 2u);
  uint8_t out[4] = {};
  e = Raised([&] { m.Reader.Bytes(out, 4, "a block"); });
  EXPECT_EQ(e.Offset(), 2u);
  e = Raised([&] { m.Reader.Skip(4, "skipped bytes"); });
  EXPECT_TRUE(Contains(e.what(), "skipped bytes")) << e.what();
  m.Reader.Skip(3, "skipped bytes");
  EXPECT_EQ(m.Reader.Remaining(), 0u);
  e = Raised([&] { m.Reader.U8("a byte"); });
  EXPECT_EQ(e.Offset(), 5u);

  TMem empty(std::vector<uint8_t>{});
  e = Raised([&] { empty.Reader.U8("the signature"); });
  EXPECT_EQ(e.Offset(), 0u);
}

TEST(ArchiveReader, FileReaderAcrossBufferBoundaries) {
  testutil::TTempDir dir;
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  testutil::WriteAll(dir / "f.bin", bytes);
  TJwwReader r(dir / "f.bin");
  EXPECT_EQ(r.Size(), bytes.size());
  auto u32At = [&](size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) |
           static_cast<uint32_t>(bytes[at + 3]) << 24;
  };
  // Values that straddle every power-of-two buffer size up to 128 KiB.
  for (size_t at : {size_t{4094}, size_t{8190}, size_t{16382}, size_t{32766}, size_t{65534}, size_t{131070}}) {
    r.Skip(at - r.Offset(), "skipped bytes");
    EXPECT_EQ(r.U32("a straddling value"), u32At(at)) << at;
  }
  // A block larger than any buffer, read whole.
  std::vector<uint8_t> block(68000);
  const uint64_t from = r.Offset();
  r.Bytes(block.data(), block.size(), "a large block");
  EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin() + static_cast<ptrdiff_t>(from)));
  EXPECT_EQ(r.Remaining(), bytes.size() - from - block.size());
  r.Skip(r.Remaining() - 1, "skipped bytes");
  EXPECT_EQ(r.U8("the last byte"), bytes.back());
  const EJwwError e = Raised([&] { r.U16("a word past the end"); });
  EXPECT_EQ(e.Offset(), bytes.size());

  const EJwwError missing = Raised([&] { TJwwReader none(dir / "missing.jww"); });
  EXPECT_EQ(missing.Offset(), 0u);
}
