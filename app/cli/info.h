// "quillmark info": what a drawing holds and what a purge would remove.
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

namespace qm {

// Prints one report per drawing (text, or a JSON array when json is true) to
// out and load failures to err. Returns 0 when every drawing loaded, else 1.
int RunInfo(const std::vector<std::filesystem::path>& files, bool json, std::ostream& out, std::ostream& err);

}  // namespace qm
