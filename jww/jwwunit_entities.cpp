// The entity section: element records, class tags, block definitions. The
// reader and the writer of each record sit side by side.
#include <algorithm>
#include <unordered_map>

#include "Func_.h"
#include "jwwunit.h"

const std::array<std::string_view, 9> JwwClassNames = {
    "", "CDataSen", "CDataEnko", "CDataTen", "CDataMoji", "CDataSunpou", "CDataSolid", "CDataBlock", "CDataList"};

// ---------------------------------------------------------------------------
// TEntJwwElementLists

int32_t& TEntJwwElementLists::CountOf(int32_t kind) {
  switch (kind) {
    case KindSen: return LineCount;
    case KindEnko: return ArcCount;
    case KindTen: return PointCount;
    case KindMoji: return TextCount;
    case KindSunpou: return DimensionCount;
    case KindSolid: return SolidCount;
    case KindBlock: return BlockInsertCount;
    default: throw std::out_of_range("element kind " + std::to_string(kind));
  }
}

int32_t TEntJwwElementLists::CountOf(int32_t kind) const {
  return const_cast<TEntJwwElementLists*>(this)->CountOf(kind);
}

size_t TEntJwwElementLists::ArraySize(int32_t kind) const noexcept {
  switch (kind) {
    case KindSen: return Lines.size();
    case KindEnko: return Arcs.size();
    case KindTen: return Points.size();
    case KindMoji: return Texts.size();
    case KindSunpou: return Dimensions.size();
    case KindSolid: return Solids.size();
    case KindBlock: return BlockInserts.size();
    default: return 0;
  }
}

const TEntJwwEntityHeader* TEntJwwElementLists::HeaderOf(int32_t kind, int32_t index) const noexcept {
  if (index < 0 || static_cast<size_t>(index) >= ArraySize(kind)) return nullptr;
  const auto i = static_cast<size_t>(index);
  switch (kind) {
    case KindSen: return &Lines[i].Header;
    case KindEnko: return &Arcs[i].Header;
    case KindTen: return &Points[i].Header;
    case KindMoji: return &Texts[i].Header;
    case KindSunpou: return &Dimensions[i].Header;
    case KindSolid: return &Solids[i].Header;
    case KindBlock: return &BlockInserts[i].Header;
    default: return nullptr;
  }
}

int32_t TEntJwwElementLists::TotalCount() const noexcept {
  return LineCount + ArcCount + PointCount + TextCount + DimensionCount + SolidCount + BlockInsertCount;
}

void TEntJwwElementLists::ClearLists() noexcept {
  Lines = {};
  Arcs = {};
  Points = {};
  Texts = {};
  Dimensions = {};
  Solids = {};
  BlockInserts = {};
  LineCount = ArcCount = PointCount = TextCount = DimensionCount = SolidCount = BlockInsertCount = 0;
}

// ---------------------------------------------------------------------------
// Records

