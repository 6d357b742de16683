// TJwwData: the in-memory image of one JWW drawing, with everything that reads
// it from a file and writes it back.
//
// A JWW file is a flat little-endian stream: the header section (signature,
// version, layer tables, settings), then the entity section (elements, block
// definitions, and from version 700 the embedded images). Every rule that
// depends on the version lives in JwwLayout below, which both the reader and
// the writer consult.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <memory>
#include <vector>

#include "fileio.h"
#include "jwwfailure.h"
#include "jwwtype.h"

namespace qm {

// Version rules of the format. Versions are the program version times 100
// (220 is Ver.2.20, 700 is Ver.7.00).
namespace JwwLayout {
constexpr int32_t MinVersion = 220;
constexpr int32_t NewestKnownVersion = 700;
// An element header is 13 bytes before version 351 (no pen width), 15 after.
constexpr bool HasPenWidth(int32_t v) { return v >= 351; }
constexpr uint32_t EntityHeaderSize(int32_t v) { return HasPenWidth(v) ? 15 : 13; }
// Shadow block: 28 bytes up to 230, 44 (with the sky-chart values) above.
constexpr bool HasSkyChart(int32_t v) { return v > 230; }
// Mark-jump block: 4 entries up to 230, 8 entries with layer groups and the reserved values above.
constexpr bool HasLongMarkJumps(int32_t v) { return v > 230; }
// Switch block: its length depends on the exact version; 221, 222, 224 and
// 226..229 store none.
constexpr uint32_t SwitchBlockSize(int32_t v) {
  return v == 220 ? 44 : v == 223 ? 104 : v == 225 ? 136 : v >= 230 ? 144 : 0;
}
constexpr bool HasExtendedTables(int32_t v) { return v >= 420; }
constexpr bool HasDimensionExtension(int32_t v) { return v >= 420; }
constexpr bool HasImageTable(int32_t v) { return v >= 700; }
// Writer rules.
constexpr bool ClampsMaxDrawWidth(int32_t v) { return v <= 420; }
constexpr bool WritesSwitchTens(int32_t v) { return v >= 600; }
// Smallest number of bytes one counted element can take (a short class tag
// and the shortest record, a point); used to reject impossible counts.
constexpr uint64_t MinElementBytes(int32_t v) { return 2 + EntityHeaderSize(v) + 20; }
// Smallest block definition: tag, record, empty name, empty count.
constexpr uint64_t MinBlockDefBytes(int32_t v) { return 2 + EntityHeaderSize(v) + 12 + 1 + 2; }
constexpr uint64_t MinImageEntryBytes = 1 + 4;
constexpr size_t MaxClassNameLength = 2048;
}  // namespace JwwLayout

// Buffered, bounds-checked reader of a drawing file. Every primitive checks the
// bytes that remain and raises EJwwError naming the offset and the field.
class TJwwReader {
 public:
  explicit TJwwReader(const std::filesystem::path& path);
  // Reads from memory (tests, fuzzing).
  TJwwReader(const void* data, size_t size);

  uint64_t Offset() const noexcept { return Offset_; }
  uint64_t Size() const noexcept { return Size_; }
  uint64_t Remaining() const noexcept { return Size_ - Offset_; }

