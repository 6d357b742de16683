// jwwbuilder: assembles JWW drawing bytes field by field for tests.
//
// The builder knows the file layout only; it shares no code with the
// program's reader or writer, so a test that feeds its output to the reader
// (or compares the writer's output with it) is not the program checking
// itself. Every version-dependent rule is taken from Header::Version.
//
// A JWW file is the header section followed by the entity section:
//   header:  "JwwData.", int32 version, then (version >= 220) the settings
//            blocks, layer tables, names, pens, line types and text settings;
//   entity:  count, elements (class tag + record each), count, block
//            definitions (class tag, CDataList record, count, elements),
//            and from version 700 an image table.
// All values are little-endian and packed; nothing is aligned.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jwwtest {

// Little-endian byte assembler.
class ByteWriter {
 public:
  void U8(uint8_t v);
  void U16(uint16_t v);
  void I32(int32_t v);
  void U32(uint32_t v);
  void U64(uint64_t v);
  void F64(double v);
  void Raw(const void* data, size_t size);
  void Raw(std::string_view bytes);
  // JWW string. Shift-JIS (Wide false): the length prefix, then the bytes.
  // Wide: s is UTF-8, in which a lone surrogate may stand as its 3-byte
  // encoding (ED A0 80 .. ED BF BF); it is written as 0xFF, the word 0xFFFE,
  // the length prefix counting UTF-16 units, then the units little-endian.
  void Str(std::string_view s);
  // A wide string from its UTF-16 units, whatever Wide says.
  void WStr(std::u16string_view units);
  // The length prefix: n < 255 as one byte; n < 0xFFFE as 0xFF and the word
  // n; else 0xFF, the word 0xFFFF and n as 32 bits.
  void Length(uint32_t n);
  // Strings are written in the wide form.
  bool Wide = false;
  // Count prefix: word v when v <= 65534 (and !forceLong), else the word
  // 0xFFFF followed by v as a 32-bit value.
  void Count(uint32_t v, bool forceLong = false);
  std::vector<uint8_t>& Bytes();
  const std::vector<uint8_t>& Bytes() const;
  size_t Size() const;

 private:
  std::vector<uint8_t> Buffer;
};

// ---------------------------------------------------------------------------
// Entity section

// Common element header. 15 bytes from version 351 on; below 351 PenWidth is
// not written and the header is 13 bytes.
struct EntHdr {
  int32_t Group = 0;
  uint8_t PenStyle = 1;
  uint16_t PenColor = 1, PenWidth = 1, Layer = 0, LayerGroup = 0, Flags = 0;
};

// Line ("CDataSen"): 47 bytes (45 below 351).
struct Sen {
  EntHdr H;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0;
};

// Arc, circle, ellipse ("CDataEnko"): 75 bytes (73).
struct Enko {
  EntHdr H;
  double CenterX = 0, CenterY = 0, Radius = 1, StartAngle = 0, ArcAngle = 0, TiltAngle = 0,
         Flatness = 1;
  int32_t FullCircle = 1;
};

// Point ("CDataTen"): 35 bytes (33); Code, Angle and Scale (20 more bytes)
// are written only when H.PenStyle == 100.
struct Ten {
  EntHdr H;
  double X = 0, Y = 0;
  int32_t Temporary = 0;
  int32_t Code = 0;
  double Angle = 0, Scale = 1;
};

// Text ("CDataMoji"): 83 bytes (81), then FontName and Text as strings.
struct Moji {
  EntHdr H;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0;
  int32_t TextKind = 1;
  double SizeX = 1, SizeY = 1, Spacing = 0, Angle = 0;
  std::string FontName, Text;
};

// Dimension ("CDataSunpou"): own header, Line record, ValueText record with
// its strings; from version 420 also SxfMode (word), AuxLine1, AuxLine2 and
// Point1..Point4 (each point with its extra 20 bytes when its own PenStyle is
// 100). The embedded records have no class tags.
struct Sunpou {
  EntHdr H;
  Sen Line;
  Moji ValueText;
  uint16_t SxfMode = 0;
  Sen AuxLine1, AuxLine2;
  Ten Point1, Point2, Point3, Point4;
};

// Solid ("CDataSolid"): 79 bytes (77); Color (4 more bytes) only when
// H.PenColor == 10.
struct Solid {
  EntHdr H;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0, Point2X = 0, Point2Y = 0, Point3X = 0,
         Point3Y = 0;
  int32_t Color = 0;
};