namespace {

void ReadHeaderFields(TJwwReader& f, int32_t v, TEntJwwEntityHeader& h) {
  const char* what = "an element header";
  h.Group = f.I32(what);
  h.PenStyle = f.U8(what);
  h.PenColor = f.U16(what);
  h.PenWidth = JwwLayout::HasPenWidth(v) ? f.U16(what) : 0;
  h.Layer = f.U16(what);
  h.LayerGroup = f.U16(what);
  h.Flags = f.U16(what);
}

void ReadSen(TJwwReader& f, int32_t v, TEntJwwSen& e) {
  ReadHeaderFields(f, v, e.Header);
  const char* what = "a line";
  e.StartX = f.F64(what);
  e.StartY = f.F64(what);
  e.EndX = f.F64(what);
  e.EndY = f.F64(what);
}

void ReadEnko(TJwwReader& f, int32_t v, TEntJwwEnko& e) {
  ReadHeaderFields(f, v, e.Header);
  const char* what = "an arc";
  e.CenterX = f.F64(what);
  e.CenterY = f.F64(what);
  e.Radius = f.F64(what);
  e.StartAngle = f.F64(what);
  e.ArcAngle = f.F64(what);
  e.TiltAngle = f.F64(what);
  e.Flatness = f.F64(what);
  e.FullCircle = f.I32(what);
}

// A point's Code, Angle and Scale follow only when its pen style is 100;
// otherwise they are 0 and Scale takes defaultScale.
void ReadTen(TJwwReader& f, int32_t v, TEntJwwTen& e, double defaultScale) {
  ReadHeaderFields(f, v, e.Header);
  const char* what = "a point";
  e.X = f.F64(what);
  e.Y = f.F64(what);
  e.Temporary = f.I32(what);
  if (e.Header.PenStyle == 100) {
    e.Code = f.I32(what);
    e.Angle = f.F64(what);
    e.Scale = f.F64(what);
  } else {
    e.Code = 0;
    e.Angle = 0;
    e.Scale = defaultScale;
  }
}

void ReadMoji(TJwwReader& f, int32_t v, TEntJwwMoji& e) {
  ReadHeaderFields(f, v, e.Header);
  const char* what = "a text";
  e.StartX = f.F64(what);
  e.StartY = f.F64(what);
  e.EndX = f.F64(what);
  e.EndY = f.F64(what);
  e.TextKind = f.I32(what);
  e.SizeX = f.F64(what);
  e.SizeY = f.F64(what);
  e.Spacing = f.F64(what);
  e.Angle = f.F64(what);
  // Both strings are kept whole: a text is never shortened.
  e.FontName = TJwwData::ReadName(f, "a text's font name");
  e.Text = TJwwData::ReadName(f, "a text's string");
}

void ReadSunpou(TJwwReader& f, int32_t v, TEntJwwSunpou& e) {
  ReadHeaderFields(f, v, e.Header);
  ReadSen(f, v, e.Line);
  ReadMoji(f, v, e.ValueText);
  if (JwwLayout::HasDimensionExtension(v)) {
    e.SxfMode = f.U16("a dimension");
    ReadSen(f, v, e.AuxLine1);
    ReadSen(f, v, e.AuxLine2);
    for (TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) ReadTen(f, v, *p, 0.0);
  } else {
    // Older files carry no extension: its parts take the dimension's header.
    e.SxfMode = 0;
    e.AuxLine1 = TEntJwwSen{};
    e.AuxLine2 = TEntJwwSen{};
    TJwwData::CopyEntityHeader(e.Header, e.AuxLine1.Header);
    TJwwData::CopyEntityHeader(e.Header, e.AuxLine2.Header);
    for (TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) {
      *p = TEntJwwTen{};
      TJwwData::CopyEntityHeader(e.Header, p->Header);
      p->Header.PenStyle = 0;
    }
  }
}

void ReadSolid(TJwwReader& f, int32_t v, TEntJwwSolid& e) {
  ReadHeaderFields(f, v, e.Header);
  const char* what = "a solid";
  e.StartX = f.F64(what);
  e.StartY = f.F64(what);
  e.EndX = f.F64(what);
  e.EndY = f.F64(what);
  e.Point2X = f.F64(what);
  e.Point2Y = f.F64(what);
  e.Point3X = f.F64(what);
  e.Point3Y = f.F64(what);
  e.Color = e.Header.PenColor == 10 ? f.I32(what) : 0;
}

void ReadBlock(TJwwReader& f, int32_t v, TEntJwwBlock& e) {
  ReadHeaderFields(f, v, e.Header);
  const char* what = "a block insert";
  e.X = f.F64(what);
  e.Y = f.F64(what);
  e.ScaleX = f.F64(what);
  e.ScaleY = f.F64(what);
  e.Angle = f.F64(what);
  e.BlockNumber = f.I32(what);
}

// Reads one element of the given kind, appends it to its array and returns
// its index. The count goes up only once the whole record was read.
template <typename T, typename ReadFn>
int32_t Append(std::vector<T>& array, int32_t& count, ReadFn read) {
  T e{};
  read(e);
  array.push_back(std::move(e));
  return count++;
}

int32_t ReadElement(TJwwReader& f, int32_t v, int32_t kind, TEntJwwElementLists& t, bool inBlock) {
  switch (kind) {
    case KindSen: return Append(t.Lines, t.LineCount, [&](TEntJwwSen& e) { ReadSen(f, v, e); });
    case KindEnko: return Append(t.Arcs, t.ArcCount, [&](TEntJwwEnko& e) { ReadEnko(f, v, e); });
    case KindTen:
      return Append(t.Points, t.PointCount, [&](TEntJwwTen& e) { ReadTen(f, v, e, inBlock ? 0.0 : 1.0); });
    case KindMoji: return Append(t.Texts, t.TextCount, [&](TEntJwwMoji& e) { ReadMoji(f, v, e); });
    case KindSunpou: return Append(t.Dimensions, t.DimensionCount, [&](TEntJwwSunpou& e) { ReadSunpou(f, v, e); });
    case KindSolid: return Append(t.Solids, t.SolidCount, [&](TEntJwwSolid& e) { ReadSolid(f, v, e); });
    case KindBlock: return Append(t.BlockInserts, t.BlockInsertCount, [&](TEntJwwBlock& e) { ReadBlock(f, v, e); });
    default: return -1;
  }
}

void TrimLists(TEntJwwElementLists& t) {
  t.Lines.shrink_to_fit();
  t.Arcs.shrink_to_fit();
  t.Points.shrink_to_fit();
  t.Texts.shrink_to_fit();
  t.Dimensions.shrink_to_fit();
  t.Solids.shrink_to_fit();
  t.BlockInserts.shrink_to_fit();
}

// Working state of one read of the entity section.
struct TReadState {
  int32_t RunningIndex = 1;              // numbers classes and objects together
  std::array<int32_t, 8> ClassIndex{};   // per kind 1..7; 0 = not declared yet
  bool Limited = false;
  int32_t MaxTags = 0;
  int32_t TagsRead = 0;
  bool TagBudgetLeft() const { return !Limited || TagsRead < MaxTags; }
};

// Reads a class tag and returns the kind it announces (0 for none). For the
// tags in front of block definitions the names are not compared.
int32_t ReadClassTag(TJwwReader& f, TReadState& st, bool compareNames) {
  const uint16_t tag = f.U16("a class tag");
  int32_t classIndex;
  if (tag == 0xFFFF) {
    f.U16("a class declaration's schema number");
    const uint16_t length = f.U16("a class name length");
    if (length > JwwLayout::MaxClassNameLength)
      f.Fail("a class name of " + std::to_string(length) + " bytes is longer than the " +
             std::to_string(JwwLayout::MaxClassNameLength) + " bytes a class name may have");
    char name[JwwLayout::MaxClassNameLength];
    f.Bytes(name, length, "a class name");
    int32_t kind = KindNone;
    if (compareNames) {
      const std::string_view n(name, length);
      for (int32_t k = KindSen; k <= KindBlock; ++k) {
        if (n == JwwClassNames[static_cast<size_t>(k)]) {
          st.ClassIndex[static_cast<size_t>(k)] = st.RunningIndex;
          kind = k;
          break;
        }
      }
    }
    ++st.RunningIndex;
    return kind;
  }
  if (tag == 0x7FFF)
    classIndex = static_cast<int32_t>(f.U32("a long class reference") & 0x7FFFFFFFu);
  else
    classIndex = static_cast<int32_t>(tag) - 0x8000;
  int32_t kind = KindNone;
  // Index 0 is "not declared", never a class: no tag can name it.
  if (classIndex > 0)
    for (int32_t k = KindSen; k <= KindBlock; ++k)
      if (st.ClassIndex[static_cast<size_t>(k)] == classIndex) kind = k;
  return kind;
}

// Reads a declared count and rejects one that the rest of the file could not
// hold, before anything is allocated for it.
int32_t ReadBoundedCount(TJwwReader& f, const char* what, uint64_t minBytesEach) {
  const uint64_t at = f.Offset();
  const int32_t n = TJwwData::ReadCount(f, what);
  if (n < 0) throw EJwwError(at, std::string(what) + " is negative (" + std::to_string(n) + ")");
  if (static_cast<uint64_t>(n) > f.Remaining() / minBytesEach)
    throw EJwwError(at, std::string(what) + " " + std::to_string(n) + " cannot be right: the " +
                            std::to_string(f.Remaining()) + " bytes left in the file could hold at most " +
                            std::to_string(f.Remaining() / minBytesEach));
  return n;
}

// Reads the elements of one list (the main list or a block definition's)
// into a target and its order list.
void ReadList(TJwwReader& f, int32_t v, TReadState& st, TEntJwwElementLists& target,
              std::vector<TEntJwwOrderItem>& order, int32_t declared, bool inBlock) {
  size_t slots = static_cast<size_t>(declared);
  if (st.Limited) slots = std::min(slots, static_cast<size_t>(std::max(0, st.MaxTags - st.TagsRead)));
  order.assign(slots, TEntJwwOrderItem{});
  int32_t counter = 0;
  size_t position = 0;
  while (counter < declared) {
    if (!st.TagBudgetLeft()) break;
    ++st.TagsRead;
    const int32_t kind = ReadClassTag(f, st, true);
    if (kind == KindNone) continue;  // an unknown class: no record, no element
    const int32_t index = ReadElement(f, v, kind, target, inBlock);
    if (position < order.size()) order[position] = {kind, index};
    ++position;
    ++counter;
    ++st.RunningIndex;
  }
  TrimLists(target);
}

}  // namespace