  // The fixed-size primitives, little-endian; inline, as they are read once
  // per field of every element.
  uint8_t U8(const char* what) { return *Take(1, what); }
  uint16_t U16(const char* what) {
    const uint8_t* p = Take(2, what);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t U32(const char* what) { return LoadU32(Take(4, what)); }
  int32_t I32(const char* what) { return static_cast<int32_t>(LoadU32(Take(4, what))); }
  double F64(const char* what) {
    const uint8_t* p = Take(8, what);
    const uint64_t bits = LoadU32(p) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  void Bytes(void* out, size_t n, const char* what);
  void Skip(uint64_t n, const char* what);
  // Fails unless n more bytes are there.
  void Require(uint64_t n, const char* what) const;
  [[noreturn]] void Fail(const std::string& message, TJwwFailure kind = TJwwFailure::Corrupt) const;
  void Close();
  // What is being read (a JwwContext code), for a failure's context.
  void Section(const char* context) noexcept { Section_ = context; }
  const char* Section() const noexcept { return Section_; }

 private:
  const uint8_t* Take(size_t n, const char* what) {
    if (Filled_ - Pos_ < n) Refill(n, what);
    const uint8_t* p = Data_ + Pos_;
    Pos_ += n;
    Offset_ += n;
    return p;
  }
  static uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
  }
  void Refill(size_t n, const char* what);

  TFile File_;
  std::unique_ptr<uint8_t[]> Buffer_;  // not cleared: every byte is read into it before it is used
  size_t Capacity_ = 0;
  const uint8_t* Data_ = nullptr;  // buffered bytes
  size_t Pos_ = 0, Filled_ = 0;
  uint64_t Offset_ = 0, Size_ = 0;
  uint64_t FileRead_ = 0;  // bytes taken from the file into the buffer
  const char* Section_ = JwwContext::Source;
};

// Buffered writer of a drawing file; the mirror of TJwwReader. Values go into
// a fixed buffer that is handed to the file (or the memory vector) when full.
class TJwwWriter {
 public:
  explicit TJwwWriter(TFile& file);
  // Writes to memory (tests, checks).
  explicit TJwwWriter(std::vector<uint8_t>& memory);
  ~TJwwWriter() = default;
  TJwwWriter(const TJwwWriter&) = delete;
  TJwwWriter& operator=(const TJwwWriter&) = delete;

  uint64_t Offset() const noexcept { return Offset_ + Pos_; }
  void U8(uint8_t v) { Put(&v, 1); }
  void U16(uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    Put(b, 2);
  }
  void U32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    Put(b, 4);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (8 * i));
    Put(b, 8);
  }
  void Bytes(const void* data, size_t n) { Put(data, n); }
  void Zeros(size_t n);
  // Hands everything buffered to the file or the memory vector.
  void Flush();
  [[noreturn]] void Fail(const std::string& message, TJwwFailure kind = TJwwFailure::Corrupt) const;

 private:
  void Put(const void* data, size_t n) {
    if (n == 0) return;
    if (n <= Capacity_ - Pos_) {
      std::memcpy(Buffer_.get() + Pos_, data, n);
      Pos_ += n;
    } else {
      PutSlow(data, n);
    }
  }
  void PutSlow(const void* data, size_t n);

  TFile* File_ = nullptr;
  std::vector<uint8_t>* Memory_ = nullptr;
  std::unique_ptr<uint8_t[]> Buffer_;  // not cleared: only what is put into it is written
  size_t Capacity_ = 0;
  size_t Pos_ = 0;       // bytes in the buffer
  uint64_t Offset_ = 0;  // bytes handed on before the buffer
};

