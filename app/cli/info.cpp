#include "info.h"

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>

#include "jwwunit.h"
#include "picture.h"
#include "textconv.h"

namespace qm {

namespace {

constexpr std::array<const char*, 8> KindNames = {"", "lines", "arcs", "points", "texts", "dimensions", "solids",
                                                  "block inserts"};

char Hex(int n) { return "0123456789ABCDEF"[n & 15]; }

std::string LayerLabel(const THiddenLayer& h) {
  std::string s = h.Layer < 0 ? std::string("group ") + Hex(h.Group)
                              : std::string("layer ") + Hex(h.Group) + "-" + Hex(h.Layer);
  s += h.Name.empty() ? " (no name)" : " \"" + Printable(h.Name) + "\"";
  return s;
}

// A hidden group or layer that neither holds an element nor has a name says
// nothing a user needs; the text leaves such ones out unless all are asked for.
bool Telling(const THiddenLayer& h, bool counted) { return (counted && h.Elements > 0) || !h.Name.empty(); }

void PrintLayers(const char* title, const std::vector<THiddenLayer>& list, bool counted, bool all,
                 std::ostream& out) {
  out << title << list.size() << "\n";
  size_t left = 0;
  for (const THiddenLayer& h : list) {
    if (!all && !Telling(h, counted)) {
      ++left;
      continue;
    }
    out << "    " << LayerLabel(h);
    if (counted) out << ": " << h.Elements << " elements";
    out << "\n";
  }
  if (left) out << "    (" << left << " more without elements or names; --all shows them)\n";
}

std::string Normalised(const JwwNormalise::TNormalised& n) {
  std::string s;
  auto add = [&](const char* name, int32_t count) {
    if (count) s += (s.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(count);
  };
  add("texts", n.Texts);
  add("fonts", n.Fonts);
  add("pens", n.Pens);
  add("layers", n.Layers);
  add("names", n.Names);
  add("settings", n.Settings);
  return s;
}

// The hidden information besides hidden layers, kind by kind.
void PrintFound(const TDrawingFacts::TFound& f, std::ostream& out) {
  out << "  memo:               ";
  if (f.Memo) out << f.Memo << " character(s): \"" << Printable(f.MemoText) << "\"\n";
  else out << "none\n";
  out << "  temporary points:   " << f.TemporaryPoints << "\n";
  out << "  auxiliary elements: " << f.Auxiliary << "\n";
  out << "  off the sheet:      " << f.OffSheet;
  if (const view::TBox& b = f.OffSheetExtent; f.OffSheet && !b.Empty()) {
    char where[128];
    std::snprintf(where, sizeof where, " (x %.1f .. %.1f, y %.1f .. %.1f mm)", b.Left, b.Right, b.Bottom, b.Top);
    out << where;
  }
  out << "\n";
}

// What went (or would go) besides the hidden layers' material; empty when nothing.
std::string AlsoRemoved(const TRemovedCounts& r) {
  std::string s;
  auto add = [&](int32_t count, const std::string& what) {
    if (count) s += (s.empty() ? "" : ", ") + what;
  };
  add(r.Memo, "the memo (" + std::to_string(r.Memo) + " characters)");
  add(r.OffSheet, std::to_string(r.OffSheet) + " off the sheet");
  add(r.TemporaryPoints, std::to_string(r.TemporaryPoints) + " temporary point(s)");
  add(r.Auxiliary, std::to_string(r.Auxiliary) + " auxiliary element(s)");
  return s;
}

// The words of --remove for the kinds a drawing holds that its record does
// not remove, or empty.
std::string Removable(const std::optional<TDrawingFacts::TFound>& f, const std::optional<TRemovedCounts>& r) {
  std::string s;
  if (!f) return s;
  const TRemovedCounts none;
  const TRemovedCounts& gone = r ? *r : none;
  for (const auto& [found, removed, word] :
       {std::tuple{f->Memo, gone.Memo, "memo"}, std::tuple{f->OffSheet, gone.OffSheet, "off-sheet"},
        std::tuple{f->TemporaryPoints, gone.TemporaryPoints, "temporary-points"},
        std::tuple{f->Auxiliary, gone.Auxiliary, "auxiliary"}})
    if (found && !removed) s += (s.empty() ? "" : ",") + std::string(word);
  return s;
}

}  // namespace

std::string InfoText(const TFileResult& r, bool all) {
  std::ostringstream out;
  const TDrawingFacts& i = r.Facts;
  out << Printable(PathToUtf8(r.Source)) << "\n";
  if (i.Read != TRead::Nothing) {
    char version[32];
    std::snprintf(version, sizeof version, "%d (Ver.%d.%02d)", i.Version, i.Version / 100, i.Version % 100);
    out << "  version:            " << version << "\n";
    out << "  strings:            " << (i.Wide ? "UTF-16 (wide)" : "Shift-JIS") << "\n";
  }
  if (i.Read == TRead::Whole) {
    out << "  elements:           " << i.Total;
    std::string sep = " (";
    for (size_t k = 1; k < 8; ++k)
      if (i.Counts[k]) {
        out << sep << KindNames[k] << " " << i.Counts[k];
        sep = ", ";
      }
    out << (sep == ", " ? ")" : "") << "\n";
    out << "  block definitions:  " << i.BlockDefs << " (used " << i.UsedBlockDefs << ", unused "
        << i.BlockDefs - i.UsedBlockDefs << ")\n";
    if (i.UnusedBlockNames)
      for (const std::string& name : *i.UnusedBlockNames) out << "    unused: \"" << Printable(name) << "\"\n";
    if (i.Undrawable && *i.Undrawable) out << "  " << UndrawableLine(*i.Undrawable) << "\n";
    if (JwwLayout::HasImageTable(i.Version)) {
      out << "  images:             " << i.Images.size() << "\n";
      for (const TBindImageType& image : i.Images)
        out << "    " << Printable(ToUtf8(image.FileName)) << "  " << image.Size << " bytes\n";
    }
  }
  if (i.Read != TRead::Nothing) {
    PrintLayers("  hidden groups:      ", i.HiddenGroups, i.Read == TRead::Whole, all, out);
    PrintLayers("  hidden layers:      ", i.HiddenLayers, i.Read == TRead::Whole, all, out);
  }
  if (i.Found) PrintFound(*i.Found, out);
  switch (r.Outcome) {
    case TOutcome::WouldConvert:
    case TOutcome::Converted:
      out << "  a purge removes:    " << r.Removed->Elements << " element(s), " << r.Removed->BlockDefs
          << " block definition(s), " << r.Removed->Images << " image(s)\n";
      if (const std::string also = AlsoRemoved(*r.Removed); !also.empty())
        out << "  and besides:        " << also << "\n";
      if (EmptyOutput(r)) out << "  the output holds no element\n";
      if (const std::string kinds = Removable(i.Found, r.Removed); !kinds.empty())
        out << "  --remove takes:     " << kinds << "\n";
      if (r.Normalised && r.Normalised->Any())
        out << "  written otherwise:  " << Normalised(*r.Normalised) << "\n";
      break;
    case TOutcome::NothingHidden:
      out << "  nothing is hidden:  no file would be written\n";
      if (const std::string kinds = Removable(i.Found, r.Removed); !kinds.empty())
        out << "  --remove takes:     " << kinds << "\n";
      if (r.Failure) out << "  not read to its end: " << Printable(r.Failure->Detail) << "\n";
      break;
    case TOutcome::NotFound: out << "  no such file\n"; break;
    case TOutcome::NotJww: out << "  not a .JWW file\n"; break;
    case TOutcome::Skipped: out << "  converted already:  " << Printable(PathToUtf8(r.Output)) << "\n"; break;
    case TOutcome::Unreadable:
    case TOutcome::Failed:
      out << (r.Outcome == TOutcome::Unreadable ? "  unreadable:         " : "  cannot be converted: ")
          << (r.Failure ? Printable(r.Failure->Detail) : std::string()) << "\n";
      break;
  }
  return out.str();
}

}  // namespace qm