// Block insert ("CDataBlock"): 59 bytes (57).
struct Block {
  EntHdr H;
  double X = 0, Y = 0, ScaleX = 1, ScaleY = 1, Angle = 0;
  int32_t BlockNumber = 0;
};

// A new-class declaration (tag 0xFFFF) of a class that is none of the seven
// element classes. It takes a running-index number, as every declaration
// does, but no record follows and it takes no object number. The name is not
// remembered: a later UnknownClass of the same name declares it again, and it
// never turns an element's tag into a reference.
struct UnknownClass {
  std::string Name;
};

// Emitted verbatim in place of an element (corruption tests). Takes no
// running-index number and is not counted in the default element count.
struct RawBytes {
  std::vector<uint8_t> Bytes;
};

using Element = std::variant<Sen, Enko, Ten, Moji, Sunpou, Solid, Block, UnknownClass, RawBytes>;

// Block definition ("CDataList"): header, Number, Referenced, Time, 8 bytes of
// extended time when Time has its top bit set, Name, count, elements.
// 27 bytes (25 below 351) up to Time.
struct BlockDef {
  EntHdr H;
  int32_t Number = 0, Referenced = 0;
  uint32_t Time = 0;
  uint64_t ExtendedTime = 0;  // written (8 bytes) only when Time & 0x80000000
  std::string Name;
  std::vector<Element> Elements;
  std::optional<uint32_t> DeclaredCount;  // overrides the written element count
};

// One entry of the image table (version 700 and later): name string, int32
// size, then the content. Size is DeclaredSize or else Data.size(). The
// content (all of Data, whatever the size says) is written only when the name
// is non-empty and the size is not 0.
struct Image {
  std::string Name;
  std::vector<uint8_t> Data;
  std::optional<int32_t> DeclaredSize;
};

// ---------------------------------------------------------------------------
// Header section
//
// The defaults are chosen so that a default header is written back unchanged
// by a writer that normalises pens, extended colours/line types and the
// eleventh switch word: widths and radii inside their limits, pen 0 printing
// white, every extended colour and line type named "Color_<n>" / "LType_<n>",
// extended line types above 16 with two segments. Every layer group and layer
// is visible (State 2), so a default drawing has nothing hidden.

struct LayerGroupEntry {
  int32_t State = 2;
  int32_t WriteLayer = 0;
  double Scale = 1.0;
  int32_t Protect = 0;
  std::string Name;
};

struct LayerEntry {
  int32_t State = 2;
  int32_t Protect = 0;
  std::string Name;
};

struct PenSetting {
  int32_t ScreenColor = 0;
  int32_t ScreenWidth = 1;
  int32_t PrinterColor = 0;
  int32_t PrinterWidth = 1;
  double PointRadius = 1.0;
};

// Also the record of the double-length line types.
struct LineTypePattern {
  int32_t Pattern = -1, UnitDots = 1, Pitch = 1, PrinterPitch = 1;
};

struct RandomLineType {
  int32_t Pattern = -1, Amplitude = 1, Pitch = 1, PrinterAmplitude = 1, PrinterPitch = 1;
};

struct ColorEx {
  int32_t ScreenColor = 0;
  int32_t ScreenWidth = 1;
  std::string Name;  // Header() sets "Color_<index>"
  int32_t PrinterColor = 0;
  int32_t PrinterWidth = 1;
  double PointRadius = 1.0;
};

struct LineTypeEx {
  int32_t Pattern = -1, UnitDots = 1, Pitch = 1, PrinterPitch = 1;
  std::string Name;  // Header() sets "LType_<index>"
  int32_t SegmentCount = 2;
  std::array<double, 10> Pitches{1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
};

struct TextStyle {
  double Width = 3, Height = 3, Spacing = 0;
  int32_t Color = 1;
};

// Every field of the header section, in file order. Arrays that the file
// numbers from 1 (DimensionSettings, MarkJump*, DrawFlags, ...) are 0-based here.
struct Header {
  Header();

  std::string Signature = "JwwData.";  // exactly 8 bytes written: cut or padded with 0x00
  // Every string of the drawing in the archive's wide form (UTF-16). The
  // builder's strings are then UTF-8 (ByteWriter::Str). MemoWide, when set,
  // gives the memo alone the other form.
  bool Wide = false;
  std::optional<bool> MemoWide;
  int32_t Version = 700;               // below 220 nothing follows the version
  std::string Memo;                    // plain string, may hold CR LF
  int32_t PaperSize = 3;
  int32_t WriteLayerGroup = 0;

