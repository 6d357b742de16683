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

class TFakeStatus : public qm::IStatusBar {
 public:
  std::vector<std::string> Texts;
  void SetSimpleText(const std::string& text) override { Texts.push_back(text); }
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

// Bounds kept in memory.
class TFakeBounds : public qm::IWindowBounds {
 public:
  TFakeBounds(int left, int top, int width, int height) : L_(left), T_(top), W_(width), H_(height) {}
  int Left() const override { return L_; }
  int Top() const override { return T_; }
  int Width() const override { return W_; }
  int Height() const override { return H_; }
  void SetLeft(int v) override { L_ = v; }
  void SetTop(int v) override { T_ = v; }
  void SetWidth(int v) override { W_ = v; }
  void SetHeight(int v) override { H_ = v; }

 private:
  int L_, T_, W_, H_;
};

// The list model of a TForm1, as the tests look at it and set it up.
class TListRig {
 public:
  explicit TListRig(qm::TFileList& list) : L_(list) {
    L_.Changed = [this](qm::TFileList::TChange change) {
      if (change == qm::TFileList::TChange::Rows) ++Repaints_;
    };
  }
  std::vector<fs::path> Items() const {
    std::vector<fs::path> items;
    for (int i = 0; i < L_.Count(); ++i) items.push_back(L_.Item(i));
    return items;
  }
  int Count() const { return L_.Count(); }
  // The items as given, without the rules of what may be listed.
  void Set(const std::vector<fs::path>& items) { L_.Assign(items); }
  void Clear() { L_.Clear(); }
  void Select(const std::vector<bool>& selected) {
    for (size_t i = 0; i < selected.size(); ++i) L_.SetSelected(static_cast<int>(i), selected[i]);
  }
  void Select(int index, bool on) { L_.SetSelected(index, on); }
  void SelectAll(bool on) { L_.SetAllSelected(on); }
  std::vector<int> SelectedIndices() const { return L_.SelectedIndices(); }
  int Index() const { return L_.ItemIndex(); }
  void SetIndex(int index) { L_.SetItemIndex(index); }
  int ListWidth() const { return L_.Width(); }
  void SetListWidth(int width) { L_.SetWidth(width); }
  // Removes one item, as a user's Delete of it alone would.
  void Delete(int index) {
    L_.SetAllSelected(false);
    L_.SetSelected(index, true);
    L_.SetItemIndex(index);
    L_.RemoveSelected();
  }
  int Repaints() const { return Repaints_; }

 private:
  qm::TFileList& L_;
  int Repaints_ = 0;
};

// A batch's steps as the window is told them, one text each: "start N",
// "file K NAME", "done K OUTCOME", "end" or "end interrupted".
struct TFakeObserver {
  std::vector<std::string> Events;
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

// How often the window was told a file started or finished (where a window
// lets itself paint).
struct TFakeApp {
  int Calls = 0;
};

// What the window looked like each time it was let to process its messages.
struct TSnapshot {
  std::vector<int> Selected;
  std::string Status;
  size_t WorkFiles = 0;  // entries in the run's work folder (its marker aside)
  size_t Events = 0;     // observer calls made so far
};

struct TRig {
  TFakeStatus Status;
  TFakeApp App;
  TFakeView View;
  TFakeObserver Observer;
  TFakeBounds MainBounds{qm::TForm1::DesignLeft, qm::TForm1::DesignTop, qm::TForm1::DesignWidth,
                         qm::TForm1::DesignHeight};
  TFakeBounds ResultBounds{qm::TForm2::DesignLeft, qm::TForm2::DesignTop, qm::TForm2::DesignWidth,
                           qm::TForm2::DesignHeight};
  qm::TForm2 Form2{View, ResultBounds};
  qm::TForm1 Form1{Status, MainBounds, Form2};
  TListRig List{Form1.ListBox1()};
  std::vector<TSnapshot> Snapshots;
  // Runs after the snapshot of each file started and finished (call counts
  // from 0); false asks the batch to stop.
  std::function<bool(int call)> Extra;

  size_t EventsAtShow = 0;  // batch steps told when the report was shown

  TRig() {
    View.OnShow = [this] { EventsAtShow = Observer.Events.size(); };
    Form1.OnBatch = [this](qm::TBatchStep step, int index, const qm::TFileResult* result) {
      switch (step) {
        case qm::TBatchStep::Started:
          Observer.Events.push_back("start " + std::to_string(Form1.Progress().Total));
          return;
        case qm::TBatchStep::Finished:
          Observer.Events.push_back(Form1.Progress().Interrupted ? "end interrupted" : "end");
          return;
        case qm::TBatchStep::FileStarted:
          Observer.Events.push_back("file " + std::to_string(index) + " " + Form1.Progress().LastStartedName.string());
          break;
        case qm::TBatchStep::FileFinished:
          Observer.Events.push_back("done " + std::to_string(index) + " " + TFakeObserver::Name(result->Outcome));
          // Every drawing converted by any test passes the visual proof.
          if (result->Outcome == qm::TOutcome::Converted || result->Outcome == qm::TOutcome::WouldConvert) {
            EXPECT_EQ(result->VisibleUnchanged, std::optional<bool>(true)) << result->Source;
          }
          break;
      }
      const int call = App.Calls++;
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
      if (Extra && !Extra(call)) Form1.StopBatch();
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
