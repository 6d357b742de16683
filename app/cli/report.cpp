#include "report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "textconv.h"

namespace qm {

namespace {

void AppendEscape(std::string& out, const char* form, unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, form, value);
  out += buf;
}

}  // namespace

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  while (!utf8.empty()) {
    const size_t n = Utf8SequenceLength(utf8);
    const auto b = static_cast<unsigned char>(utf8[0]);
    if (n == 0) {
      AppendEscape(out, "\\udc%02x", b);
      utf8.remove_prefix(1);
      continue;
    }
    if (n > 1) {
      out.append(utf8.substr(0, n));
    } else if (b == '"') {
      out += "\\\"";
    } else if (b == '\\') {
      out += "\\\\";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      AppendEscape(out, "\\u%04x", b);
    } else {
      out += static_cast<char>(b);
    }
    utf8.remove_prefix(n);
  }
  return out + "\"";
}

const char* OutcomeKey(TOutcome outcome) noexcept {
  switch (outcome) {
    case TOutcome::Converted: return "converted";
    case TOutcome::NothingHidden: return "nothing_hidden";
    case TOutcome::NotFound: return "not_found";
    case TOutcome::NotJww: return "not_jww";
    case TOutcome::Unreadable: return "unreadable";
    case TOutcome::Failed: return "failed";
    case TOutcome::WouldConvert: return "would_convert";
  }
  return "failed";
}

bool IsFailure(TOutcome outcome) noexcept {
  return outcome != TOutcome::Converted && outcome != TOutcome::NothingHidden && outcome != TOutcome::WouldConvert;
}

std::string ResultJson(const TFileResult& r, double seconds) {
  const bool hasOutput = r.Outcome == TOutcome::Converted || r.Outcome == TOutcome::WouldConvert;
  std::string line = "{\"source\":" + JsonString(PathToUtf8(r.Source));
  line += ",\"output\":" + (hasOutput ? JsonString(PathToUtf8(r.Output)) : std::string("null"));
  line += ",\"outcome\":\"" + std::string(OutcomeKey(r.Outcome)) + "\"";
  line += ",\"detail\":" + (r.Detail.empty() ? std::string("null") : JsonString(r.Detail));
  line += ",\"failure\":" + (r.Failure == TJwwFailure::None ? std::string("null") : JsonString(FailureName(r.Failure)));
  line += ",\"removed\":{\"elements\":" + std::to_string(r.Removed.Elements) +
          ",\"blocks\":" + std::to_string(r.Removed.BlockDefs) + ",\"images\":" + std::to_string(r.Removed.Images) +
          "}";
  line += ",\"visible_unchanged\":" +
          std::string(!r.VisibleUnchanged ? "null" : *r.VisibleUnchanged ? "true" : "false");
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", seconds < 0 ? 0.0 : seconds);
  line += ",\"seconds\":" + std::string(buf) + "}";
  return line;
}

bool WriteReport(std::ostream& out, std::string_view text, std::string& problem) {
  if (out) {
    errno = 0;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (out) return true;
  }
  const int error = errno;
  problem = "cannot write the report to standard output";
  if (error != 0) problem += std::string(": ") + std::strerror(error);
  return false;
}

}  // namespace qm