void TJwwData::ReadEntities(TJwwReader& f, bool limited, int32_t maxTags) {
  const int32_t v = Header.Version;
  TReadState st;
  st.Limited = limited;
  st.MaxTags = maxTags;

  Header.EntityCount = ReadBoundedCount(f, "the element count", JwwLayout::MinElementBytes(v));
  ReadList(f, v, st, *this, EntityOrder, Header.EntityCount, false);

  Header.DeclaredBlockDefCount = 0;
  BlockDefCount = 0;
  if (!st.TagBudgetLeft()) return;
  const int32_t m = ReadBoundedCount(f, "the block definition count", JwwLayout::MinBlockDefBytes(v));
  Header.DeclaredBlockDefCount = m;
  for (int32_t p = 0; p < m; ++p) {
    if (!st.TagBudgetLeft()) break;
    ReadClassTag(f, st, false);
    TEntJwwBlockDef d;
    ReadHeaderFields(f, v, d.Header);
    d.Number = f.I32("a block definition");
    d.Referenced = f.I32("a block definition");
    d.Time = f.U32("a block definition");
    if (d.Time & 0x80000000u) {
      f.Skip(8, "a block definition's extended time");
      d.Time = static_cast<uint32_t>(p + 1);
    }
    d.Name = ReadName(f, "a block definition's name");
    d.ElementCount = ReadBoundedCount(f, "a block definition's element count", JwwLayout::MinElementBytes(v));
    ++st.RunningIndex;
    ReadList(f, v, st, d, d.Order, d.ElementCount, true);
    BlockDefs.push_back(std::move(d));
    BlockDefCount = static_cast<int32_t>(BlockDefs.size());
  }
  BlockDefs.shrink_to_fit();

  if (limited || !JwwLayout::HasImageTable(v)) return;
  ReadImageTable(f);
  if (v > JwwLayout::NewestKnownVersion && f.Remaining() != 0)
    f.Fail(std::to_string(f.Remaining()) + " bytes follow the image table: version " + std::to_string(v) +
           " has a layout this program does not know");
}

