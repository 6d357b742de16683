// The entity section writer: element headers, records, class tags and the
// running index, block renumbering and the image table. Documents are built
// in memory; every expected byte string is written by hand from the record
// layouts (version 600 unless a test says otherwise, schema word 58 02).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jwwbuilder.h"
#include "jwwsections.h"
#include "jwwmeaning.h"
#include "jwwunit.h"
#include "testutil.h"
#include "workfolder.h"

using testutil::Hex;

namespace {

using namespace qm;

std::string Z(size_t n) { return std::string(2 * n, '0'); }  // n zero bytes as hex
std::string Cat(std::initializer_list<std::string> parts) {
  std::string s;
  for (const std::string& p : parts) s += p + " ";
  return s;
}

constexpr const char* D0 = "0000000000000000";
constexpr const char* D2 = "0000000000000040";

// Class declarations at version 600.
const std::string kDeclSen = "FFFF 5802 0800 4344617461 53656E";
const std::string kDeclEnko = "FFFF 5802 0900 4344617461 456E6B6F";
const std::string kDeclTen = "FFFF 5802 0800 4344617461 54656E";
const std::string kDeclMoji = "FFFF 5802 0900 4344617461 4D6F6A69";
const std::string kDeclSolid = "FFFF 5802 0A00 4344617461 536F6C6964";
const std::string kDeclBlock = "FFFF 5802 0A00 4344617461 426C6F636B";
const std::string kDeclList = "FFFF 5802 0900 4344617461 4C697374";

// Header Group 0, PenStyle 1, PenColor 1, PenWidth 1, and records with zero values.
const std::string kHdr = "00000000 01 0100 0100 0000 0000 0000";
const std::string kLine = kHdr + Z(32);
const std::string kArc = kHdr + Z(60);
std::string Insert(const std::string& number) { return kHdr + Z(40) + number; }
// CDataList record with Referenced 0x11 and Time 0x22.
std::string Def(const std::string& number, const std::string& name) {
  return kHdr + number + " 11000000 22000000 " + name;
}

TEntJwwEntityHeader Hdr(uint8_t style = 1, uint16_t color = 1, uint16_t width = 1) {
  TEntJwwEntityHeader h;
  h.PenStyle = style;
  h.PenColor = color;
  h.PenWidth = width;
  return h;
}

// Appending elements to a list with its order list and count.
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwSen& e) {
  o.push_back({KindSen, static_cast<int32_t>(l.Lines.size())});
  l.Lines.push_back(e);
  ++l.LineCount;
}
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwEnko& e) {
  o.push_back({KindEnko, static_cast<int32_t>(l.Arcs.size())});
  l.Arcs.push_back(e);
  ++l.ArcCount;
}
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwTen& e) {
  o.push_back({KindTen, static_cast<int32_t>(l.Points.size())});
  l.Points.push_back(e);
  ++l.PointCount;
}
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwMoji& e) {
  o.push_back({KindMoji, static_cast<int32_t>(l.Texts.size())});
  l.Texts.push_back(e);
  ++l.TextCount;
}
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwSunpou& e) {
  o.push_back({KindSunpou, static_cast<int32_t>(l.Dimensions.size())});
  l.Dimensions.push_back(e);
  ++l.DimensionCount;
}
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwSolid& e) {
  o.push_back({KindSolid, static_cast<int32_t>(l.Solids.size())});
  l.Solids.push_back(e);
  ++l.SolidCount;
}
void Push(TEntJwwElementLists& l, std::vector<TEntJwwOrderItem>& o, const TEntJwwBlock& e) {
  o.push_back({KindBlock, static_cast<int32_t>(l.BlockInserts.size())});
  l.BlockInserts.push_back(e);
  ++l.BlockInsertCount;
}

template <typename T>
void Add(TJwwData& d, const T& e) {
  Push(d, d.EntityOrder, e);
  d.Header.EntityCount = static_cast<int32_t>(d.EntityOrder.size());
}
template <typename T>
void Add(TEntJwwBlockDef& def, const T& e) {
  Push(def.Lists(), def.Order, e);
  def.ElementCount = static_cast<int32_t>(def.Order.size());
}
void AddDef(TJwwData& d, TEntJwwBlockDef def) {
  d.BlockDefs.push_back(std::move(def));
  d.BlockDefCount = d.Header.DeclaredBlockDefCount = static_cast<int32_t>(d.BlockDefs.size());
}
// Marks a top-level element as removed, as the purge does.
void Remove(TJwwData& d, size_t position) {
  --d.CountOf(d.EntityOrder[position].Kind);
  d.EntityOrder[position].Kind = KindNone;
}