// The scalar values of the header section, in file order, then the two counts
// that the element reader declares.
struct TEntJwwHeader {
  std::string Signature;  // the file's first 8 bytes
  int32_t Version = 0;
  TJwwString Memo;  // may hold CR LF; its form is that of the drawing's strings
  int32_t PaperSize = 0;
  int32_t WriteLayerGroup = 0;
  std::array<int32_t, 5> DimensionSettings{};
  int32_t MaxDrawWidth = 0;
  double PrintOriginX = 0, PrintOriginY = 0, PrintScale = 1.0;
  int32_t PrintSetting = 0;
  int32_t GridMode = 0;
  double GridMinSpacing = 1.0, GridSpacingX = 1.0, GridSpacingY = 1.0, GridOriginX = 0, GridOriginY = 0;
  double SunShadowLevel = 0, SunShadowLatitude = 0;
  int32_t SunShadow9To15 = 0;
  double WallShadowLevel = 0;
  double SkyChartLevel = 0, SkyChartRadius = 0;
  int32_t Unit25D = 0;
  double ViewScale = 1.0, ViewOriginX = 0, ViewOriginY = 0;
  double RangeScale = 1.0, RangeOriginX = 0, RangeOriginY = 0;
  std::array<double, 8> MarkJumpScale{1, 1, 1, 1, 1, 1, 1, 1};
  std::array<double, 8> MarkJumpX{}, MarkJumpY{};
  std::array<int32_t, 8> MarkJumpLayerGroup{-1, -1, -1, -1, -1, -1, -1, -1};
  std::array<double, 3> ReservedDoublesA{};
  int32_t ReservedIntA = 0;
  std::array<double, 3> ReservedDoublesB{};
  int32_t ReservedIntB = 0;
  std::array<double, 10> ParallelSpacings{};
  double BothSidesEndExtension = 0;
  std::array<int32_t, 10> DrawFlags{};
  int32_t DrawFlag11 = 0;      // units digit of the eleventh switch word
  int32_t DrawFlag11Tens = 0;  // the eleventh switch word divided by 10
  int32_t DrawTimeSeconds = 0;
  int32_t View25DInit = 0;
  std::array<int32_t, 3> View25DAngles{};
  double View25DHeight1 = 0, View25DDistance1 = 0, View25DHeight2 = 0, View25DDistance2 = 0,
         View25DVerticalAngle3 = 0;
  double LineLengthDim = 0, BoxDimX = 0, BoxDimY = 0, CircleRadiusDim = 0;
  int32_t SolidAnyColor = 0, SolidColor = 0;
  double WriteTextWidth = 0, WriteTextHeight = 0, WriteTextSpacing = 0;
  int32_t WriteTextColor = 0, WriteTextKind = 0;
  double TextArrangeLineSpacing = 0, TextArrangeCharCount = 0;
  int32_t TextBaseOffsetOn = 0;
  std::array<double, 3> TextBaseOffsetX{}, TextBaseOffsetY{};
  int32_t EntityCount = 0;            // element count declared by the file
  int32_t DeclaredBlockDefCount = 0;  // block-definition count declared by the file
};

// The header section's values: the header record and the header arrays.
struct TJwwHeaderSection {
  TEntJwwHeader Header;
  std::vector<TEntJwwLayerGroup> LayerGroups;  // 16, index = layer group
  std::vector<TEntJwwLayer> Layers;            // 256, index = group * 16 + layer
  std::vector<TEntJwwPenSetting> PenSettings;  // 10, colour numbers 0..9
  std::vector<TEntJwwLineTypePattern> LineTypePatterns;  // 8, line types 2..9
  std::vector<TEntJwwRandomLineType> RandomLineTypes;    // 5, line types 11..15
  std::vector<TEntJwwLineTypePattern> DoubleLineTypes;   // 4, line types 16..19
  std::vector<TEntJwwColorExNo> ColorsEx;                // 257 (stored from version 420)
  std::vector<TEntJwwLineTypeExNo> LineTypesEx;          // 33 (stored from version 420)
  std::vector<TEntJwwTextStyle> TextStyles;              // 10, text kinds 1..10

  // Gives the header arrays their fixed lengths, every entry zero with empty
  // names (the first step of reading a header).
  void SizeHeaderArrays();
  // True when every header array has its fixed length.
  bool HasHeaderArrays() const noexcept;
};

// An image as the writer put it into a file: its name in the file's string
// form, its size and a hash of its bytes, for the read-back check.
struct TWrittenImage {
  TJwwString Name;
  uint64_t Size = 0;
  uint64_t Hash = 0;
};

// The hash of image bytes the read-back check compares (64-bit FNV-1a).
class TImageHash {
 public:
  void Add(const void* data, size_t n) noexcept {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) Value_ = (Value_ ^ p[i]) * 0x100000001B3ull;
  }
  uint64_t Value() const noexcept { return Value_; }

 private:
  uint64_t Value_ = 0xCBF29CE484222325ull;
};

class TJwwData;

// What a load or a save came to. True on success; on failure it says what
// kind of failure it was, where, in what and why.
struct TJwwStatus : TFailure {
  explicit operator bool() const noexcept { return Kind == TJwwFailure::None; }
};

// What a save came to; on success also where the file went, and what could
// not be done around a save that stands (its folder not flushed).
struct TSaveStatus : TJwwStatus {
  std::filesystem::path SavedPath;
  std::string Warning;
};