void TJwwData::ReadEntitySection(TJwwReader& f) { ReadEntities(f, false, 0); }

void TJwwData::ReadEntitySectionForLayerTest(TJwwReader& f, int32_t MaxTags) { ReadEntities(f, true, MaxTags); }

// ---------------------------------------------------------------------------
// Writer

namespace {

uint8_t NormalisePenStyle(uint8_t s, int32_t kind, int32_t v) {
  if ((kind == KindSen || kind == KindEnko) && JwwLayout::UsesOldPenNumbers(v)) {
    static constexpr uint8_t oldStyle[] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};  // 31..45
    if (s >= 31 && s <= 45) s = oldStyle[s - 31];
    else if (s >= 46 && s <= 62) s = 0;
  }
  switch (kind) {
    case KindSen:
    case KindEnko:
      return (s >= 1 && s <= 9) || (s >= 11 && s <= 19) || (s >= 31 && s <= 62) ? s : 0;
    case KindTen: return s == 1 || s == 100 ? s : 1;
    case KindMoji: return s >= 1 && s <= 9 ? s : 1;
    default: return s;
  }
}

uint16_t NormalisePenColor(uint16_t c, int32_t kind, int32_t v) {
  if (kind >= KindSen && kind <= KindSolid && JwwLayout::UsesOldPenNumbers(v)) {
    static constexpr uint16_t oldColor[] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};  // 101..116
    if (c >= 101 && c <= 116) c = oldColor[c - 101];
    else if (c >= 117 && c <= 356) c = 0;
  }
  const bool extended = c >= 101 && c <= 356;
  if (kind >= KindSen && kind <= KindSunpou) return (c >= 1 && c <= 9) || extended ? c : 0;
  if (kind == KindSolid) return (c >= 1 && c <= 10) || extended ? c : 0;
  return c;
}

