// Byte-level checks of the test-drawing builder. Every expected byte string
// below is written by hand from the JWW layout tables; none is produced by the
// builder itself.
#include "jwwbuilder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace jwwtest;

namespace {

// Uppercase hex of a byte range, no separators.
std::string ToHex(const uint8_t* p, size_t n) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 0x0F];
  }
  return s;
}
std::string ToHex(const std::vector<uint8_t>& v) { return ToHex(v.data(), v.size()); }
std::string ToHex(const std::string& v) {
  return ToHex(reinterpret_cast<const uint8_t*>(v.data()), v.size());
}
// Bytes [off, off + n) of v as hex ("<out of range>" when v is too short).
std::string At(const std::vector<uint8_t>& v, size_t off, size_t n) {
  if (off + n > v.size()) return "<out of range>";
  return ToHex(v.data() + off, n);
}
// A hand-written hex literal with spaces, normalised for comparison.
std::string H(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (std::isspace(static_cast<unsigned char>(c)) == 0) {
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return out;
}
std::string Z(size_t n) { return std::string(2 * n, '0'); }  // n zero bytes

// Little-endian doubles.
const std::string D0 = "0000000000000000";
const std::string D1 = "000000000000F03F";
const std::string D2 = "0000000000000040";
const std::string D3 = "0000000000000840";
const std::string D4 = "0000000000001040";
const std::string DHalf = "000000000000E03F";
const std::string DMinus1 = "000000000000F0BF";
const std::string D10 = "0000000000002440";
const std::string D100 = "0000000000005940";

// Class declarations with the schema word of version 600 (0x0258).
const std::string kDeclSen = "FFFF 5802 0800 4344617461 53656E";
const std::string kDeclEnko = "FFFF 5802 0900 4344617461 456E6B6F";
const std::string kDeclTen = "FFFF 5802 0800 4344617461 54656E";
const std::string kDeclList = "FFFF 5802 0900 4344617461 4C697374";

// Default element header (Group 0, PenStyle 1, PenColor 1, PenWidth 1, rest 0), 15 bytes.
const std::string kHdrDefault = "00000000 01 0100 0100 0000 0000 0000";
const std::string kLineDefault = kHdrDefault + Z(32);                                     // 47
const std::string kArcDefault = kHdrDefault + D0 + D0 + D1 + D0 + D0 + D0 + D1 + "01000000";  // 75
const std::string kPointDefault = kHdrDefault + Z(16) + "00000000";                       // 35

EntHdr TestHdr(uint8_t penStyle = 2, uint16_t penColor = 3) {
  EntHdr h;
  h.Group = 0x12345678;
  h.PenStyle = penStyle;
  h.PenColor = penColor;
  h.PenWidth = 0x0104;
  h.Layer = 5;
  h.LayerGroup = 6;
  h.Flags = 0x8007;
  return h;
}
// TestHdr in its 15-byte (version >= 351) and 13-byte form, PenStyle/PenColor 02/0300.
const std::string kHdr15 = "78563412 02 0300 0401 0500 0600 0780";
const std::string kHdr13 = "78563412 02 0300 0500 0600 0780";

Drawing WithVersion(int32_t v) {
  Drawing d;
  d.Hdr.Version = v;
  return d;
}

}  // namespace

// ---------------------------------------------------------------------------
// ByteWriter

TEST(JwwBuilderByteWriter, Scalars) {
  ByteWriter w;
  w.U8(0xAB);
  w.U16(0x1234);
  w.I32(-2);
  w.U32(0x80000005u);
  w.F64(1.0);
  w.F64(-1.0);
  EXPECT_EQ(ToHex(w.Bytes()), H("AB 3412 FEFFFFFF 05000080") + D1 + DMinus1);
  EXPECT_EQ(w.Size(), 1u + 2 + 4 + 4 + 8 + 8);
}

