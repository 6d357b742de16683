// The outputs of earlier runs. A conversion names its output BASE_N.JWW
// (N = 2, 3, ... in decimal without leading zeros) after its drawing's name
// without the last extension, beside the drawing or in an output folder,
// names compared as Windows compares them (TOutputRule::Key). What is found
// here decides which drawings a folder stands for (not its earlier outputs),
// which drawings a conversion may pass by as converted already, and which
// drawing named to be converted is itself an earlier output.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qm {

// The folded BASE when a file name has the form of an output, BASE_N.JWW
// (the extension in any letter case); else nothing.
std::optional<std::u16string> OutputBase(const std::filesystem::path& name);
// The folded name of a drawing without its last extension, the BASE its
// outputs are named after ("Plan.v2.jww" gives "PLAN.V2").
std::u16string StemKey(const std::filesystem::path& name);

// An output of an earlier run, as a folder listing found it.
struct TEarlierOutput {
  std::filesystem::path Path;
  std::filesystem::file_time_type Time;  // its last change
  unsigned Number = 0;                   // the N of BASE_N.JWW
};

// What earlier runs left, looked up for a list of drawings: each folder is
// listed once, at its first question (a thousand drawings in one folder cost
// one listing and a look at each drawing's time), and each question after
// that is answered from the listing. A snapshot: what changes on disk later
// is not seen; a new object looks again. Safe to use from several threads.
class TEarlierRuns {
 public:
  // The output of an earlier run that makes source converted already: of the
  // files in its output folder named as its outputs (BASE_N.JWW, regular
  // files, letters in any case), the newest one changed after source was.
  // Nothing when there is none, or when source cannot be looked at.
  std::optional<TEarlierOutput> Converted(const std::filesystem::path& source,
                                          const std::filesystem::path& outputFolder);
  // The drawing of which drawing is an output itself: its name has the form
  // BASE_N.JWW and a drawing named BASE.jww (any letter case, any extension
  // .JWW) is a regular file beside it. Nothing otherwise.
  std::optional<std::filesystem::path> SourceOf(const std::filesystem::path& drawing);

 private:
  struct TFolder {
    // The files named as outputs, by their folded BASE.
    std::unordered_map<std::u16string, std::vector<TEarlierOutput>> Outputs;
    // The drawings' names by their folded stem.
    std::unordered_map<std::u16string, std::filesystem::path> Drawings;
  };
  const TFolder& Listing(const std::filesystem::path& folder);

  std::mutex Lock_;
  std::unordered_map<std::u16string, TFolder> Folders_;
};

}  // namespace qm
