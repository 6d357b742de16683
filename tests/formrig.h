// Recording stand-ins for the main window's controls, a TForm1/TForm2 pair
// wired to them, and the report texts as Shift-JIS bytes written out by hand.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Unit1.h"
#include "Unit2.h"
#include "controls.h"
#include "testutil.h"
#include "textconv.h"

namespace rig {

namespace fs = std::filesystem;

class TFakeList : public qm::IListBox {
 public:
  std::vector<fs::path> Items;
  std::vector<bool> Sel;
  int Index = -1;
  int ListWidth = qm::TForm1::DesignListWidth;

  int Count() const override { return static_cast<int>(Items.size()); }
  fs::path Item(int i) const override { return Items.at(static_cast<size_t>(i)); }
  void Add(const fs::path& item) override {
    Items.push_back(item);
    Sel.push_back(false);
  }
  void Delete(int i) override {
    Items.erase(Items.begin() + i);
    Sel.erase(Sel.begin() + i);
    if (Index >= Count()) Index = Count() - 1;
  }
  void Clear() override {
    Items.clear();
    Sel.clear();
    Index = -1;
  }
  bool Selected(int i) const override { return Sel.at(static_cast<size_t>(i)); }
  void SetSelected(int i, bool on) override {
    if (i < 0 || i >= Count()) {
      ADD_FAILURE() << "SetSelected(" << i << ") on a list of " << Count();
      return;
    }
    Sel[static_cast<size_t>(i)] = on;
  }
  void ClearSelection() override { Sel.assign(Sel.size(), false); }
  int ItemIndex() const override { return Index; }
  int Width() const override { return ListWidth; }
  void SetWidth(int w) override { ListWidth = w; }
  void Sort(const TLess& less) override { qm::TPlainListBox::SortItems(Items, Sel, Index, less); }
  void RowsChanged() override { ++Repaints; }
  int Repaints = 0;

  void Set(const std::vector<fs::path>& items) {
    Clear();
    for (const auto& p : items) Add(p);
  }
  std::vector<int> SelectedIndices() const {
    std::vector<int> out;
    for (int i = 0; i < Count(); ++i)
      if (Sel[static_cast<size_t>(i)]) out.push_back(i);
    return out;
  }
};

class TFakeStatus : public qm::IStatusBar {
 public:
  std::vector<std::string> Texts;
  void SetSimpleText(const std::string& text) override { Texts.push_back(text); }
};

class TFakeApp : public qm::IApplication {
 public:
  int Calls = 0;
  std::function<bool(int call)> Hook;  // call counts from 0
  bool ProcessMessages() override {
    const int call = Calls++;
    return Hook ? Hook(call) : true;
  }
};

class TFakeView : public qm::IResultView {
 public:
  int Shown = 0;
  std::function<void()> OnShow;
  void ShowModal(const qm::TForm2&) override {
    ++Shown;
    if (OnShow) OnShow();
  }
};

// The batch observer's calls, one text each: "start N", "file K NAME",
// "done K OUTCOME", "end" or "end interrupted".
class TFakeObserver : public qm::IBatchObserver {
 public:
  std::vector<std::string> Events;
  void BatchStarted(int count) override { Events.push_back("start " + std::to_string(count)); }
  void FileStarted(int index, const fs::path& name) override {
    Events.push_back("file " + std::to_string(index) + " " + name.string());
  }
  void FileFinished(int index, const qm::TFileResult& result) override {
    Events.push_back("done " + std::to_string(index) + " " + Name(result.Outcome));
    // Every drawing converted by any test passes the visual proof.
    if (result.Outcome == qm::TOutcome::Converted || result.Outcome == qm::TOutcome::WouldConvert) {
      EXPECT_EQ(result.VisibleUnchanged, std::optional<bool>(true)) << result.Source;
    }
  }
  void BatchFinished(bool interrupted) override { Events.push_back(interrupted ? "end interrupted" : "end"); }
  static std::string Name(qm::TOutcome outcome) {
    switch (outcome) {
      case qm::TOutcome::Converted: return "converted";
      case qm::TOutcome::NothingHidden: return "nothing-hidden";
      case qm::TOutcome::NotFound: return "not-found";
      case qm::TOutcome::NotJww: return "not-jww";
      case qm::TOutcome::Unreadable: return "unreadable";
      case qm::TOutcome::Failed: return "failed";
      case qm::TOutcome::WouldConvert: return "would-convert";
      case qm::TOutcome::Skipped: return "skipped";
    }
    return "?";
  }
};

// What the window looked like each time it was let to process its messages.
struct TSnapshot {
  std::vector<int> Selected;
  std::string Status;
  size_t WorkFiles = 0;  // entries in the run's work folder (its marker aside)
  size_t Events = 0;     // observer calls made so far
};

struct TRig {
  TFakeList List;
  TFakeStatus Status;
  TFakeApp App;
  TFakeView View;
  TFakeObserver Observer;
  qm::TPlainBounds MainBounds{qm::TForm1::DesignLeft, qm::TForm1::DesignTop, qm::TForm1::DesignWidth,
                              qm::TForm1::DesignHeight};
  qm::TPlainBounds ResultBounds{qm::TForm2::DesignLeft, qm::TForm2::DesignTop, qm::TForm2::DesignWidth,
                                qm::TForm2::DesignHeight};
  qm::TForm2 Form2{View, ResultBounds};
  qm::TForm1 Form1{List, Status, App, MainBounds, Form2, Observer};
  std::vector<TSnapshot> Snapshots;
  std::function<bool(int call)> Extra;  // runs after the snapshot

