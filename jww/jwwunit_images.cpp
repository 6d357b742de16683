// The image table of version 700 drawings: extraction into the document's own
// folder on load, the look-up of the image a text shows, and re-embedding of
// the images that remaining texts show on save.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "Func_.h"
#include "jwwimagefiles.h"
#include "jwwmeaning.h"
#include "jwwunit.h"
#include "jwwwalk.h"
#include "textconv.h"
#include "workfolder.h"

namespace qm {

namespace {

constexpr size_t CopyPiece = 64 * 1024;

// A name folded as file systems that ignore letter case compare names, in
// UTF-16; nothing when it does not decode.
std::optional<std::u16string> Folded(const TJwwString& name) {
  if (name.IsWide()) return Func_::UnicodeUpperCase(name.Units());
  const std::string_view bytes = name.Sjis();
  std::optional<std::u16string> units;
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    units = std::u16string(bytes.begin(), bytes.end());  // ASCII is the same in both forms
  else
    units = SjisToUtf16(bytes);
  if (!units) return std::nullopt;
  return Func_::UnicodeUpperCase(*units);
}

}  // namespace

uint64_t TJwwData::TImageFiles::ReadBytes(size_t index,
                                          const std::function<void(const uint8_t*, size_t)>& piece) const {
  if (!HasBytes(index))
    throw EJwwError("the bytes of image " + std::to_string(index) + " were not kept by the load", TJwwFailure::IoError);
  const TKept& kept = *Kept[index];
  if (kept.InMemory) {
    if (!kept.Memory.empty()) piece(kept.Memory.data(), kept.Memory.size());
    return kept.Memory.size();
  }
  const std::filesystem::path path = Folder->FileOf(index);
  TImageHash hash;
  uint64_t total = 0;
  try {
    TFile in = TFile::OpenRead(path);
    if (in.Size() != kept.Size)
      throw EJwwError("the extracted image " + PathToUtf8(path) + " has changed size", TJwwFailure::IoError);
    std::vector<uint8_t> buffer(CopyPiece);
    while (total < kept.Size) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kept.Size - total, buffer.size()));
      const size_t got = in.Read(buffer.data(), want);
      if (got == 0)
        throw EJwwError("the extracted image " + PathToUtf8(path) + " ended early", TJwwFailure::IoError);
      hash.Add(buffer.data(), got);
      piece(buffer.data(), got);
      total += got;
    }
    in.Close();
  } catch (const EFileError& e) {
    throw EJwwError(std::string("cannot read the extracted image: ") + e.what(), TJwwFailure::IoError);
  }
  // The bytes the drawing stored, and no others: the file is the document's
  // own, but a folder can be tampered with.
  if (hash.Value() != kept.Hash)
    throw EJwwError("the extracted image " + PathToUtf8(path) + " is not what the drawing stored",
                    TJwwFailure::IoError);
  return total;
}

const IImageSource& TJwwData::ImageBytes() const noexcept { return *ImageBytes_; }

void TJwwData::ResetImages() {
  Images = {};
  ImageBytes_ = std::make_unique<TImageFiles>();
}

void TJwwData::TakeImages(TJwwData& from) {
  Images = std::move(from.Images);
  ImageBytes_ = std::move(from.ImageBytes_);
  from.ResetImages();
}

// ---------------------------------------------------------------------------
// Reading

