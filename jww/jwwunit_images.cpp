// The image table of version 700 drawings: extraction into the work folder on
// load, and re-embedding of the images that remaining texts refer to on save.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "Func_.h"
#include "jwwunit.h"
#include "jwwwalk.h"
#include "textconv.h"
#include "workfolder.h"

namespace {

constexpr size_t CopyPiece = 64 * 1024;
constexpr std::string_view ImagePrefix = "^@BM%temp%";


}  // namespace

void TJwwData::ReadImageTable(TJwwReader& f) {
  const uint64_t countAt = f.Offset();
  const int32_t count = f.I32("the image count");
  if (count < 0) throw EJwwError(countAt, "the image count is negative (" + std::to_string(count) + ")");
  if (static_cast<uint64_t>(count) > f.Remaining() / JwwLayout::MinImageEntryBytes)
    throw EJwwError(countAt, "the image count " + std::to_string(count) + " cannot be right: the " +
                                 std::to_string(f.Remaining()) + " bytes left could hold at most " +
                                 std::to_string(f.Remaining() / JwwLayout::MinImageEntryBytes) + " images");
  if (ExtractImages) {
    ClearTempFileList();
    ImageFolder = WorkFolder;
  }
  // The names as files, folded as file systems that ignore letter case fold
  // them (ours, and the system's own where it has one), to catch two images
  // that would be one file on disk.
  std::unordered_set<std::u16string> folded, systemFolded;
  std::vector<char> buffer;
  for (int32_t i = 0; i < count; ++i) {
    TBindImageType image;
    const uint64_t nameAt = f.Offset();
    // The stored name decides whether data follows and names the file: one
    // that holds control bytes would lose them in cleaning and could then
    // look empty (its data taken for the next entry) or name another file.
    image.FileName = ReadString(f, "an image name");
    if (Func_::RemoveControlCharsOf(image.FileName) != image.FileName)
      throw EJwwError(nameAt, "the image name \"" + qm::ToUtf8(image.FileName) + "\" holds control characters",
                      TJwwFailure::UnsafeContent);
    const uint64_t sizeAt = f.Offset();
    image.Size = f.I32("an image size");
    if (image.Size < 0) throw EJwwError(sizeAt, "the image size is negative (" + std::to_string(image.Size) + ")");
    Images.push_back(image);
    if (ExtractImages) TempFiles.push_back(image);
    if (image.FileName.empty()) continue;

    // The name becomes a file in the work folder: it must be a plain name
    // that stays there, and no two images may share a file.
    const std::optional<std::filesystem::path> plain = PlainImageName(image.FileName);
    if (!plain)
      throw EJwwError(nameAt,
                      "the image name \"" + qm::ToUtf8(image.FileName) +
                          "\" is not a plain file name (it could reach outside the work folder)",
                      TJwwFailure::UnsafeContent);
    if (!folded.insert(Func_::UnicodeUpperCase(qm::PathToUtf16(*plain))).second ||
        !systemFolded.insert(qm::SystemCaseFolded(*plain)).second)
      throw EJwwError(nameAt,
                      "the image name \"" + qm::ToUtf8(image.FileName) +
                          "\" occurs twice (names that differ only in letter case are one file)",
                      TJwwFailure::UnsafeContent);
    if (image.Size == 0) continue;
    f.Require(static_cast<uint64_t>(image.Size), "an image's data");
    if (!ExtractImages) {
      f.Skip(static_cast<uint64_t>(image.Size), "an image's data");
      continue;
    }
    const std::optional<std::filesystem::path> path = ImageFilePath(image.FileName);
    if (!path) throw EJwwError(nameAt, "there is no work folder to extract the images into", TJwwFailure::IoError);
    // Extracted beside its name and moved there complete: no partial image
    // ever stands under an image's name.
    try {
      qm::TTempFile out(WorkFolder);
      buffer.resize(CopyPiece);
      size_t left = static_cast<size_t>(image.Size);
      while (left > 0) {
        const size_t piece = std::min(left, CopyPiece);
        f.Bytes(buffer.data(), piece, "an image's data");
        out.File().Write(buffer.data(), piece);
        left -= piece;
      }
      out.CommitReplacing(*path);
    } catch (const qm::EFileError& e) {
      throw EJwwError(sizeAt, std::string("cannot extract the image: ") + e.what(), TJwwFailure::IoError);
    }
  }
}