TEST(JwwBuilderByteWriter, Strings) {
  auto enc = [](const std::string& s) {
    ByteWriter w;
    w.Str(s);
    return ToHex(w.Bytes());
  };
  auto text = [](size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
  };
  EXPECT_EQ(enc(""), "00");
  EXPECT_EQ(enc(std::string("A\0B", 3)), "03410042");
  EXPECT_EQ(enc(text(254)), "FE" + ToHex(text(254)));
  EXPECT_EQ(enc(text(255)), "FFFF00" + ToHex(text(255)));
  EXPECT_EQ(enc(text(256)), "FF0001" + ToHex(text(256)));
  EXPECT_EQ(enc(text(300)), "FF2C01" + ToHex(text(300)));
  EXPECT_EQ(enc(text(65533)).substr(0, 6), "FFFDFF");
  EXPECT_EQ(enc(text(65534)).substr(0, 14), "FFFFFFFEFF0000");
  EXPECT_EQ(enc(text(70000)).substr(0, 14), "FFFFFF70110100");

  auto wide = [](const std::string& s) {
    ByteWriter w;
    w.Wide = true;
    w.Str(s);
    return ToHex(w.Bytes());
  };
  EXPECT_EQ(wide(""), "FFFEFF00");
  EXPECT_EQ(wide("A\xC3\xA9"), "FFFEFF02" "4100" "E900");           // Aé
  EXPECT_EQ(wide("\xF0\xA0\xAE\xB7"), "FFFEFF02" "42D8" "B7DF");     // U+20BB7 as a pair
  EXPECT_EQ(wide("\xED\xA0\x80"), "FFFEFF01" "00D8");               // a lone high surrogate
  EXPECT_EQ(wide(std::string(255, 'a')).substr(0, 12), "FFFEFFFFFF00");
  EXPECT_EQ(wide(std::string(70000, 'a')).substr(0, 20), "FFFEFFFFFFFF70110100");
  EXPECT_THROW(wide("\x82\xA0"), std::invalid_argument);  // Shift-JIS bytes are not UTF-8
}

TEST(JwwBuilderByteWriter, Counts) {
  auto enc = [](uint32_t v, bool forceLong) {
    ByteWriter w;
    w.Count(v, forceLong);
    return ToHex(w.Bytes());
  };
  EXPECT_EQ(enc(0, false), "0000");
  EXPECT_EQ(enc(65534, false), "FEFF");
  EXPECT_EQ(enc(65535, false), "FFFFFFFF0000");
  EXPECT_EQ(enc(70000, false), "FFFF70110100");
  EXPECT_EQ(enc(3, true), "FFFF03000000");
  EXPECT_EQ(enc(0, true), "FFFF00000000");
}

// ---------------------------------------------------------------------------
// Element records

