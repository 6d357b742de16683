// Plain records of a JWW drawing. They hold data only; reading, writing and
// every rule about them live in TJwwData (jwwunit.h).
//
// Element records keep the fields of the file record of version 351 and later
// in the same order; older files are read into the same records with PenWidth 0.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jwwstring.h"

namespace qm {

// Element kinds as used in order lists; 0 marks an entry without element.
enum TJwwKind : int32_t {
  KindNone = 0,
  KindSen = 1,      // line, "CDataSen"
  KindEnko = 2,     // arc, circle, ellipse, "CDataEnko"
  KindTen = 3,      // point, "CDataTen"
  KindMoji = 4,     // text, "CDataMoji"
  KindSunpou = 5,   // dimension, "CDataSunpou"
  KindSolid = 6,    // solid, "CDataSolid"
  KindBlock = 7,    // block insert, "CDataBlock"
  KindList = 8,     // block definition, "CDataList" (never in an order list)
};

// Not in the file: what the reader dropped control characters from, as the
// bits of a record's ReadCleaned, so that a save can tell what it changed.
enum TReadCleaned : uint8_t {
  CleanedName = 1,  // the record's name
  CleanedFont = 1,  // a text's font name
  CleanedText = 2,  // a text's string
};

// The common header of every element and of a block definition.
struct TEntJwwEntityHeader {
  int32_t Group = 0;
  uint8_t PenStyle = 0;    // line type; 100 on a point announces its extra fields
  uint16_t PenColor = 0;   // colour number; 10 on a solid announces its RGB colour
  uint16_t PenWidth = 0;   // not stored before version 351
  uint16_t Layer = 0;      // 0..15 within the layer group
  uint16_t LayerGroup = 0; // 0..15
  uint16_t Flags = 0;
  bool operator==(const TEntJwwEntityHeader&) const = default;
};

struct TEntJwwSen {
  TEntJwwEntityHeader Header;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0;
  bool operator==(const TEntJwwSen&) const = default;
};

struct TEntJwwEnko {
  TEntJwwEntityHeader Header;
  double CenterX = 0, CenterY = 0, Radius = 0, StartAngle = 0, ArcAngle = 0, TiltAngle = 0, Flatness = 0;
  int32_t FullCircle = 0;
  bool operator==(const TEntJwwEnko&) const = default;
};

struct TEntJwwTen {
  TEntJwwEntityHeader Header;
  double X = 0, Y = 0;
  int32_t Temporary = 0;
  // Stored in the file only when PenStyle is 100.
  int32_t Code = 0;
  double Angle = 0, Scale = 0;
  bool operator==(const TEntJwwTen&) const = default;
};

struct TEntJwwMoji {
  TEntJwwEntityHeader Header;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0;
  int32_t TextKind = 0;
  uint8_t ReadCleaned = 0;  // CleanedFont, CleanedText
  double SizeX = 0, SizeY = 0, Spacing = 0, Angle = 0;
  TJwwString FontName;
  TJwwString Text;  // "^@BM%temp%name,..." refers to an embedded image
  bool operator==(const TEntJwwMoji&) const = default;
};

struct TEntJwwSunpou {
  TEntJwwEntityHeader Header;
  TEntJwwSen Line;
  TEntJwwMoji ValueText;
  // Stored in the file from version 420; older files get copies of the header.
  uint16_t SxfMode = 0;
  TEntJwwSen AuxLine1, AuxLine2;
  TEntJwwTen Point1, Point2, Point3, Point4;
  bool operator==(const TEntJwwSunpou&) const = default;
};

struct TEntJwwSolid {
  TEntJwwEntityHeader Header;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0, Point2X = 0, Point2Y = 0, Point3X = 0, Point3Y = 0;
  int32_t Color = 0;  // RGB; stored in the file only when PenColor is 10
  bool operator==(const TEntJwwSolid&) const = default;
};

struct TEntJwwBlock {
  TEntJwwEntityHeader Header;
  double X = 0, Y = 0, ScaleX = 0, ScaleY = 0, Angle = 0;
  int32_t BlockNumber = 0;  // the Number of the inserted definition
  bool operator==(const TEntJwwBlock&) const = default;
};

struct TEntJwwOrderItem {
  int32_t Kind = KindNone;
  int32_t Index = 0;  // into the array of that kind
  bool operator==(const TEntJwwOrderItem&) const = default;
};

// The seven element lists with their counts; held by the document for the
// top-level elements and by every block definition for its own. A count is the
// number of live elements of its kind: after a load it equals the array's
// length, and the purge lowers it without removing array entries.
struct TEntJwwElementLists {
  std::vector<TEntJwwSen> Lines;
  std::vector<TEntJwwEnko> Arcs;
  std::vector<TEntJwwTen> Points;
  std::vector<TEntJwwMoji> Texts;
  std::vector<TEntJwwSunpou> Dimensions;
  std::vector<TEntJwwSolid> Solids;
  std::vector<TEntJwwBlock> BlockInserts;
  int32_t LineCount = 0, ArcCount = 0, PointCount = 0, TextCount = 0, DimensionCount = 0, SolidCount = 0,
          BlockInsertCount = 0;