TEntJwwSen Line() { return {Hdr(), 0, 0, 0, 0}; }
TEntJwwEnko Arc() {
  TEntJwwEnko e;
  e.Header = Hdr();
  return e;
}
TEntJwwBlock InsertOf(int32_t number) {
  TEntJwwBlock e;
  e.Header = Hdr();
  e.BlockNumber = number;
  return e;
}
TEntJwwMoji Text(std::string text, std::string font = "") {
  TEntJwwMoji e;
  e.Header = Hdr();
  e.TextKind = 1;
  e.FontName = std::move(font);
  e.Text = std::move(text);
  return e;
}
TEntJwwBlockDef DefOf(int32_t number, std::string name = "") {
  TEntJwwBlockDef d;
  d.Header = Hdr();
  d.Number = number;
  d.Referenced = 0x11;
  d.Time = 0x22;
  d.Name = std::move(name);
  return d;
}

std::vector<uint8_t> Section(const TJwwData& d, int32_t v = 600) {
  std::vector<uint8_t> out;
  TJwwWriter w(out);
  TJwwSections::WriteEntitySection(d, w, v);
  return out;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t offset, size_t n) {
  if (offset + n > b.size()) return {};
  return {b.begin() + static_cast<std::ptrdiff_t>(offset), b.begin() + static_cast<std::ptrdiff_t>(offset + n)};
}

template <typename F>
std::vector<uint8_t> Bytes(F write) {
  std::vector<uint8_t> out;
  TJwwWriter w(out);
  write(w);
  return out;
}

// ---------------------------------------------------------------------------
// Element headers

TEST(EntityHeader, FieldOrderAndTheThirteenByteFormBelow351) {
  TEntJwwEntityHeader h{0x12345678, 2, 3, 0x0104, 5, 6, 0x8007};
  auto write = [&](int32_t v) { return Bytes([&](TJwwWriter& w) { TJwwData::WriteEntityHeader(w, v, h, KindSen); }); };
  EXPECT_EQ(write(600), Hex("78563412 02 0300 0401 0500 0600 0780"));
  EXPECT_EQ(write(351), Hex("78563412 02 0300 0401 0500 0600 0780"));
  EXPECT_EQ(write(350), Hex("78563412 02 0300 0500 0600 0780"));
}

struct PenCase {
  int32_t Kind, Version, Held, Written;
};

TEST(EntityHeader, PenStyleByKindAndVersion) {
  const PenCase cases[] = {
      {1, 419, 40, 6},   {1, 420, 40, 40},  {2, 419, 31, 1},   {2, 419, 44, 17},  {1, 419, 45, 17}, {1, 419, 37, 2},
      {1, 419, 46, 0},   {1, 419, 62, 0},   {1, 420, 62, 62},  {2, 420, 31, 31},  {1, 600, 10, 0},  {1, 600, 20, 0},
      {1, 600, 0, 0},    {1, 600, 9, 9},    {1, 600, 11, 11},  {2, 600, 19, 19},  {1, 600, 30, 0},  {1, 600, 63, 0},
      {1, 600, 100, 0},  {3, 600, 5, 1},    {3, 600, 100, 100}, {3, 600, 0, 1},   {3, 419, 40, 1},  {4, 600, 12, 1},
      {4, 600, 9, 9},    {4, 600, 0, 1},    {4, 419, 31, 1},   {5, 600, 77, 77},  {5, 419, 40, 40}, {6, 600, 200, 200},
      {7, 600, 0, 0},    {8, 600, 77, 77},  {8, 300, 255, 255}};
  for (const PenCase& c : cases) {
    TEntJwwEntityHeader h = Hdr(static_cast<uint8_t>(c.Held), 1);
    const auto b = Bytes([&](TJwwWriter& w) { TJwwData::WriteEntityHeader(w, c.Version, h, c.Kind); });
    ASSERT_GE(b.size(), 5u);
    EXPECT_EQ(b[4], c.Written) << "kind " << c.Kind << ", version " << c.Version << ", PenStyle " << c.Held;
  }
}

TEST(EntityHeader, PenColorByKindAndVersion) {
  const PenCase cases[] = {
      {1, 419, 101, 2},   {1, 420, 101, 101}, {5, 419, 116, 2},   {2, 419, 107, 1},   {6, 419, 117, 0},
      {6, 419, 356, 0},   {6, 420, 356, 356}, {1, 600, 357, 0},   {1, 600, 100, 0},   {1, 600, 10, 0},
      {5, 600, 10, 0},    {6, 600, 10, 10},   {6, 600, 11, 0},    {1, 600, 0, 0},     {3, 600, 9, 9},
      {4, 600, 200, 200}, {7, 600, 500, 500}, {7, 419, 101, 101}, {8, 600, 500, 500}, {8, 419, 116, 116}};
  for (const PenCase& c : cases) {
    TEntJwwEntityHeader h = Hdr(1, static_cast<uint16_t>(c.Held));
    const auto b = Bytes([&](TJwwWriter& w) { TJwwData::WriteEntityHeader(w, c.Version, h, c.Kind); });
    ASSERT_GE(b.size(), 7u);
    EXPECT_EQ(b[5] | b[6] << 8, c.Written) << "kind " << c.Kind << ", version " << c.Version << ", PenColor " << c.Held;
  }
}

