// Archive primitives: the buffered reader and writer, and the string, count
// and element-header encodings shared by every section.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <optional>

#include "Func_.h"
#include "jwwunit.h"
#include "jwwwalk.h"
#include "textconv.h"

namespace qm {

namespace {

constexpr size_t BufferSize = 256 * 1024;

std::string FormatOffset(uint64_t offset) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "at byte %llu (0x%llx)", static_cast<unsigned long long>(offset),
                static_cast<unsigned long long>(offset));
  return buf;
}


}  // namespace

EJwwError::EJwwError(uint64_t offset, const std::string& message, TJwwFailure kind)
    : std::runtime_error(FormatOffset(offset) + ": " + message),
      Offset_(offset),
      Message_(message),
      Text_(FormatOffset(offset) + ": " + message),
      Kind_(kind) {}

EJwwError::EJwwError(const std::string& message, TJwwFailure kind)
    : std::runtime_error(message), HasOffset_(false), Message_(message), Text_(message), Kind_(kind) {}

std::string TFailure::Text() const {
  return Path.empty() ? Detail : PathToUtf8(Path) + ": " + Detail;
}

TFailure TFailure::Of(const EJwwError& error, const char* context, const std::filesystem::path& path) {
  TFailure f;
  f.Kind = error.Kind();
  if (error.HasOffset()) f.Offset = error.Offset();
  f.Context = error.Context() ? error.Context() : context;
  f.Path = path;
  f.Detail = error.Text();
  return f;
}

const char* FailureName(TJwwFailure kind) noexcept {
  switch (kind) {
    case TJwwFailure::None: return "none";
    case TJwwFailure::IoError: return "I/O error";
    case TJwwFailure::Truncated: return "truncated";
    case TJwwFailure::Corrupt: return "corrupt";
    case TJwwFailure::UnsupportedVersion: return "unsupported version";
    case TJwwFailure::UnsafeContent: return "unsafe content";
    case TJwwFailure::NotRepresentable: return "not representable";
  }
  return "unknown";
}

// ---------------------------------------------------------------------------
// Reader

TJwwReader::TJwwReader(const std::filesystem::path& path) {
  try {
    File_ = TFile::OpenRead(path);
    Size_ = File_.SizeAtOpen();
  } catch (const EFileError& e) {
    throw EJwwError(e.what(), TJwwFailure::IoError);
  }
  // A small file takes a buffer of its own size.
  Capacity_ = static_cast<size_t>(std::max<uint64_t>(64, std::min<uint64_t>(BufferSize, Size_)));
  Buffer_.reset(new uint8_t[Capacity_]);
  Data_ = Buffer_.get();
}

TJwwReader::TJwwReader(const void* data, size_t size)
    : Data_(static_cast<const uint8_t*>(data)), Filled_(size), Size_(size) {}

void TJwwReader::Fail(const std::string& message, TJwwFailure kind) const { throw EJwwError(Offset_, message, kind); }

void TJwwReader::Require(uint64_t n, const char* what) const {
  if (Remaining() < n)
    Fail("unexpected end of file reading " + std::string(what) + " (" + std::to_string(n) + " bytes needed, " +
             std::to_string(Remaining()) + " left)",
         TJwwFailure::Truncated);
}

void TJwwReader::Refill(size_t n, const char* what) {
  Require(n, what);
  if (!File_.IsOpen()) Fail("unexpected end of data reading " + std::string(what), TJwwFailure::Truncated);
  const size_t left = Filled_ - Pos_;
  std::memmove(Buffer_.get(), Buffer_.get() + Pos_, left);
  Pos_ = 0;
  Filled_ = left;
  while (Filled_ < n) {
    // Never more than the size taken at open: a file that grows meanwhile
    // (still being saved, a sync client) is read as it was then.
    const size_t want = static_cast<size_t>(std::min<uint64_t>(Capacity_ - Filled_, Size_ - FileRead_));
    size_t got = 0;
    try {
      if (want > 0) got = File_.Read(Buffer_.get() + Filled_, want);
    } catch (const EFileError& e) {
      Fail(std::string(e.what()) + " reading " + what, TJwwFailure::IoError);
    }
    if (got == 0)
      Fail("the file ended early (it changed while being read) reading " + std::string(what), TJwwFailure::IoError);
    Filled_ += got;
    FileRead_ += got;
  }
}

