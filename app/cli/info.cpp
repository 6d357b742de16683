#include "info.h"

#include <array>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "jwwmeaning.h"
#include "jwwunit.h"
#include "purge.h"
#include "report.h"
#include "textconv.h"

namespace qm {

namespace {

constexpr std::array<const char*, 8> KindNames = {"", "lines", "arcs", "points", "texts", "dimensions", "solids",
                                                  "block inserts"};
constexpr std::array<const char*, 8> KindKeys = {"", "lines", "arcs", "points", "texts", "dimensions", "solids",
                                                 "blockInserts"};

struct THiddenLayer {
  int Group = 0, Layer = -1;  // Layer -1 for a whole group
  std::string Name;
  int Elements = 0;
};

struct TInfo {
  std::string Path;
  bool Ok = false;
  std::string Error;
  int32_t Version = 0;
  bool Wide = false;  // strings in the archive's wide form
  std::array<int32_t, 8> Counts{};
  int32_t Total = 0;
  int32_t BlockDefs = 0, UsedBlockDefs = 0;
  std::vector<std::string> UnusedBlockNames;
  std::vector<TBindImageType> Images;
  std::vector<THiddenLayer> HiddenGroups, HiddenLayers;
  int32_t PurgeElements = 0, PurgeBlockDefs = 0, PurgeImages = 0;
  bool WouldConvert = false;
};

char Hex(int n) { return "0123456789ABCDEF"[n & 15]; }

TInfo Inspect(const std::filesystem::path& path) {
  TInfo info;
  info.Path = PathToUtf8(path);
  TJwwData doc;
  if (const TJwwStatus loaded = doc.LoadDocument(path); !loaded) {  // the images' bytes are not kept
    info.Error = loaded.Error.empty() ? info.Path + ": cannot be read" : loaded.Error;
    return info;
  }
  info.Ok = true;
  info.Version = doc.Header.Version;
  info.Wide = doc.WideStrings();
  for (int32_t k = KindSen; k <= KindBlock; ++k) info.Counts[static_cast<size_t>(k)] = doc.CountOf(k);
  info.Total = doc.TotalCount();
  info.BlockDefs = doc.BlockDefCount;
  info.UsedBlockDefs = doc.UsedBlockDefCount;
  for (const TEntJwwBlockDef& d : doc.BlockDefs)
    if (!d.Used) info.UnusedBlockNames.push_back(ToUtf8(d.Name));
  info.Images = doc.Images;

  // Elements per written layer, for the hidden ones.
  std::map<std::pair<int, int>, int> perLayer;
  std::array<int, 16> perGroup{};
  for (size_t i = 0; i < doc.OrderEntries(); ++i) {
    if (const TEntJwwEntityHeader* h = doc.HeaderOf(doc.EntityOrder[i].Kind, doc.EntityOrder[i].Index)) {
      const int g = JwwMeaning::LayerNumber(h->LayerGroup), l = JwwMeaning::LayerNumber(h->Layer);
      ++perLayer[{g, l}];
      ++perGroup[static_cast<size_t>(g)];
    }
  }
  for (int g = 0; g < 16; ++g) {
    const TEntJwwLayerGroup& group = doc.LayerGroups[static_cast<size_t>(g)];
    if (group.State == 0) info.HiddenGroups.push_back({g, -1, ToUtf8(group.Name), perGroup[static_cast<size_t>(g)]});
    for (int l = 0; l < 16; ++l) {
      const TEntJwwLayer& layer = doc.Layers[static_cast<size_t>(g * 16 + l)];
      if (layer.State == 0) info.HiddenLayers.push_back({g, l, ToUtf8(layer.Name), perLayer[{g, l}]});
    }
  }

  // What the purge would take away: run it on this copy.
  info.WouldConvert = HasHiddenLayer(doc);
  if (info.WouldConvert) {
    const TPurgeResult purge = PurgeHiddenMaterial(doc);
    info.PurgeElements = purge.RemovedElements;
    info.PurgeBlockDefs = purge.RemovedBlockDefs;
    info.PurgeImages = purge.RemovedImages;
  }
  return info;
}

std::string LayerLabel(const THiddenLayer& h) {
  std::string s = h.Layer < 0 ? std::string("group ") + Hex(h.Group)
                              : std::string("layer ") + Hex(h.Group) + "-" + Hex(h.Layer);
  s += h.Name.empty() ? " (no name)" : " \"" + Printable(h.Name) + "\"";
  return s;
}

void PrintText(const TInfo& i, std::ostream& out) {
  out << Printable(i.Path) << "\n";
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
  out << "  hidden groups:      " << i.HiddenGroups.size() << "\n";
  for (const THiddenLayer& h : i.HiddenGroups) out << "    " << LayerLabel(h) << ": " << h.Elements << " elements\n";
  out << "  hidden layers:      " << i.HiddenLayers.size() << "\n";
  for (const THiddenLayer& h : i.HiddenLayers) out << "    " << LayerLabel(h) << ": " << h.Elements << " elements\n";
  if (i.WouldConvert)
    out << "  a purge removes:    " << i.PurgeElements << " element(s), " << i.PurgeBlockDefs
        << " block definition(s), " << i.PurgeImages << " image(s)\n";
  else
    out << "  nothing is hidden:  no file would be written\n";
}

void PrintJson(const TInfo& i, std::ostream& out) {
  out << "{\"path\":" << JsonString(i.Path) << ",\"ok\":" << (i.Ok ? "true" : "false");
  if (!i.Ok) {
    out << ",\"error\":" << JsonString(i.Error) << "}";
    return;
  }
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
  out << ",\"purge\":{\"convert\":" << (i.WouldConvert ? "true" : "false") << ",\"elements\":" << i.PurgeElements
      << ",\"blockDefinitions\":" << i.PurgeBlockDefs << ",\"images\":" << i.PurgeImages << "}}";
}

}  // namespace

int RunInfo(const std::vector<std::filesystem::path>& files, bool json, bool sjis, const std::atomic<bool>& stop,
            std::ostream& out, std::ostream& err) {
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
    const TInfo info = Inspect(files[n]);
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
      PrintText(info, text);
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