// Working state of one write of the entity section.
struct TWriteState {
  int32_t Version = 0;
  bool Wide = false;  // every string in the wide form
  int32_t RunningIndex = 1;
  std::array<int32_t, 9> ClassIndex{};  // per kind 1..8; 0 = not declared yet
  std::unordered_map<int32_t, int32_t> FirstDefByNumber;  // block Number -> index in BlockDefs
};

void WriteSen(TJwwWriter& f, int32_t v, const TEntJwwSen& e) {
  TJwwData::WriteEntityHeader(f, v, e.Header, KindSen);
  f.F64(e.StartX);
  f.F64(e.StartY);
  f.F64(e.EndX);
  f.F64(e.EndY);
}

void WriteEnko(TJwwWriter& f, int32_t v, const TEntJwwEnko& e) {
  TJwwData::WriteEntityHeader(f, v, e.Header, KindEnko);
  f.F64(e.CenterX);
  f.F64(e.CenterY);
  f.F64(e.Radius);
  f.F64(e.StartAngle);
  f.F64(e.ArcAngle);
  f.F64(e.TiltAngle);
  f.F64(e.Flatness);
  f.I32(e.FullCircle);
}

void WriteTen(TJwwWriter& f, int32_t v, const TEntJwwTen& e) {
  TJwwData::WriteEntityHeader(f, v, e.Header, KindTen);
  f.F64(e.X);
  f.F64(e.Y);
  f.I32(e.Temporary);
  if (e.Header.PenStyle == 100) {
    f.I32(e.Code);
    f.F64(e.Angle);
    f.F64(e.Scale);
  }
}

void WriteMoji(TJwwWriter& f, int32_t v, bool wide, const TEntJwwMoji& e) {
  TJwwData::WriteEntityHeader(f, v, e.Header, KindMoji);
  f.F64(e.StartX);
  f.F64(e.StartY);
  f.F64(e.EndX);
  f.F64(e.EndY);
  f.I32(e.TextKind);
  f.F64(e.SizeX);
  f.F64(e.SizeY);
  f.F64(e.Spacing);
  f.F64(e.Angle);
  TJwwData::WriteString(f, Func_::RemoveCaretMOf(e.FontName), wide);
  TJwwData::WriteString(f, Func_::RemoveCaretMOf(e.Text), wide);
}

