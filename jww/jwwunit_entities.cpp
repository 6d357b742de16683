// The entity section: element lists with their class tags, block
// definitions, and the order in which the reader, the writer and the
// read-back check go through them. The records themselves are described once,
// in jwwwalk.h.
#include <algorithm>
#include <climits>

#include "Func_.h"
#include "jwwmeaning.h"
#include "jwwnormalise.h"
#include "jwwunit.h"
#include "jwwwalk.h"

namespace qm {

using JwwMeaning::ClassNames;

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
// TEntJwwBlockDef

TEntJwwBlockDef::TEntJwwBlockDef(const TEntJwwBlockDef& o)
    : Header(o.Header),
      Number(o.Number),
      Referenced(o.Referenced),
      Time(o.Time),
      Name(o.Name),
      ElementCount(o.ElementCount),
      Order(o.Order),
      Used(o.Used),
      ReadCleaned(o.ReadCleaned),
      NewNumber(o.NewNumber),
      Lists_(o.Lists_ ? std::make_unique<TEntJwwElementLists>(*o.Lists_) : nullptr) {}

TEntJwwBlockDef& TEntJwwBlockDef::operator=(const TEntJwwBlockDef& o) {
  if (this != &o) *this = TEntJwwBlockDef(o);
  return *this;
}

TEntJwwElementLists& TEntJwwBlockDef::Lists() {
  if (!Lists_) Lists_ = std::make_unique<TEntJwwElementLists>();
  return *Lists_;
}

const TEntJwwElementLists& TEntJwwBlockDef::Lists() const noexcept {
  static const TEntJwwElementLists none;
  return Lists_ ? *Lists_ : none;
}

// ---------------------------------------------------------------------------
// Reading

namespace {

// Reads one element of a kind into a zeroed record, appends it to its array
// and returns its index. The count goes up only once the whole record was
// read. What the file does not store takes the reader's values.
// The fewest bytes an element of a kind takes in the file (a short class tag,
// the record without its optional fields, empty strings).
uint64_t MinBytes(int32_t kind, int32_t v) {
  const uint64_t h = JwwLayout::EntityHeaderSize(v);
  switch (kind) {
    case KindSen: return 2 + h + 32;
    case KindEnko: return 2 + h + 60;
    case KindTen: return 2 + h + 20;
    case KindMoji: return 2 + h + 68 + 2;
    case KindSunpou: return 2 + 3 * h + 32 + 68 + 2 + (JwwLayout::HasDimensionExtension(v) ? 2 + 6 * h + 64 + 80 : 0);
    case KindSolid: return 2 + h + 64;
    default: return 2 + h + 44;
  }
}

template <typename T>
int32_t Append(TJwwReader& f, int32_t v, std::vector<T>& array, int32_t& count, int32_t kind, int32_t left) {
  // At a kind's first element its array takes room for as many as the rest of
  // the list and of the file could hold: one allocation instead of growth by
  // copies. Room never touched costs no memory.
  if (array.empty())
    array.reserve(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(left), f.Remaining() / MinBytes(kind, v) + 1)));
  T e{};
  JwwWalk::TReadIo io(f);
  JwwWalk::Walk(io, e, v);
  array.push_back(std::move(e));
  return count++;
}

// A dimension of a file before version 420 has no extension: its parts take
// the dimension's own header, and its points the pen style 0.
void CompleteOldDimension(TEntJwwSunpou& e) {
  TJwwData::CopyEntityHeader(e.Header, e.AuxLine1.Header);
  TJwwData::CopyEntityHeader(e.Header, e.AuxLine2.Header);
  for (TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) {
    TJwwData::CopyEntityHeader(e.Header, p->Header);
    p->Header.PenStyle = 0;
  }
}

int32_t ReadElement(TJwwReader& f, int32_t v, int32_t kind, TEntJwwElementLists& t, bool inBlock, int32_t left) {
  switch (kind) {
    case KindSen: return Append(f, v, t.Lines, t.LineCount, KindSen, left);
    case KindEnko: return Append(f, v, t.Arcs, t.ArcCount, KindEnko, left);
    case KindTen: {
      const int32_t i = Append(f, v, t.Points, t.PointCount, KindTen, left);
      // A point without its extra fields has the scale 1 in the main list.
      TEntJwwTen& e = t.Points.back();
      if (e.Header.PenStyle != 100 && !inBlock) e.Scale = 1.0;
      return i;
    }
    case KindMoji: return Append(f, v, t.Texts, t.TextCount, KindMoji, left);
    case KindSunpou: {
      const int32_t i = Append(f, v, t.Dimensions, t.DimensionCount, KindSunpou, left);
      if (!JwwLayout::HasDimensionExtension(v)) CompleteOldDimension(t.Dimensions.back());
      return i;
    }
    case KindSolid: return Append(f, v, t.Solids, t.SolidCount, KindSolid, left);
    case KindBlock: return Append(f, v, t.BlockInserts, t.BlockInsertCount, KindBlock, left);
    default: return -1;
  }
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
        if (n == ClassNames[static_cast<size_t>(k)]) {
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
    const int32_t index = ReadElement(f, v, kind, target, inBlock, declared - counter);
    if (position < order.size()) order[position] = {kind, index};
    ++position;
    ++counter;
    ++st.RunningIndex;
  }
}

