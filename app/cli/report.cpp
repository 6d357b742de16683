#include "report.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>

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
    case TOutcome::WouldConvert: return "would_convert";
    case TOutcome::NothingHidden: return "nothing_hidden";
    case TOutcome::NotFound: return "not_found";
    case TOutcome::NotJww: return "not_jww";
    case TOutcome::Unreadable: return "unreadable";
    case TOutcome::Failed: return "failed";
    case TOutcome::Skipped: return "skipped";
  }
  return "failed";
}

namespace {

// A JSON object written key by key, in order.
class TObject {
 public:
  TObject& Key(std::string_view key) {
    Text_ += Text_.size() > 1 ? ",\"" : "\"";
    Text_ += key;
    Text_ += "\":";
    return *this;
  }
  TObject& Raw(std::string_view value) {
    Text_ += value;
    return *this;
  }
  TObject& Int(int64_t value) { return Raw(std::to_string(value)); }
  TObject& Null() { return Raw("null"); }
  TObject& String(std::string_view utf8) { return Raw(JsonString(utf8)); }
  // A number in the fewest digits that read back as it (JSON has no
  // infinities; a box's sides are finite).
  TObject& Number(double value) {
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? Raw(std::string_view(buf, static_cast<size_t>(end - buf))) : Null();
  }
  TObject& Seconds(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", value < 0 ? 0.0 : value);
    return Raw(buf);
  }
  std::string Close() { return Text_ + "}"; }

 private:
  std::string Text_ = "{";
};

constexpr std::array<const char*, 8> KindKeys = {"", "lines", "arcs", "points", "texts", "dimensions", "solids",
                                                 "block_inserts"};

}  // namespace