namespace {

// The upper-cased name a text refers to ("^@BM%temp%" name "," ...), in the
// text's own form; nothing when the text refers to no embedded image.
std::optional<TJwwString> ReferencedName(const TJwwString& text) {
  if (text.IsWide()) {
    constexpr std::u16string_view prefix = u"^@BM%temp%";
    const std::u16string_view units = text.Units();
    if (units.size() <= prefix.size() || !units.starts_with(prefix)) return std::nullopt;
    const size_t comma = units.find(u',');
    if (comma == std::u16string_view::npos || comma <= prefix.size()) return std::nullopt;
    return TJwwString::Wide(Func_::WideUpperCase(units.substr(prefix.size(), comma - prefix.size())));
  }
  const std::string_view bytes = text.Sjis();
  if (bytes.size() <= ImagePrefix.size() || !bytes.starts_with(ImagePrefix)) return std::nullopt;
  const size_t comma = Func_::SjisFind(bytes, ',');
  if (comma == std::string_view::npos || comma <= ImagePrefix.size()) return std::nullopt;
  return TJwwString(Func_::SjisUpperCase(bytes.substr(ImagePrefix.size(), comma - ImagePrefix.size())));
}

// True when the upper-cased file name begins with the (upper-cased) name. A
// name in the other form is compared after an exact conversion; one that has
// no such conversion matches nothing.
bool BeginsWith(const TJwwString& fileName, const TJwwString& name) {
  if (fileName.IsWide()) {
    std::u16string units(name.Units());
    if (!name.IsWide()) {
      auto converted = qm::SjisToUtf16(name.Sjis());
      if (!converted) return false;
      units = std::move(*converted);
    }
    return Func_::WideUpperCase(fileName.Units()).starts_with(units);
  }
  std::string bytes(name.Sjis());
  if (name.IsWide()) {
    auto converted = qm::Utf16ToSjis(name.Units());
    if (!converted) return false;
    bytes = Func_::SjisUpperCase(*converted);
  }
  return Func_::SjisUpperCase(fileName.Sjis()).starts_with(bytes);
}

// Marks the first listed image whose upper-cased name starts with the name a
// text refers to.
void MarkReference(std::vector<TBindImageType>& table, const TJwwString& text) {
  const std::optional<TJwwString> name = ReferencedName(text);
  if (!name) return;
  for (TBindImageType& image : table) {
    if (BeginsWith(image.FileName, *name)) {
      image.InUse = true;
      return;
    }
  }
}

void MarkTexts(std::vector<TBindImageType>& table, const TEntJwwElementLists& lists,
               const std::vector<TEntJwwOrderItem>& order, size_t entries) {
  for (size_t i = 0; i < entries; ++i)
    if (order[i].Kind == KindMoji && lists.HeaderOf(KindMoji, order[i].Index))
      MarkReference(table, lists.Texts[static_cast<size_t>(order[i].Index)].Text);
}

}  // namespace

void TJwwData::MarkImagesInUse(std::vector<TBindImageType>& table) const {
  for (TBindImageType& image : table) image.InUse = false;
  // Only texts that are written keep an image: the remaining top-level texts
  // and the texts of the block definitions that are written.
  MarkTexts(table, *this, EntityOrder, OrderEntries());
  for (size_t i = 0; i < WrittenBlockDefEntries(); ++i) {
    const TEntJwwBlockDef& d = BlockDefs[i];
    if (d.Used) MarkTexts(table, d.Lists(), d.Order, d.OrderEntries());
  }
}

namespace {

// The file an image was extracted to, when the document's images were.
std::optional<std::filesystem::path> ExtractedFile(const std::filesystem::path& folder, const TJwwString& name) {
  if (folder.empty()) return std::nullopt;
  auto plain = PlainImageName(name);
  if (!plain) return std::nullopt;
  return folder / *plain;
}

}  // namespace

void TJwwData::WriteImageTable(TJwwWriter& f, std::vector<TWrittenImage>* written) const {
  std::vector<TBindImageType> table = Images;
  MarkImagesInUse(table);

  // Every kept image must still be there: a drawing whose text shows an image
  // must not lose it silently.
  int32_t count = 0;
  for (const TBindImageType& image : table) {
    if (!image.InUse) continue;
    const auto path = ExtractedFile(ImageFolder, image.FileName);
    if (image.Size != 0 && (!path || !qm::FileExists(*path)))
      f.Fail("the image \"" + qm::ToUtf8(image.FileName) + "\" that a text refers to is missing from the work folder",
             TJwwFailure::IoError);
    ++count;
  }
  f.I32(count);

  std::vector<char> buffer(CopyPiece);
  for (const TBindImageType& image : table) {
    if (!image.InUse) continue;
    WriteString(f, image.FileName, WideStrings());
    TWrittenImage done{image.FileName, 0, TImageHash().Value()};
    const auto path = ExtractedFile(ImageFolder, image.FileName);
    if (!path || !qm::FileExists(*path)) {
      f.I32(0);  // an entry stored with size 0 has no file and no content
      if (written) written->push_back(done);
      continue;
    }
    try {
      qm::TFile in = qm::TFile::OpenRead(*path);
      const uint64_t size = in.Size();
      if (size > 0x7FFFFFFF)
        f.Fail("the image \"" + qm::ToUtf8(image.FileName) + "\" is larger than 2 GiB", TJwwFailure::NotRepresentable);
      f.I32(static_cast<int32_t>(size));
      TImageHash hash;
      uint64_t left = size;
      while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, CopyPiece));
        const size_t got = in.Read(buffer.data(), want);
        if (got == 0)
          f.Fail("the image \"" + qm::ToUtf8(image.FileName) + "\" ended early while it was copied",
                 TJwwFailure::IoError);
        f.Bytes(buffer.data(), got);
        hash.Add(buffer.data(), got);
        left -= got;
      }
      in.Close();
      done.Size = size;
      done.Hash = hash.Value();
    } catch (const qm::EFileError& e) {
      f.Fail("cannot copy the image \"" + qm::ToUtf8(image.FileName) + "\": " + e.what(), TJwwFailure::IoError);
    }
    if (written) written->push_back(done);
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
      throw EJwwError(sizeAt, "the size of the image \"" + qm::ToUtf8(image.Name) + "\" differs from what was written");
    const uint64_t dataAt = f.Offset();
    TImageHash hash;
    for (uint64_t left = image.Size; left > 0;) {
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, CopyPiece));
      f.Bytes(buffer.data(), piece, "an image's data");
      hash.Add(buffer.data(), piece);
      left -= piece;
    }
    if (hash.Value() != image.Hash)
      throw EJwwError(dataAt, "the bytes of the image \"" + qm::ToUtf8(image.Name) + "\" differ from what was written");
  }
}
