// What the main window's detail pane shows of the drawing selected in the
// list, made as texts (UTF-8) from its row: its title, its notes and its
// hidden groups and layers, a row of three cells each. Nothing here knows a
// window: the pane shows what it is handed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "filerows.h"
#include "preview.h"

namespace qm {

struct TPaneText {
  std::string Title;
  std::string Notes;  // lines separated by "\n"
  struct TLayerRow {
    std::string Label;     // "グループ 2", "レイヤ 0-4"
    std::string Name;      // printable, or "（名前なし）"
    std::string Elements;  // empty where the drawing was not read whole
    TLayerPick Pick;       // the group or layer, for its material to be shown
  };
  std::vector<TLayerRow> Layers;
  bool Picture = false;  // a drawing is shown: its picture belongs beside
};

// The pane of a listed drawing's row; of none, the hint.
TPaneText PaneText(const TRow* row);

// The group or layer of the pane's row at index of a listed drawing's row
// (none for an index out of the list's range).
std::optional<TLayerPick> PaneLayerPick(const TRow* row, int index);

// A hidden group or layer as the pane names it.
std::string LayerLabel(const THiddenLayer& layer);

}  // namespace qm