std::string RecordJson(const TFileResult& r) {
  const TDrawingFacts& f = r.Facts;
  const bool header = f.Read != TRead::Nothing, whole = f.Read == TRead::Whole;
  TObject o;
  // A key whose value is made only where it applies, else null.
  auto value = [&o](std::string_view key, bool applies, const std::function<std::string()>& make) {
    o.Key(key);
    applies ? o.Raw(make()) : o.Null();
  };
  auto list = [](const auto& items, const auto& each) {
    std::string out = "[";
    for (const auto& item : items) out += (out.size() > 1 ? "," : "") + each(item);
    return out + "]";
  };
  o.Key("source").String(PathToUtf8(r.Source));
  o.Key("outcome").Raw("\"" + std::string(OutcomeKey(r.Outcome)) + "\"");
  value("version", header, [&] { return std::to_string(f.Version); });
  value("strings", header, [&] { return std::string(f.Wide ? "\"utf16\"" : "\"sjis\""); });
  value("elements", whole, [&] {
    TObject e;
    e.Key("total").Int(f.Total);
    for (size_t k = 1; k < 8; ++k) e.Key(KindKeys[k]).Int(f.Counts[k]);
    return e.Close();
  });
  value("block_definitions", whole, [&] {
    TObject b;
    b.Key("total").Int(f.BlockDefs).Key("used").Int(f.UsedBlockDefs);
    b.Key("unused");
    f.UnusedBlockNames ? b.Raw(list(*f.UnusedBlockNames, [](const std::string& name) { return JsonString(name); }))
                       : b.Null();
    return b.Close();
  });
  value("images", whole, [&] {
    return list(f.Images, [](const TBindImageType& i) {
      return TObject().Key("name").String(ToUtf8(i.FileName)).Key("size").Int(i.Size).Close();
    });
  });
  value("undrawable", f.Undrawable.has_value(), [&] { return std::to_string(*f.Undrawable); });
  value("hidden", header, [&] {
    auto entries = [&](const std::vector<THiddenLayer>& layers) {
      return list(layers, [&](const THiddenLayer& h) {
        TObject e;
        e.Key("group").Int(h.Group);
        if (h.Layer >= 0) e.Key("layer").Int(h.Layer);
        e.Key("name").String(h.Name).Key("elements");
        whole ? e.Int(h.Elements) : e.Null();
        return e.Close();
      });
    };
    return TObject().Key("groups").Raw(entries(f.HiddenGroups)).Key("layers").Raw(entries(f.HiddenLayers)).Close();
  });
  value("found", f.Found.has_value(), [&] {
    return TObject()
        .Key("memo").Int(f.Found->Memo)
        .Key("temporary_points").Int(f.Found->TemporaryPoints)
        .Key("auxiliary").Int(f.Found->Auxiliary)
        .Key("off_sheet").Int(f.Found->OffSheet)
        .Close();
  });
  value("off_sheet_extent", f.Found && !f.Found->OffSheetExtent.Empty(), [&] {
    const view::TBox& b = f.Found->OffSheetExtent;
    return TObject().Key("left").Number(b.Left).Key("bottom").Number(b.Bottom).Key("right").Number(b.Right)
        .Key("top").Number(b.Top).Close();
  });
  value("removed", r.Removed.has_value(), [&] {
    return TObject()
        .Key("elements").Int(r.Removed->Elements)
        .Key("block_definitions").Int(r.Removed->BlockDefs)
        .Key("images").Int(r.Removed->Images)
        .Key("memo").Int(r.Removed->Memo)
        .Key("temporary_points").Int(r.Removed->TemporaryPoints)
        .Key("auxiliary").Int(r.Removed->Auxiliary)
        .Key("off_sheet").Int(r.Removed->OffSheet)
        .Close();
  });
  value("empty_output", r.Removed.has_value(), [&] { return std::string(EmptyOutput(r) ? "true" : "false"); });
  value("visible_unchanged", r.VisibleUnchanged.has_value(),
        [&] { return std::string(*r.VisibleUnchanged ? "true" : "false"); });
  value("normalised", r.Normalised.has_value(), [&] {
    const JwwNormalise::TNormalised& n = *r.Normalised;
    return TObject()
        .Key("texts").Int(n.Texts).Key("fonts").Int(n.Fonts).Key("pens").Int(n.Pens).Key("layers").Int(n.Layers)
        .Key("names").Int(n.Names).Key("settings").Int(n.Settings)
        .Close();
  });
  value("output", HasOutput(r.Outcome) || r.Outcome == TOutcome::Skipped,
        [&] { return JsonString(PathToUtf8(r.Output)); });
  value("failure", r.Failure.has_value(), [&] {
    TObject m;
    m.Key("kind").String(FailureName(r.Failure->Kind)).Key("offset");
    r.Failure->Offset ? m.Int(static_cast<int64_t>(*r.Failure->Offset)) : m.Null();
    return m.Key("context").String(r.Failure->Context).Close();
  });
  value("detail", r.Failure.has_value(), [&] { return JsonString(r.Failure->Text()); });
  o.Key("seconds").Seconds(r.Seconds);
  return o.Close();
}

std::string SummaryJson(const TTotals& t, double seconds) {
  TObject outcomes;
  for (const TOutcome outcome : {TOutcome::Converted, TOutcome::WouldConvert, TOutcome::NothingHidden,
                                 TOutcome::NotFound, TOutcome::NotJww, TOutcome::Unreadable, TOutcome::Failed,
                                 TOutcome::Skipped})
    outcomes.Key(OutcomeKey(outcome)).Int(t.Of(outcome));
  TObject s;
  s.Key("files").Int(t.Files).Key("outcomes").Raw(outcomes.Close());
  s.Key("visible_unchanged").Int(t.Proven).Key("normalised").Int(t.Normalised).Key("seconds").Seconds(seconds);
  return TObject().Key("summary").Raw(s.Close()).Close();
}

std::string FailureMessage(const TFileResult& r) {
  if (r.Outcome == TOutcome::NotFound || r.Outcome == TOutcome::NotJww) return Printable(ProblemText(r));
  if (!r.Failure && r.Outcome != TOutcome::Unreadable && r.Outcome != TOutcome::Failed) return {};
  std::string message = r.Outcome == TOutcome::Unreadable ? "unreadable"
                        : r.Outcome == TOutcome::Failed   ? "not converted"
                                                          : "not read to its end";
  if (r.Failure && r.Failure->Kind != TJwwFailure::None) message += std::string(" (") + FailureName(r.Failure->Kind) + ")";
  return message + ": " + Printable(r.Failure ? r.Failure->Text() : PathToUtf8(r.Source));
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
