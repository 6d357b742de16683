#include "report.h"

#include <array>
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
    case TOutcome::WouldConvert: return "would_convert";
    case TOutcome::NothingHidden: return "nothing_hidden";
    case TOutcome::NotFound: return "not_found";
    case TOutcome::NotJww: return "not_jww";
    case TOutcome::Unreadable: return "unreadable";
    case TOutcome::Failed: return "failed";
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
  TObject& Bool(bool value) { return Raw(value ? "true" : "false"); }
  TObject& Null() { return Raw("null"); }
  TObject& String(std::string_view utf8) { return Raw(JsonString(utf8)); }
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

std::string HiddenJson(const std::vector<THiddenLayer>& list, bool counted) {
  std::string out = "[";
  for (const THiddenLayer& h : list) {
    TObject o;
    o.Key("group").Int(h.Group);
    if (h.Layer >= 0) o.Key("layer").Int(h.Layer);
    o.Key("name").String(h.Name).Key("elements");
    if (counted)
      o.Int(h.Elements);
    else
      o.Null();
    out += (out.size() > 1 ? "," : "") + o.Close();
  }
  return out + "]";
}

}  // namespace

std::string RecordJson(const TFileResult& r) {
  const TDrawingFacts& f = r.Facts;
  const bool header = f.Read != TRead::Nothing, whole = f.Read == TRead::Whole;
  TObject o;
  o.Key("source").String(PathToUtf8(r.Source));
  o.Key("outcome").Raw("\"" + std::string(OutcomeKey(r.Outcome)) + "\"");
  o.Key("version");
  header ? o.Int(f.Version) : o.Null();
  o.Key("strings");
  header ? o.Raw(f.Wide ? "\"utf16\"" : "\"sjis\"") : o.Null();
  o.Key("elements");
  if (whole) {
    TObject e;
    e.Key("total").Int(f.Total);
    for (size_t k = 1; k < 8; ++k) e.Key(KindKeys[k]).Int(f.Counts[k]);
    o.Raw(e.Close());
  } else {
    o.Null();
  }
  o.Key("block_definitions");
  if (whole) {
    std::string unused = "[";
    for (const std::string& name : f.UnusedBlockNames) unused += (unused.size() > 1 ? "," : "") + JsonString(name);
    TObject b;
    b.Key("total").Int(f.BlockDefs).Key("used").Int(f.UsedBlockDefs).Key("unused").Raw(unused + "]");
    o.Raw(b.Close());
  } else {
    o.Null();
  }
  o.Key("images");
  if (whole) {
    std::string images = "[";
    for (const TBindImageType& i : f.Images) {
      TObject image;
      image.Key("name").String(ToUtf8(i.FileName)).Key("size").Int(i.Size);
      images += (images.size() > 1 ? "," : "") + image.Close();
    }
    o.Raw(images + "]");
  } else {
    o.Null();
  }
  o.Key("hidden");
  if (header) {
    TObject h;
    h.Key("groups").Raw(HiddenJson(f.HiddenGroups, whole)).Key("layers").Raw(HiddenJson(f.HiddenLayers, whole));
    o.Raw(h.Close());
  } else {
    o.Null();
  }
  o.Key("removed");
  if (r.Removed) {
    TObject m;
    m.Key("elements").Int(r.Removed->Elements).Key("block_definitions").Int(r.Removed->BlockDefs);
    m.Key("images").Int(r.Removed->Images);
    o.Raw(m.Close());
  } else {
    o.Null();
  }
  o.Key("visible_unchanged");
  r.VisibleUnchanged ? o.Bool(*r.VisibleUnchanged) : o.Null();
  o.Key("normalised");
  if (r.Normalised) {
    const JwwNormalise::TNormalised& n = *r.Normalised;
    TObject m;
    m.Key("texts").Int(n.Texts).Key("fonts").Int(n.Fonts).Key("pens").Int(n.Pens).Key("layers").Int(n.Layers);
    m.Key("names").Int(n.Names).Key("settings").Int(n.Settings);
    o.Raw(m.Close());
  } else {
    o.Null();
  }
  o.Key("output");
  r.Outcome == TOutcome::Converted || r.Outcome == TOutcome::WouldConvert ? o.String(PathToUtf8(r.Output)) : o.Null();
  o.Key("failure");
  if (r.Failure) {
    TObject m;
    m.Key("kind").String(FailureName(r.Failure->Kind)).Key("offset");
    r.Failure->Offset ? m.Int(static_cast<int64_t>(*r.Failure->Offset)) : m.Null();
    m.Key("context").String(r.Failure->Context);
    o.Raw(m.Close());
  } else {
    o.Null();
  }
  o.Key("detail");
  r.Failure ? o.String(r.Failure->Text()) : o.Null();
  o.Key("seconds").Seconds(r.Seconds);
  return o.Close();
}

std::string SummaryJson(const TTotals& t, double seconds) {
  TObject outcomes;
  for (const TOutcome outcome : {TOutcome::Converted, TOutcome::WouldConvert, TOutcome::NothingHidden,
                                 TOutcome::NotFound, TOutcome::NotJww, TOutcome::Unreadable, TOutcome::Failed})
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