TEST(EntityHeader, LayerAndWidthLimits) {
  auto write = [](TEntJwwEntityHeader h, int32_t kind) {
    return Bytes([&](TJwwWriter& w) { TJwwData::WriteEntityHeader(w, 600, h, kind); });
  };
  // A block definition keeps odd pens but not an impossible layer.
  EXPECT_EQ(write({0, 77, 500, 30001, 20, 16, 3}, KindList), Hex("00000000 4D F401 0000 0000 0000 0300"));
  EXPECT_EQ(write({-1, 1, 1, 30000, 15, 15, 0xFFFF}, KindSen), Hex("FFFFFFFF 01 0100 3075 0F00 0F00 FFFF"));
  EXPECT_EQ(write({0, 1, 1, 65535, 0xFFFF, 0x8000, 0}, KindTen), Hex("00000000 01 0100 0000 0000 0000 0000"));
}

// ---------------------------------------------------------------------------
// Primitives

TEST(EntityPrimitives, ClassReferencesCountsAndStrings) {
  auto ref = [](int32_t i) { return Bytes([&](TJwwWriter& w) { TJwwData::WriteClassReference(w, i); }); };
  EXPECT_EQ(ref(1), Hex("0180"));
  EXPECT_EQ(ref(0x7FFE), Hex("FEFF"));
  EXPECT_EQ(ref(0x7FFF), Hex("FF7F FF7F0080"));
  EXPECT_EQ(ref(40002), Hex("FF7F 429C0080"));

  auto count = [](int32_t n) { return Bytes([&](TJwwWriter& w) { TJwwData::WriteCount(w, n); }); };
  EXPECT_EQ(count(0), Hex("0000"));
  EXPECT_EQ(count(65534), Hex("FEFF"));
  EXPECT_EQ(count(65535), Hex("FFFF FFFF0000"));
  EXPECT_EQ(count(70000), Hex("FFFF 70110100"));
  EXPECT_THROW(count(-1), EJwwError);

  auto str = [](const std::string& s) { return Bytes([&](TJwwWriter& w) { TJwwData::WriteString(w, s, false); }); };
  EXPECT_EQ(str(""), Hex("00"));
  EXPECT_EQ(str(std::string("A\0B", 3)), Hex("03 410042"));
  // 65534 and 65535 take the 32-bit form: as a word they would read as the
  // wide marker and as the 32-bit announcement.
  const std::vector<std::pair<size_t, const char*>> prefixes = {
      {254, "FE"},           {255, "FFFF00"},          {256, "FF0001"},          {300, "FF2C01"},
      {65533, "FF FDFF"},    {65534, "FF FFFF FEFF0000"}, {65535, "FF FFFF FFFF0000"}, {65536, "FF FFFF 00000100"},
      {70000, "FF FFFF 70110100"}};
  for (const auto& [n, prefix] : prefixes) {
    std::string s(n, 'a');
    s.back() = 'z';
    const auto b = str(s);
    const auto p = Hex(prefix);
    ASSERT_EQ(b.size(), p.size() + n) << n;
    EXPECT_EQ(Slice(b, 0, p.size()), p) << n;
    EXPECT_EQ(b.back(), 'z') << n;
  }
}

TEST(Primitives, WideStrings) {
  auto wide = [](const TJwwString& s) { return Bytes([&](TJwwWriter& w) { TJwwData::WriteString(w, s, true); }); };
  auto narrow = [](const TJwwString& s) { return Bytes([&](TJwwWriter& w) { TJwwData::WriteString(w, s, false); }); };
  EXPECT_EQ(wide(TJwwString::Wide(u"")), Hex("FF FEFF 00"));
  EXPECT_EQ(wide(TJwwString::Wide(u"\u00E9")), Hex("FF FEFF 01 E900"));
  EXPECT_EQ(wide(TJwwString::Wide(u"\xD842\xDFB7\xDC00")), Hex("FF FEFF 03 42D8 B7DF 00DC"));  // pair, lone unit
  // The length counts units, in the forms of a byte-string length.
  const std::vector<std::pair<size_t, const char*>> prefixes = {
      {254, "FF FEFF FE"}, {255, "FF FEFF FF FF00"}, {65533, "FF FEFF FF FDFF"},
      {65534, "FF FEFF FF FFFF FEFF0000"}, {70000, "FF FEFF FF FFFF 70110100"}};
  for (const auto& [n, prefix] : prefixes) {
    std::u16string units(n, u'\u3042');
    units.back() = u'\u3093';
    const auto b = wide(TJwwString::Wide(units));
    const auto p = Hex(prefix);
    ASSERT_EQ(b.size(), p.size() + 2 * n) << n;
    EXPECT_EQ(Slice(b, 0, p.size()), p) << n;
    EXPECT_EQ(Slice(b, b.size() - 2, 2), Hex("9330")) << n;
  }
  // A string of the other form is converted exactly, or the write fails.
  EXPECT_EQ(wide(std::string("A\x82\xA0")), Hex("FF FEFF 02 4100 4230"));  // Aあ
  EXPECT_EQ(wide(std::string("")), Hex("FF FEFF 00"));
  EXPECT_EQ(narrow(TJwwString::Wide(u"A\u3042")), Hex("03 41 82A0"));
  EXPECT_EQ(narrow(TJwwString::Wide(u"")), Hex("00"));
  EXPECT_EQ(narrow(TJwwString::Wide(u"\u2460")), Hex("02 8740"));  // ① is in code page 932
  for (const std::u16string& bad : {std::u16string(u"caf\u00E9"),
                                    std::u16string(u"\xD842\xDFB7"), std::u16string(u"\xDC00"),
                                    std::u16string(u"\uD55C")})
    EXPECT_THROW(narrow(TJwwString::Wide(bad)), EJwwError);
  EXPECT_THROW(wide(std::string("\x82")), EJwwError);  // not Shift-JIS
}