// The CDataList record up to its name; an extended time (top bit set) is
// followed by 8 bytes and becomes the definition's 1-based position.
void ReadDefinitionHead(TJwwReader& f, int32_t v, TEntJwwBlockDef& d, int32_t position) {
  JwwWalk::TReadIo io(f);
  JwwWalk::WalkDefinitionHead(io, d, v);
  if (d.Time & 0x80000000u) {
    f.Skip(8, "a block definition's extended time");
    d.Time = static_cast<uint32_t>(position);
  }
  bool dropped = false;
  d.Name = TJwwData::ReadName(f, "a block definition's name", &dropped);
  if (dropped) d.ReadCleaned |= CleanedName;
}

}  // namespace

void TJwwData::ReadEntityHeader(TJwwReader& file, TEntJwwEntityHeader& header) const {
  header = TEntJwwEntityHeader{};
  JwwWalk::TReadIo io(file);
  io.What("an element header");
  JwwWalk::Walk(io, header, Header.Version);
}

void TJwwData::ReadEntities(TJwwReader& f, bool limited, int32_t maxTags) {
  const int32_t v = Header.Version;
  TReadState st;
  st.Limited = limited;
  st.MaxTags = maxTags;

  f.Section(JwwContext::Elements);
  Header.EntityCount = ReadBoundedCount(f, "the element count", JwwLayout::MinElementBytes(v));
  ReadList(f, v, st, *this, EntityOrder, Header.EntityCount, false);

  Header.DeclaredBlockDefCount = 0;
  BlockDefCount = 0;
  if (!st.TagBudgetLeft()) return;
  f.Section(JwwContext::BlockDefinitions);
  const int32_t m = ReadBoundedCount(f, "the block definition count", JwwLayout::MinBlockDefBytes(v));
  Header.DeclaredBlockDefCount = m;
  BlockDefs.reserve(static_cast<size_t>(m));  // m is bounded by the bytes left
  for (int32_t p = 0; p < m; ++p) {
    if (!st.TagBudgetLeft()) break;
    ReadClassTag(f, st, false);
    TEntJwwBlockDef d;
    ReadDefinitionHead(f, v, d, p + 1);
    d.ElementCount = ReadBoundedCount(f, "a block definition's element count", JwwLayout::MinElementBytes(v));
    ++st.RunningIndex;
    if (d.ElementCount > 0) ReadList(f, v, st, d.Lists(), d.Order, d.ElementCount, true);
    BlockDefs.push_back(std::move(d));
    BlockDefCount = static_cast<int32_t>(BlockDefs.size());
  }

  if (limited) return;
  if (JwwLayout::HasImageTable(v)) {
    f.Section(JwwContext::ImageTable);
    ReadImageTable(f);
  }
  f.Section(JwwContext::EndOfFile);
  // Every drawing ends with its last section. Bytes after it mean the file was
  // not read as it was written (a damaged length, a layout this program does
  // not know): a drawing read that way is not to be trusted.
  if (f.Remaining() != 0)
    f.Fail(std::to_string(f.Remaining()) + " bytes follow the end of the " +
               (JwwLayout::HasImageTable(v) ? "image table" : "block definitions") +
               (v > JwwLayout::NewestKnownVersion ? ": version " + std::to_string(v) +
                                                        " has a layout this program does not know"
                                                  : ": the drawing is damaged or was not read as it was written"),
           v > JwwLayout::NewestKnownVersion ? TJwwFailure::UnsupportedVersion : TJwwFailure::Corrupt);
}

void TJwwData::ReadEntitySection(TJwwReader& f) { ReadEntities(f, false, 0); }

void TJwwData::ReadEntitySectionForLayerTest(TJwwReader& f, int32_t MaxTags) { ReadEntities(f, true, MaxTags); }

// ---------------------------------------------------------------------------
// Writing and the read-back check: the same road through the document