TEST(JwwBuilderRecords, EachKindAt600And350) {
  struct Case {
    const char* Name;
    Element E;
    std::string Body;  // bytes after the common header
  };
  Sen line{TestHdr(), 1, 2, 3, 4};
  Enko arc{TestHdr(), 1, 2, 3, 4, 0.5, -1, 10, 0x01020304};
  Ten point{TestHdr(), 1, 2, 1, 9, 3, 0.5};  // PenStyle 2: Code/Angle/Scale not written
  Moji text{TestHdr(), 1, 2, 3, 4, 5, 0.5, 1, 0, 10, "MS", ""};
  Solid solid{TestHdr(), 1, 2, 3, 4, 0.5, -1, 10, 100, 0x00112233};  // PenColor 3: no Color
  Block insert{TestHdr(), 1, 2, 0.5, 4, 10, 7};
  const std::vector<Case> cases = {
      {"line", line, D1 + D2 + D3 + D4},
      {"arc", arc, D1 + D2 + D3 + D4 + DHalf + DMinus1 + D10 + "04030201"},
      {"point", point, D1 + D2 + "01000000"},
      {"text", text, D1 + D2 + D3 + D4 + "05000000" + DHalf + D1 + D0 + D10 + "02 4D53" + "00"},
      {"solid", solid, D1 + D2 + D3 + D4 + DHalf + DMinus1 + D10 + D100},
      {"block insert", insert, D1 + D2 + DHalf + D4 + D10 + "07000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToHex(RecordBytes(c.E, 600)), H(kHdr15 + c.Body)) << c.Name;
    EXPECT_EQ(ToHex(RecordBytes(c.E, 351)), H(kHdr15 + c.Body)) << c.Name;
    EXPECT_EQ(ToHex(RecordBytes(c.E, 350)), H(kHdr13 + c.Body)) << c.Name;
  }
  // Fixed sizes (without strings): 47, 75, 35, 83, 79, 59; 2 less below 351.
  EXPECT_EQ(RecordBytes(line, 600).size(), 47u);
  EXPECT_EQ(RecordBytes(arc, 350).size(), 73u);
  EXPECT_EQ(RecordBytes(text, 600).size(), 83u + 3 + 1);
  EXPECT_EQ(RecordBytes(insert, 350).size(), 57u);
}

TEST(JwwBuilderRecords, PointWithPenStyle100) {
  Ten point{TestHdr(100), 1, 2, 1, 9, 3, 0.5};
  const std::string body = D1 + D2 + "01000000" + "09000000" + D3 + DHalf;
  EXPECT_EQ(ToHex(RecordBytes(point, 600)), H("78563412 64 0300 0401 0500 0600 0780" + body));
  EXPECT_EQ(ToHex(RecordBytes(point, 350)), H("78563412 64 0300 0500 0600 0780" + body));
  EXPECT_EQ(RecordBytes(point, 600).size(), 55u);
}

TEST(JwwBuilderRecords, SolidWithPenColor10) {
  Solid solid{TestHdr(2, 10), 1, 2, 3, 4, 0.5, -1, 10, 100, 0x00112233};
  const std::string body = D1 + D2 + D3 + D4 + DHalf + DMinus1 + D10 + D100 + "33221100";
  EXPECT_EQ(ToHex(RecordBytes(solid, 600)), H("78563412 02 0A00 0401 0500 0600 0780" + body));
  EXPECT_EQ(ToHex(RecordBytes(solid, 350)), H("78563412 02 0A00 0500 0600 0780" + body));
  EXPECT_EQ(RecordBytes(solid, 600).size(), 83u);
}

TEST(JwwBuilderRecords, DimensionWithAndWithoutExtension) {
  Sunpou dim;
  dim.H = TestHdr();
  dim.Line.StartX = 1;
  dim.ValueText.Text = "12";
  dim.SxfMode = 0x0102;
  dim.AuxLine1.EndX = 2;
  dim.Point2.H.PenStyle = 100;
  dim.Point2.Code = 3;
  // Own header, line (own default header), text with its strings "" and "12".
  const std::string core = kHdr15 + kHdrDefault + D1 + Z(24) + kHdrDefault + Z(32) + "01000000" +
                           D1 + D1 + D0 + D0 + "00" + "02 3132";
  EXPECT_EQ(ToHex(RecordBytes(dim, 400)), H(core));
  EXPECT_EQ(ToHex(RecordBytes(dim, 419)), H(core));
  EXPECT_EQ(RecordBytes(dim, 400).size(), 15u + 47 + 83 + 1 + 3);

  const std::string point100 = "00000000 64 0100 0100 0000 0000 0000" + Z(16) + "00000000" +
                               "03000000" + D0 + D1;
  const std::string ext = "0201" + kHdrDefault + Z(16) + D2 + D0 + kLineDefault + kPointDefault +
                          point100 + kPointDefault + kPointDefault;
  EXPECT_EQ(ToHex(RecordBytes(dim, 420)), H(core + ext));
  EXPECT_EQ(ToHex(RecordBytes(dim, 600)), H(core + ext));
  EXPECT_EQ(RecordBytes(dim, 420).size(), 149u + 2 + 47 + 47 + 35 + 55 + 35 + 35);

  // Version 350: every header inside is 13 bytes; no extension.
  const std::string hdr13Default = "00000000 01 0100 0000 0000 0000";
  const std::string core350 = kHdr13 + hdr13Default + D1 + Z(24) + hdr13Default + Z(32) +
                              "01000000" + D1 + D1 + D0 + D0 + "00" + "02 3132";
  EXPECT_EQ(ToHex(RecordBytes(dim, 350)), H(core350));
}

// ---------------------------------------------------------------------------
// Entity section: counts, class tags, block definitions, image table

TEST(JwwBuilderEntities, ClassTagsLineLineArc) {
  Drawing d = WithVersion(600);
  d.Elements = {Sen{}, Sen{}, Enko{}};
  // CDataSen = 1, line = 2, line (tag 0x8001) = 3, CDataEnko = 4, arc = 5.
  const std::string expected = "0300" + kDeclSen + kLineDefault + "0180" + kLineDefault +
                               kDeclEnko + kArcDefault + "0000";
  EXPECT_EQ(ToHex(BuildEntitySection(d)), H(expected));
  const std::vector<uint8_t> file = Build(d);
  EXPECT_EQ(ToHex(file).substr(2 * HeaderSectionSize(d)), H(expected));
}

TEST(JwwBuilderEntities, LongClassRefsAndLongCounts) {
  Drawing d = WithVersion(600);
  d.Elements = {Sen{}, Sen{}, Enko{}};
  d.LongClassRefs = true;
  d.LongCounts = true;
  const std::string expected = "FFFF 03000000" + kDeclSen + kLineDefault + "FF7F 01000080" +
                               kLineDefault + kDeclEnko + kArcDefault + "FFFF 00000000";
  EXPECT_EQ(ToHex(BuildEntitySection(d)), H(expected));
}

TEST(JwwBuilderEntities, LongClassRefFromIndex7FFF) {
  // n lines: CDataSen = 1, lines 2..n+1, CDataEnko = n + 2, then two arcs.
  // The second arc's tag sits before its 75 bytes and the final block count.
  auto secondArcTag = [](size_t lines, size_t tagBytes) {
    Drawing d = WithVersion(600);
    d.Elements.assign(lines, Sen{});
    d.Elements.push_back(Enko{});
    d.Elements.push_back(Enko{});
    const std::vector<uint8_t> s = BuildEntitySection(d);
    return At(s, s.size() - 2 - 75 - tagBytes, tagBytes);
  };
  EXPECT_EQ(secondArcTag(32764, 2), "FEFF");                    // index 0x7FFE: short
  EXPECT_EQ(secondArcTag(32765, 6), H("FF7F FF7F0080"));        // index 0x7FFF: long
}

TEST(JwwBuilderEntities, BlockDefinitionsShareTheRunningIndex) {
  Drawing d = WithVersion(700);
  d.Schema = 0x0258;  // the schema word of the k* declaration constants
  d.Elements = {Sen{}};
  BlockDef a;
  a.Number = 3;
  a.Referenced = 1;
  a.Time = 0x80000001u;
  a.ExtendedTime = 0x1122334455667788u;
  a.Name = "B";
  a.Elements = {Sen{}, Ten{}};
  BlockDef b;
  b.Number = 4;
  b.Time = 5;
  b.Elements = {Ten{}};
  d.Blocks = {a, b};
  // CDataSen 1, line 2; CDataList 3, def 4; line 5; CDataTen 6, point 7; def 8; point 9.
  const std::string expected =
      "0100" + kDeclSen + kLineDefault + "0200" +                                       //
      kDeclList + kHdrDefault + "03000000 01000000 01000080 8877665544332211 0142" +  //
      "0200" + "0180" + kLineDefault + kDeclTen + kPointDefault +                     //
      "0380" + kHdrDefault + "04000000 00000000 05000000 00" + "0100" + "0680" +      //
      kPointDefault + "00000000";  // image count (version 700)
  EXPECT_EQ(ToHex(BuildEntitySection(d)), H(expected));

  // Version 350: 13-byte header in the CDataList record, schema 0x015E.
  Drawing old = WithVersion(350);
  old.Blocks = {b};
  old.Blocks[0].Elements.clear();
  EXPECT_EQ(ToHex(BuildEntitySection(old)),
            H("0000 0100 FFFF 5E01 0900 4344617461 4C697374" + std::string("00000000 01 0100 0000 0000 0000") +
              "04000000 00000000 05000000 00 0000"));
}

TEST(JwwBuilderEntities, DeclaredCountsUnknownClassesAndRawBytes) {
  Drawing d = WithVersion(600);
  d.Schema = 0x1234;
  d.Elements = {UnknownClass{"CFoo"}, Sen{}, RawBytes{{0xAB, 0xCD}}, Sen{}};
  // CFoo takes index 1, CDataSen 2, line 3; raw bytes take nothing; second line tag 0x8002.
  EXPECT_EQ(ToHex(BuildEntitySection(d)),
            H("0200 FFFF 3412 0400 43466F6F FFFF 3412 0800 4344617461 53656E" + kLineDefault +
              "ABCD 0280" + kLineDefault + "0000"));

  Drawing counts = WithVersion(600);
  counts.DeclaredElementCount = 70000;
  counts.DeclaredBlockCount = 2;
  counts.Blocks = {BlockDef{}};
  counts.Blocks[0].DeclaredCount = 9;
  EXPECT_EQ(ToHex(BuildEntitySection(counts)),
            H("FFFF 70110100 0200 FFFF 5802 0900 4344617461 4C697374" + kHdrDefault +
              "00000000 00000000 00000000 00 0900"));
}

TEST(JwwBuilderEntities, ImageTable) {
  Drawing d = WithVersion(700);
  d.Images = {Image{"a.bmp", {1, 2, 3}, {}}, Image{"", {4, 5}, {}}, Image{"b", {9}, 0},
              Image{"c", {7, 8}, 5}};
  EXPECT_EQ(ToHex(BuildEntitySection(d)),
            H("0000 0000"                        // no elements, no block definitions
              "04000000"                         // image count
              "05 612E626D70 03000000 010203"    // name, size, content
              "00 02000000"                      // empty name: no content
              "01 62 00000000"                   // size 0: no content
              "01 63 05000000 0708"));           // declared size, content as given
  d.DeclaredImageCount = -1;
  EXPECT_EQ(At(BuildEntitySection(d), 4, 4), "FFFFFFFF");
  d.Hdr.Version = 600;  // no image table before version 700
  EXPECT_EQ(ToHex(BuildEntitySection(d)), "00000000");
}

// ---------------------------------------------------------------------------
// Header section

TEST(JwwBuilderHeader, SectionSizes) {
  auto size = [](int32_t v) { return HeaderSectionSize(WithVersion(v)); };
  // Common to all versions >= 220: signature 8 + version 4 + memo 1 + paper 4 + write group 4
  // + layer tables 16*148=2368 + reserved 56 + dimension 28 + print/grid 72 + 272 one-byte names
  // + view 52 + parallel/screen pens 168 + printer pens 160 + line types 128 + random/double 164
  // + text styles 280 + current text 100 = 3869.
  EXPECT_EQ(size(219), 12u);    // 8 + 4
  EXPECT_EQ(size(220), 4037u);  // 3869 + shadow 28 + mark-jump 96 + switch 44
  EXPECT_EQ(size(221), 3993u);  // 3869 + 28 + 96 + 0
  EXPECT_EQ(size(223), 4097u);  // 3869 + 28 + 96 + 104
  EXPECT_EQ(size(225), 4129u);  // 3869 + 28 + 96 + 136
  EXPECT_EQ(size(230), 4137u);  // 3869 + 28 + 96 + 144
  EXPECT_EQ(size(231), 4337u);  // 3869 + 44 + 280 + 144
  EXPECT_EQ(size(300), 4337u);
  EXPECT_EQ(size(419), 4337u);
  // Extended tables: colours 257*8=2056 + 257*(1+16)=4369 + names "Color_0".."Color_256"
  // (10*7 + 90*8 + 157*9 = 2203) + line types 33*16=528 + 33*(1+4+80)=2805
  // + names "LType_0".."LType_32" (10*7 + 23*8 = 254) = 12215.
  EXPECT_EQ(size(420), 16552u);  // 4337 + 12215
  EXPECT_EQ(size(700), 16552u);

  Drawing memo = WithVersion(600);
  memo.Hdr.Memo = std::string(300, 'm');
  EXPECT_EQ(HeaderSectionSize(memo), 16552u + 2 + 300);  // 3-byte prefix instead of 1
}

TEST(JwwBuilderHeader, SignatureVersionMemo) {
  Drawing d = WithVersion(700);
  d.Hdr.Memo = "\r\n";
  EXPECT_EQ(At(Build(d), 0, 15), H("4A77774461 74612E BC020000 02 0D0A"));
  d.Hdr.Signature = "Jw";
  d.Hdr.Version = 219;
  d.Trailer = {0xEE};
  EXPECT_EQ(ToHex(Build(d)), H("4A77 000000000000 DB000000 EE"));
  d.Hdr.Signature = "JwwData.X";
  EXPECT_EQ(At(Build(d), 0, 8), H("4A77774461 74612E"));
}

TEST(JwwBuilderHeader, LayerTablesAndNames) {
  Drawing d = WithVersion(600);
  d.Hdr.PaperSize = 0x0A;
  d.Hdr.WriteLayerGroup = 5;
  d.Hdr.LayerGroups[1] = {0, 3, 0.5, 1, "G"};
  d.Hdr.Layers[17] = {0, 7, "A"};
  d.Hdr.Layers[255].State = 9;
  d.Hdr.Layers[1].Name = "B";
  const std::vector<uint8_t> b = Build(d);
  EXPECT_EQ(At(b, 13, 8), H("0A000000 05000000"));
  // Group 1 entry at 21 + 148: group values, layer 16 (default), layer 17.
  EXPECT_EQ(At(b, 169, 36), H("00000000 03000000" + DHalf + "01000000 02000000 00000000 00000000 07000000"));
  EXPECT_EQ(At(b, 21 + 148 * 15 + 20 + 8 * 15, 4), "09000000");
  // Names at 2545: layers 0..255, then groups 0..15.
  EXPECT_EQ(At(b, 2545, 5), H("00 0142 00 00"));
  EXPECT_EQ(At(b, 2545 + 18, 3), H("0141 00"));            // layer 17
  EXPECT_EQ(At(b, 2545 + 256 + 2, 4), H("00 0147 00"));  // groups 0, 1, 2
}

TEST(JwwBuilderHeader, ShadowAndMarkJumpForms) {
  Drawing d = WithVersion(230);
  d.Hdr.SkyChartLevel = 2;
  d.Hdr.MarkJumpScale[0] = 2;
  d.Hdr.MarkJumpScale[4] = 3;  // entries 5..8 exist only after 230
  d.Hdr.Unit25D = 0x33;
  // Version 230: shadow 28 at 2817, view 52, mark-jump at 2897 (4 x Scale, X, Y).
  std::vector<uint8_t> b = Build(d);
  EXPECT_EQ(At(b, 2817 + 28, 4), "33000000");  // Unit25D follows the 28-byte shadow block
  EXPECT_EQ(At(b, 2897, 32), H(D2 + D0 + D0 + D1));
  d.Hdr.Version = 231;
  b = Build(d);
  EXPECT_EQ(At(b, 2817 + 28, 20), H(D2 + D0 + "33000000"));
  // Mark-jump at 2913: 28-byte entries with the layer group (-1).
  EXPECT_EQ(At(b, 2913, 36), H(D2 + D0 + D0 + "FFFFFFFF" + D1));
  EXPECT_EQ(At(b, 2913 + 4 * 28, 8), D3);
}

TEST(JwwBuilderHeader, SwitchBlock) {
  Drawing d = WithVersion(220);
  d.Hdr.DrawFlags[0] = 0x11;
  d.Hdr.SwitchWord11 = 23;
  d.Hdr.DrawTimeSeconds = 100;
  // Version 220: the 44-byte block starts 380 + 44 bytes before the end (4037).
  std::vector<uint8_t> b = Build(d);
  EXPECT_EQ(At(b, 3613, 52), H("11000000" + Z(36) + "17000000") + H(D3));  // then text style 1
  d.Hdr.Version = 223;  // 104 bytes: DrawTimeSeconds at offset 44
  b = Build(d);
  EXPECT_EQ(At(b, 3613 + 40, 8), H("17000000 64000000"));
  // Default eleventh word at 4337 - 380 - 144 + 40 (before the extended tables).
  EXPECT_EQ(At(Build(WithVersion(600)), 3853, 4), "0A000000");
  EXPECT_EQ(At(Build(WithVersion(500)), 3853, 4), "00000000");
}

TEST(JwwBuilderHeader, ExtendedTablesAndTextBlocks) {
  Drawing d = WithVersion(420);
  d.Hdr.ColorsEx[0].ScreenColor = 0xFF0000;
  d.Hdr.TextBaseOffsetY[2] = 1;
  const std::vector<uint8_t> b = BuildHeaderSection(d);
  // First pass at 3957, second pass at 3957 + 2056.
  EXPECT_EQ(At(b, 3957, 8), H("0000FF00 01000000"));
  EXPECT_EQ(At(b, 6013, 24), H("07 436F6C6F725F30 00000000 01000000") + D1);
  // Third pass at 6013 + 257*17 + 2203 = 12585; fourth at 12585 + 528.
  EXPECT_EQ(At(b, 12585, 16), H("FFFFFFFF 01000000 01000000 01000000"));
  EXPECT_EQ(At(b, 13113, 20), H("07 4C547970655F30 02000000") + D1);
  // Text style 1 and the current-text block at the end.
  EXPECT_EQ(At(b, b.size() - 380, 28), H(D3 + D3 + D0 + "01000000"));
  EXPECT_EQ(At(b, b.size() - 100, 100),
            H(D3 + D3 + D0 + "01000000 01000000" + D0 + D0 + "00000000" + Z(40) + D1));
}