// ---------------------------------------------------------------------------
// Class tags and the running index

TEST(ClassNumbering, LineLineArc) {
  TJwwData d;
  Add(d, Line());
  Add(d, Line());
  Add(d, Arc());
  EXPECT_EQ(Section(d), Hex(Cat({"0300", kDeclSen, kLine, "0180", kLine, kDeclEnko, kArc, "0000"})));
}

TEST(ClassNumbering, DependsOnlyOnWhatIsWritten) {
  TJwwData d;
  Add(d, Line());
  Add(d, Arc());
  Add(d, Line());
  Add(d, Line());
  Remove(d, 0);
  // CDataEnko takes index 1, the arc object 2; CDataSen is declared as 3.
  EXPECT_EQ(Section(d), Hex(Cat({"0300", kDeclEnko, kArc, kDeclSen, kLine, "0380", kLine, "0000"})));
}

TEST(ClassNumbering, RemovedAndUnfilledEntriesLeaveNoTrace) {
  TJwwData d;
  Add(d, Line());
  TEntJwwTen p;
  p.Header = Hdr();
  Add(d, p);
  Add(d, Arc());
  Add(d, Line());
  Remove(d, 1);
  Remove(d, 2);
  d.EntityOrder.push_back({KindSen, 7});  // an entry with no element behind it
  d.EntityOrder.push_back({9, 0});        // not an element kind
  d.Header.EntityCount = static_cast<int32_t>(d.EntityOrder.size());
  TJwwData plain;
  Add(plain, Line());
  Add(plain, Line());
  EXPECT_EQ(Section(d), Section(plain));
  EXPECT_EQ(Section(plain), Hex(Cat({"0200", kDeclSen, kLine, "0180", kLine, "0000"})));
}

TEST(ClassNumbering, SharedByTheMainListAndTheDefinitions) {
  TJwwData d;
  Add(d, Line());
  Add(d, InsertOf(0));
  Add(d, InsertOf(1));
  TEntJwwBlockDef first = DefOf(0, "D^m0");
  Add(first, Line());
  Add(first, Arc());
  TEntJwwBlockDef second = DefOf(1);
  Add(second, Arc());
  AddDef(d, std::move(first));
  AddDef(d, std::move(second));
  d.FinishLoad();
  // Sen 1, line 2, Block 3, inserts 4 and 5, List 6, definition 7, line 8,
  // Enko 9, arc 10, definition 11, arc 12.
  EXPECT_EQ(Section(d), Hex(Cat({"0300", kDeclSen, kLine, kDeclBlock, Insert("00000000"), "0380", Insert("01000000"),
                                 "0200", kDeclList, Def("00000000", "02 4430"), "0200", "0180", kLine, kDeclEnko, kArc,
                                 "0680", Def("01000000", "00"), "0100", "0980", kArc})));
}

TEST(ClassNumbering, LongReferencesOnceTheIndexPasses32766) {
  TJwwData d;
  d.Lines.assign(40000, Line());
  d.LineCount = 40000;
  for (int32_t i = 0; i < 40000; ++i) d.EntityOrder.push_back({KindSen, i});
  Add(d, Arc());
  Add(d, Arc());
  Add(d, Line());
  const auto b = Section(d);
  // 40000 lines leave the running index at 40002 (0x9C42): the arc class.
  const size_t arcAt = 2 + 14 + 47 + 39999 * 49;
  ASSERT_EQ(b.size(), arcAt + 15 + 75 + 6 + 75 + 2 + 47 + 2);
  EXPECT_EQ(Slice(b, 0, 2), Hex("439C"));
  EXPECT_EQ(Slice(b, 63, 2), Hex("0180"));
  EXPECT_EQ(Slice(b, arcAt - 49, 2), Hex("0180"));
  EXPECT_EQ(Slice(b, arcAt, 15), Hex(kDeclEnko));
  EXPECT_EQ(Slice(b, arcAt + 90, 6), Hex("FF7F 429C0080"));
  EXPECT_EQ(Slice(b, arcAt + 171, 2), Hex("0180"));
  EXPECT_EQ(Slice(b, b.size() - 2, 2), Hex("0000"));
}

