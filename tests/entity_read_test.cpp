// The entity section reader: class tags and their running index, every record
// form by version, block definitions, the tag-limited read of the layer test,
// and the block bookkeeping that ends a load. Sections are hand-written hex
// read from memory unless a whole drawing is needed.
#include <gtest/gtest.h>

#include "jwwbuilder.h"
#include "jwwsections.h"
#include "jwwunit.h"
#include "testutil.h"

using testutil::Hex;

namespace {

using namespace qm;

// Little-endian doubles.
const std::string D0 = "0000000000000000", D1 = "000000000000F03F", D2 = "0000000000000040", D3 = "0000000000000840",
                  D4 = "0000000000001040", D5 = "0000000000001440", DH = "000000000000E03F";

// New-class declarations: FFFF, schema word (600 = 0x0258), name length, name.
const std::string DeclSen = "FFFF 5802 0800 4344617461 53656E ";
const std::string DeclEnko = "FFFF 5802 0900 4344617461 456E6B6F ";
const std::string DeclTen = "FFFF 5802 0800 4344617461 54656E ";
const std::string DeclMoji = "FFFF 5802 0900 4344617461 4D6F6A69 ";
const std::string DeclSunpou = "FFFF 5802 0B00 4344617461 53756E706F75 ";
const std::string DeclSolid = "FFFF 5802 0A00 4344617461 536F6C6964 ";
const std::string DeclList = "FFFF 5802 0900 4344617461 4C697374 ";

// Element header: Group 1, PenStyle 1, PenColor 2, PenWidth 3, Layer 4, LayerGroup 5, Flags 6.
const std::string H15 = "01000000 01 0200 0300 0400 0500 0600 ";
const std::string H13 = "01000000 01 0200 0400 0500 0600 ";  // below 351: no PenWidth

std::string Line(const std::string& startX, const std::string& h = H15) { return h + startX + D0 + D0 + D0; }
std::string Arc(const std::string& centerX) { return H15 + centerX + D0 + D1 + D0 + D0 + D0 + D1 + "01000000"; }
// A point with PenStyle 1 (35 bytes) or, with extras, PenStyle 100 (55 bytes).
std::string Point(const std::string& x) { return "00000000 01 0100 0000 0000 0000 0000" + x + D0 + "00000000"; }
std::string Point100(const std::string& x, const std::string& h = "00000000 64 0100 0000 0000 0000 0000") {
  return h + x + D0 + "01000000" + "07000000" + D3 + DH;
}
std::string Text(const std::string& strings) {
  return H15 + D0 + D0 + D0 + D0 + "01000000" + D1 + D1 + D0 + D0 + strings;
}
// CDataList record: header, Number, Referenced, Time, Name.
std::string ListRecord(const std::string& number, const std::string& name) {
  return H15 + number + "00000000" + "00000000" + name;
}

// Reads an entity section from memory; MaxTags < 0 reads it whole.
uint64_t ReadSection(TJwwData& d, int32_t version, const std::vector<uint8_t>& bytes, int32_t maxTags = -1) {
  d.ResetDocument();
  d.Header.Version = version;
  TJwwReader r(bytes.data(), bytes.size());
  if (maxTags < 0)
    TJwwSections::ReadEntitySection(d, r);
  else
    TJwwSections::ReadEntitySectionForLayerTest(d, r, maxTags);
  return r.Offset();
}

std::vector<TEntJwwOrderItem> Order(std::initializer_list<std::pair<int32_t, int32_t>> items) {
  std::vector<TEntJwwOrderItem> v;
  for (auto [k, i] : items) v.push_back({k, i});
  return v;
}

TJwwStatus LoadBytes(TJwwData& d, const std::vector<uint8_t>& bytes) {
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "e.jww", bytes);
  return d.LoadDocument(dir / "e.jww");
}

}  // namespace

// ---------------------------------------------------------------------------
// Class tags and the running index