namespace {

// The writer's side: class tags built afresh, records normalised and written.
class TWriteSide {
 public:
  TWriteSide(TJwwWriter& file, int32_t v, bool wide) : F_(file), V_(v), Io_(file, wide) {}
  JwwWalk::TWriteIo& Io() { return Io_; }
  TJwwWriter& File() { return F_; }
  void Count(int32_t n, const char*) { TJwwData::WriteCount(F_, n); }
  void Tag(int32_t kind) {
    int32_t& index = ClassIndex_[static_cast<size_t>(kind)];
    if (index == 0) {
      const std::string_view name = ClassNames[static_cast<size_t>(kind)];
      F_.U16(0xFFFF);
      F_.U16(static_cast<uint16_t>(V_ & 0xFFFF));
      F_.U16(static_cast<uint16_t>(name.size()));
      F_.Bytes(name.data(), name.size());
      index = RunningIndex_++;
    } else {
      TJwwData::WriteClassReference(F_, index);
    }
  }
  void Object() { ++RunningIndex_; }
  [[noreturn]] void Fail(const std::string& message) const { F_.Fail(message); }

 private:
  TJwwWriter& F_;
  int32_t V_;
  JwwWalk::TWriteIo Io_;
  int32_t RunningIndex_ = 1;
  std::array<int32_t, 9> ClassIndex_{};  // per kind 1..8; 0 = not declared yet
};

// The read-back check's side: the written file's counts and class tags are
// read as a reader reads them and must say what the writer meant.
class TCheckSide {
 public:
  TCheckSide(TJwwReader& file, bool wide) : F_(file), Io_(file, wide) {}
  JwwWalk::TCheckIo& Io() { return Io_; }
  TJwwReader& File() { return F_; }
  void Count(int32_t n, const char* what) {
    const uint64_t at = F_.Offset();
    const int32_t got = TJwwData::ReadCount(F_, what);
    if (got != n)
      throw EJwwError(at, std::string(what) + " is " + std::to_string(got) + " where " + std::to_string(n) +
                              " was written");
  }
  void Tag(int32_t kind) {
    const uint64_t at = F_.Offset();
    ++St_.TagsRead;
    const int32_t got = ReadClassTag(F_, St_, kind != KindList);
    if (kind != KindList && got != kind)
      throw EJwwError(at, "the class tag announces kind " + std::to_string(got) + " where a " +
                              std::string(ClassNames[static_cast<size_t>(kind)]) + " was written");
  }
  void Object() { ++St_.RunningIndex; }
  [[noreturn]] void Fail(const std::string& message) const { F_.Fail(message); }

 private:
  TJwwReader& F_;
  JwwWalk::TCheckIo Io_;
  TReadState St_;
};

// The entries of an order list that will be written, after checking that they
// agree with the per-kind counts (which is what the count prefix says).
template <class Side>
int32_t WritableCount(const Side& side, const TEntJwwElementLists& lists, const std::vector<TEntJwwOrderItem>& order,
                      size_t entries, const char* which) {
  int32_t n = 0;
  for (size_t i = 0; i < entries; ++i)
    if (lists.HeaderOf(order[i].Kind, order[i].Index)) ++n;
  if (n != lists.TotalCount())
    side.Fail(std::string(which) + ": the order list holds " + std::to_string(n) + " elements but the counts say " +
              std::to_string(lists.TotalCount()));
  return n;
}

template <class Side, class T>
void Element(Side& side, int32_t v, const T& e) {
  T n = JwwNormalise::Record(e, v);
  JwwWalk::Walk(side.Io(), n, v);
}

template <class Side>
void List(Side& side, int32_t v, const TBlockNumbers& numbers, const TEntJwwElementLists& lists,
          const std::vector<TEntJwwOrderItem>& order, size_t entries) {
  for (size_t i = 0; i < entries; ++i) {
    const int32_t kind = order[i].Kind;
    if (!lists.HeaderOf(kind, order[i].Index)) continue;  // deleted, unfilled or not an element
    const auto k = static_cast<size_t>(order[i].Index);
    side.Tag(kind);
    switch (kind) {
      case KindSen: Element(side, v, lists.Lines[k]); break;
      case KindEnko: Element(side, v, lists.Arcs[k]); break;
      case KindTen: Element(side, v, lists.Points[k]); break;
      case KindMoji: Element(side, v, lists.Texts[k]); break;
      case KindSunpou: Element(side, v, lists.Dimensions[k]); break;
      case KindSolid: Element(side, v, lists.Solids[k]); break;
      case KindBlock: {
        TEntJwwBlock n = JwwNormalise::Record(lists.BlockInserts[k], v);
        n.BlockNumber = numbers.Map(n.BlockNumber);
        JwwWalk::Walk(side.Io(), n, v);
        break;
      }
      default: break;
    }
    side.Object();
  }
}

// The entity section as the writer lays it out, walked by the writer or the
// read-back check.
template <class Side>
void EntitySection(Side& side, const TJwwData& d, int32_t v) {
  const TBlockNumbers numbers(d);
  const size_t entries = d.OrderEntries();
  side.Count(WritableCount(side, d, d.EntityOrder, entries, "the main list"), "the element count");
  List(side, v, numbers, d, d.EntityOrder, entries);

  // The definitions written are the used ones, numbered 0, 1, 2 ... in order;
  // their count and numbering must agree or inserts would point elsewhere.
  const size_t declared = d.WrittenBlockDefEntries();
  int32_t written = 0;
  for (size_t i = 0; i < declared; ++i) {
    const TEntJwwBlockDef& def = d.BlockDefs[i];
    if (!def.Used) continue;
    if (def.NewNumber != written)
      side.Fail("block definition " + std::to_string(i) + " is numbered " + std::to_string(def.NewNumber) +
                " but is written as number " + std::to_string(written));
    if (def.Time & 0x80000000u)
      side.Fail("block definition " + std::to_string(i) + " has a time with its top bit set, which cannot be written");
    ++written;
  }
  if (written != d.UsedBlockDefCount)
    side.Fail(std::to_string(written) + " block definitions are in use but the document counts " +
              std::to_string(d.UsedBlockDefCount));
  side.Count(written, "the block definition count");
  for (size_t i = 0; i < declared; ++i) {
    const TEntJwwBlockDef& def = d.BlockDefs[i];
    if (!def.Used) continue;
    side.Tag(KindList);
    // Only the record's own fields are copied, not the block's elements.
    TEntJwwBlockDef head;
    head.Header = def.Header;
    head.Number = numbers.Map(def.Number);
    head.Referenced = def.Referenced;
    head.Time = def.Time;
    head.Name = def.Name;
    JwwNormalise::Definition(head, v);
    JwwWalk::WalkDefinitionHead(side.Io(), head, v);
    side.Io().What("a block definition's name");
    side.Io().Name(head.Name, head.ReadCleaned, CleanedName);
    const size_t n = def.OrderEntries();
    side.Count(WritableCount(side, def.Lists(), def.Order, n, "a block definition"),
               "a block definition's element count");
    side.Object();
    List(side, v, numbers, def.Lists(), def.Order, n);
  }
}

}  // namespace