TEST(ClassNumbering, LongCountAbove65534) {
  TJwwData d;
  d.Lines.assign(70000, Line());
  d.LineCount = 70000;
  for (int32_t i = 0; i < 70000; ++i) d.EntityOrder.push_back({KindSen, i});
  d.Header.EntityCount = 70000;
  const auto b = Section(d);
  EXPECT_EQ(Slice(b, 0, 20), Hex("FFFF 70110100" + kDeclSen));
  EXPECT_EQ(b.size(), 6 + 14 + 47 + 69999 * 49 + 2u);
}

// ---------------------------------------------------------------------------
// Block definitions

TEST(BlockDefinitions, UsedOnesAreRenumberedInOrderAndUnusedOnesLeftOut) {
  TJwwData d;
  Add(d, InsertOf(9));
  Add(d, InsertOf(5));
  Add(d, InsertOf(12));
  TEntJwwBlockDef b5 = DefOf(5, "B5");
  Add(b5, InsertOf(9));
  TEntJwwBlockDef b7 = DefOf(7, "B7");
  Add(b7, Line());
  Add(b7, InsertOf(12));
  TEntJwwBlockDef b9 = DefOf(9, "B9");
  Add(b9, Line());
  AddDef(d, std::move(b5));
  AddDef(d, std::move(b7));
  AddDef(d, std::move(b9));
  AddDef(d, DefOf(12, "B12"));
  d.FinishLoad();
  ASSERT_EQ(d.UsedBlockDefCount, 3);
  EXPECT_EQ(Section(d), Hex(Cat({"0300", kDeclBlock, Insert("01000000"), "0180", Insert("00000000"), "0180",
                                 Insert("02000000"), "0300", kDeclList, Def("00000000", "02 4235"), "0100", "0180",
                                 Insert("01000000"), "0580", Def("01000000", "02 4239"), "0100", kDeclSen, kLine,
                                 "0580", Def("02000000", "03 423132"), "0000"})));
  // The document keeps its own numbers.
  EXPECT_EQ(d.BlockInserts[0].BlockNumber, 9);
  EXPECT_EQ(d.BlockDefs[3].Number, 12);
}

TEST(BlockDefinitions, NoneWrittenWhenEveryInsertWasRemoved) {
  TJwwData d;
  Add(d, Line());
  Add(d, InsertOf(0));
  TEntJwwBlockDef def = DefOf(0);
  Add(def, Line());
  AddDef(d, std::move(def));
  d.FinishLoad();
  ASSERT_EQ(d.UsedBlockDefCount, 1);
  Remove(d, 1);
  d.RecomputeBlockUsage();
  EXPECT_EQ(Section(d), Hex(Cat({"0100", kDeclSen, kLine, "0000"})));
}

TEST(BlockDefinitions, MapBlockNumber) {
  TJwwData d;
  Add(d, InsertOf(5));
  Add(d, InsertOf(9));
  AddDef(d, DefOf(5));
  AddDef(d, DefOf(7));
  AddDef(d, DefOf(9));
  d.FinishLoad();
  EXPECT_EQ(d.MapBlockNumber(5), 0);
  EXPECT_EQ(d.MapBlockNumber(9), 1);
  EXPECT_EQ(d.MapBlockNumber(7), 7);  // found but unused: unchanged
  // Not found: a number no written definition has.
  EXPECT_EQ(d.MapBlockNumber(3), 3);
  EXPECT_EQ(d.MapBlockNumber(-4), -4);
  EXPECT_EQ(d.MapBlockNumber(1), 2);
  EXPECT_EQ(d.MapBlockNumber(0), 2);
  d.BlockDefCount = 2;                // only the first BlockDefCount definitions count
  EXPECT_EQ(d.MapBlockNumber(9), 9);
}

TEST(BlockDefinitions, InconsistentDocumentsAreRefused) {
  auto make = [](TJwwData& d) {
    Add(d, Line());
    Add(d, InsertOf(1));
    Add(d, InsertOf(2));
    AddDef(d, DefOf(1));
    AddDef(d, DefOf(2));
    d.FinishLoad();
  };
  {
    TJwwData d;
    make(d);
    ++d.LineCount;  // the counts promise an element the order list lacks
    EXPECT_THROW(Section(d), EJwwError);
  }
  {
    TJwwData d;
    make(d);
    d.EntityOrder[0].Kind = KindNone;  // removed without lowering the count
    EXPECT_THROW(Section(d), EJwwError);
  }
  {
    TJwwData d;
    make(d);
    std::swap(d.BlockDefs[0].NewNumber, d.BlockDefs[1].NewNumber);
    EXPECT_THROW(Section(d), EJwwError);
  }
  {
    TJwwData d;
    make(d);
    d.UsedBlockDefCount = 1;
    EXPECT_THROW(Section(d), EJwwError);
  }
  {
    TJwwData d;
    make(d);
    d.BlockDefs[1].Time = 0x80000001u;  // the extended form is never written
    EXPECT_THROW(Section(d), EJwwError);
  }
  {
    TJwwData d;
    make(d);
    EXPECT_NO_THROW(Section(d));
  }
}

