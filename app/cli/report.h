// The command line's reports: JSON text, the JSON line of one converted file,
// and writes to a report stream that notice when the stream refuses them.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "convert.h"

namespace qm {

// A JSON string of UTF-8 text. A byte that is not part of well-formed UTF-8
// (a POSIX file name may hold any bytes) is escaped as \udcXX, XX its value,
// so the JSON stays valid and the original bytes can be told (the escape
// Python's "surrogateescape" reads back).
std::string JsonString(std::string_view utf8);

// The outcome's key in the JSON report: "converted", "nothing_hidden",
// "not_found", "not_jww", "unreadable", "failed", "would_convert".
const char* OutcomeKey(TOutcome outcome) noexcept;

// True for the outcomes that make the exit status 1.
bool IsFailure(TOutcome outcome) noexcept;

// One file of a conversion as a JSON object on one line (without the line
// break): source, output (null unless converted or, in a dry run, would
// be), outcome, detail, failure, removed, visible_unchanged and seconds.
std::string ResultJson(const TFileResult& result, double seconds);

// Writes text to out and flushes it. False when the stream refused it (a
// full disk, a closed pipe); problem then says so. A stream that failed once
// takes nothing more.
bool WriteReport(std::ostream& out, std::string_view text, std::string& problem);

}  // namespace qm
