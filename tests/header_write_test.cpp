// The header writer, checked byte by byte. Expected bytes are written by hand
// from the header layout; offsets are those of a document with an empty memo
// and empty layer names:
//   0 signature, 8 version, 12 memo (1 byte), 13 paper size, 17 write layer
//   group, 21 layer tables (16 x 148), 2389 reserved (56), 2445 dimension
//   block (28), 2473 print and grid (72), 2545 names (272 x 1 byte), 2817
//   shadow block (28, or 44 above 230), view (52), mark jumps (96, or 280
//   above 230), parallel lines and screen pens (168), printer pens (160),
//   line types (128), random and double line types (164), switch block.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jwwsections.h"
#include "jwwunit.h"
#include "testutil.h"

using testutil::Hex;

namespace {

using namespace qm;

// Little-endian doubles.
constexpr const char* D0 = "0000000000000000";
constexpr const char* D1 = "000000000000F03F";
constexpr const char* D2 = "0000000000000040";
constexpr const char* D3 = "0000000000000840";
constexpr const char* DTenth = "9A9999999999B93F";
constexpr const char* D10 = "0000000000002440";

std::string Rep(const std::string& hex, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += hex + " ";
  return s;
}

std::vector<uint8_t> WriteHeader(const TJwwData& d, int32_t v) {
  std::vector<uint8_t> out;
  TJwwWriter w(out);
  TJwwSections::WriteHeaderSection(d, w, v);
  return out;
}

std::vector<uint8_t> At(const std::vector<uint8_t>& b, size_t offset, size_t n) {
  if (offset + n > b.size()) return {};
  return {b.begin() + static_cast<std::ptrdiff_t>(offset), b.begin() + static_cast<std::ptrdiff_t>(offset + n)};
}

constexpr size_t kLayerTables = 21, kReserved = 2389, kDimension = 2445, kNames = 2545, kShadow = 2817;

size_t SwitchBytes(int32_t v) { return v == 220 ? 44 : v == 223 ? 104 : v == 225 ? 136 : v >= 230 ? 144 : 0; }

// Block offsets for a document with an empty memo and empty layer names.
struct TOffsets {
  explicit TOffsets(int32_t v) {
    View = kShadow + (v > 230 ? 44 : 28);
    Parallel = View + 52 + (v > 230 ? 280 : 96);
    ScreenPens = Parallel + 88;
    PrinterPens = Parallel + 168;
    Switches = PrinterPens + 160 + 128 + 164;
    AfterSwitches = Switches + SwitchBytes(v);
  }
  size_t View, Parallel, ScreenPens, PrinterPens, Switches, AfterSwitches;
};

// Walks the variable part of the extended tables.
struct TCursor {
  const std::vector<uint8_t>& Bytes;
  size_t Pos;
  std::vector<uint8_t> Take(size_t n) {
    std::vector<uint8_t> r = At(Bytes, Pos, n);
    Pos += n;
    return r;
  }
  // A string with its length prefix, then n more bytes.
  std::vector<uint8_t> TakeString(size_t more) {
    size_t len = Pos < Bytes.size() ? Bytes[Pos] : 0;
    size_t prefix = 1;
    if (len == 0xFF && Pos + 2 < Bytes.size()) {
      len = Bytes[Pos + 1] + 256u * Bytes[Pos + 2];
      prefix = 3;
    }
    return Take(prefix + len + more);
  }
};

class HeaderWriter : public ::testing::Test {
 protected:
  void SetUp() override { D.SizeHeaderArrays(); }
  TJwwData D;
};

TEST_F(HeaderWriter, SignatureIsAlwaysJwwDataAndVersionIsTheTarget) {
  D.Header.Signature = "jwwdata!";
  D.Header.Version = 300;
  const auto b = WriteHeader(D, 600);
  EXPECT_EQ(At(b, 0, 12), Hex("4A 77 77 44 61 74 61 2E  58 02 00 00"));
  EXPECT_EQ(At(WriteHeader(D, 220), 8, 4), Hex("DC 00 00 00"));
}

TEST_F(HeaderWriter, MemoIsWrittenUnfiltered) {
  D.Header.Memo = "a^m\r\n";
  D.Header.PaperSize = 3;
  EXPECT_EQ(At(WriteHeader(D, 600), 12, 10), Hex("05 61 5E 6D 0D 0A  03 00 00 00"));
}

TEST_F(HeaderWriter, LayerTablesAsHeldAndReservedBytesZero) {
  D.Header.WriteLayerGroup = 9;
  D.LayerGroups[1] = {0, 3, 2.0, 1, "hidden"};
  D.Layers[16] = {4, 5, ""};
  D.Layers[31] = {7, 0, ""};
  D.Header.DimensionSettings = {1, 2, 3, 4, 5};
  D.Header.MaxDrawWidth = 7;
  const auto b = WriteHeader(D, 600);
  EXPECT_EQ(At(b, 17, 4), Hex("09000000"));
  EXPECT_EQ(At(b, kLayerTables + 148, 28),
            Hex("00000000 03000000 0000000000000040 01000000  04000000 05000000"));
  EXPECT_EQ(At(b, kLayerTables + 148 + 20 + 8 * 15, 8), Hex("07000000 00000000"));
  EXPECT_EQ(At(b, kReserved, 56), std::vector<uint8_t>(56, 0));
  EXPECT_EQ(At(b, kDimension, 28), Hex("01000000 02000000 03000000 04000000 05000000  00000000  07000000"));
}

TEST_F(HeaderWriter, MaxDrawWidthBelowMinus101IsRaisedUpToVersion420) {
  struct Case {
    int32_t Version, Held;
    const char* Written;
  };
  for (const Case& c : {Case{420, -150, "9BFFFFFF"}, Case{421, -150, "6AFFFFFF"}, Case{300, -150, "9BFFFFFF"},
                        Case{420, -102, "9BFFFFFF"}, Case{420, -101, "9BFFFFFF"}, Case{420, -100, "9CFFFFFF"},
                        Case{700, -150, "6AFFFFFF"}, Case{220, 5, "05000000"}}) {
    D.Header.MaxDrawWidth = c.Held;
    EXPECT_EQ(At(WriteHeader(D, c.Version), kDimension + 24, 4), Hex(c.Written))
        << "version " << c.Version << ", held " << c.Held;
  }
}

TEST_F(HeaderWriter, LayerAndGroupNamesLoseCaretMAndControlBytes) {
  D.Layers[0].Name = "A^mB";
  D.Layers[255].Name = "^m";
  D.LayerGroups[15].Name = "x\x01y";
  D.Header.SunShadowLevel = 1.0;
  const auto b = WriteHeader(D, 600);
  const std::string names = "02 41 42 " + Rep("00", 254) + "01 20 " + Rep("00", 15) + "02 78 79";
  EXPECT_EQ(At(b, kNames, 272 + 5), Hex(names));
  EXPECT_EQ(At(b, kShadow + 5, 8), Hex(D1));  // the shadow block follows at once
}

TEST_F(HeaderWriter, ScreenPensClampColourAndWidth) {
  const std::vector<std::pair<int32_t, int32_t>> held = {{-1, 0}, {0x1000000, 17}, {0xFFFFFF, 16}, {0, 1}, {0x123456, -5}};
  for (size_t n = 0; n < held.size(); ++n) {
    D.PenSettings[n].ScreenColor = held[n].first;
    D.PenSettings[n].ScreenWidth = held[n].second;
  }
  const auto b = WriteHeader(D, 600);
  EXPECT_EQ(At(b, TOffsets(600).ScreenPens, 40),
            Hex("00000000 01000000  00000000 10000000  FFFFFF00 10000000  00000000 01000000  56341200 01000000"));
}

TEST_F(HeaderWriter, PrinterPensClampAndPenZeroPrintsWhite) {
  struct Held {
    int32_t Color, Width;
    double Radius;
  };
  const std::vector<Held> held = {{5, 0, 0.05}, {-1, 600, 12.0}, {0xFFFFFF, 500, 10.0}, {0x1000000, 1, 0.1}, {0x10, 250, 0.0999}};
  for (size_t n = 0; n < held.size(); ++n) {
    D.PenSettings[n].PrinterColor = held[n].Color;
    D.PenSettings[n].PrinterWidth = held[n].Width;
    D.PenSettings[n].PointRadius = held[n].Radius;
  }
  const auto b = WriteHeader(D, 600);
  EXPECT_EQ(At(b, TOffsets(600).PrinterPens, 80),
            Hex(std::string("FFFFFF00 01000000 ") + DTenth + " 00000000 F4010000 " + D10 + " FFFFFF00 F4010000 " + D10 +
                " 00000000 01000000 " + DTenth + " 10000000 FA000000 " + DTenth));
}

TEST_F(HeaderWriter, EleventhSwitchWordCarriesTheTensFrom600) {
  struct Case {
    int32_t Version, Units, Tens;
    const char* Written;
  };
  D.Header.DrawFlags[9] = 0x55;
  for (const Case& c : {Case{600, 7, 0, "11000000"}, Case{600, 2, 3, "20000000"}, Case{600, 5, -2, "0F000000"},
                        Case{700, 0, 1, "0A000000"}, Case{500, 7, 0, "07000000"}, Case{500, 2, 3, "02000000"},
                        Case{230, 9, 9, "09000000"}, Case{220, 4, 1, "04000000"}}) {
    D.Header.DrawFlag11 = c.Units;
    D.Header.DrawFlag11Tens = c.Tens;
    const auto b = WriteHeader(D, c.Version);
    const size_t at = TOffsets(c.Version).Switches;
    EXPECT_EQ(At(b, at + 36, 8), Hex(std::string("55000000 ") + c.Written))
        << "version " << c.Version << ", " << c.Units << " and tens " << c.Tens;
  }
}

TEST_F(HeaderWriter, SectionLengthFollowsTheVersion) {
  // 2817 fixed bytes + shadow + 52 + mark jumps + 620 pen and line-type bytes
  // + switch block + 380 text bytes (below 420: no extended tables).
  const std::vector<std::pair<int32_t, size_t>> sizes = {
      {220, 4037}, {221, 3993}, {222, 3993}, {223, 4097}, {224, 3993}, {225, 4129}, {226, 3993},
      {229, 3993}, {230, 4137}, {231, 4337}, {299, 4337}, {300, 4337}, {419, 4337}};
  for (const auto& [v, size] : sizes) EXPECT_EQ(WriteHeader(D, v).size(), size) << "version " << v;

  // From 231 the shadow block carries the sky-chart values.
  D.Header.SkyChartLevel = 2.0;
  D.Header.SkyChartRadius = 3.0;
  D.Header.Unit25D = 0x77;
  EXPECT_EQ(At(WriteHeader(D, 231), kShadow + 28, 20), Hex(std::string(D2) + D3 + "77000000"));
  EXPECT_EQ(At(WriteHeader(D, 230), kShadow + 28, 4), Hex("77000000"));
  // Below 420 the text styles follow the switch block directly.
  D.TextStyles[0].Width = 2.0;
  EXPECT_EQ(At(WriteHeader(D, 419), TOffsets(419).AfterSwitches, 8), Hex(D2));
  EXPECT_EQ(At(WriteHeader(D, 224), TOffsets(224).AfterSwitches, 8), Hex(D2));
}

TEST_F(HeaderWriter, RefusesAnIncompleteDocumentOrAVersionBelow220) {
  EXPECT_THROW(WriteHeader(D, 219), EJwwError);
  D.ColorsEx.resize(256);
  EXPECT_THROW(WriteHeader(D, 600), EJwwError);
  TJwwData fresh;
  EXPECT_THROW(WriteHeader(fresh, 600), EJwwError);
}

TEST_F(HeaderWriter, ExtendedColours) {
  auto& c = D.ColorsEx;
  c[0] = {0x11, 1, "", 0xFF, 2, 1.0};
  c[3].Name = "\x81\x40";
  c[4].Name = "^m";
  c[6].Name = "ab^m";
  c[16] = {0xCD, 1, "  ", 0xAB, 1, 1.0};
  c[17] = {0x0A0B0C, 1, "Red", 0x0D, 3, 2.0};
  c[20] = {0x123456, 3, "  ", 0x654321, 7, 2.0};
  const auto b = WriteHeader(D, 420);
  const size_t ext = TOffsets(420).AfterSwitches;
  EXPECT_EQ(At(b, ext, 8), Hex("11000000 01000000"));
  EXPECT_EQ(At(b, ext + 8 * 20, 8), Hex("56341200 03000000"));

  TCursor cur{b, ext + 257 * 8};
  std::vector<std::vector<uint8_t>> entries;
  for (int n = 0; n < 257; ++n) entries.push_back(cur.TakeString(16));
  const std::string zeroPrinter = std::string(" 00000000 00000000 ") + D0;
  EXPECT_EQ(entries[0], Hex(std::string("07 436F6C6F725F30  FF000000 02000000 ") + D1));
  EXPECT_EQ(entries[1], Hex("07 436F6C6F725F31" + zeroPrinter));
  EXPECT_EQ(entries[3], Hex("07 436F6C6F725F33" + zeroPrinter));  // full-width space only
  EXPECT_EQ(entries[4], Hex("07 436F6C6F725F34" + zeroPrinter));  // "^m" cleans to a blank
  EXPECT_EQ(entries[6], Hex("02 6162" + zeroPrinter));
  EXPECT_EQ(entries[16], Hex(std::string("08 436F6C6F725F3136  AB000000 01000000 ") + D1));
  // From entry 17 the screen colour takes the printer colour's place.
  EXPECT_EQ(entries[17], Hex(std::string("03 526564  0C0B0A00 03000000 ") + D2));
  EXPECT_EQ(entries[20], Hex(std::string("08 436F6C6F725F3230  56341200 07000000 ") + D2));
  EXPECT_EQ(entries[256], Hex("09 436F6C6F725F323536" + zeroPrinter));
}

TEST_F(HeaderWriter, ExtendedLineTypes) {
  auto& t = D.LineTypesEx;
  t[0] = {0, 2, 3, 4, "", 0, {}};
  t[16] = {0x11, 2, 3, 4, "Dash", 3, {3, 3, 0, 0, 0, 0, 0, 0, 0, 0}};
  t[18] = {5, 6, 7, 9, "mine", 3, {3, 3, 3, 0, 0, 0, 0, 0, 0, 0}};
  t[19] = {0, 6, 7, 9, "mine", 4, {3, 3, 3, 3, 0, 0, 0, 0, 0, 0}};
  t[20] = {1, 1, 1, 1, "^m", 8, {}};
  t[32] = {1, 1, 1, 1, "x", 6, {}};
  D.TextStyles[0].Width = 2.0;
  const auto b = WriteHeader(D, 420);
  TCursor cur{b, TOffsets(420).AfterSwitches + 257 * 8};
  for (int n = 0; n < 257; ++n) cur.TakeString(16);

  std::vector<std::vector<uint8_t>> patterns;
  for (int n = 0; n < 33; ++n) patterns.push_back(cur.Take(16));
  const std::string replaced = "C3C3C3C3 08000000 01000000 08000000";
  EXPECT_EQ(patterns[0], Hex("FFFFFFFF 02000000 03000000 04000000"));
  EXPECT_EQ(patterns[16], Hex("11000000 02000000 03000000 04000000"));  // index 16 is never replaced
  EXPECT_EQ(patterns[17], Hex(replaced));                                // segment count 0
  EXPECT_EQ(patterns[18], Hex(replaced));
  EXPECT_EQ(patterns[19], Hex("FFFFFFFF 06000000 07000000 09000000"));
  EXPECT_EQ(patterns[20], Hex("01000000 01000000 01000000 01000000"));
  EXPECT_EQ(patterns[32], Hex("01000000 01000000 01000000 01000000"));

  std::vector<std::vector<uint8_t>> named;
  for (int n = 0; n < 33; ++n) named.push_back(cur.TakeString(84));
  const std::string twoOnes = std::string("02000000 ") + D1 + D1 + Rep(D0, 8);
  EXPECT_EQ(named[0], Hex("07 4C547970655F30 00000000" + Rep(D0, 10)));
  EXPECT_EQ(named[16], Hex(std::string("04 44617368 03000000 ") + D3 + D3 + Rep(D0, 8)));
  EXPECT_EQ(named[17], Hex("08 4C547970655F3137 " + twoOnes));
  EXPECT_EQ(named[18], Hex("08 4C547970655F3138 " + twoOnes));
  EXPECT_EQ(named[19], Hex(std::string("04 6D696E65 04000000 ") + Rep(D3, 4) + Rep(D0, 6)));
  EXPECT_EQ(named[20], Hex("08 4C547970655F3230 08000000" + Rep(D0, 10)));
  EXPECT_EQ(named[32], Hex("01 78 06000000" + Rep(D0, 10)));
  EXPECT_EQ(cur.Take(8), Hex(D2));  // the text styles follow
}

}  // namespace