// ---------------------------------------------------------------------------
// Records

TEST(Records, PointExtrasSolidColourAndTextStrings) {
  TJwwData d;
  TEntJwwTen plain;
  plain.Header = Hdr(5);
  plain.Code = 7;  // not written: the pen style is not 100
  plain.Scale = 2;
  Add(d, plain);
  TEntJwwTen marked = plain;
  marked.Header = Hdr(100);
  marked.Code = 3;
  Add(d, marked);
  TEntJwwSolid coloured;
  coloured.Header = Hdr(1, 10);
  coloured.Color = 0x00FF8040;
  Add(d, coloured);
  TEntJwwSolid plainSolid = coloured;
  plainSolid.Header = Hdr(1, 3);
  Add(d, plainSolid);
  TEntJwwMoji text = Text("ab^mcd", "^mMS");
  text.Header = Hdr(12);
  Add(d, text);
  Add(d, Text("^m"));
  Add(d, Text(""));
  EXPECT_EQ(Section(d), Hex(Cat({"0700",
                                 kDeclTen, kHdr, Z(20),                                              // PenStyle 5 -> 1
                                 "0180 00000000 64 0100 0100 0000 0000 0000", Z(20), "03000000", D0, D2,
                                 kDeclSolid, "00000000 01 0A00 0100 0000 0000 0000", Z(64), "4080FF00",
                                 "0480 00000000 01 0300 0100 0000 0000 0000", Z(64),
                                 kDeclMoji, kHdr, Z(32), "01000000", Z(32), "02 4D53", "04 61626364",
                                 "0780", kHdr, Z(32), "01000000", Z(32), "00", "01 20",
                                 "0780", kHdr, Z(32), "01000000", Z(32), "00", "00", "0000"})));
}

TEST(Records, LongTextsAreKeptWhole) {
  std::string t(300, 'x');
  t.back() = 'y';
  TJwwData d;
  Add(d, Text(t));
  const auto b = Section(d);
  ASSERT_EQ(b.size(), 2 + 15 + 83 + 1 + 3 + 300 + 2u);
  EXPECT_EQ(Slice(b, 2 + 15 + 83 + 1, 4), Hex("FF2C01 78"));
  EXPECT_EQ(b[b.size() - 3], 'y');
}

TEntJwwSunpou Dimension() {
  TEntJwwSunpou e;
  e.Header = Hdr(1, 1, 5);
  e.Header.Layer = 3;
  e.Line.Header = Hdr(40, 1, 0);
  e.ValueText = Text("12^m3");
  e.ValueText.Header = Hdr(12, 1, 0);
  e.SxfMode = 7;
  e.AuxLine1.Header = Hdr(10, 1, 0);
  e.AuxLine2.Header = Hdr(1, 101, 0);
  e.Point1.Header = Hdr(5, 1, 0);
  e.Point1.Code = 9;
  e.Point2.Header = Hdr(100, 1, 0);
  e.Point2.Code = 3;
  e.Point2.Scale = 2;
  e.Point3.Header = Hdr(1, 1, 0);
  e.Point4.Header = Hdr(1, 1, 0);
  return e;
}

TEST(Records, DimensionBelow351UsesThirteenByteHeadersThroughout) {
  TJwwData d;
  Add(d, Dimension());
  EXPECT_EQ(Section(d, 350), Hex(Cat({"0100", "FFFF 5E01 0B00 4344617461 53756E706F75",
                                      "00000000 01 0100 0300 0000 0000",
                                      "00000000 06 0100 0000 0000 0000", Z(32),  // PenStyle 40 -> 6
                                      "00000000 01 0100 0000 0000 0000", Z(32), "01000000", Z(32), "00", "03 313233",
                                      "0000"})));
}

TEST(Records, DimensionExtensionFrom420) {
  TJwwData d;
  Add(d, Dimension());
  const std::string point = "00000000 01 0100 0000 0000 0000 0000" + Z(20);
  EXPECT_EQ(Section(d, 420), Hex(Cat({"0100", "FFFF A401 0B00 4344617461 53756E706F75",
                                      "00000000 01 0100 0500 0300 0000 0000",
                                      "00000000 28 0100 0000 0000 0000 0000", Z(32),
                                      "00000000 01 0100 0000 0000 0000 0000", Z(32), "01000000", Z(32), "00", "03 313233",
                                      "0700",
                                      "00000000 00 0100 0000 0000 0000 0000", Z(32),  // PenStyle 10 -> 0
                                      "00000000 01 6500 0000 0000 0000 0000", Z(32),
                                      point,                                          // PenStyle 5 -> 1, no extras
                                      "00000000 64 0100 0000 0000 0000 0000", Z(20), "03000000", D0, D2,
                                      point, point, "0000"})));
}

// ---------------------------------------------------------------------------
// Image table