void WriteSunpou(TJwwWriter& f, int32_t v, bool wide, const TEntJwwSunpou& e) {
  TJwwData::WriteEntityHeader(f, v, e.Header, KindSunpou);
  WriteSen(f, v, e.Line);
  WriteMoji(f, v, wide, e.ValueText);
  if (JwwLayout::HasDimensionExtension(v)) {
    f.U16(e.SxfMode);
    WriteSen(f, v, e.AuxLine1);
    WriteSen(f, v, e.AuxLine2);
    for (const TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) WriteTen(f, v, *p);
  }
}

void WriteSolid(TJwwWriter& f, int32_t v, const TEntJwwSolid& e) {
  TJwwData::WriteEntityHeader(f, v, e.Header, KindSolid);
  f.F64(e.StartX);
  f.F64(e.StartY);
  f.F64(e.EndX);
  f.F64(e.EndY);
  f.F64(e.Point2X);
  f.F64(e.Point2Y);
  f.F64(e.Point3X);
  f.F64(e.Point3Y);
  if (e.Header.PenColor == 10) f.I32(e.Color);
}

void WriteClassTag(TJwwWriter& f, TWriteState& st, int32_t kind) {
  int32_t& index = st.ClassIndex[static_cast<size_t>(kind)];
  if (index == 0) {
    const std::string_view name = JwwClassNames[static_cast<size_t>(kind)];
    f.U16(0xFFFF);
    f.U16(static_cast<uint16_t>(st.Version & 0xFFFF));
    f.U16(static_cast<uint16_t>(name.size()));
    f.Bytes(name.data(), name.size());
    index = st.RunningIndex++;
  } else {
    TJwwData::WriteClassReference(f, index);
  }
}

// The entries of an order list that will be written, after checking that they
// agree with the per-kind counts (which is what the count prefix says).
int32_t WritableCount(const TJwwWriter& f, const TEntJwwElementLists& lists, const std::vector<TEntJwwOrderItem>& order,
                      size_t entries, const char* which) {
  int32_t n = 0;
  for (size_t i = 0; i < entries; ++i)
    if (lists.HeaderOf(order[i].Kind, order[i].Index)) ++n;
  if (n != lists.TotalCount())
    f.Fail(std::string(which) + ": the order list holds " + std::to_string(n) + " elements but the counts say " +
           std::to_string(lists.TotalCount()));
  return n;
}

}  // namespace

void TJwwData::WriteEntityHeader(TJwwWriter& f, int32_t v, const TEntJwwEntityHeader& header, int32_t kind) {
  TEntJwwEntityHeader h = header;
  h.PenStyle = NormalisePenStyle(h.PenStyle, kind, v);
  h.PenColor = NormalisePenColor(h.PenColor, kind, v);
  if (h.Layer > 15) h.Layer = 0;
  if (h.LayerGroup > 15) h.LayerGroup = 0;
  if (h.PenWidth > 30000) h.PenWidth = 0;
  f.I32(h.Group);
  f.U8(h.PenStyle);
  f.U16(h.PenColor);
  if (JwwLayout::HasPenWidth(v)) f.U16(h.PenWidth);
  f.U16(h.Layer);
  f.U16(h.LayerGroup);
  f.U16(h.Flags);
}

int32_t TJwwData::MapBlockNumber(int32_t blockNumber) const {
  for (int32_t i = 0; i < BlockDefCount && static_cast<size_t>(i) < BlockDefs.size(); ++i) {
    const TEntJwwBlockDef& d = BlockDefs[static_cast<size_t>(i)];
    if (d.Number == blockNumber) return d.Used ? d.NewNumber : blockNumber;
  }
  return 0;
}

