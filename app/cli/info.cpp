#include "info.h"

#include <array>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "jwwmeaning.h"
#include "jwwunit.h"
#include "inspect.h"
#include "report.h"
#include "textconv.h"

namespace qm {

namespace {

constexpr std::array<const char*, 8> KindNames = {"", "lines", "arcs", "points", "texts", "dimensions", "solids",
                                                  "block inserts"};
constexpr std::array<const char*, 8> KindKeys = {"", "lines", "arcs", "points", "texts", "dimensions", "solids",
                                                 "blockInserts"};

struct TInfo {
  std::string Path;
  bool Ok = false;
  std::string Error;
  TDrawingFacts Facts;
};

char Hex(int n) { return "0123456789ABCDEF"[n & 15]; }

TInfo Describe(const std::filesystem::path& path) {
  TInfo info;
  info.Path = PathToUtf8(path);
  TJwwData doc;
  if (const TJwwStatus loaded = doc.LoadDocument(path); !loaded) {  // the images' bytes are not kept
    info.Error = loaded.Detail.empty() ? info.Path + ": cannot be read" : loaded.Text();
    return info;
  }
  info.Ok = true;
  info.Facts = DescribeAndPurge(doc);  // what the purge would take away, on this copy
  return info;
}

std::string LayerLabel(const THiddenLayer& h) {
  std::string s = h.Layer < 0 ? std::string("group ") + Hex(h.Group)
                              : std::string("layer ") + Hex(h.Group) + "-" + Hex(h.Layer);
  s += h.Name.empty() ? " (no name)" : " \"" + Printable(h.Name) + "\"";
  return s;
}

// A hidden group or layer that neither holds an element nor has a name says
// nothing a user needs; the text leaves such ones out unless all are asked for.
bool Telling(const THiddenLayer& h) { return h.Elements > 0 || !h.Name.empty(); }

void PrintLayers(const char* title, const std::vector<THiddenLayer>& list, bool all, std::ostream& out) {
  out << title << list.size() << "\n";
  size_t left = 0;
  for (const THiddenLayer& h : list) {
    if (all || Telling(h))
      out << "    " << LayerLabel(h) << ": " << h.Elements << " elements\n";
    else
      ++left;
  }
  if (left) out << "    (" << left << " more without elements or names; --all shows them)\n";
}

void PrintText(const TInfo& info, bool all, std::ostream& out) {
  const TDrawingFacts& i = info.Facts;
  out << Printable(info.Path) << "\n";
  char version[32];
  std::snprintf(version, sizeof version, "%d (Ver.%d.%02d)", i.Version, i.Version / 100, i.Version % 100);
  out << "  version:            " << version << "\n";
  out << "  strings:            " << (i.Wide ? "UTF-16 (wide)" : "Shift-JIS") << "\n";
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
  for (const std::string& name : i.UnusedBlockNames) out << "    unused: \"" << Printable(name) << "\"\n";
  if (JwwLayout::HasImageTable(i.Version)) {
    out << "  images:             " << i.Images.size() << "\n";
    for (const TBindImageType& image : i.Images)
      out << "    " << Printable(ToUtf8(image.FileName)) << "  " << image.Size << " bytes\n";
  }
  PrintLayers("  hidden groups:      ", i.HiddenGroups, all, out);
  PrintLayers("  hidden layers:      ", i.HiddenLayers, all, out);
  if (i.HasHidden)
    out << "  a purge removes:    " << i.Removed.Elements << " element(s), " << i.Removed.BlockDefs
        << " block definition(s), " << i.Removed.Images << " image(s)\n";
  else
    out << "  nothing is hidden:  no file would be written\n";
}

void PrintJson(const TInfo& info, std::ostream& out) {
  out << "{\"path\":" << JsonString(info.Path) << ",\"ok\":" << (info.Ok ? "true" : "false");
  if (!info.Ok) {
    out << ",\"error\":" << JsonString(info.Error) << "}";
    return;
  }
  const TDrawingFacts& i = info.Facts;
  out << ",\"version\":" << i.Version << ",\"strings\":" << (i.Wide ? "\"utf16\"" : "\"sjis\"")
      << ",\"elements\":{\"total\":" << i.Total;
  for (size_t k = 1; k < 8; ++k) out << ",\"" << KindKeys[k] << "\":" << i.Counts[k];
  out << "},\"blockDefinitions\":{\"total\":" << i.BlockDefs << ",\"used\":" << i.UsedBlockDefs << ",\"unused\":[";
  for (size_t n = 0; n < i.UnusedBlockNames.size(); ++n) out << (n ? "," : "") << JsonString(i.UnusedBlockNames[n]);
  out << "]},\"images\":[";
  for (size_t n = 0; n < i.Images.size(); ++n)
    out << (n ? "," : "") << "{\"name\":" << JsonString(ToUtf8(i.Images[n].FileName))
        << ",\"size\":" << i.Images[n].Size << "}";
  auto layers = [&](const char* key, const std::vector<THiddenLayer>& list) {
    out << ",\"" << key << "\":[";
    for (size_t n = 0; n < list.size(); ++n) {
      out << (n ? "," : "") << "{\"group\":" << list[n].Group;
      if (list[n].Layer >= 0) out << ",\"layer\":" << list[n].Layer;
      out << ",\"name\":" << JsonString(list[n].Name) << ",\"elements\":" << list[n].Elements << "}";
    }
    out << "]";
  };
  out << "]";
  layers("hiddenGroups", i.HiddenGroups);
  layers("hiddenLayers", i.HiddenLayers);
  out << ",\"purge\":{\"convert\":" << (i.HasHidden ? "true" : "false") << ",\"elements\":" << i.Removed.Elements
      << ",\"blockDefinitions\":" << i.Removed.BlockDefs << ",\"images\":" << i.Removed.Images << "}}";
}

}  // namespace

int RunInfo(const std::vector<std::filesystem::path>& files, bool json, bool sjis, bool all,
            const std::atomic<bool>& stop, std::ostream& out, std::ostream& err) {
  int status = 0;
  std::string problem;
  auto write = [&](const std::string& text) {
    return WriteReport(out, sjis && !json ? Utf8ToSjis(text) : text, problem);
  };
  bool written = !json || write("[");
  for (size_t n = 0; written && n < files.size(); ++n) {
    if (stop) {
      status = 130;
      err << "quillmark: interrupted; " << n << " of " << files.size() << " files were shown\n";
      break;
    }
    const TInfo info = Describe(files[n]);
    if (!info.Ok) {
      status = 1;
      err << "quillmark: " << Printable(info.Error) << "\n";
    }
    std::ostringstream text;
    if (json) {
      text << (n ? ",\n" : "\n");
      PrintJson(info, text);
    } else if (info.Ok) {
      if (n) text << "\n";
      PrintText(info, all, text);
    }
    written = write(text.str());
  }
  if (written && json) written = write("\n]\n");
  if (!written) {
    err << "quillmark: " << problem << "\n";
    return 1;
  }
  return status;
}

}  // namespace qm