// How a drawing is loaded.
struct TLoadOptions {
  // The run's work folder: a full load extracts the embedded images into a
  // folder of the document's own inside it, from where a save writes them
  // back. Empty: the images are checked and their table kept, but their
  // bytes are not kept (a save then fails when a remaining text shows one).
  std::filesystem::path WorkFolder;
  // The file bytes in memory come from, named in messages.
  std::filesystem::path Name;
  // How many bytes of images a document keeps in memory rather than in files
  // of its folder (an image of up to a sixteenth of it, until it is spent):
  // the few small images of an ordinary drawing cost no files at all.
  uint64_t ImagesInMemory = 16ull << 20;
  // Asked once the header section is read: when it says no, the load goes
  // on only as the quick load for the layer test does (one class tag of the
  // entity section, no image table) and ends there. A drawing read into
  // memory is so tested and loaded with one reading of its header.
  std::function<bool(const TJwwData&)> ContinueAfterHeader;
};

// The bytes of a document's images, by their place in its image table.
class IImageSource {
 public:
  virtual ~IImageSource() = default;
  // True when the bytes of that image are there to be read.
  virtual bool HasBytes(size_t index) const = 0;
  // Hands the image's bytes to piece, in order, a piece at a time; returns
  // their number. Raises EJwwError when they cannot be read or are not the
  // bytes the drawing stored.
  virtual uint64_t ReadBytes(size_t index, const std::function<void(const uint8_t*, size_t)>& piece) const = 0;
  // The TImageHash of the bytes the drawing stored for that image, taken as
  // they were read; 0 when they were not kept.
  virtual uint64_t HashOf(size_t index) const = 0;
};

// Finds the image a text shows: the name of the text's reference
// (JwwMeaning::ImageRef, the one rule the renderer draws by too) against the
// names of an image table, letters compared as file systems that ignore
// letter case compare them. The image whose name equals it, else the one
// whose name is it plus ".gz"; never one that merely starts with it. Each
// name is folded once; each look-up is one hash look-up.
class TImageIndex {
 public:
  explicit TImageIndex(const std::vector<TBindImageType>& table);
  // The place in the table of the image the text shows, -1 when none.
  int32_t Find(const TJwwString& text) const;
  // The same for the name a reference gives.
  int32_t FindName(const TJwwString& name) const;

 private:
  std::unordered_map<std::u16string, int32_t> ByName_;
};

class TJwwData : public TEntJwwElementLists, public TJwwHeaderSection {
 public:
  std::vector<TEntJwwOrderItem> EntityOrder;             // file order of the top-level elements
  std::vector<TEntJwwBlockDef> BlockDefs;
  int32_t BlockDefCount = 0;
  std::vector<TEntJwwBlockTree> BlockTree;
  int32_t BlockTreeCount = 0;
  int32_t UsedBlockDefCount = 0;
  // The image table as read (names and sizes), whether or not the bytes were kept.
  std::vector<TBindImageType> Images;

  // True when the drawing's strings are stored in the archive's wide form:
  // the memo, the first string of the file, decides; every string of the
  // output is written in that form.
  bool WideStrings() const noexcept { return Header.Memo.IsWide(); }

  // Entries of EntityOrder to walk.
  size_t OrderEntries() const noexcept { return Walkable(EntityOrder.size(), Header.EntityCount); }
  // Entries of BlockDefs to walk, and of those the ones the writer considers.
  size_t BlockDefEntries() const noexcept { return Walkable(BlockDefs.size(), BlockDefCount); }
  size_t WrittenBlockDefEntries() const noexcept {
    return std::min(BlockDefEntries(), Walkable(BlockDefs.size(), Header.DeclaredBlockDefCount));
  }

  TJwwData();
  ~TJwwData();
  TJwwData(const TJwwData&) = delete;
  TJwwData& operator=(const TJwwData&) = delete;

  // Empties the document; its images' folder goes with them.
  void ResetDocument();
  void ClearDocument();