void TJwwData::WriteEntityHeader(TJwwWriter& f, int32_t v, const TEntJwwEntityHeader& header, int32_t kind) {
  TEntJwwEntityHeader h = JwwNormalise::Header(header, kind, v);
  JwwWalk::TWriteIo io(f, false);
  JwwWalk::Walk(io, h, v);
}

TFirstDefinitions::TFirstDefinitions(const TJwwData& d) {
  const size_t n = d.BlockDefEntries();
  ByNumber_.reserve(n);
  for (size_t i = 0; i < n; ++i) ByNumber_.emplace_back(d.BlockDefs[i].Number, static_cast<int32_t>(i));
  std::sort(ByNumber_.begin(), ByNumber_.end());
  ByNumber_.erase(std::unique(ByNumber_.begin(), ByNumber_.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  ByNumber_.end());
}

int32_t TFirstDefinitions::Find(int32_t number) const noexcept {
  const auto it = std::lower_bound(ByNumber_.begin(), ByNumber_.end(), std::make_pair(number, INT32_MIN));
  return it != ByNumber_.end() && it->first == number ? it->second : -1;
}

// The first definition of that number decides: used, its new number; unused,
// the number as it is. An insert of a number no definition has stays one: its
// number, when no written definition can have it, else the first number past
// them (0 would make it show the first definition written, which the source
// does not show).
int32_t TBlockNumbers::Map(int32_t number) const {
  const int32_t i = First_.Find(number);
  if (i < 0) return number < 0 || number >= Document_.UsedBlockDefCount ? number : Document_.UsedBlockDefCount;
  const TEntJwwBlockDef& d = Document_.BlockDefs[static_cast<size_t>(i)];
  return d.Used ? d.NewNumber : number;
}

int32_t TJwwData::MapBlockNumber(int32_t blockNumber) const { return TBlockNumbers(*this).Map(blockNumber); }

void TJwwData::WriteEntitySection(TJwwWriter& f, int32_t v, std::vector<TWrittenImage>* written) const {
  TWriteSide side(f, v, WideStrings());
  EntitySection(side, *this, v);
  if (JwwLayout::HasImageTable(v)) WriteImageTable(f, written);
}

void TJwwData::CheckEntitySection(TJwwReader& f, int32_t v, const std::vector<TWrittenImage>& images) const {
  TCheckSide side(f, WideStrings());
  EntitySection(side, *this, v);
  if (JwwLayout::HasImageTable(v)) CheckImageTable(f, images);
}

}  // namespace qm
