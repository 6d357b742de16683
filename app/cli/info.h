// "quillmark info": what a drawing holds and what a conversion would make of
// it, told from the record of the dry run that describes every drawing
// (TConvertOptions::Describe); its JSON is the record's (report.h).
#pragma once

#include <string>

#include "record.h"

namespace qm {

// The text of one drawing's record (UTF-8, names shown printable, lines
// ending in "\n"): its path; its version, strings, elements, block
// definitions and images as far as they were read; the hidden groups and
// layers that hold elements or have names (every one when all is true); and
// what a conversion would make of it.
std::string InfoText(const TFileResult& result, bool all);

}  // namespace qm