void TJwwReader::Bytes(void* out, size_t n, const char* what) {
  Require(n, what);
  auto* dst = static_cast<uint8_t*>(out);
  while (n > 0) {
    const size_t piece = std::min(n, File_.IsOpen() ? Capacity_ : n);
    std::memcpy(dst, Take(piece, what), piece);
    dst += piece;
    n -= piece;
  }
}

void TJwwReader::Skip(uint64_t n, const char* what) {
  Require(n, what);
  while (n > 0) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(n, File_.IsOpen() ? Capacity_ : n));
    Take(piece, what);
    n -= piece;
  }
}

void TJwwReader::Close() {
  try {
    File_.Close();
  } catch (const EFileError& e) {
    Fail(e.what(), TJwwFailure::IoError);
  }
}

// ---------------------------------------------------------------------------
// Writer

TJwwWriter::TJwwWriter(TFile& file)
    : File_(&file), Buffer_(new uint8_t[BufferSize]), Capacity_(BufferSize) {}

// Memory writes skip the buffer (it stays empty), so the bytes are in the
// vector as soon as they are written.
TJwwWriter::TJwwWriter(std::vector<uint8_t>& memory) : Memory_(&memory) {}

void TJwwWriter::Fail(const std::string& message, TJwwFailure kind) const { throw EJwwError(Offset(), message, kind); }

void TJwwWriter::Flush() {
  if (Pos_ == 0) return;
  try {
    File_->Write(Buffer_.get(), Pos_);
  } catch (const EFileError& e) {
    Fail(e.what(), TJwwFailure::IoError);
  }
  Offset_ += Pos_;
  Pos_ = 0;
}

void TJwwWriter::PutSlow(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (Memory_) {
    Memory_->insert(Memory_->end(), p, p + n);
    Offset_ += n;
    return;
  }
  while (n > 0) {
    if (Pos_ == Capacity_) Flush();
    const size_t piece = std::min(n, Capacity_ - Pos_);
    std::memcpy(Buffer_.get() + Pos_, p, piece);
    Pos_ += piece;
    p += piece;
    n -= piece;
  }
}


void TJwwWriter::Zeros(size_t n) {
  static const uint8_t zeros[64] = {};
  while (n > 0) {
    const size_t piece = std::min(n, sizeof zeros);
    Bytes(zeros, piece);
    n -= piece;
  }
}

// ---------------------------------------------------------------------------
// Strings, counts, element headers

// The length forms of a string: one byte n < 0xFF; or 0xFF and a word w,
// where w < 0xFFFE counts the bytes, 0xFFFF announces a 32-bit length and
// 0xFFFE marks a wide string, whose length in UTF-16 units follows in the
// same forms (a byte, or 0xFF and a word, 0xFFFF announcing 32 bits).
TJwwString TJwwData::ReadString(TJwwReader& file, const char* what) {
  uint64_t n = file.U8(what);
  bool wide = false;
  if (n == 0xFF) {
    const uint16_t w = file.U16(what);
    if (w == 0xFFFE) {
      wide = true;
      n = file.U8(what);
      if (n == 0xFF) {
        const uint16_t w2 = file.U16(what);
        n = w2 == 0xFFFF ? file.U32(what) : w2;
      }
    } else {
      n = w == 0xFFFF ? file.U32(what) : w;
    }
  }
  // Checked before anything is allocated: a length the file cannot hold
  // fails here, however large it claims to be.
  file.Require(wide ? 2 * n : n, what);
  if (!wide) {
    std::string s(static_cast<size_t>(n), '\0');
    if (n > 0) file.Bytes(s.data(), s.size(), what);
    return TJwwString(std::move(s));
  }
  std::u16string units(static_cast<size_t>(n), u'\0');
  static_assert(sizeof(char16_t) == 2);
  if (n > 0) {
    file.Bytes(units.data(), units.size() * 2, what);
    if constexpr (std::endian::native == std::endian::big)
      for (char16_t& u : units) u = static_cast<char16_t>((u >> 8) | (u << 8));
  }
  return TJwwString::Wide(std::move(units));
}