class ImageTable : public ::testing::Test {
 protected:
  // An image of the table, with its bytes.
  void Put(const std::string& name, const std::vector<uint8_t>& data) { Listed.push_back({name, data, {}}); }
  // The document's images: a drawing holding the listed ones is loaded with
  // a work folder, and d takes its images over.
  void Own(TJwwData& d) {
    jwwtest::Drawing dr;
    dr.Hdr.Version = 700;
    dr.Images = Listed;
    const auto bytes = jwwtest::Build(dr);
    TJwwData holder;
    ASSERT_TRUE(testutil::Ok(holder.LoadDocument(bytes.data(), bytes.size(), Work.Options())));
    TJwwSections::TakeImages(d, holder);
  }
  std::vector<uint8_t> Table(TJwwData& d) {
    if (d.Images.empty()) Own(d);
    return Bytes([&](TJwwWriter& w) { TJwwSections::WriteImageTable(d, w); });
  }
  // Which listed images the texts written from d keep.
  std::vector<bool> Kept(const TJwwData& d) const {
    std::vector<TBindImageType> marks;
    for (const jwwtest::Image& i : Listed) marks.push_back({i.Name, static_cast<int32_t>(i.Data.size()), false});
    d.MarkImagesInUse(marks);
    std::vector<bool> out;
    for (const auto& m : marks) out.push_back(m.InUse);
    return out;
  }
  testutil::TScopedWorkFolder Work;
  std::vector<jwwtest::Image> Listed;
};

TEST_F(ImageTable, TwoTextsReferringToOneImageWriteItOnce) {
  Put("a.bmp", testutil::Hex("414243"));
  Put("b.bmp", testutil::Hex("44"));
  TJwwData d;
  Add(d, Text("^@BM%temp%a.bmp,100,200"));
  Add(d, Text("^@BM%temp%a.bmp,5,5"));
  EXPECT_EQ(Table(d), Hex("01000000 05 612E626D70 03000000 414243"));
}

TEST_F(ImageTable, ImagesOfRemovedTextsAndUnwrittenDefinitionsAreLeftOut) {
  Put("a.bmp", Hex("41"));
  Put("b.bmp", Hex("42"));
  Put("c.bmp", Hex("43"));
  TJwwData d;
  Add(d, Text("^@BM%temp%a.bmp,1"));
  Add(d, InsertOf(0));
  TEntJwwBlockDef used = DefOf(0);
  Add(used, Text("^@BM%temp%b.bmp,1"));
  TEntJwwBlockDef unused = DefOf(1);
  Add(unused, Text("^@BM%temp%c.bmp,1"));
  AddDef(d, std::move(used));
  AddDef(d, std::move(unused));
  d.FinishLoad();
  Remove(d, 0);
  EXPECT_EQ(Table(d), Hex("01000000 05 622E626D70 01000000 42"));
  EXPECT_EQ(Kept(d), (std::vector<bool>{false, true, false}));
}

// A reference is what the renderer draws as an image: "^@BM", "%temp%" or
// not, the name up to a comma or the end. An image any drawn text shows under
// such a form keeps its bytes, a dimension's value text included; the
// renderer and the writer read references by this one rule.
TEST_F(ImageTable, EveryFormTheRendererDrawsKeepsItsImageWithItsBytes) {
  const std::vector<uint8_t> kept = Hex("01000000 05 612E626D70 03000000 414243"), none = Hex("00000000");
  struct Case {
    const char* Text;
    bool InDimension;
    const std::vector<uint8_t>& Table;
  };
  const std::vector<Case> cases = {
      {"^@BM%temp%a.bmp,1,1", false, kept},
      {"^@BMa.bmp,1,1", false, kept},        // without %temp%
      {"^@BM%temp%a.bmp", false, kept},      // without the comma and the sizes
      {"^@BMa.bmp", false, kept},
      {"^@BM%temp%A.BMP,1", false, kept},    // letters as file systems compare them
      {"^@BM%temp%a.bmp,1,1", true, kept},   // a dimension's value text
      {"^@BMa.bmp", true, kept},
      {"^@BM%TEMP%a.bmp,1", false, none},    // the name is "%TEMP%a.bmp"
      {"^@BM%temp%,a.bmp", false, none},     // an empty name
      {"^@BM%temp%", false, none},
      {"^@BM", false, none},
      {" ^@BM%temp%a.bmp,1", false, none},   // not at the start
      {"^@bm%temp%a.bmp,1", false, none},
      {"a.bmp", true, none},
  };
  Put("a.bmp", Hex("414243"));
  for (const Case& c : cases) {
    TJwwData d;
    if (c.InDimension) {
      TEntJwwSunpou dim = Dimension();
      dim.ValueText.Text = c.Text;
      Add(d, dim);
    } else {
      Add(d, Text(c.Text));
    }
    EXPECT_EQ(Table(d), c.Table) << c.Text << (c.InDimension ? " (dimension)" : "");
    // What the writer keeps, the renderer draws as that image.
    if (&c.Table == &kept) {
      const auto reference = JwwMeaning::ImageRef(TJwwString(c.Text));
      ASSERT_TRUE(reference) << c.Text;
      EXPECT_EQ(TImageIndex({{"a.bmp", 3, false}}).FindName(reference->Name), 0) << c.Text;
    }
  }
}

