// "quillmark info": what a drawing holds and what a purge would remove.
#pragma once

#include <atomic>
#include <filesystem>
#include <ostream>
#include <vector>

namespace qm {

// Prints one report per drawing (text, or a JSON array when json is true) to
// out, each as soon as it is made, and load failures to err. The text is
// UTF-8, or Shift-JIS when sjis is true; JSON is always UTF-8. The text names
// the hidden groups and layers that hold elements or have names, all of them
// when all is true; JSON names all of them. Returns 0 when every drawing
// loaded, else 1 (also when out refused the report), 130 when stop was set
// (the drawing in progress is the last).
int RunInfo(const std::vector<std::filesystem::path>& files, bool json, bool sjis, bool all,
            const std::atomic<bool>& stop, std::ostream& out, std::ostream& err);

}  // namespace qm