TEST(EntityClassTags, RunningIndexNumbersClassesAndObjects) {
  // Sen = 1, line 2, line 3 (0x8001), Enko = 4, arc 5, Ten = 6, point 7,
  // point (0x8006), arc (0x8004).
  const auto bytes = Hex("0600" + DeclSen + Line(D1) + "0180" + Line(D2) + DeclEnko + Arc(D3) + DeclTen + Point(D4) +
                         "0680" + Point(D5) + "0480" + Arc(DH) + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  EXPECT_EQ(d.Header.EntityCount, 6);
  ASSERT_EQ(d.LineCount, 2);
  ASSERT_EQ(d.ArcCount, 2);
  ASSERT_EQ(d.PointCount, 2);
  EXPECT_EQ(d.Lines[0].StartX, 1);
  EXPECT_EQ(d.Lines[1].StartX, 2);
  EXPECT_EQ(d.Arcs[0].CenterX, 3);
  EXPECT_EQ(d.Arcs[1].CenterX, 0.5);
  EXPECT_EQ(d.Points[0].X, 4);
  EXPECT_EQ(d.Points[1].X, 5);
  EXPECT_EQ(d.EntityOrder, Order({{1, 0}, {1, 1}, {2, 0}, {3, 0}, {3, 1}, {2, 1}}));
  EXPECT_EQ(d.Lines[0].Header, (TEntJwwEntityHeader{1, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 0);
}

TEST(EntityClassTags, LongReferenceClearsTheTopBit) {
  // Sen = 1, line 2, Enko = 3, arc 4, Ten = 5, point 6; then CDataTen as
  // 7FFF + 0x80000005, as 0x8005, and as 7FFF + 0x00000005.
  const auto bytes = Hex("0600" + DeclSen + Line(D1) + DeclEnko + Arc(D1) + DeclTen + Point(D1) + "FF7F 05000080" +
                         Point(D2) + "0580" + Point(D3) + "FF7F 05000000" + Point(D4) + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  ASSERT_EQ(d.PointCount, 4);
  EXPECT_EQ(d.Points[1].X, 2);
  EXPECT_EQ(d.Points[2].X, 3);
  EXPECT_EQ(d.Points[3].X, 4);
  EXPECT_EQ(d.LineCount, 1);
  EXPECT_EQ(d.ArcCount, 1);
}

TEST(EntityClassTags, TagsThatNameNoElementClass) {
  // Index 0 means "not declared" and never matches; an undeclared index (9)
  // neither. Each consumes its 2 (or 6) bytes only and is no element.
  const auto bytes = Hex("0200 0080 FF7F 00000080 0980" + DeclSen + Line(D1) + "0080" + "0180" + Line(D2) + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  EXPECT_EQ(d.LineCount, 2);
  EXPECT_EQ(d.BlockInsertCount, 0);
  EXPECT_EQ(d.EntityOrder, Order({{1, 0}, {1, 1}}));
}

TEST(EntityClassTags, UnknownClassTakesAnIndexAndReadingGoesOn) {
  // "CFoo" = 1 and "cDataSen" = 2 (names compare case-sensitively), Sen = 3,
  // line 4; a reference to the unknown class 1 is skipped; line via 0x8003.
  const auto bytes = Hex("0200 FFFF 5802 0400 43466F6F  FFFF 5802 0800 6344617461 53656E" + DeclSen + Line(D1) +
                         "0180 0280 0380" + Line(D2) + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  EXPECT_EQ(d.LineCount, 2);
  EXPECT_EQ(d.TotalCount(), 2);
  EXPECT_EQ(d.EntityOrder, Order({{1, 0}, {1, 1}}));
}

TEST(EntityClassTags, ClassNamesUpTo2048Bytes) {
  auto section = [](size_t nameLength) {
    std::vector<uint8_t> b = Hex("0100 FFFF 5802");
    b.push_back(static_cast<uint8_t>(nameLength));
    b.push_back(static_cast<uint8_t>(nameLength >> 8));
    b.insert(b.end(), nameLength, 'Q');
    const auto rest = Hex(DeclSen + Line(D1) + "0000");
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
  };
  TJwwData d;
  const auto ok = section(2048);
  EXPECT_EQ(ReadSection(d, 600, ok), ok.size());
  EXPECT_EQ(d.LineCount, 1);
  try {
    ReadSection(d, 600, section(2049));
    ADD_FAILURE() << "a 2049-byte class name was accepted";
  } catch (const EJwwError& e) {
    EXPECT_GE(e.Offset(), 6u);  // at the length or the name behind it
    EXPECT_LE(e.Offset(), 8u);
    EXPECT_NE(std::string(e.what()).find("class name"), std::string::npos) << e.what();
  }
}

// ---------------------------------------------------------------------------
// Block definitions

TEST(EntityBlocks, ShareClassNumberingWithTheMainList) {
  // Main: Sen = 1, line 2. Definition 1: List = 3, object 4; line (0x8001) 5;
  // Moji = 6, text 7. Definition 2 behind the tag 0x8001 (the tag of a block
  // definition is not checked), object 8; text (0x8006) 9; line (0x8001) 10.
  const std::string def1 =
      DeclList + ListRecord("0A000000", "0141") + "0200" + "0180" + Line(D2) + DeclMoji + Text("00 00");
  const std::string def2 =
      "0180" + ListRecord("14000000", "0142") + "0200" + "0680" + Text("00 0131") + "0180" + Line(D3);
  const auto bytes = Hex("0100" + DeclSen + Line(D1) + "0200" + def1 + def2);
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  EXPECT_EQ(d.LineCount, 1);
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 2);
  ASSERT_EQ(d.BlockDefCount, 2);
  ASSERT_EQ(d.BlockDefs.size(), 2u);
  const TEntJwwBlockDef& a = d.BlockDefs[0];
  const TEntJwwBlockDef& b = d.BlockDefs[1];
  EXPECT_EQ(a.Number, 10);
  EXPECT_EQ(a.Name, "A");
  EXPECT_EQ(a.Header, (TEntJwwEntityHeader{1, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(a.ElementCount, 2);
  EXPECT_EQ(a.Order, Order({{1, 0}, {4, 0}}));
  EXPECT_EQ(a.Lists().Lines.at(0).StartX, 2);
  EXPECT_EQ(a.Lists().TextCount, 1);
  EXPECT_EQ(b.Number, 20);
  EXPECT_EQ(b.Name, "B");
  EXPECT_EQ(b.Order, Order({{4, 0}, {1, 0}}));
  EXPECT_EQ(b.Lists().Texts.at(0).Text, "1");
  EXPECT_EQ(b.Lists().Lines.at(0).StartX, 3);
  EXPECT_EQ(b.Lists().Lines.size(), 1u);
}

TEST(EntityBlocks, ExtendedTimeIsSkippedAndReplacedByThePosition) {
  // Time 0x80000001: 8 more bytes before the name; Time becomes the position.
  const auto bytes = Hex("0000 0100" + DeclList + H15 + "05000000 00000000 01000080 AAAAAAAAAAAAAAAA 0158 0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  ASSERT_EQ(d.BlockDefCount, 1);
  EXPECT_EQ(d.BlockDefs[0].Time, 1u);
  EXPECT_EQ(d.BlockDefs[0].Name, "X");
  EXPECT_EQ(d.BlockDefs[0].Number, 5);

  for (int32_t v : {300, 600}) {
    jwwtest::Drawing dr;
    dr.Hdr.Version = v;
    for (uint32_t i = 0; i < 4; ++i) {
      jwwtest::BlockDef b;
      b.Number = static_cast<int32_t>(i);
      b.Name = "def" + std::to_string(i);
      b.Time = i == 2 ? 0x80000001u : 0x12345670u + i;
      b.ExtendedTime = 0x1122334455667788u;
      b.Elements = {jwwtest::Sen{}};
      dr.Blocks.push_back(b);
    }
    ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
    ASSERT_EQ(d.BlockDefCount, 4);
    EXPECT_EQ(d.BlockDefs[1].Time, 0x12345671u) << v;
    EXPECT_EQ(d.BlockDefs[2].Time, 3u) << v;
    EXPECT_EQ(d.BlockDefs[2].Name, "def2") << v;
    EXPECT_EQ(d.BlockDefs[3].Time, 0x12345673u) << v;
    EXPECT_EQ(d.BlockDefs[3].Lists().LineCount, 1) << v;
  }
}

// ---------------------------------------------------------------------------
// Record forms by version

TEST(EntityRecords, PointExtrasOnlyWithPenStyle100) {
  const std::string h13 = "00000000 64 0100 0000 0000 0000";  // PenStyle 100 without PenWidth
  struct Case {
    int32_t Version;
    std::string Section;
  };
  // 55 / 35 bytes from 351, 53 / 33 below.
  const Case cases[] = {
      {600, "0300" + DeclTen + Point100(D1) + "0180" + Point(D2) + "0180" + Point100(D3) + "0000"},
      {350, "0300" + DeclTen + Point100(D1, h13) + "0180" + "00000000 01 0100 0000 0000 0000" + D2 + D0 + "00000000" +
                "0180" + Point100(D3, h13) + "0000"},
  };
  for (const Case& c : cases) {
    const auto bytes = Hex(c.Section);
    EXPECT_EQ(bytes.size(), c.Version == 600 ? 2u + 14 + 55 + 2 + 35 + 2 + 55 + 2 : 2u + 14 + 53 + 2 + 33 + 2 + 53 + 2);
    TJwwData d;
    EXPECT_EQ(ReadSection(d, c.Version, bytes), bytes.size()) << c.Version;
    ASSERT_EQ(d.PointCount, 3) << c.Version;
    EXPECT_EQ(d.Points[0].Header.PenStyle, 100);
    EXPECT_EQ(d.Points[0].Temporary, 1);
    EXPECT_EQ(d.Points[0].Code, 7);
    EXPECT_EQ(d.Points[0].Angle, 3);
    EXPECT_EQ(d.Points[0].Scale, 0.5);
    EXPECT_EQ(d.Points[1].X, 2);
    EXPECT_EQ(d.Points[1].Code, 0);
    EXPECT_EQ(d.Points[1].Angle, 0);
    EXPECT_EQ(d.Points[1].Scale, 1.0);  // the main list's default scale
    EXPECT_EQ(d.Points[2].X, 3);
  }
  // Inside a block definition a plain point's scale stays 0.
  jwwtest::Drawing dr;
  dr.Hdr.Version = 600;
  jwwtest::BlockDef b;
  b.Elements = {jwwtest::Ten{}};
  dr.Blocks = {b};
  dr.Elements = {jwwtest::Ten{}};
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
  EXPECT_EQ(d.Points.at(0).Scale, 1.0);
  EXPECT_EQ(d.BlockDefs.at(0).Lists().Points.at(0).Scale, 0.0);
}

TEST(EntityRecords, SolidColourOnlyWithPenColor10) {
  const std::string body = D1 + D2 + D3 + D4 + D5 + DH + D0 + D1;
  const std::string solid10 = "00000000 01 0A00 0000 0000 0000 0000" + body + "33221100";  // 83 bytes
  const std::string solid3 = "00000000 01 0300 0000 0000 0000 0000" + body;                // 79 bytes
  const std::string solid10Old = "00000000 01 0A00 0000 0000 0000" + body + "66554400";    // 81 bytes
  const std::string solid3Old = "00000000 01 0300 0000 0000 0000" + body;                  // 77 bytes
  for (int32_t v : {600, 350}) {
    const auto bytes =
        Hex("0200" + DeclSolid + (v == 600 ? solid10 + "0180" + solid3 : solid10Old + "0180" + solid3Old) + "0000");
    EXPECT_EQ(bytes.size(), 2u + 16 + (v == 600 ? 162u : 158u) + 2 + 2);
    TJwwData d;
    EXPECT_EQ(ReadSection(d, v, bytes), bytes.size()) << v;
    ASSERT_EQ(d.SolidCount, 2);
    EXPECT_EQ(d.Solids[0].Color, v == 600 ? 0x00112233 : 0x00445566);
    EXPECT_EQ(d.Solids[0].Point3Y, 1);
    EXPECT_EQ(d.Solids[1].Color, 0);
    EXPECT_EQ(d.Solids[1].Header.PenColor, 3);
    EXPECT_EQ(d.Solids[1].Point2Y, 0.5);
  }
}

TEST(EntityRecords, BelowVersion351HeadersLackPenWidth) {
  // A version-300 line is 45 bytes; Layer, LayerGroup and Flags sit at 7, 9, 11.
  const auto bytes =
      Hex("0200" + DeclSen + "78563412 02 0300 0500 0600 0780" + D1 + D2 + D3 + D4 + "0180" + Line(D5, H13) + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 300, bytes), bytes.size());
  ASSERT_EQ(d.LineCount, 2);
  EXPECT_EQ(d.Lines[0].Header, (TEntJwwEntityHeader{0x12345678, 2, 3, 0, 5, 6, 0x8007}));
  EXPECT_EQ(d.Lines[0].EndY, 4);
  EXPECT_EQ(d.Lines[1].StartX, 5);

  // Every kind, with the builder's default headers (PenWidth 1 that a 350 file cannot hold).
  jwwtest::Drawing dr;
  dr.Hdr.Version = 350;
  jwwtest::EntHdr h;
  h.Layer = 7;
  h.LayerGroup = 8;
  h.Flags = 9;
  jwwtest::Sunpou dim;
  dim.H = h;
  dim.Line.H = h;
  dim.ValueText.H = h;
  jwwtest::Moji text;
  text.H = h;
  dr.Elements = {jwwtest::Sen{h}, jwwtest::Enko{h}, jwwtest::Ten{h}, text, dim, jwwtest::Solid{h}, jwwtest::Block{h}};
  jwwtest::BlockDef b;
  b.H = h;
  b.Elements = {jwwtest::Sen{h}};
  dr.Blocks = {b};
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
  ASSERT_EQ(d.TotalCount(), 7);
  for (int32_t k = 1; k <= 7; ++k) {
    const TEntJwwEntityHeader* eh = d.HeaderOf(k, 0);
    ASSERT_NE(eh, nullptr) << k;
    EXPECT_EQ(eh->PenWidth, 0) << k;
    EXPECT_EQ(eh->Layer, 7) << k;
    EXPECT_EQ(eh->LayerGroup, 8) << k;
    EXPECT_EQ(eh->Flags, 9) << k;
  }
  EXPECT_EQ(d.Dimensions[0].ValueText.Header.Flags, 9);
  EXPECT_EQ(d.BlockDefs.at(0).Header.Layer, 7);
  EXPECT_EQ(d.BlockDefs.at(0).Lists().Lines.at(0).Header.Flags, 9);
}

TEST(EntityRecords, DimensionExtensionFrom420) {
  const std::string dimHeader = "09000000 02 0300 0400 0500 0600 0700";
  const std::string base = dimHeader + H15 + D1 + D2 + D3 + D4 + Text("00 023130");
  const std::string extension = "0201" + Line(D5) + Line(DH) + Point(D1) + Point100(D2) + Point(D3) + Point(D4);
  const TEntJwwEntityHeader own{9, 2, 3, 4, 5, 6, 7};
  for (int32_t v : {400, 419, 420, 600}) {
    const bool extended = v >= 420;
    const auto bytes = Hex("0200" + DeclSunpou + base + (extended ? extension : "") + DeclSen + Line(D5) + "0000");
    TJwwData d;
    EXPECT_EQ(ReadSection(d, v, bytes), bytes.size()) << v;
    ASSERT_EQ(d.DimensionCount, 1) << v;
    ASSERT_EQ(d.LineCount, 1) << v;
    EXPECT_EQ(d.Lines[0].StartX, 5) << v;  // the next element starts right after the dimension
    const TEntJwwSunpou& s = d.Dimensions[0];
    EXPECT_EQ(s.Header, own);
    EXPECT_EQ(s.Line.EndY, 4);
    EXPECT_EQ(s.ValueText.Text, "10");
    if (extended) {
      EXPECT_EQ(s.SxfMode, 0x0102) << v;
      EXPECT_EQ(s.AuxLine1.StartX, 5);
      EXPECT_EQ(s.AuxLine2.StartX, 0.5);
      EXPECT_EQ(s.Point1.X, 1);
      EXPECT_EQ(s.Point1.Scale, 0.0);
      EXPECT_EQ(s.Point2.X, 2);  // PenStyle 100 inside a dimension: 55 bytes
      EXPECT_EQ(s.Point2.Code, 7);
      EXPECT_EQ(s.Point2.Scale, 0.5);
      EXPECT_EQ(s.Point3.X, 3);
      EXPECT_EQ(s.Point4.X, 4);
    } else {
      EXPECT_EQ(s.SxfMode, 0) << v;
      for (const TEntJwwSen* aux : {&s.AuxLine1, &s.AuxLine2}) {
        EXPECT_EQ(aux->Header, own) << v;
        EXPECT_EQ(aux->StartX, 0);
        EXPECT_EQ(aux->EndY, 0);
      }
      TEntJwwEntityHeader pointHeader = own;
      pointHeader.PenStyle = 0;
      for (const TEntJwwTen* p : {&s.Point1, &s.Point2, &s.Point3, &s.Point4}) {
        EXPECT_EQ(p->Header, pointHeader) << v;
        EXPECT_EQ(p->X, 0);
        EXPECT_EQ(p->Code, 0);
        EXPECT_EQ(p->Scale, 0);
      }
    }
  }
}

TEST(EntityRecords, TextsAndFontNamesKeptWhole) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 600;
  jwwtest::Moji t;
  t.FontName = std::string(1000, 'F');
  t.Text = std::string(300, 'x') + "\r\n" + std::string(65000, 'y');
  jwwtest::Sunpou dim;
  dim.ValueText.FontName = std::string(256, 'g');
  dim.ValueText.Text = "\x82\xA0" + std::string(400, '1');
  dr.Elements = {t, dim, jwwtest::Moji{}};
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
  ASSERT_EQ(d.TextCount, 2);
  EXPECT_EQ(d.Texts[0].FontName, std::string(1000, 'F'));
  EXPECT_EQ(d.Texts[0].Text, std::string(300, 'x') + std::string(65000, 'y'));
  EXPECT_EQ(d.Dimensions.at(0).ValueText.FontName, std::string(256, 'g'));
  EXPECT_EQ(d.Dimensions.at(0).ValueText.Text, "\x82\xA0" + std::string(400, '1'));
  EXPECT_EQ(d.Texts[1].Text, "");
}

// ---------------------------------------------------------------------------
// Counts

TEST(EntityCounts, LongCountPrefix) {
  const auto small = Hex("FFFF 02000000" + DeclSen + Line(D1) + "0180" + Line(D2) + "FFFF 00000000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, small), small.size());
  EXPECT_EQ(d.LineCount, 2);
  EXPECT_EQ(d.Header.EntityCount, 2);

  std::vector<uint8_t> big = Hex("FFFF 70110100" + DeclSen + Line(D1));
  const auto next = Hex("0180" + Line(D2));
  for (int i = 1; i < 70000; ++i) big.insert(big.end(), next.begin(), next.end());
  const auto tail = Hex("0000");
  big.insert(big.end(), tail.begin(), tail.end());
  EXPECT_EQ(ReadSection(d, 600, big), big.size());
  EXPECT_EQ(d.Header.EntityCount, 70000);
  EXPECT_EQ(d.LineCount, 70000);
  EXPECT_EQ(d.Lines.size(), 70000u);
  ASSERT_EQ(d.EntityOrder.size(), 70000u);
  EXPECT_EQ(d.EntityOrder.back(), (TEntJwwOrderItem{1, 69999}));
  EXPECT_EQ(d.Lines.back().StartX, 2);
}

TEST(EntityCounts, TheSmallestRecordsFitTheirCounts) {
  // Counts are checked against the bytes left; lists of the smallest possible
  // items must still pass: 1000 plain points below 351 (2 + 33 bytes each),
  // 100 empty block definitions (2 + 27 + 1 + 2 bytes) and, at 700, 100
  // images without name and data (1 + 4 bytes).
  std::string points = "E803" + DeclTen + "00000000 01 0100 0000 0000 0000" + D1 + D0 + "00000000";
  for (int i = 1; i < 1000; ++i) points += "0180 00000000 01 0100 0000 0000 0000" + D1 + D0 + "00000000";
  const auto pointBytes = Hex(points + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 350, pointBytes), pointBytes.size());
  EXPECT_EQ(d.PointCount, 1000);

  std::string defs = "0000 6400" + DeclList + ListRecord("00000000", "00") + "0000";
  for (int i = 1; i < 100; ++i) defs += "0180" + ListRecord("00000000", "00") + "0000";
  const auto defBytes = Hex(defs);
  EXPECT_EQ(ReadSection(d, 600, defBytes), defBytes.size());
  EXPECT_EQ(d.BlockDefCount, 100);

  std::string images = "0000 0000 64000000";
  for (int i = 0; i < 100; ++i) images += "00 00000000";
  const auto imageBytes = Hex(images);
  EXPECT_EQ(ReadSection(d, 700, imageBytes), imageBytes.size());
  EXPECT_EQ(d.Images.size(), 100u);
}

TEST(EntityCounts, ArraysEndTheSizeOfTheirCounts) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 600;
  jwwtest::BlockDef b;
  for (int i = 0; i < 1001; ++i) {
    jwwtest::Moji t;
    t.Text = std::to_string(i);
    dr.Elements.push_back(t);
    b.Elements.push_back(t);
  }
  dr.Elements.push_back(jwwtest::Enko{});
  b.Elements.push_back(jwwtest::Sunpou{});
  dr.Blocks = {b};
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
  EXPECT_EQ(d.TextCount, 1001);
  EXPECT_EQ(d.Texts.size(), 1001u);
  EXPECT_EQ(d.Texts[1000].Text, "1000");
  EXPECT_EQ(d.Arcs.size(), 1u);
  EXPECT_EQ(d.Lines.size(), 0u);
  const TEntJwwBlockDef& def = d.BlockDefs.at(0);
  EXPECT_EQ(def.Lists().TextCount, 1001);
  EXPECT_EQ(def.Lists().Texts.size(), 1001u);
  EXPECT_EQ(def.Lists().Dimensions.size(), 1u);
  EXPECT_EQ(def.Order.size(), 1002u);
  EXPECT_EQ(def.Order.back(), (TEntJwwOrderItem{5, 0}));
}

// ---------------------------------------------------------------------------
// The tag-limited read of the layer test

TEST(EntityLayerTest, StopsAfterMaxTags) {
  // Moji = 1, text 2, Sen = 3, line 4, line (0x8003).
  const std::string first = "0300" + DeclMoji + Text("0141 0142");
  const std::string second = DeclSen + Line(D1);
  const auto bytes = Hex(first + second + "0380" + Line(D2) + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes, 1), Hex(first).size());  // just after the text's strings
  EXPECT_EQ(d.Header.EntityCount, 3);
  EXPECT_EQ(d.TextCount, 1);
  EXPECT_EQ(d.Texts.size(), 1u);
  EXPECT_EQ(d.Texts[0].FontName, "A");
  EXPECT_EQ(d.Texts[0].Text, "B");
  EXPECT_EQ(d.LineCount, 0);
  EXPECT_EQ(d.EntityOrder, Order({{4, 0}}));
  EXPECT_EQ(d.BlockDefCount, 0);
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 0);

  EXPECT_EQ(ReadSection(d, 600, bytes, 2), Hex(first + second).size());
  EXPECT_EQ(d.EntityOrder, Order({{4, 0}, {1, 0}}));

  EXPECT_EQ(ReadSection(d, 600, bytes, 0), 2u);
  EXPECT_EQ(d.Header.EntityCount, 3);
  EXPECT_TRUE(d.EntityOrder.empty());
  EXPECT_EQ(d.TotalCount(), 0);

  // The block count is read only when a tag is left after the main list.
  EXPECT_EQ(ReadSection(d, 600, bytes, 3), bytes.size() - 2);
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 0);
  EXPECT_EQ(ReadSection(d, 600, bytes, 4), bytes.size());
  EXPECT_EQ(d.LineCount, 2);
  EXPECT_EQ(d.EntityOrder.size(), 3u);

  // An unknown class declaration uses up a tag too.
  const auto unknown = Hex("0100 FFFF 5802 0400 43466F6F" + second + "0000");
  EXPECT_EQ(ReadSection(d, 600, unknown, 1), 12u);
  EXPECT_EQ(d.TotalCount(), 0);
}

TEST(EntityLayerTest, EmptyMainListReadsTheFirstDefinitionsFirstElement) {
  // List = 1, definition 2, Sen = 3, line 4, line (0x8003); definition 2 (0x8001).
  const std::string upToFirstLine =
      "0000 0200" + DeclList + ListRecord("01000000", "0141") + "0200" + DeclSen + Line(D1);
  const auto bytes = Hex(upToFirstLine + "0380" + Line(D2) + "0180" + ListRecord("02000000", "0142") + "0000");
  TJwwData d;
  EXPECT_EQ(ReadSection(d, 600, bytes, 1), Hex(upToFirstLine).size());
  EXPECT_EQ(d.Header.EntityCount, 0);
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 2);
  ASSERT_EQ(d.BlockDefCount, 1);
  ASSERT_EQ(d.BlockDefs.size(), 1u);
  EXPECT_EQ(d.BlockDefs[0].Name, "A");
  EXPECT_EQ(d.BlockDefs[0].ElementCount, 2);
  EXPECT_EQ(d.BlockDefs[0].Lists().LineCount, 1);
  EXPECT_EQ(d.BlockDefs[0].Order, Order({{1, 0}}));

  EXPECT_EQ(ReadSection(d, 600, bytes), bytes.size());
  ASSERT_EQ(d.BlockDefCount, 2);
  EXPECT_EQ(d.BlockDefs[0].Lists().LineCount, 2);
  EXPECT_EQ(d.BlockDefs[1].Number, 2);
}

// ---------------------------------------------------------------------------
// Block usage

namespace {

TEntJwwBlockDef Def(int32_t number, std::initializer_list<int32_t> inserts) {
  TEntJwwBlockDef d;
  d.Number = number;
  for (int32_t n : inserts) {
    TEntJwwBlock b;
    b.BlockNumber = n;
    d.Lists().BlockInserts.push_back(b);
    d.Order.push_back({KindBlock, d.Lists().BlockInsertCount++});
  }
  d.ElementCount = d.Lists().BlockInsertCount;
  return d;
}

void Place(TJwwData& doc, std::vector<TEntJwwBlockDef> defs, std::initializer_list<int32_t> topLevel) {
  doc.ClearDocument();
  doc.BlockDefs = std::move(defs);
  doc.BlockDefCount = static_cast<int32_t>(doc.BlockDefs.size());
  doc.Header.DeclaredBlockDefCount = doc.BlockDefCount;
  for (int32_t n : topLevel) {
    TEntJwwBlock b;
    b.BlockNumber = n;
    doc.BlockInserts.push_back(b);
    doc.EntityOrder.push_back({KindBlock, doc.BlockInsertCount++});
  }
  doc.Header.EntityCount = doc.BlockInsertCount;
}

std::vector<int32_t> TreeNumbers(const TJwwData& d) {
  std::vector<int32_t> v;
  for (const auto& t : d.BlockTree) v.push_back(t.BlockNumber);
  EXPECT_EQ(d.BlockTreeCount, static_cast<int32_t>(d.BlockTree.size()));
  return v;
}
std::vector<int32_t> TreeIndexes(const TJwwData& d) {
  std::vector<int32_t> v;
  for (const auto& t : d.BlockTree) v.push_back(t.BlockDefIndex);
  return v;
}
std::vector<int32_t> NewNumbers(const TJwwData& d) {
  std::vector<int32_t> v;
  for (const auto& b : d.BlockDefs) {
    EXPECT_EQ(b.Used, b.NewNumber >= 0);
    v.push_back(b.NewNumber);
  }
  return v;
}
using V = std::vector<int32_t>;

}  // namespace

TEST(EntityBlockUsage, FinishLoadCases) {
  TJwwData d;
  {  // No inserts: everything unused, earlier marks cleared.
    Place(d, {Def(1, {}), Def(2, {})}, {});
    d.BlockDefs[0].Used = true;
    d.BlockDefs[0].NewNumber = 5;
    d.BlockTree = {{1, 0}};
    d.BlockTreeCount = 1;
    d.UsedBlockDefCount = 1;
    d.FinishLoad();
    EXPECT_EQ(NewNumbers(d), (V{-1, -1}));
    EXPECT_EQ(d.UsedBlockDefCount, 0);
    EXPECT_EQ(TreeNumbers(d), V{});
  }
  {  // A, B, C; C placed twice, C holds A: one entry per top-level insert, one per insert in a reached definition.
    Place(d, {Def(10, {}), Def(20, {}), Def(30, {10})}, {30, 30});
    d.FinishLoad();
    EXPECT_EQ(TreeNumbers(d), (V{30, 30, 10}));
    EXPECT_EQ(TreeIndexes(d), (V{2, 2, 0}));
    EXPECT_EQ(NewNumbers(d), (V{0, -1, 1}));  // numbered in array order, not in order found
    EXPECT_EQ(d.UsedBlockDefCount, 2);
  }
  {  // Two definitions with one number: the first wins, the second stays unused.
    Place(d, {Def(5, {}), Def(5, {}), Def(6, {})}, {5});
    d.FinishLoad();
    EXPECT_EQ(TreeIndexes(d), (V{0}));
    EXPECT_EQ(NewNumbers(d), (V{0, -1, -1}));
    EXPECT_EQ(d.UsedBlockDefCount, 1);
  }
  {  // A number without definition: an entry with -1 and nothing else.
    Place(d, {Def(1, {99})}, {99, 1});
    d.FinishLoad();
    EXPECT_EQ(TreeNumbers(d), (V{99, 1, 99}));
    EXPECT_EQ(TreeIndexes(d), (V{-1, 0, -1}));
    EXPECT_EQ(NewNumbers(d), (V{0}));
  }
  {  // A definition holding itself.
    Place(d, {Def(1, {1, 1})}, {1});
    d.FinishLoad();
    EXPECT_EQ(TreeNumbers(d), (V{1, 1, 1}));
    EXPECT_EQ(NewNumbers(d), (V{0}));
  }
  {  // Two definitions holding each other; a third one unreached.
    Place(d, {Def(1, {2}), Def(2, {1}), Def(3, {})}, {1});
    d.FinishLoad();
    EXPECT_EQ(TreeNumbers(d), (V{1, 2, 1}));
    EXPECT_EQ(NewNumbers(d), (V{0, 1, -1}));
    EXPECT_EQ(d.UsedBlockDefCount, 2);
  }
  {  // A chain 1000 deep, entered twice, plus an unreached definition at the front.
    std::vector<TEntJwwBlockDef> defs{Def(-5, {1})};
    for (int32_t i = 1; i <= 1000; ++i) defs.push_back(i < 1000 ? Def(i, {i + 1}) : Def(i, {}));
    Place(d, std::move(defs), {1, 1});
    d.FinishLoad();
    EXPECT_EQ(d.BlockTreeCount, 2 + 999);
    EXPECT_EQ(d.UsedBlockDefCount, 1000);
    EXPECT_EQ(d.BlockDefs[0].NewNumber, -1);
    EXPECT_EQ(d.BlockDefs[1].NewNumber, 0);
    EXPECT_EQ(d.BlockDefs[1000].NewNumber, 999);
  }
  {  // 40 levels that each place the next twice: 2^40 placements, but each definition expands once.
    std::vector<TEntJwwBlockDef> defs;
    for (int32_t i = 0; i < 40; ++i) defs.push_back(i < 39 ? Def(i, {i + 1, i + 1}) : Def(i, {}));
    Place(d, std::move(defs), {0});
    d.FinishLoad();
    EXPECT_EQ(d.BlockTreeCount, 1 + 39 * 2);
    EXPECT_EQ(d.UsedBlockDefCount, 40);
  }
}

TEST(EntityBlockUsage, LoadedDrawingWithNestedDefinitions) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 600;
  jwwtest::BlockDef a, b, c;
  a.Number = 10;
  a.Elements = {jwwtest::Sen{}};
  b.Number = 20;
  c.Number = 30;
  jwwtest::Block insA, insC;
  insA.BlockNumber = 10;
  insC.BlockNumber = 30;
  c.Elements = {insA};
  dr.Blocks = {a, b, c};
  dr.Elements = {insC, jwwtest::Sen{}, insC};
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
  EXPECT_EQ(TreeNumbers(d), (V{30, 30, 10}));
  EXPECT_EQ(NewNumbers(d), (V{0, -1, 1}));
  EXPECT_EQ(d.UsedBlockDefCount, 2);
}

TEST(EntityBlockUsage, RecomputeCountsOnlyInsertsLeftInTheOrder) {
  TJwwData d;
  Place(d, {Def(10, {}), Def(20, {30}), Def(30, {})}, {10, 20});
  d.FinishLoad();
  EXPECT_EQ(NewNumbers(d), (V{0, 1, 2}));
  d.EntityOrder[1].Kind = KindNone;  // the insert of 20 deleted
  --d.BlockInsertCount;
  d.RecomputeBlockUsage();
  EXPECT_EQ(NewNumbers(d), (V{0, -1, -1}));
  EXPECT_EQ(d.UsedBlockDefCount, 1);
  EXPECT_EQ(TreeNumbers(d), (V{10}));
  d.EntityOrder[0].Kind = KindNone;
  d.RecomputeBlockUsage();
  EXPECT_EQ(NewNumbers(d), (V{-1, -1, -1}));
  EXPECT_EQ(d.UsedBlockDefCount, 0);
}