  // Layer tables: 16 entries of 148 bytes (group State, WriteLayer, Scale,
  // Protect, then State/Protect of its 16 layers). Layers index = group*16 + layer.
  std::array<LayerGroupEntry, 16> LayerGroups;
  std::array<LayerEntry, 256> Layers;

  std::array<int32_t, 14> Reserved{};  // 56 reserved bytes after the layer tables

  // Dimension block, 28 bytes.
  std::array<int32_t, 5> DimensionSettings{};
  int32_t DimensionReserved = 0;
  int32_t MaxDrawWidth = 0;

  // Print and grid block, 72 bytes.
  double PrintOriginX = 0, PrintOriginY = 0, PrintScale = 1;
  int32_t PrintSetting = 0;
  int32_t GridMode = 0;
  double GridMinSpacing = 1, GridSpacingX = 1, GridSpacingY = 1, GridOriginX = 0, GridOriginY = 0;

  // (layer names, then layer-group names, are written here from the tables above)

  // Shadow block: 28 bytes up to version 230, 44 bytes (with the sky chart) after.
  double SunShadowLevel = 0, SunShadowLatitude = 0;
  int32_t SunShadow9To15 = 0;
  double WallShadowLevel = 0;
  double SkyChartLevel = 0, SkyChartRadius = 0;

  // View block, 52 bytes.
  int32_t Unit25D = 0;
  double ViewScale = 1, ViewOriginX = 0, ViewOriginY = 0, RangeScale = 1, RangeOriginX = 0,
         RangeOriginY = 0;

  // Mark-jump block: up to version 230 entries 0..3 (Scale, X, Y) = 96 bytes;
  // after 230 entries 0..7 (Scale, X, Y, LayerGroup) plus the reserved values = 280 bytes.
  std::array<double, 8> MarkJumpScale{1, 1, 1, 1, 1, 1, 1, 1};
  std::array<double, 8> MarkJumpX{};
  std::array<double, 8> MarkJumpY{};
  std::array<int32_t, 8> MarkJumpLayerGroup{-1, -1, -1, -1, -1, -1, -1, -1};
  std::array<double, 3> ReservedDoublesA{};
  int32_t ReservedIntA = 0;
  std::array<double, 3> ReservedDoublesB{};
  int32_t ReservedIntB = 0;

  // Parallel-line and screen-pen block (168 bytes) and printer-pen block (160 bytes).
  std::array<double, 10> ParallelSpacings{};
  double BothSidesEndExtension = 0;
  std::array<PenSetting, 10> PenSettings;  // Header() sets PenSettings[0].PrinterColor = 0xFFFFFF

  std::array<LineTypePattern, 8> LineTypePatterns;  // line types 2..9, 128 bytes
  std::array<RandomLineType, 5> RandomLineTypes;    // line types 11..15
  std::array<LineTypePattern, 4> DoubleLineTypes;   // line types 16..19 (with the above, 164 bytes)

  // Switch block. Its length depends on the exact version: 220 -> 44 bytes
  // (DrawFlags, SwitchWord11), 223 -> 104 (+ DrawTimeSeconds .. View25DVerticalAngle3),
  // 225 -> 136 (+ LineLengthDim .. CircleRadiusDim), 230 and later -> 144
  // (+ SolidAnyColor, SolidColor), any other version -> nothing.
  std::array<int32_t, 10> DrawFlags{};
  // The raw eleventh switch word. Unset: 10 from version 600 on, else 0.
  std::optional<int32_t> SwitchWord11;
  int32_t DrawTimeSeconds = 0;
  int32_t View25DInit = 0;
  std::array<int32_t, 3> View25DAngles{};
  double View25DHeight1 = 0, View25DDistance1 = 0, View25DHeight2 = 0, View25DDistance2 = 0,
         View25DVerticalAngle3 = 0;
  double LineLengthDim = 0, BoxDimX = 0, BoxDimY = 0, CircleRadiusDim = 0;
  int32_t SolidAnyColor = 0;
  int32_t SolidColor = 0;