void TJwwData::ReadImageTable(TJwwReader& f) {
  const uint64_t countAt = f.Offset();
  const int32_t count = f.I32("the image count");
  if (count < 0) throw EJwwError(countAt, "the image count is negative (" + std::to_string(count) + ")");
  if (static_cast<uint64_t>(count) > f.Remaining() / JwwLayout::MinImageEntryBytes)
    throw EJwwError(countAt, "the image count " + std::to_string(count) + " cannot be right: the " +
                                 std::to_string(f.Remaining()) + " bytes left could hold at most " +
                                 std::to_string(f.Remaining() / JwwLayout::MinImageEntryBytes) + " images");
  TImageFiles& files = *ImageBytes_;
  // The names folded as file systems that ignore letter case fold them (ours,
  // and the system's own where it has one): two images whose names would be
  // one file where the drawing is opened make it ambiguous which one a text
  // shows.
  std::unordered_set<std::u16string> folded, systemFolded;
  std::vector<uint8_t> buffer;
  for (int32_t i = 0; i < count; ++i) {
    TBindImageType image;
    const uint64_t nameAt = f.Offset();
    // The stored name decides whether data follows and names the file: one
    // that holds control bytes would lose them in cleaning and could then
    // look empty (its data taken for the next entry) or name another file.
    image.FileName = ReadString(f, "an image name");
    if (Func_::RemoveControlCharsOf(image.FileName) != image.FileName)
      throw EJwwError(nameAt, "the image name \"" + ToUtf8(image.FileName) + "\" holds control characters",
                      TJwwFailure::UnsafeContent);
    const uint64_t sizeAt = f.Offset();
    image.Size = f.I32("an image size");
    if (image.Size < 0) throw EJwwError(sizeAt, "the image size is negative (" + std::to_string(image.Size) + ")");
    Images.push_back(image);
    files.Kept.emplace_back();
    if (image.FileName.empty()) continue;

    // The program that opens the output extracts the image under its name:
    // it must be a plain name that stays in its folder, and no two may share
    // a file.
    const std::optional<std::filesystem::path> plain = PlainImageName(image.FileName);
    if (!plain)
      throw EJwwError(nameAt,
                      "the image name \"" + ToUtf8(image.FileName) +
                          "\" is not a plain file name (it could reach outside the folder it is extracted to)",
                      TJwwFailure::UnsafeContent);
    if (!folded.insert(Func_::UnicodeUpperCase(PathToUtf16(*plain))).second ||
        !systemFolded.insert(SystemCaseFolded(*plain)).second)
      throw EJwwError(nameAt,
                      "the image name \"" + ToUtf8(image.FileName) +
                          "\" occurs twice (names that differ only in letter case are one file)",
                      TJwwFailure::UnsafeContent);
    if (image.Size == 0) continue;
    f.Require(static_cast<uint64_t>(image.Size), "an image's data");
    if (ExtractInto_.empty()) {
      f.Skip(static_cast<uint64_t>(image.Size), "an image's data");
      continue;
    }
    // A small image is kept in memory while the document's share lasts.
    const auto size = static_cast<uint64_t>(image.Size);
    if (size <= ImagesInMemory_ / 16 && files.MemoryUsed + size <= ImagesInMemory_) {
      TImageFiles::TKept kept;
      kept.Size = size;
      kept.InMemory = true;
      kept.Memory.resize(static_cast<size_t>(size));
      f.Bytes(kept.Memory.data(), kept.Memory.size(), "an image's data");
      TImageHash hash;
      hash.Add(kept.Memory.data(), kept.Memory.size());
      kept.Hash = hash.Value();
      files.MemoryUsed += size;
      files.Kept.back() = std::move(kept);
      continue;
    }
    // The others go into the document's own folder, under the image's place
    // in the table: no name from the drawing becomes a file name, no file is
    // ever replaced.
    try {
      if (!files.Folder) files.Folder = std::make_unique<TImageFolder>(ExtractInto_);
      TFile out = files.Folder->Create(Images.size() - 1);
      buffer.resize(CopyPiece);
      TImageHash hash;
      size_t left = static_cast<size_t>(image.Size);
      while (left > 0) {
        const size_t piece = std::min(left, CopyPiece);
        f.Bytes(buffer.data(), piece, "an image's data");
        out.Write(buffer.data(), piece);
        hash.Add(buffer.data(), piece);
        left -= piece;
      }
      out.Close();
      files.Kept.back() = TImageFiles::TKept{static_cast<uint64_t>(image.Size), hash.Value(), {}, false};
    } catch (const EFileError& e) {
      throw EJwwError(sizeAt, std::string("cannot extract the image: ") + e.what(), TJwwFailure::IoError);
    }
  }
}

// ---------------------------------------------------------------------------
// Which images the written texts show

TImageIndex::TImageIndex(const std::vector<TBindImageType>& table) {
  ByName_.reserve(table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].FileName.empty()) continue;
    if (auto key = Folded(table[i].FileName)) ByName_.emplace(std::move(*key), static_cast<int32_t>(i));  // first wins
  }
}

int32_t TImageIndex::Find(const TJwwString& text) const {
  if (ByName_.empty()) return -1;
  const std::optional<JwwMeaning::TImageRef> reference = JwwMeaning::ImageRef(text);
  return reference ? FindName(reference->Name) : -1;
}

int32_t TImageIndex::FindName(const TJwwString& name) const {
  if (ByName_.empty() || name.empty()) return -1;
  std::optional<std::u16string> key = Folded(name);
  if (!key) return -1;
  if (const auto it = ByName_.find(*key); it != ByName_.end()) return it->second;
  *key += u".GZ";  // the compressed form of the image shown
  if (const auto it = ByName_.find(*key); it != ByName_.end()) return it->second;
  return -1;
}