namespace {

int32_t MapNumber(const TWriteState& st, const std::vector<TEntJwwBlockDef>& defs, int32_t n) {
  const auto it = st.FirstDefByNumber.find(n);
  if (it == st.FirstDefByNumber.end()) return 0;
  const TEntJwwBlockDef& d = defs[static_cast<size_t>(it->second)];
  return d.Used ? d.NewNumber : n;
}

void WriteList(TJwwWriter& f, TWriteState& st, const std::vector<TEntJwwBlockDef>& defs,
               const TEntJwwElementLists& lists, const std::vector<TEntJwwOrderItem>& order, size_t entries) {
  const int32_t v = st.Version;
  for (size_t i = 0; i < entries; ++i) {
    const int32_t kind = order[i].Kind;
    if (!lists.HeaderOf(kind, order[i].Index)) continue;  // deleted, unfilled or not an element
    const auto k = static_cast<size_t>(order[i].Index);
    WriteClassTag(f, st, kind);
    switch (kind) {
      case KindSen: WriteSen(f, v, lists.Lines[k]); break;
      case KindEnko: WriteEnko(f, v, lists.Arcs[k]); break;
      case KindTen: WriteTen(f, v, lists.Points[k]); break;
      case KindMoji: WriteMoji(f, v, st.Wide, lists.Texts[k]); break;
      case KindSunpou: WriteSunpou(f, v, st.Wide, lists.Dimensions[k]); break;
      case KindSolid: WriteSolid(f, v, lists.Solids[k]); break;
      case KindBlock: {
        const TEntJwwBlock& e = lists.BlockInserts[k];
        TJwwData::WriteEntityHeader(f, v, e.Header, KindBlock);
        f.F64(e.X);
        f.F64(e.Y);
        f.F64(e.ScaleX);
        f.F64(e.ScaleY);
        f.F64(e.Angle);
        f.I32(MapNumber(st, defs, e.BlockNumber));
        break;
      }
      default: break;
    }
    ++st.RunningIndex;
  }
}

}  // namespace

void TJwwData::WriteEntitySection(TJwwWriter& f, int32_t v) const {
  TWriteState st;
  st.Version = v;
  st.Wide = WideStrings();
  for (size_t i = 0; i < BlockDefEntries(); ++i) st.FirstDefByNumber.emplace(BlockDefs[i].Number, static_cast<int32_t>(i));

  const size_t entries = OrderEntries();
  WriteCount(f, WritableCount(f, *this, EntityOrder, entries, "the main list"));
  WriteList(f, st, BlockDefs, *this, EntityOrder, entries);

  // The definitions written are the used ones, numbered 0, 1, 2 ... in order;
  // their count and numbering must agree or inserts would point elsewhere.
  const size_t declared = WrittenBlockDefEntries();
  int32_t written = 0;
  for (size_t i = 0; i < declared; ++i) {
    const TEntJwwBlockDef& d = BlockDefs[i];
    if (!d.Used) continue;
    if (d.NewNumber != written)
      f.Fail("block definition " + std::to_string(i) + " is numbered " + std::to_string(d.NewNumber) +
             " but is written as number " + std::to_string(written));
    if (d.Time & 0x80000000u)
      f.Fail("block definition " + std::to_string(i) + " has a time with its top bit set, which cannot be written");
    ++written;
  }
  if (written != UsedBlockDefCount)
    f.Fail(std::to_string(written) + " block definitions are in use but the document counts " +
           std::to_string(UsedBlockDefCount));
  WriteCount(f, written);
  for (size_t i = 0; i < declared; ++i) {
    const TEntJwwBlockDef& d = BlockDefs[i];
    if (!d.Used) continue;
    WriteClassTag(f, st, KindList);
    WriteEntityHeader(f, v, d.Header, KindList);
    f.I32(MapNumber(st, BlockDefs, d.Number));
    f.I32(d.Referenced);
    f.U32(d.Time);
    WriteString(f, Func_::RemoveCaretMOf(d.Name), st.Wide);
    const size_t n = d.OrderEntries();
    WriteCount(f, WritableCount(f, d, d.Order, n, "a block definition"));
    ++st.RunningIndex;
    WriteList(f, st, BlockDefs, d, d.Order, n);
  }

  if (JwwLayout::HasImageTable(v)) WriteImageTable(f);
}