  // True when the file can be opened and starts with DrawingSignature. Never raises.
  bool CheckSignature(const std::filesystem::path& path) const noexcept;
  // Empties the document and reads the whole file. Fails when anything could
  // not be read completely and exactly.
  TJwwStatus LoadDocument(const std::filesystem::path& path, const TLoadOptions& options = {});
  // The same load from bytes in memory (tests, fuzzing).
  TJwwStatus LoadDocument(const void* data, size_t size, const TLoadOptions& options = {});
  // As LoadDocument, but stops the entity section after MaxTags class tags and
  // never reads the image table: the quick load for the hidden-layer test.
  TJwwStatus LoadForLayerTest(const std::filesystem::path& path, int32_t MaxTags);
  TJwwStatus LoadForLayerTest(const void* data, size_t size, int32_t MaxTags, const TLoadOptions& options = {});
  // Marks the block definitions that the block inserts reach and numbers them.
  void FinishLoad();
  // As FinishLoad, but only the top-level inserts still present in EntityOrder
  // count; used after elements have been removed.
  void RecomputeBlockUsage();

  // Writes the document as a new file in the layout of the given version.
  // The file is written beside path under a temporary name, read back and
  // compared field by field with what was meant to be written, flushed to
  // disk, and only then moved to path, never over an existing file. When path is taken by
  // then and nextFree is given, the file takes the name nextFree() gives
  // instead (and so on). On any failure nothing is left behind.
  TSaveStatus SaveDocument(const std::filesystem::path& path, int32_t Version,
                           const std::function<std::filesystem::path()>& nextFree = {});
  // The same write and read-back check into memory: the bytes a save would
  // put into the file. Raises EJwwError on any failure.
  std::vector<uint8_t> WriteToMemory(int32_t Version) const;

  // A save in two stages, for a batch that overlaps the files it converts:
  // WriteOutput writes the document to a temporary file in folder, reads it
  // back and compares it with the document while the device writes it, then
  // flushes it to disk;
  // CommitOutput then moves the checked file to its name, never over an
  // existing file (when path is taken, to the name nextFree gives). name is
  // the name the output is meant to have, for messages. runFlush, when given,
  // runs the flush its caller's way (a batch runs it outside its limit of
  // work for the processor); it must call what it is given.
  using TFlushRunner = std::function<void(const std::function<void()>& flush)>;
  struct TWrittenOutput {
    TJwwStatus Status;
    std::unique_ptr<TTempFile> File;  // the checked file, on success
  };
  TWrittenOutput WriteOutput(const std::filesystem::path& folder, int32_t Version, const std::filesystem::path& name,
                             const TFlushRunner& runFlush = {}) const;
  // syncFolder: flush the folder entry too (a batch flushes each folder
  // once for a group of files instead).
  static TSaveStatus CommitOutput(TTempFile& file, const std::filesystem::path& path,
                                  const std::function<std::filesystem::path()>& nextFree, bool syncFolder);

  // The bytes of the images, where the load kept them.
  const IImageSource& ImageBytes() const noexcept;
  // For each entry of Images: true when the output carries it, that is when
  // a text that is written shows it and it has content (a name and bytes).
  std::vector<bool> ImagesShown() const;
  // The same as InUse marks on a table of entries (for each entry of table).
  void MarkImagesInUse(std::vector<TBindImageType>& table) const;
  // The number the definition with the given Number has in the output.
  int32_t MapBlockNumber(int32_t blockNumber) const;

  // A string in any of the archive's length forms: Shift-JIS bytes, or the
  // UTF-16 units of the wide form.
  static TJwwString ReadString(TJwwReader& file, const char* what = "a string");
  // ReadString without control characters (Shift-JIS pairs and surrogates
  // kept); dropped, when given, says whether any were there.
  static TJwwString ReadName(TJwwReader& file, const char* what = "a name", bool* dropped = nullptr);
  static int32_t ReadCount(TJwwReader& file, const char* what);
  static void CopyEntityHeader(const TEntJwwEntityHeader& source, TEntJwwEntityHeader& target) noexcept;
  // Writes s in the wide form when wide is true, else as Shift-JIS bytes; a
  // string held in the other form is converted, and one that cannot be
  // converted exactly fails the write.
  static void WriteString(TJwwWriter& file, const TJwwString& s, bool wide);
  // The archive's length prefix of a string of n bytes (or n units after the
  // wide marker).
  static void WriteStringLength(TJwwWriter& file, uint64_t n);
  static void WriteCount(TJwwWriter& file, int32_t value);
  static void WriteClassReference(TJwwWriter& file, int32_t classIndex);
  static void WriteEntityHeader(TJwwWriter& file, int32_t Version, const TEntJwwEntityHeader& header, int32_t kind);