namespace {

// Every text that is drawn may show an image: a text's, and a dimension's
// value text.
void MarkTexts(const TImageIndex& index, std::vector<bool>& shown, const TEntJwwElementLists& lists,
               const std::vector<TEntJwwOrderItem>& order, size_t entries) {
  for (size_t i = 0; i < entries; ++i) {
    const int32_t kind = order[i].Kind;
    if ((kind != KindMoji && kind != KindSunpou) || !lists.HeaderOf(kind, order[i].Index)) continue;
    const auto k = static_cast<size_t>(order[i].Index);
    const int32_t at = index.Find(kind == KindMoji ? lists.Texts[k].Text : lists.Dimensions[k].ValueText.Text);
    if (at >= 0) shown[static_cast<size_t>(at)] = true;
  }
}

std::vector<bool> ShownBy(const TJwwData& d, const std::vector<TBindImageType>& table) {
  std::vector<bool> shown(table.size(), false);
  if (table.empty()) return shown;
  const TImageIndex index(table);
  // Only texts that are written keep an image: the remaining top-level texts
  // and the texts of the block definitions that are written.
  MarkTexts(index, shown, d, d.EntityOrder, d.OrderEntries());
  for (size_t i = 0; i < d.WrittenBlockDefEntries(); ++i) {
    const TEntJwwBlockDef& def = d.BlockDefs[i];
    if (def.Used) MarkTexts(index, shown, def.Lists(), def.Order, def.OrderEntries());
  }
  // An entry without a name or without bytes has no content: it is dropped
  // like one that nothing shows.
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].FileName.empty() || table[i].Size <= 0) shown[i] = false;
  return shown;
}

}  // namespace

std::vector<bool> TJwwData::ImagesShown() const { return ShownBy(*this, Images); }

void TJwwData::MarkImagesInUse(std::vector<TBindImageType>& table) const {
  const std::vector<bool> shown = ShownBy(*this, table);
  for (size_t i = 0; i < table.size(); ++i) table[i].InUse = shown[i];
}

// ---------------------------------------------------------------------------
// Writing and the read-back check

void TJwwData::WriteImageTable(TJwwWriter& f, std::vector<TWrittenImage>* written) const {
  const std::vector<bool> shown = ImagesShown();
  // Every kept image must be there: a drawing whose text shows an image must
  // not lose it silently.
  int32_t count = 0;
  for (size_t i = 0; i < Images.size(); ++i) {
    if (!shown[i]) continue;
    if (!ImageBytes_->HasBytes(i))
      f.Fail("the image \"" + ToUtf8(Images[i].FileName) + "\" that a text shows was not kept by the load",
             TJwwFailure::IoError);
    ++count;
  }
  f.I32(count);

  for (size_t i = 0; i < Images.size(); ++i) {
    if (!shown[i]) continue;
    const TBindImageType& image = Images[i];
    WriteString(f, image.FileName, WideStrings());
    f.I32(image.Size);
    TImageHash hash;
    uint64_t size = 0;
    try {
      size = ImageBytes_->ReadBytes(i, [&](const uint8_t* data, size_t n) {
        f.Bytes(data, n);
        hash.Add(data, n);
      });
    } catch (const EJwwError& e) {
      f.Fail("cannot copy the image \"" + ToUtf8(image.FileName) + "\": " + e.Message(), TJwwFailure::IoError);
    }
    if (size != static_cast<uint64_t>(image.Size))
      f.Fail("the image \"" + ToUtf8(image.FileName) + "\" did not give the bytes it stored", TJwwFailure::IoError);
    if (written) written->push_back({image.FileName, size, hash.Value()});
  }
}

void TJwwData::CheckImageTable(TJwwReader& f, const std::vector<TWrittenImage>& images) const {
  const uint64_t countAt = f.Offset();
  if (f.I32("the image count") != static_cast<int32_t>(images.size()))
    throw EJwwError(countAt, "the image count differs from the " + std::to_string(images.size()) + " images written");
  JwwWalk::TCheckIo io(f, WideStrings());
  std::vector<char> buffer(CopyPiece);
  for (const TWrittenImage& image : images) {
    io.What("an image name");
    io.String(image.Name);
    const uint64_t sizeAt = f.Offset();
    if (static_cast<uint64_t>(f.I32("an image size")) != image.Size)
      throw EJwwError(sizeAt, "the size of the image \"" + ToUtf8(image.Name) + "\" differs from what was written");
    const uint64_t dataAt = f.Offset();
    TImageHash hash;
    for (uint64_t left = image.Size; left > 0;) {
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, CopyPiece));
      f.Bytes(buffer.data(), piece, "an image's data");
      hash.Add(buffer.data(), piece);
      left -= piece;
    }
    if (hash.Value() != image.Hash)
      throw EJwwError(dataAt, "the bytes of the image \"" + ToUtf8(image.Name) + "\" differ from what was written");
  }
}

}  // namespace qm