TEST_F(ImageTable, AReferenceIsTheNameOrTheNamePlusGzNeverAPrefix) {
  // Letters compare as file systems compare them; the name itself before
  // its compressed form, whatever their order.
  Put("ab.bmp.gz", Hex("02"));
  Put("AB.BMP", Hex("01"));
  TJwwData d;
  Add(d, Text("^@BM%temp%ab.bmp,100"));
  EXPECT_EQ(Table(d), Hex("01000000 06 41422E424D50 01000000 01"));
  EXPECT_EQ(Kept(d), (std::vector<bool>{false, true}));
  // Without the name itself its compressed form is shown.
  Listed = {{"ab.bmp.gz", Hex("02"), {}}};
  TJwwData gz;
  Add(gz, Text("^@BM%temp%AB.bmp,100"));
  EXPECT_EQ(Table(gz), Hex("01000000 09 61622E626D702E677A 01000000 02"));
  // A name that merely starts with the reference is another image.
  Listed = {{"ab.bmp.bak", Hex("03"), {}}, {"ab.bmpx", Hex("04"), {}}};
  TJwwData prefix;
  Add(prefix, Text("^@BM%temp%ab.bmp,100"));
  EXPECT_EQ(Table(prefix), Hex("00000000"));
}

TEST_F(ImageTable, AHiddenImageWhoseNameStartsWithAVisibleOneIsNotKept) {
  // "plan.bmp.secret" is shown only by a text on a hidden layer, "plan.bmp"
  // by a visible one: the output carries the visible bytes and not one byte
  // of the hidden image.
  const std::vector<uint8_t> secret(300, 0x5E), visible(200, 0x76);
  Put("plan.bmp.secret", secret);
  Put("plan.bmp", visible);
  TJwwData d;
  Add(d, Text("^@BM%temp%plan.bmp.secret,10,10"));
  Add(d, Text("^@BM%temp%plan.bmp,10,10"));
  Own(d);
  Remove(d, 0);  // the hidden text, as the purge removes it
  std::vector<uint8_t> expected = Hex("01000000 08 706C616E2E626D70 C8000000");
  expected.insert(expected.end(), visible.begin(), visible.end());
  EXPECT_EQ(Table(d), expected);
}

TEST_F(ImageTable, ImagesAreWrittenInListOrderAndCopiedWhole) {
  std::vector<uint8_t> big(4096), odd(2049);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + 1);
  for (size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<uint8_t>(i * 13 + 5);
  Put("big.png", big);
  Put("odd.jpg", odd);
  Put("empty.bmp", {});
  TJwwData d;
  Add(d, Text("^@BM%temp%empty.bmp,0"));
  Add(d, Text("^@BM%temp%odd.jpg,0"));
  Add(d, Text("^@BM%temp%big.png,0"));
  std::vector<uint8_t> expected = Hex("02000000 07 6269672E706E67 00100000");
  expected.insert(expected.end(), big.begin(), big.end());
  const auto oddHead = Hex("07 6F64642E6A7067 01080000");
  expected.insert(expected.end(), oddHead.begin(), oddHead.end());
  expected.insert(expected.end(), odd.begin(), odd.end());
  EXPECT_EQ(Table(d), expected);  // an entry without bytes has no content: dropped
}

TEST_F(ImageTable, AnEntryStoredWithSizeZeroIsDroppedLikeAnUnshownOne) {
  Put("zero.bmp", {});
  TJwwData d;
  Add(d, Text("^@BM%temp%zero.bmp,1"));
  EXPECT_EQ(Table(d), Hex("00000000"));
  EXPECT_EQ(Kept(d), (std::vector<bool>{false}));
}

TEST_F(ImageTable, AKeptImageMissingFromTheWorkFolderFails) {
  Put("a.bmp", Hex("41"));
  TJwwData d;
  Add(d, Text("^@BM%temp%a.bmp,1"));
  Own(d);
  std::filesystem::remove(Work.ImageFile(0));
  EXPECT_THROW(Table(d), EJwwError);
  // An image no text keeps may be gone.
  Remove(d, 0);
  EXPECT_EQ(Table(d), Hex("00000000"));
}

TEST_F(ImageTable, WrittenFromVersion700Only) {
  Put("a.bmp", Hex("41"));
  TJwwData d;
  Add(d, Text("^@BM%temp%a.bmp,1"));
  Own(d);
  const std::string text = Cat({kHdr, Z(32), "01000000", Z(32), "00", "11 5E40424D2574656D7025612E626D702C31"});
  EXPECT_EQ(Section(d, 600), Hex(Cat({"0100", kDeclMoji, text, "0000"})));
  EXPECT_EQ(Section(d, 700),
            Hex(Cat({"0100", "FFFF BC02 0900 4344617461 4D6F6A69", text, "0000", "01000000 05 612E626D70 01000000 41"})));
  TJwwData none;
  EXPECT_EQ(Section(none, 700), Hex("0000 0000 00000000"));
}

}  // namespace
