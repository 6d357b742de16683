#include "pane.h"

#include "messages.h"
#include "textconv.h"

namespace qm {

std::string LayerLabel(const THiddenLayer& h) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  if (h.Layer < 0) return std::string(Msg::PaneGroup) + Hex[h.Group & 15];
  return std::string(Msg::PaneLayer) + Hex[h.Group & 15] + "-" + Hex[h.Layer & 15];
}

TPaneText PaneText(const TRow* row) {
  TPaneText pane;
  if (!row) {
    pane.Notes = Msg::PaneHint;
    return pane;
  }
  pane.Picture = true;
  pane.Title = CellText(*row, ColName);
  if (!row->Inspected) {
    pane.Notes = Msg::Inspecting;
    return pane;
  }
  const TFileResult& i = row->Inspection;
  if (i.Facts.Version > 0) pane.Notes = std::string(Msg::PaneVersion) + VersionText(i.Facts.Version) + std::string(Msg::Gap);
  if (i.Facts.Read == TRead::Whole) pane.Notes += std::string(Msg::PaneRemoves) + CellText(*row, ColRemoves);
  if (const std::string outcome = CellText(*row, ColOutcome); !outcome.empty()) pane.Notes += "\n" + outcome;
  for (const auto* list : {&i.Facts.HiddenGroups, &i.Facts.HiddenLayers})
    for (const THiddenLayer& h : *list)
      pane.Layers.push_back({LayerLabel(h), h.Name.empty() ? std::string(Msg::PaneNoName) : Printable(h.Name),
                             i.Facts.Read == TRead::Whole ? std::to_string(h.Elements) : std::string(),
                             TLayerPick{h.Group, h.Layer}});
  return pane;
}

std::optional<TLayerPick> PaneLayerPick(const TRow* row, int index) {
  const TPaneText pane = PaneText(row);
  if (index < 0 || static_cast<size_t>(index) >= pane.Layers.size()) return std::nullopt;
  return pane.Layers[static_cast<size_t>(index)].Pick;
}

}  // namespace qm