  int32_t& CountOf(int32_t kind);
  int32_t CountOf(int32_t kind) const;
  // Length of the array of a kind (1..7), 0 for any other kind.
  size_t ArraySize(int32_t kind) const noexcept;
  // The header of the element of the given kind and index; nullptr when the
  // kind is not 1..7 or the index lies outside its array.
  const TEntJwwEntityHeader* HeaderOf(int32_t kind, int32_t index) const noexcept {
    if (index < 0) return nullptr;
    const auto i = static_cast<size_t>(index);
    switch (kind) {
      case KindSen: return i < Lines.size() ? &Lines[i].Header : nullptr;
      case KindEnko: return i < Arcs.size() ? &Arcs[i].Header : nullptr;
      case KindTen: return i < Points.size() ? &Points[i].Header : nullptr;
      case KindMoji: return i < Texts.size() ? &Texts[i].Header : nullptr;
      case KindSunpou: return i < Dimensions.size() ? &Dimensions[i].Header : nullptr;
      case KindSolid: return i < Solids.size() ? &Solids[i].Header : nullptr;
      case KindBlock: return i < BlockInserts.size() ? &BlockInserts[i].Header : nullptr;
      default: return nullptr;
    }
  }
  int32_t TotalCount() const noexcept;
  void ClearLists() noexcept;
};

struct TEntJwwLayerGroup {
  int32_t State = 0;  // 0 = hidden; every other value is kept as read
  int32_t WriteLayer = 0;
  double Scale = 0;
  int32_t Protect = 0;
  TJwwString Name;
  uint8_t ReadCleaned = 0;  // CleanedName
  bool operator==(const TEntJwwLayerGroup&) const = default;
};

struct TEntJwwLayer {
  int32_t State = 0;  // 0 = hidden
  int32_t Protect = 0;
  TJwwString Name;
  uint8_t ReadCleaned = 0;  // CleanedName
  bool operator==(const TEntJwwLayer&) const = default;
};

struct TEntJwwPenSetting {
  int32_t ScreenColor = 0, ScreenWidth = 0, PrinterColor = 0, PrinterWidth = 0;
  double PointRadius = 0;
  bool operator==(const TEntJwwPenSetting&) const = default;
};

struct TEntJwwLineTypePattern {
  int32_t Pattern = 0, UnitDots = 0, Pitch = 0, PrinterPitch = 0;
  bool operator==(const TEntJwwLineTypePattern&) const = default;
};

struct TEntJwwRandomLineType {
  int32_t Pattern = 0, Amplitude = 0, Pitch = 0, PrinterAmplitude = 0, PrinterPitch = 0;
  bool operator==(const TEntJwwRandomLineType&) const = default;
};

struct TEntJwwColorExNo {
  int32_t ScreenColor = 0, ScreenWidth = 0;
  TJwwString Name;
  int32_t PrinterColor = 0, PrinterWidth = 0;
  double PointRadius = 0;
  uint8_t ReadCleaned = 0;  // CleanedName
  bool operator==(const TEntJwwColorExNo&) const = default;
};

struct TEntJwwLineTypeExNo {
  int32_t Pattern = 0, UnitDots = 0, Pitch = 0, PrinterPitch = 0;
  TJwwString Name;
  int32_t SegmentCount = 0;
  std::array<double, 10> Pitches{};
  uint8_t ReadCleaned = 0;  // CleanedName
  bool operator==(const TEntJwwLineTypeExNo&) const = default;
};

struct TEntJwwTextStyle {
  double Width = 0, Height = 0, Spacing = 0;
  int32_t Color = 0;
  bool operator==(const TEntJwwTextStyle&) const = default;
};

// The number of entries of a list to walk: its count, but never past the end
// of its array (a count can be larger, for example after a limited read).
inline size_t Walkable(size_t arraySize, int32_t count) noexcept {
  return count <= 0 ? 0 : arraySize < static_cast<size_t>(count) ? arraySize : static_cast<size_t>(count);
}

// One block definition: the CDataList record and the block's own elements.
struct TEntJwwBlockDef {
  TEntJwwEntityHeader Header;
  int32_t Number = 0;      // the number inserts refer to
  int32_t Referenced = 0;  // as stored
  uint32_t Time = 0;       // as stored, or the 1-based position when the file had the extended form
  TJwwString Name;
  int32_t ElementCount = 0;  // as declared in the file
  std::vector<TEntJwwOrderItem> Order;
  bool Used = false;       // some insert reaches it (directly or nested)
  uint8_t ReadCleaned = 0;  // CleanedName
  int32_t NewNumber = -1;  // its number in the output, -1 when unused

  TEntJwwBlockDef() = default;
  TEntJwwBlockDef(const TEntJwwBlockDef& other);
  TEntJwwBlockDef& operator=(const TEntJwwBlockDef& other);
  TEntJwwBlockDef(TEntJwwBlockDef&&) noexcept = default;
  TEntJwwBlockDef& operator=(TEntJwwBlockDef&&) noexcept = default;

  // The block's own elements. They are held apart, so that a drawing of many
  // empty blocks costs little memory; the first use makes them.
  TEntJwwElementLists& Lists();
  const TEntJwwElementLists& Lists() const noexcept;
  int32_t TotalCount() const noexcept { return Lists().TotalCount(); }
  // Releases the block's elements.
  void ClearLists() noexcept { Lists_.reset(); }
  size_t OrderEntries() const noexcept { return Walkable(Order.size(), ElementCount); }

 private:
  std::unique_ptr<TEntJwwElementLists> Lists_;
};

// One image file bound into a drawing of version 700 or later: an entry of
// the drawing's image table.
struct TBindImageType {
  TJwwString FileName;  // as stored; no folder
  int32_t Size = 0;     // bytes of stored image data
  bool InUse = false;   // the output carries it
  bool operator==(const TBindImageType&) const = default;
};

// One block placement in the working list that decides which definitions are used.
struct TEntJwwBlockTree {
  int32_t BlockNumber = 0;
  int32_t BlockDefIndex = -1;  // first definition with that number, -1 if none
};

}  // namespace qm