  // Extended colours and line types, version 420 and later only, in four
  // passes: colour screen values, colour names and printer values, line-type
  // patterns, line-type names and pitches.
  std::array<ColorEx, 257> ColorsEx;
  std::array<LineTypeEx, 33> LineTypesEx;

  std::array<TextStyle, 10> TextStyles;  // text kinds 1..10, 280 bytes

  // Current-text block, 100 bytes.
  double WriteTextWidth = 3, WriteTextHeight = 3, WriteTextSpacing = 0;
  int32_t WriteTextColor = 1;
  int32_t WriteTextKind = 1;
  double TextArrangeLineSpacing = 0, TextArrangeCharCount = 0;
  int32_t TextBaseOffsetOn = 0;
  std::array<double, 3> TextBaseOffsetX{};
  std::array<double, 3> TextBaseOffsetY{};
};

// ---------------------------------------------------------------------------
// Whole drawing

struct Drawing {
  Header Hdr;                    // Hdr.Version selects every layout rule
  std::vector<Element> Elements;  // the main list
  // Overrides the written element count (default: number of elements other
  // than UnknownClass and RawBytes).
  std::optional<uint32_t> DeclaredElementCount;
  std::vector<BlockDef> Blocks;
  std::optional<uint32_t> DeclaredBlockCount;
  std::vector<Image> Images;  // image table, written only for version >= 700
  std::optional<int32_t> DeclaredImageCount;
  bool LongCounts = false;     // every count prefix in the 6-byte form (0xFFFF + int32)
  bool LongClassRefs = false;  // every class reference as 0x7FFF + (0x80000000 | index)
  std::optional<uint16_t> Schema;  // schema word of declarations (default: low 16 bits of Version)
  std::vector<uint8_t> Trailer;    // appended after everything
};

// Writes an entity section item by item (for drawings too large to hold as a
// Drawing): class tags and the running index as Build makes them. The element
// counts are the caller's to write in their places.
class EntityWriter {
 public:
  EntityWriter(ByteWriter& out, const Drawing& d);  // version, schema and forms from d
  void Count(uint32_t v);
  void List(const std::vector<Element>& list);
  void Item(const Element& e);
  void Definition(const BlockDef& b);

 private:
  void Declare(const std::string& name);
  void Tag(const std::string& name);

  ByteWriter& Out;
  int32_t Version;
  uint16_t Schema;
  bool LongCounts;
  bool LongRefs;
  uint32_t RunningIndex = 1;
  std::map<std::string, uint32_t> Classes;
};

// The whole file: header section, entity section, trailer. For a version
// below 220 only the signature, the version and the trailer are written.
std::vector<uint8_t> Build(const Drawing& d);
// The header section alone (its size is the offset of the entity section).
std::vector<uint8_t> BuildHeaderSection(const Drawing& d);
size_t HeaderSectionSize(const Drawing& d);
// The entity section alone (without header and trailer); empty below version 220.
std::vector<uint8_t> BuildEntitySection(const Drawing& d);

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// Record encoders (no class tag), for assembling expectations by hand.
void WriteEntHdr(ByteWriter& w, const EntHdr& h, int32_t version);
void WriteRecord(ByteWriter& w, const Sen& e, int32_t version);
void WriteRecord(ByteWriter& w, const Enko& e, int32_t version);
void WriteRecord(ByteWriter& w, const Ten& e, int32_t version);
void WriteRecord(ByteWriter& w, const Moji& e, int32_t version);
void WriteRecord(ByteWriter& w, const Sunpou& e, int32_t version);
void WriteRecord(ByteWriter& w, const Solid& e, int32_t version);
void WriteRecord(ByteWriter& w, const Block& e, int32_t version);
// CDataList record: header, Number, Referenced, Time, extended time, Name
// (not the element count and elements).
void WriteRecord(ByteWriter& w, const BlockDef& e, int32_t version);
// The record of one element without its class tag. UnknownClass has none
// (empty result); RawBytes yields its bytes.
std::vector<uint8_t> RecordBytes(const Element& e, int32_t version, bool wide = false);
// UTF-8 (with lone surrogates in their 3-byte encoding) to UTF-16 units;
// throws std::invalid_argument on anything else.
std::u16string Utf16(std::string_view utf8);
// "CDataSen" .. "CDataBlock"; the declared name for UnknownClass; empty for RawBytes.
std::string ClassName(const Element& e);

}  // namespace jwwtest
