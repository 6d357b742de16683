// The command line's reports: JSON text, the one JSON record of a file that
// info and convert write alike, the summary that ends them, the message of
// a file that went wrong, and writes to a report stream that notice when the
// stream refuses them.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "record.h"

namespace qm {

// A JSON string of UTF-8 text. A byte that is not part of well-formed UTF-8
// (a POSIX file name may hold any bytes) is escaped as \udcXX, XX its value,
// so the JSON stays valid and the original bytes can be told (the escape
// Python's "surrogateescape" reads back).
std::string JsonString(std::string_view utf8);

// The outcome's key in the JSON report: "converted", "would_convert",
// "nothing_hidden", "not_found", "not_jww", "unreadable", "failed",
// "skipped".
const char* OutcomeKey(TOutcome outcome) noexcept;

// One file's record as a JSON object on one line (without the line break),
// every key in every record, null where it does not apply: source, outcome,
// version, strings, elements, block_definitions, images, hidden, removed,
// visible_unchanged, normalised, output (for a skipped drawing the earlier
// output), failure, detail, seconds.
std::string RecordJson(const TFileResult& result);

// The last object of a JSON report: {"summary": {files, outcomes (a count
// for every outcome), visible_unchanged, normalised, seconds}} on one line.
std::string SummaryJson(const TTotals& totals, double seconds);

// The message of a file that went wrong, for stderr (English, names shown
// printable): "PATH: no such file", "PATH: not a .JWW file",
// "unreadable (KIND): PATH: DETAIL", "not converted (KIND): PATH: DETAIL",
// and for a drawing with nothing hidden that info read further than a
// conversion reads, "not read to its end (KIND): PATH: DETAIL". Empty for a
// file that went well.
std::string FailureMessage(const TFileResult& result);

// Writes text to out and flushes it. False when the stream refused it (a
// full disk, a closed pipe); problem then says so. A stream that failed once
// takes nothing more.
bool WriteReport(std::ostream& out, std::string_view text, std::string& problem);

}  // namespace qm