  size_t EventsAtShow = 0;  // observer calls made when the report was shown

  TRig() {
    View.OnShow = [this] { EventsAtShow = Observer.Events.size(); };
    App.Hook = [this](int call) {
      TSnapshot s;
      s.Selected = List.SelectedIndices();
      s.Status = Status.Texts.empty() ? std::string() : Status.Texts.back();
      s.Events = Observer.Events.size();
      std::error_code ec;
      const fs::path run = Form1.RunFolder();
      if (!run.empty())
        for (auto it = fs::recursive_directory_iterator(run, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
          if (it->path().filename() != qm::WorkFolderMarker) ++s.WorkFiles;
      Snapshots.push_back(s);
      return Extra ? Extra(call) : true;
    };
  }
  // The report as Shift-JIS bytes.
  std::vector<std::string> Report() const {
    std::vector<std::string> out;
    for (const std::string& line : Form2.Lines()) out.push_back(qm::Utf8ToSjis(line));
    return out;
  }
};

// Bytes from hand-written hex.
inline std::string B(std::string_view hex) {
  const auto v = testutil::Hex(hex);
  return std::string(v.begin(), v.end());
}

// The report texts in Shift-JIS.
const std::string kOpen = B("81 79"), kClose = B("81 7A");
const std::string kNotFound =  // 　指定したファイルは存在しませんので
    B("81 40 8E 77 92 E8 82 B5 82 BD 83 74 83 40 83 43 83 8B 82 CD 91 B6 8D DD 82 B5 82 DC 82 B9 82 F1 82 CC 82 C5");
const std::string kNotJww =  // 　JWW形式ファイルではありませんので
    B("81 40 4A 57 57 8C 60 8E AE 83 74 83 40 83 43 83 8B 82 C5 82 CD 82 A0 82 E8 82 DC 82 B9 82 F1 82 CC 82 C5");
const std::string kUnreadable =  // 　読み込めないファイルですので
    B("81 40 93 C7 82 DD 8D 9E 82 DF 82 C8 82 A2 83 74 83 40 83 43 83 8B 82 C5 82 B7 82 CC 82 C5");
const std::string kNothingHidden =  // 　非表示レイヤはありませんので
    B("81 40 94 F1 95 5C 8E A6 83 8C 83 43 83 84 82 CD 82 A0 82 E8 82 DC 82 B9 82 F1 82 CC 82 C5");
const std::string kSkipped = B("81 40 95 CF 8A B7 82 F0 83 70 83 58 82 B5 82 DC 82 B7 81 42");  // 　変換をパスします。
const std::string kTo = B("81 40 81 A8 20");                                                   // 　→
const std::string kDone = B("81 40 95 CF 8A B7 82 F0 8D 73 82 A2 82 DC 82 B5 82 BD 81 42");     // 　変換を行いました。
const std::string kFailedTo = B("81 40 81 63 81 63 81 A8 20");                                   // 　……→
const std::string kFailed =  // 　変換出来ませんでした。
    B("81 40 95 CF 8A B7 8F 6F 97 88 82 DC 82 B9 82 F1 82 C5 82 B5 82 BD 81 42");

inline std::string FileLine(const fs::path& p) { return kOpen + p.string() + kClose; }
inline std::vector<std::string> Converted(const fs::path& src, const fs::path& out) {
  return {FileLine(src), kTo + out.string(), kDone};
}
inline std::vector<std::string> Skipped(const fs::path& src, const std::string& why) {
  return {FileLine(src), why, kSkipped};
}

// Status texts (UTF-8).
inline std::string Progress(const fs::path& p) { return "ファイル【" + p.string() + "】変換中"; }
const std::string kIdle = "[追加]又はドラッグ＆ドロップで JWWファイルを指示し、[変換]をクリックして下さい";

}  // namespace rig