TJwwString TJwwData::ReadName(TJwwReader& file, const char* what, bool* dropped) {
  TJwwString s = ReadString(file, what);
  const bool clean = Func_::HasControlChars(s);
  if (clean) s = Func_::RemoveControlCharsOf(s);
  if (dropped) *dropped = clean;
  return s;
}

int32_t TJwwData::ReadCount(TJwwReader& file, const char* what) {
  const uint16_t w = file.U16(what);
  if (w != 0xFFFF) return w;
  return file.I32(what);
}

void TJwwData::CopyEntityHeader(const TEntJwwEntityHeader& source, TEntJwwEntityHeader& target) noexcept {
  target = source;
}

void TJwwData::WriteStringLength(TJwwWriter& file, uint64_t n) {
  if (n > 0xFFFFFFFFu)
    file.Fail("a string of " + std::to_string(n) + " units is too long for the file format", TJwwFailure::NotRepresentable);
  if (n < 0xFF) {
    file.U8(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {
    file.U8(0xFF);
    file.U16(static_cast<uint16_t>(n));
  } else {
    // 0xFFFE is the wide marker and 0xFFFF the 32-bit form: neither can be a
    // 16-bit length.
    file.U8(0xFF);
    file.U16(0xFFFF);
    file.U32(static_cast<uint32_t>(n));
  }
}

void TJwwData::WriteString(TJwwWriter& file, const TJwwString& s, bool wide) {
  if (wide) {
    std::optional<std::u16string> converted;
    std::u16string_view units = s.Units();
    if (!s.IsWide()) {
      const std::string_view sjis = s.Sjis();
      if (std::all_of(sjis.begin(), sjis.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        converted = std::u16string(sjis.begin(), sjis.end());  // ASCII is the same in both forms
      else
        converted = SjisToUtf16(sjis);
      if (!converted)
        file.Fail("the text \"" + ToUtf8(s) + "\" holds bytes that are not Shift-JIS and cannot be written wide",
                  TJwwFailure::NotRepresentable);
      units = *converted;
    }
    file.U8(0xFF);
    file.U16(0xFFFE);
    WriteStringLength(file, units.size());
    if constexpr (std::endian::native == std::endian::little) {
      file.Bytes(units.data(), units.size() * 2);
    } else {
      for (const char16_t u : units) file.U16(u);
    }
    return;
  }
  std::optional<std::string> converted;
  std::string_view bytes = s.Sjis();
  if (s.IsWide()) {
    converted = Utf16ToSjis(s.Units());
    if (!converted)
      file.Fail("the text \"" + ToUtf8(s) + "\" holds characters that Shift-JIS cannot hold",
                TJwwFailure::NotRepresentable);
    bytes = *converted;
  }
  WriteStringLength(file, bytes.size());
  file.Bytes(bytes.data(), bytes.size());
}

void TJwwData::WriteCount(TJwwWriter& file, int32_t value) {
  if (value < 0) file.Fail("negative count " + std::to_string(value));
  if (value > 65534) {
    file.U16(0xFFFF);
    file.I32(value);
  } else {
    file.U16(static_cast<uint16_t>(value));
  }
}

void TJwwData::WriteClassReference(TJwwWriter& file, int32_t classIndex) {
  if (classIndex < 0x7FFF) {
    file.U16(static_cast<uint16_t>(0x8000 + classIndex));
  } else {
    file.U16(0x7FFF);
    file.U32(0x80000000u | static_cast<uint32_t>(classIndex));
  }
}

// ---------------------------------------------------------------------------
// The read-back check's strings

void JwwWalk::TCheckIo::String(const TJwwString& expected) {
  const uint64_t at = F_.Offset();
  const TJwwString got = TJwwData::ReadString(F_, What_);
  if (got.IsWide() != Wide_) Differs(at);
  if (expected.IsWide() == Wide_) {
    Expect(at, got == expected);
    return;
  }
  // The writer converted it; the same conversion gives what it wrote.
  if (Wide_) {
    const auto units = SjisToUtf16(expected.Sjis());
    Expect(at, units && got.Units() == *units);
  } else {
    const auto bytes = Utf16ToSjis(expected.Units());
    Expect(at, bytes && got.Sjis() == *bytes);
  }
}

void JwwWalk::TCheckIo::Differs(uint64_t at) const {
  throw EJwwError(at, std::string("the written file differs from what was meant to be written in ") + What_);
}

}  // namespace qm