 private:
  // The sections one at a time, reached by tests through TJwwSections.
  friend struct TJwwSections;
  void ReadHeaderSection(TJwwReader& file);
  void ReadEntitySection(TJwwReader& file);
  void ReadEntitySectionForLayerTest(TJwwReader& file, int32_t MaxTags);
  void ReadEntityHeader(TJwwReader& file, TEntJwwEntityHeader& header) const;
  // normalised, when given, is the header as JwwNormalise makes it for
  // Version (made once for a write and its check).
  void WriteHeaderSection(TJwwWriter& file, int32_t Version, const TJwwHeaderSection* normalised = nullptr) const;
  // written, when given, receives the images as they were written.
  void WriteEntitySection(TJwwWriter& file, int32_t Version, std::vector<TWrittenImage>* written = nullptr) const;
  void WriteImageTable(TJwwWriter& file, std::vector<TWrittenImage>* written = nullptr) const;
  // The one road of every output: the document written in the layout of
  // Version to out, then handed on by finish (the device starts on it), then read
  // back from what reopen gives and compared with what the writer meant:
  // every field of the header, every remaining element, every written block
  // definition and every image; fails at the first difference, and when
  // bytes follow the end.
  void WriteAndCheck(TJwwWriter& out, int32_t Version, const std::function<void()>& finish,
                     const std::function<TJwwReader()>& reopen) const;
  void CheckWrittenFile(TJwwReader& file, int32_t Version, const std::vector<TWrittenImage>& images,
                        const TJwwHeaderSection* normalised = nullptr) const;
  TJwwStatus Load(const std::filesystem::path* path, const void* data, size_t size, bool forLayerTest,
                  int32_t maxTags, const TLoadOptions& options);
  void ReadEntities(TJwwReader& file, bool limited, int32_t maxTags);
  void ReadImageTable(TJwwReader& file);
  void CheckHeaderSection(TJwwReader& file, int32_t Version, const TJwwHeaderSection* normalised = nullptr) const;
  void CheckEntitySection(TJwwReader& file, int32_t Version, const std::vector<TWrittenImage>& images) const;
  void CheckImageTable(TJwwReader& file, const std::vector<TWrittenImage>& images) const;
  void ComputeBlockUsage(const std::vector<int32_t>& topLevelNumbers);
  void ResetImages();
  // Takes over another document's images (the table and their bytes).
  void TakeImages(TJwwData& from);

  class TImageFiles;
  std::filesystem::path ExtractInto_;            // the work folder of the load in progress
  uint64_t ImagesInMemory_ = 0;                  // of the load in progress
  std::unique_ptr<TImageFiles> ImageBytes_;      // the images' bytes, where kept
};

// The first block definition (in BlockDefs order) of each number: the one an
// insert of that number places. Built once, 8 bytes a definition.
class TFirstDefinitions {
 public:
  explicit TFirstDefinitions(const TJwwData& document);
  // Its index in BlockDefs, -1 when no definition has that number.
  int32_t Find(int32_t blockNumber) const noexcept;

 private:
  std::vector<std::pair<int32_t, int32_t>> ByNumber_;  // (number, index), sorted, first index of each number
};

// The number each block definition has in the output, looked up by the
// number inserts refer to: built once for a whole write.
class TBlockNumbers {
 public:
  explicit TBlockNumbers(const TJwwData& document) : Document_(document), First_(document) {}
  int32_t Map(int32_t blockNumber) const;
  const TFirstDefinitions& First() const noexcept { return First_; }

 private:
  const TJwwData& Document_;
  TFirstDefinitions First_;
};

}  // namespace qm
