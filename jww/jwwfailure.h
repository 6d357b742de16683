// What can go wrong with a drawing file, as one error type inside the reader
// and the writer, and as a value outside them: its kind, the byte offset where
// it happened, what was being read or written, the file and an English
// sentence. A front end words a failure in its own language from the first
// three; the command line prints the sentence.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace qm {

// What kind of failure it was.
enum class TJwwFailure {
  None,
  IoError,             // the file could not be opened, read or written
  Truncated,           // the file ends before what it declares
  Corrupt,             // the bytes cannot be right (or a written file differs from what was written)
  UnsupportedVersion,  // older than 2.20, or a newer layout this program does not know
  UnsafeContent,       // an image name that could reach outside the work folder or collide on disk
  NotRepresentable,    // a text the drawing's string form cannot hold exactly
};
// A short English name of a failure kind ("truncated", "corrupt" ...).
const char* FailureName(TJwwFailure kind) noexcept;

// What was being read or written when a failure happened: short codes, the
// same in every language, for a front end to put into its own words.
namespace JwwContext {
// The source before its sections: opening and reading it, its kind of entry.
inline constexpr const char* Source = "source";
inline constexpr const char* Signature = "signature";
inline constexpr const char* Version = "version";
// The header section, part by part.
inline constexpr const char* Memo = "memo";
inline constexpr const char* Settings = "settings";  // paper, dimension, print, grid, shadow and view settings
inline constexpr const char* LayerTables = "layer_tables";
inline constexpr const char* LayerNames = "layer_names";
inline constexpr const char* PenSettings = "pen_settings";
inline constexpr const char* LineTypes = "line_types";
inline constexpr const char* Switches = "switches";
inline constexpr const char* ExtendedColours = "extended_colours";
inline constexpr const char* ExtendedLineTypes = "extended_line_types";
inline constexpr const char* TextStyles = "text_styles";
// The entity section.
inline constexpr const char* Elements = "elements";
inline constexpr const char* BlockDefinitions = "block_definitions";
inline constexpr const char* ImageTable = "image_table";
inline constexpr const char* EndOfFile = "end_of_file";  // bytes after the last section
// The output.
inline constexpr const char* OutputFolder = "output_folder";
inline constexpr const char* OutputFile = "output_file";
inline constexpr const char* ReadBack = "read_back";  // the written file read back differs
// The checks of a purged drawing before it is written.
inline constexpr const char* HiddenMaterial = "hidden_material";
inline constexpr const char* VisualProof = "visual_proof";
// A folder named to be walked.
inline constexpr const char* Folder = "folder";
}  // namespace JwwContext

// The one error of reading and writing drawings: a failed or short read, a
// failed write, or content that cannot be right. Carries the byte offset in
// the file where it happened. Caught only by the load and save operations.
class EJwwError : public std::runtime_error {
 public:
  EJwwError(uint64_t offset, const std::string& message, TJwwFailure kind = TJwwFailure::Corrupt);
  // A failure that has no place in the file (a file that cannot be opened).
  EJwwError(const std::string& message, TJwwFailure kind);
  uint64_t Offset() const noexcept { return Offset_; }
  bool HasOffset() const noexcept { return HasOffset_; }
  const std::string& Message() const noexcept { return Message_; }
  // The whole text, "at byte N (0xN): " and the message; unlike what(), it
  // keeps every byte of a name it quotes (a NUL included).
  const std::string& Text() const noexcept { return Text_; }
  TJwwFailure Kind() const noexcept { return Kind_; }
  // What was being read or written, when the thrower knows it better than
  // the catcher (a JwwContext code), else nullptr.
  const char* Context() const noexcept { return Context_; }
  EJwwError& In(const char* context) noexcept {
    Context_ = context;
    return *this;
  }

 private:
  uint64_t Offset_ = 0;
  bool HasOffset_ = true;
  std::string Message_;
  std::string Text_;
  TJwwFailure Kind_;
  const char* Context_ = nullptr;
};

// A failure as a value.
struct TFailure {
  TJwwFailure Kind = TJwwFailure::None;
  std::optional<uint64_t> Offset;  // where in the file, when the failure has a place there
  std::string Context;             // a JwwContext code
  std::filesystem::path Path;      // the file it concerns (the source, or the output)
  std::string Detail;              // the English sentence, without the path ("at byte 9 (0x9): ...")

  // The sentence with the file it concerns: "PATH: DETAIL" (DETAIL alone
  // when there is no path).
  std::string Text() const;
  // From an error, in a context (the error's own when it names one).
  static TFailure Of(const EJwwError& error, const char* context, const std::filesystem::path& path);
  bool operator==(const TFailure&) const = default;
};

}  // namespace qm
