// Quillmark.exe's windows, built by the same code, driven in-process through
// their handles with real messages: a shell drop, the report list with each
// drawing's inspection and outcome, the detail pane, the buttons, keys and
// access keys, the batch on its own thread with Stop, Esc and a close that
// asks, the modal report with its reasons, totals and actions, the command
// line and a second start, the settings beside the executable (or in the
// user's folder) and what a restart makes of them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app_win.h"
#include "drawings.h"
#include "jwwunit.h"
#include "textconv.h"
#include "texts_win.h"
#include "version.h"
#include "wintext_win.h"

// Rectangles compare and print in the assertions (RECT lives in the global
// namespace, where the assertions look for these).
static bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& os, const RECT& r) {
  return os << "{" << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top << "}";
}

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace qm::win;
using draw::HiddenGroupDrawing;

// A fresh folder under the temporary folder, removed with its content.
class TTempFolder {
 public:
  TTempFolder() {
    static int serial = 0;
    const fs::path base = fs::temp_directory_path();
    do {
      Path_ = base / ("qm-window-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    } while (!fs::create_directory(Path_));
  }
  ~TTempFolder() {
    std::error_code ec;
    fs::remove_all(Path_, ec);
  }
  const fs::path& Path() const { return Path_; }
  fs::path operator/(const std::wstring& name) const { return Path_ / name; }

 private:
  fs::path Path_;
};

void Put(const fs::path& path, const jwwtest::Drawing& drawing) { jwwtest::WriteFile(path, jwwtest::Build(drawing)); }

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Handles the messages pending now, as the program's own loop would.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchUiMessage(msg);
}

// A shell drop of these files, as Explorer hands it over (wide names).
HDROP MakeDrop(const std::vector<fs::path>& files) {
  std::wstring names;
  for (const fs::path& f : files) {
    names += f.native();
    names += L'\0';
  }
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// In simple mode the bar answers for its simple text.
std::wstring StatusText(HWND bar) {
  const auto n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0));
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
  text.resize(n);
  return text;
}

// The text of a report list's cell (asked of the list, which asks its window).
std::wstring CellOf(HWND list, int row, int column) {
  std::wstring text(1024, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  text.resize(static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item))));
  return text;
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// The paths the list shows: its folder and name columns.
std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  for (int i = 0, n = RowCount(list); i < n; ++i) items.push_back(CellOf(list, i, 1) + L"\\" + CellOf(list, i, 0));
  return items;
}

void SelectRow(HWND list, int row, bool on = true) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = on ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  for (int i = -1; (i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;)
    rows.push_back(i);
  return rows;
}

// Lines of a control's text (UTF-8), whatever line breaks it keeps.
std::vector<std::string> Lines(std::wstring text) {
  std::vector<std::string> lines;
  std::wstring line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.push_back(Narrow(line));
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(Narrow(line));
  return lines;
}

RECT ScreenRect(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  return rc;
}

// A control's place in its parent's client area.
RECT PlaceInParent(HWND hwnd) {
  RECT rc = ScreenRect(hwnd);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// Presses a key in the focused control of the active window, as a keyboard would.
void PostKey(HWND target, WPARAM key, bool alt = false) {
  if (alt) {
    PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, 0x20380001);
    PostMessageW(target, WM_SYSCHAR, key, 0x20000001);
    PostMessageW(target, WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0380001u));
  } else {
    PostMessageW(target, WM_KEYDOWN, key, 0x00000001);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
}

// Calls back on the window's thread, from whatever message loop runs then
// (the batch's, the modal report's), until the callback returns true.
class TWatcher {
 public:
  explicit TWatcher(std::function<bool()> step) : Step_(std::move(step)) {
    Timer_ = SetTimer(nullptr, 0, 10, Tick);
    Active()[Timer_] = this;
  }
  ~TWatcher() { Stop(); }
  TWatcher(const TWatcher&) = delete;
  TWatcher& operator=(const TWatcher&) = delete;

 private:
  // Several watch at once, each on its own timer.
  static std::map<UINT_PTR, TWatcher*>& Active() {
    static std::map<UINT_PTR, TWatcher*> active;
    return active;
  }
  void Stop() {
    if (!Timer_) return;
    KillTimer(nullptr, Timer_);
    Active().erase(Timer_);
    Timer_ = 0;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    const auto it = Active().find(timer);
    if (it != Active().end() && it->second->Step_()) it->second->Stop();
  }
  std::function<bool()> Step_;
  UINT_PTR Timer_ = 0;
};

// What the result window showed while it was modal.
struct TReportSeen {
  bool Shown = false;
  bool OwnerEnabled = true;
  std::wstring Caption, Button;
  std::vector<std::string> Lines;
};

// Waits for the modal report, reads it and closes it with the given key.
std::unique_ptr<TWatcher> WatchReport(TQuillmark& app, WPARAM key, TReportSeen& seen) {
  return std::make_unique<TWatcher>([&app, key, &seen] {
    HWND form2 = app.ResultWindow().Hwnd();
    if (!app.ResultWindow().Modal() || !IsWindowVisible(form2)) return false;
    seen.Shown = true;
    seen.OwnerEnabled = IsWindowEnabled(app.MainWindow().Hwnd()) != 0;
    seen.Caption = WindowText(form2);
    seen.Button = WindowText(GetDlgItem(form2, IdForm2Button2));
    seen.Lines = Lines(WindowText(GetDlgItem(form2, IdRE1)));
    HWND focus = GetFocus();
    PostKey(focus ? focus : GetDlgItem(form2, IdRE1), key);
    return true;
  });
}

// A posted message that is handled by the next message loop to run, in order
// with the messages posted before and after it.
class TProbe {
 public:
  explicit TProbe(std::function<void()> what) : What_(std::move(what)) {
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"QuillmarkTestProbe";
      return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    Hwnd_ = CreateWindowExW(0, L"QuillmarkTestProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(Hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TProbe() { DestroyWindow(Hwnd_); }
  TProbe(const TProbe&) = delete;
  TProbe& operator=(const TProbe&) = delete;
  void Post() { PostMessageW(Hwnd_, WM_APP, 0, 0); }
  int Runs = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
      auto* self = reinterpret_cast<TProbe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      ++self->Runs;
      self->What_();
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  std::function<void()> What_;
  HWND Hwnd_ = nullptr;
};

// The message box a window owns that is shown now, and its text.
HWND ShownMessageBox(HWND owner) {
  struct TFind {
    HWND Owner, Found = nullptr;
  } find{owner};
  EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL {
    auto* f = reinterpret_cast<TFind*>(p);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (GetWindow(w, GW_OWNER) == f->Owner && IsWindowVisible(w) && std::wstring(cls) == L"#32770") f->Found = w;
    return f->Found == nullptr;
  }, reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

std::wstring StaticTexts(HWND dialog) {
  std::wstring all;
  EnumChildWindows(dialog, [](HWND w, LPARAM p) -> BOOL {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (std::wstring(cls) == L"Static") *reinterpret_cast<std::wstring*>(p) += WindowText(w);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&all));
  return all;
}

// Convert's question about drawings converted already.
bool IsAgainQuestion(HWND box) { return StaticTexts(box).find(L"前回の出力があります") != std::wstring::npos; }

class WindowTest : public ::testing::Test {
 protected:
  TTempFolder Program, Data, AppData;
  fs::path Exe = Program / L"Quillmark.exe";
  fs::path Dat = Program / L"Quillmark.dat";
  std::unique_ptr<TQuillmark> App;
  std::unique_ptr<TWatcher> Watcher, Again;

  void TearDown() override {
    if (App && IsWindow(Main())) Close();
  }
  // The next time the report is shown modally: read it, then press key.
  void CloseReportWith(WPARAM key, TReportSeen& seen) { Watcher = WatchReport(*App, key, seen); }

  // How Convert's question about drawings converted already is answered
  // while the window runs (IDYES: convert them again); 0: the test answers.
  WPARAM AgainAnswer = IDYES;

  void Start(const std::vector<fs::path>& paths = {}, const fs::path& exe = {}) {
    App = std::make_unique<TQuillmark>();
    App->MainWindow().AppDataFolder = AppData.Path();  // never the prefix's own
    ASSERT_TRUE(App->Start(exe.empty() ? Exe : exe, SW_SHOWNORMAL, paths));
    Again = std::make_unique<TWatcher>([this] {
      HWND box = AgainAnswer && App ? ShownMessageBox(Main()) : nullptr;
      if (box && IsAgainQuestion(box)) PostMessageW(box, WM_COMMAND, AgainAnswer, 0);
      return false;  // watches as long as the window runs
    });
    Pump();
  }
  // Closes the main window as its close box does and lets it go.
  void Close() {
    PostMessageW(Main(), WM_CLOSE, 0, 0);
    PumpUntilClosed();
  }
  void PumpUntilClosed() {
    MSG msg;
    while (IsWindow(Main()) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchUiMessage(msg);
    Watcher.reset();
    Again.reset();
    App.reset();
    Pump();  // the loop's WM_QUIT
  }
  // Handles messages until every listed drawing is inspected.
  void PumpUntilInspected() {
    MSG msg;
    while (App->Form1().Uninspected() > 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchUiMessage(msg);
    Pump();
  }
  HWND Main() const { return App->MainWindow().Hwnd(); }
  HWND Form2() const { return App->ResultWindow().Hwnd(); }
  HWND Control(int id) const { return GetDlgItem(Main(), id); }
  HWND List() const { return Control(IdListBox1); }
  void Click(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  // Empties the list and lists new drawings in place of files, named with
  // prefix before their names.
  void ListAfresh(std::vector<fs::path>& files, const std::wstring& prefix) {
    for (int k = RowCount(List()) - 1; k >= 0; --k) SelectRow(List(), k);
    Click(IdButton2);
    for (fs::path& file : files) {
      file.replace_filename(prefix + file.filename().wstring());
      Put(file, HiddenGroupDrawing(600));
    }
    Drop(files);
    Pump();
  }
  void Drop(const std::vector<fs::path>& files) {
    PostMessageW(Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(files)), 0);
  }
  std::vector<fs::path> Items() const {
    std::vector<fs::path> out;
    for (const std::wstring& item : ListItems(List())) out.emplace_back(item);
    return out;
  }
  std::string Cell(int row, int column) const { return Narrow(CellOf(List(), row, column)); }
  // The row's version, hidden groups / layers, what a purge removes and outcome.
  std::vector<std::string> Row(int row) const {
    return {Cell(row, qm::ColVersion), Cell(row, qm::ColHidden), Cell(row, qm::ColRemoves), Cell(row, qm::ColOutcome)};
  }
  // The client rectangle of the main window.
  RECT Client() const {
    RECT rc{};
    GetClientRect(Main(), &rc);
    return rc;
  }
  // True when each of Panel4's buttons lies whole inside the client area.
  bool ButtonsVisible() const {
    const RECT client = Client();
    for (int id : {IdButton1, IdButton2, IdButton3, IdButton4}) {
      const RECT b = PlaceInParent(Control(id));
      if (b.left < 0 || b.right > client.right || b.bottom > client.bottom || !IsWindowVisible(Control(id)))
        return false;
    }
    return true;
  }
};

const std::string kIdle = "[追加]又はドラッグ＆ドロップで JWWファイルを指示し、[変換]をクリックして下さい";

std::string U8(const fs::path& p) { return Narrow(p.native()); }

std::wstring HeaderTitle(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  wchar_t text[128] = {};
  HDITEMW item{};
  item.mask = HDI_TEXT;
  item.pszText = text;
  item.cchTextMax = 128;
  SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
  return text;
}

// ---------------------------------------------------------------------------

// A first start (no settings file yet) opens the windows at two thirds and
// three fifths of the work area, centred; what it writes on closing is what
// was shown.
TEST_F(WindowTest, AFirstStartFitsItsScreen) {
  Start();
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(Main(), MONITOR_DEFAULTTOPRIMARY), &mi);
  const RECT work = mi.rcWork;
  const int w = work.right - work.left, h = work.bottom - work.top;
  for (const auto& [window, share] : {std::pair{Main(), 2.0 / 3}, std::pair{Form2(), 0.6}}) {
    const int width = static_cast<int>(w * share), height = static_cast<int>(h * share);
    const RECT expected{work.left + (w - width) / 2, work.top + (h - height) / 2, 0, 0};
    EXPECT_EQ(ScreenRect(window), (RECT{expected.left, expected.top, expected.left + width, expected.top + height}));
  }
  const RECT shown = ScreenRect(Main());
  Close();
  const std::string dat = ReadBytes(Dat);
  EXPECT_TRUE(dat.starts_with(std::to_string(shown.left) + "\r\n" + std::to_string(shown.top) + "\r\n" +
                              std::to_string(shown.right - shown.left) + "\r\n"))
      << dat;
  Start();  // a settings file now: the window is where it was left
  EXPECT_EQ(ScreenRect(Main()), shown);
  Close();
}

TEST_F(WindowTest, ControlsCaptionsFontAndTabOrder) {
  // The designed geometry, as a settings file of the designed window gives it.
  std::ofstream(Dat, std::ios::binary) << "192\r\n107\r\n478\r\n264\r\n176\r\n222\r\n129\r\n456\r\n293\r\n";
  Start();
  EXPECT_EQ(WindowText(Main()), L"Quillmark");
  EXPECT_EQ(WindowText(Form2()), L"変換結果");
  EXPECT_FALSE(IsWindowVisible(Form2()));
  EXPECT_EQ(ScreenRect(Main()), (RECT{192, 107, 192 + 478, 107 + 264}));
  EXPECT_EQ(ScreenRect(Form2()), (RECT{222, 129, 222 + 456, 129 + 293}));

  EXPECT_EQ(WindowText(Control(IdLabel1)), L"変換するJWWファイル名");
  const std::vector<std::pair<int, std::wstring>> buttons = {
      {IdButton1, L"追加(&A)"}, {IdButton2, L"削除(&D)"}, {IdButton3, L"変換(&T)"}, {IdButton4, L"終了(&X)"}};
  const int tops[] = {8, 40, 96, 144};
  for (size_t i = 0; i < buttons.size(); ++i) {
    HWND b = Control(buttons[i].first);
    EXPECT_EQ(WindowText(b), buttons[i].second);
    // Panel4 starts after the list (176) and the splitter (6), below Panel3 (20).
    EXPECT_EQ(PlaceInParent(b), (RECT{182 + 8, 20 + tops[i], 182 + 8 + 75, 20 + tops[i] + 25})) << i;
  }
  const RECT client = Client();
  EXPECT_EQ(PlaceInParent(List()), (RECT{0, 20, 176, client.bottom - 19}));
  EXPECT_EQ(PlaceInParent(Control(IdSplitter1)), (RECT{176, 20, 182, client.bottom - 19}));
  EXPECT_EQ(PlaceInParent(Control(IdStatusBar1)), (RECT{0, client.bottom - 19, client.right, client.bottom}));
  // The pane takes the rest of Panel1, right of Panel4.
  const RECT layers = PlaceInParent(Control(IdLayers)), preview = PlaceInParent(Control(IdPreview));
  EXPECT_EQ(preview.left, 182 + 88 + 4);
  EXPECT_EQ(preview.right, client.right - 4);
  EXPECT_GT(layers.top, preview.bottom);
  EXPECT_EQ(layers.bottom, client.bottom - 19 - 4);
  EXPECT_EQ(WindowText(Control(IdAddFolder)), L"フォルダ追加(&F)...");
  EXPECT_EQ(WindowText(Control(IdHelp)), L"使い方(&H)");
  EXPECT_EQ(PlaceInParent(Control(IdHelp)).right, client.right - 4);
  EXPECT_LE(PlaceInParent(Control(IdLabel1)).right, PlaceInParent(Control(IdAddFolder)).left);
  EXPECT_FALSE(IsWindowVisible(Control(IdStop)));

  // The report list: many rows may be selected, one column a thing it shows.
  const LONG style = GetWindowLongW(List(), GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_FALSE(style & LVS_SINGLESEL);
  const std::vector<std::wstring> titles = {L"ファイル名", L"フォルダ", L"バージョン", L"非表示 グループ/レイヤ",
                                            L"削除するもの", L"ほかの隠れた情報", L"結果"};
  for (int c = 0; c < 7; ++c) EXPECT_EQ(HeaderTitle(List(), c), titles[static_cast<size_t>(c)]) << c;
  EXPECT_EQ(Narrow(StatusText(Control(IdStatusBar1))), kIdle);

  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(List(), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -13);
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_STREQ(lf.lfFaceName, L"ＭＳ ゴシック");  // mapped to a Japanese font in the test prefix

  // Tab follows the layout: the top strip, the list, the buttons, the pane,
  // and round again.
  const int order[] = {IdAddFolder,      IdHelp,           IdListBox1,       IdButton1,
                       IdButton2,        IdButton3,        IdButton4,        IdOutput,
                       IdRemoveMemo,     IdRemoveOffSheet, IdRemoveTemporaryPoints,
                       IdRemoveAuxiliary, IdPreview,       IdLayers,         IdAddFolder};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_EQ(GetNextDlgTabItem(Main(), Control(order[i]), FALSE), Control(order[i + 1])) << i;
  EXPECT_EQ(WindowText(GetDlgItem(Form2(), IdForm2Button2)), L"閉じる(&C)");
  EXPECT_EQ(GetNextDlgTabItem(Form2(), GetDlgItem(Form2(), IdRE1), FALSE), GetDlgItem(Form2(), IdForm2Button2));

  // The usage notes, behind 使い方(&H): every line whole without scrolling
  // sideways; Tab leaves them, Esc closes their window.
  SetFocus(List());
  PostKey(List(), 'h', true);
  Pump();
  HWND notes = App->MainWindow().Notes().Hwnd();
  ASSERT_TRUE(IsWindowVisible(notes));
  EXPECT_EQ(WindowText(notes), L"使い方");
  HWND memo = GetDlgItem(notes, IdMemo1);
  EXPECT_EQ(GetFocus(), memo);
  const std::vector<std::string> lines = Lines(WindowText(memo));
  // Memo1's 38 lines as they stand, then what the window shows besides,
  // the program's version and licence.
  const size_t more = std::size(qm::win::Text::MoreNotes);
  ASSERT_EQ(lines.size(), 38 + 1 + more + 3);
  EXPECT_EQ(lines[38], "");
  EXPECT_EQ(lines[39], "【一覧の列】");
  EXPECT_EQ(lines[39 + more], "");
  EXPECT_EQ(lines[40 + more], std::string("Quillmark バージョン ") + QM_VERSION_STRING);
  EXPECT_EQ(lines[41 + more], "MIT ライセンス（LICENSE.txt）");
  EXPECT_EQ(lines[0], "・指定したJWW形式ファイル内の");
  EXPECT_EQ(lines[12], "\u3000");
  EXPECT_EQ(lines[22], "\u3000\u3000Ver.2.20\uFF5E7.00");
  EXPECT_EQ(lines[29], "\u3000ファイルは作成しません。\u3000");
  EXPECT_EQ(lines[33], "\u3000");
  EXPECT_EQ(lines[37], "\u3000行って下さい。");
  const LONG memoStyle = GetWindowLongW(memo, GWL_STYLE);
  EXPECT_TRUE((memoStyle & WS_HSCROLL) && (memoStyle & WS_VSCROLL) && (memoStyle & ES_AUTOHSCROLL));  // no wrap
  RECT shown{};
  SendMessageW(memo, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
  HDC dc = GetDC(memo);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(memo, WM_GETFONT, 0, 0)));
  for (const std::string& line : lines) {
    const std::wstring wide = Widen(line);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    EXPECT_LE(size.cx, shown.right - shown.left) << line;
  }
  SelectObject(dc, old);
  ReleaseDC(memo, dc);
  PostKey(memo, VK_TAB);
  Pump();
  EXPECT_EQ(GetFocus(), GetDlgItem(notes, IdHelpClose));
  PostKey(GetFocus(), VK_ESCAPE);
  Pump();
  EXPECT_FALSE(IsWindowVisible(notes));
  SetFocus(List());
  PostKey(List(), VK_F1);  // F1 shows them too
  Pump();
  EXPECT_TRUE(IsWindowVisible(notes));
  Close();
}

// A drawing's row shows what inspection found before Convert and what became
// of it after; the pane shows the selected drawing's hidden groups and layers.
TEST_F(WindowTest, RowsShowTheHiddenCountsBeforeConvertAndTheOutcomeAfter) {
  jwwtest::Drawing visible;
  visible.Hdr.Version = 600;
  visible.Elements = {draw::Line(0, 0)};
  jwwtest::Drawing mixed = HiddenGroupDrawing(700);
  mixed.Hdr.Layers[4] = {.State = 0, .Name = qm::Utf8ToSjis("寸法")};
  mixed.Elements = {draw::Line(0, 0), draw::Line(1, 2), draw::Line(0, 4), draw::Arc(1, 0)};
  jwwtest::Drawing all = HiddenGroupDrawing(420);
  all.Elements = {draw::Line(1, 0)};
  const fs::path a = Data / L"a_visible.jww", b = Data / L"b_mixed.jww", c = Data / L"c_all.jww";
  const fs::path d = Data / L"d_cut.jww";
  Put(a, visible);
  Put(b, mixed);
  Put(c, all);
  auto cut = jwwtest::Build(HiddenGroupDrawing(600));
  cut.resize(cut.size() - 5);
  jwwtest::WriteFile(d, cut);

  Start();
  Drop({Data.Path()});
  Pump();
  ASSERT_EQ(Items(), (std::vector<fs::path>{a, b, c, d}));
  PumpUntilInspected();
  EXPECT_EQ(Row(0), (std::vector<std::string>{"6.00", "0 / 0", "なし", "非表示レイヤはありません"}));
  EXPECT_EQ(Row(1), (std::vector<std::string>{"7.00", "1 / 1", "要素 3、ブロック定義 0、画像 0", ""}));
  EXPECT_EQ(Row(2), (std::vector<std::string>{"4.20", "1 / 0", "要素 1、ブロック定義 0、画像 0",
                                              "全要素が非表示です：出力は空の図面になります"}));
  // A damaged drawing in the window's words; the English detail only in the tooltip.
  EXPECT_TRUE(Cell(3, qm::ColOutcome).starts_with("読み込めません：ファイルが途中で終わっています（バイト位置 "))
      << Cell(3, qm::ColOutcome);

  // The pane: the selected drawing's hidden groups and layers with names and counts.
  SelectRow(List(), 1);
  Pump();
  EXPECT_EQ(Narrow(WindowText(Control(IdPaneTitle))), "b_mixed.jww");
  HWND layers = Control(IdLayers);
  ASSERT_EQ(RowCount(layers), 2);
  EXPECT_EQ(Narrow(CellOf(layers, 0, 0)) + " " + Narrow(CellOf(layers, 0, 1)) + " " + Narrow(CellOf(layers, 0, 2)),
            "グループ 1 hidden 2");
  EXPECT_EQ(Narrow(CellOf(layers, 1, 0)) + " " + Narrow(CellOf(layers, 1, 1)) + " " + Narrow(CellOf(layers, 1, 2)),
            "レイヤ 0-4 寸法 1");
  EXPECT_NE(Narrow(WindowText(Control(IdPaneNotes))).find("削除するもの：要素 3"), std::string::npos);

  // Its picture: drawn off the window's thread, the hidden material in red;
  // the wheel zooms, a double click fits it again.
  TPreviewWindow& preview = App->MainWindow().Preview();
  MSG msg;
  while (!preview.Shown() && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchUiMessage(msg);
  ASSERT_NE(preview.Shown(), nullptr);
  EXPECT_EQ(preview.Shown()->Source, b);
  EXPECT_EQ(preview.Shown()->HiddenItems, 3u);  // the line and the arc on group 1, the line on layer 0-4
  auto pixelsOf = [&](COLORREF colour) {
    RECT rc{};
    GetClientRect(Control(IdPreview), &rc);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(Control(IdPreview), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    int count = 0;
    for (int y = 0; y < rc.bottom; ++y)
      for (int x = 0; x < rc.right; ++x) count += GetPixel(dc, x, y) == colour;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return count;
  };
  auto redPixels = [&] { return pixelsOf(TPreviewWindow::HiddenColor); };
  EXPECT_GT(redPixels(), 20);
  // The legend's font is the controls' font.
  LOGFONTW legendFont{}, controlsFont{};
  GetObjectW(preview.Font(), sizeof legendFont, &legendFont);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(IdPaneTitle), WM_GETFONT, 0, 0)), sizeof controlsFont,
             &controlsFont);
  EXPECT_EQ(legendFont.lfHeight, controlsFont.lfHeight);
  EXPECT_EQ(std::wstring(legendFont.lfFaceName), std::wstring(controlsFont.lfFaceName));
  EXPECT_NE(legendFont.lfHeight, 0);
  // A row of the pane's list picked: the preview draws its group's or
  // layer's material deeper, the rest red as before.
  auto pickRow = [&](int row) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(layers, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  };
  EXPECT_EQ(preview.Picked(), std::nullopt);
  const int redAll = redPixels();
  EXPECT_EQ(pixelsOf(TPreviewWindow::PickedColor), 0);
  for (const int row : {0, 1}) {
    pickRow(row);
    EXPECT_EQ(preview.Picked(), (row == 0 ? qm::TLayerPick{1, -1} : qm::TLayerPick{0, 4}));
    EXPECT_GT(pixelsOf(TPreviewWindow::PickedColor), 8) << row;  // lines 1 mm long, 4 pixels wide
    const int red = redPixels();
    EXPECT_LT(red, redAll) << row;
    EXPECT_GT(red, 5) << row;  // the material of the other one
  }
  RECT box = ScreenRect(Control(IdPreview));
  SendMessageW(Control(IdPreview), WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA),
               MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2));
  EXPECT_NEAR(preview.Zoom(), 1.25 * 1.25, 1e-9);
  SendMessageW(Control(IdPreview), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(preview.Zoom(), 1);

  TReportSeen report;
  CloseReportWith(VK_ESCAPE, report);
  Click(IdButton3);
  ASSERT_TRUE(report.Shown);
  EXPECT_EQ(Cell(0, qm::ColOutcome), "非表示レイヤはありません");
  EXPECT_EQ(Cell(1, qm::ColOutcome), "→ b_mixed_2.JWW");
  EXPECT_EQ(Cell(2, qm::ColOutcome), "→ c_all_2.JWW／全要素が非表示です：出力は空の図面になります");
  EXPECT_TRUE(Cell(3, qm::ColOutcome).starts_with("読み込めません：ファイルが途中で終わっています（バイト位置 "))
      << Cell(3, qm::ColOutcome);
  EXPECT_EQ(Cell(1, qm::ColHidden), "1 / 1");
  // The report: the driver's lines, the note after the empty output, the
  // reason after the unreadable file, the totals.
  ASSERT_EQ(report.Lines.size(), 4 * 3 + 2 + 2u);
  EXPECT_EQ(report.Lines[9], "　注意：出力には要素が一つもありません");
  EXPECT_EQ(report.Lines[10], "【" + U8(d) + "】");
  EXPECT_EQ(report.Lines[11], "　読み込めないファイルですので");
  EXPECT_TRUE(report.Lines[13].starts_with("　理由：ファイルが途中で終わっています（バイト位置 ")) << report.Lines[13];
  for (const std::string& line : report.Lines)  // no English sentence anywhere in the report
    EXPECT_EQ(line.find(" at byte"), std::string::npos) << line;
  EXPECT_EQ(report.Lines[15], "集計：変換 2（表示一致 2、書き出しで整えたもの 0、空の図面 1）、非表示レイヤなし 1、読み込めない 1、変換出来ない 0");
  Close();
}

// A thousand drawings listed at once fill in while the window keeps
// handling its messages.
TEST_F(WindowTest, AThousandDrawingsFillInWhileTheWindowAnswers) {
  const auto bytes = jwwtest::Build(HiddenGroupDrawing(600));
  for (int k = 0; k < 1000; ++k) {
    wchar_t name[32];
    swprintf(name, 32, L"plan%04d.jww", k);
    jwwtest::WriteFile(Data / name, bytes);
  }
  Start();
  struct {
    int Listed = 0, Uninspected = 0;
  } seen;
  const auto started = std::chrono::steady_clock::now();
  double listedAfter = 0;
  TProbe probe([&] {
    listedAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    seen.Listed = RowCount(List());
    seen.Uninspected = App->Form1().Uninspected();
  });
  Drop({Data.Path()});
  probe.Post();  // handled right after the drop
  MSG msg;
  while (probe.Runs == 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchUiMessage(msg);
  EXPECT_EQ(seen.Listed, 1000);
  EXPECT_GT(seen.Uninspected, 0);  // answered while the inspections run
  // The window keeps handling its messages (here a timer's, which come only
  // when nothing else waits) until the last row is filled in.
  int answered = 0;
  TWatcher ticks([&] {
    ++answered;
    return false;
  });
  while (App->Form1().Uninspected() > 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchUiMessage(msg);
  Pump();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("1000 drawings listed in %.2f s and inspected in %.2f s, %d timer messages answered meanwhile\n",
              listedAfter, seconds, answered);
  EXPECT_GT(answered, 0);
  EXPECT_EQ(Cell(0, qm::ColHidden), "1 / 0");
  EXPECT_EQ(Cell(999, qm::ColRemoves), "要素 1、ブロック定義 0、画像 0");
  // All of them removed at once, as Ctrl+A and Delete do (measured, not asserted).
  const auto removing = std::chrono::steady_clock::now();
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;  // Ctrl is held
  SetKeyboardState(keys);
  PostKey(List(), 'A');
  Pump();
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  PostKey(List(), VK_DELETE);
  Pump();
  const double removed = std::chrono::duration<double>(std::chrono::steady_clock::now() - removing).count();
  std::printf("1000 rows removed in %.2f s\n", removed);
  EXPECT_EQ(RowCount(List()), 0);
  Close();
}

// The whole round of a user: drop, delete, convert, read the report, close,
// start again.
TEST_F(WindowTest, DropDeleteConvertReportAndSettings) {
  const fs::path plan = Data / L"plan図面ŝ.jww";  // ŝ has no Shift-JIS form
  const fs::path keep = Data / L"keep.jww", bad = Data / L"bad.JWW", gone = Data / L"gone.jww";
  const fs::path notes = Data / L"notes.txt", late = Data / L"late.jww";
  Put(plan, HiddenGroupDrawing(600));
  jwwtest::Drawing visible;
  visible.Hdr.Version = 600;
  Put(keep, visible);
  Put(late, HiddenGroupDrawing(600));
  Put(gone, HiddenGroupDrawing(600));
  std::ofstream(bad) << "not a drawing";
  std::ofstream(notes) << "JwwData.";
  // A name far longer than 511 bytes arrives whole.
  fs::path deep = Data.Path();
  for (int i = 0; i < 5; ++i) deep /= std::wstring(100, static_cast<wchar_t>(L'a' + i));
  fs::create_directories(deep);
  const fs::path longName = deep / L"long.jww";
  Put(longName, HiddenGroupDrawing(600));
  ASSERT_GT(U8(longName).size(), 511u);

  Start();
  Drop({plan, Data / L"PLAN図面ŝ.JWW", notes, Data / L"missing.jww", longName, keep, bad, gone});
  Pump();
  EXPECT_EQ(Items(), (std::vector<fs::path>{plan, longName, keep, bad, gone}));

  // Select the long one and delete it with its access key.
  HWND list = List();
  SetFocus(list);
  SelectRow(list, 1);
  PostKey(list, 'd', true);
  Pump();
  EXPECT_EQ(Items(), (std::vector<fs::path>{plan, keep, bad, gone}));
  fs::remove(gone);  // gone after it was listed

  // While the batch runs: the commands are refused and the progress shows.
  struct {
    bool Add = true, Delete = true, Convert = true, Exit = false, Progress = false, Stop = false;
    std::string Status, Count;
    std::vector<int> Selected;
  } busy;
  TProbe* self = nullptr;
  TProbe probe([&] {
    // Handled again until the first file is in progress.
    if (!StatusText(Control(IdStatusBar1)).starts_with(L"ファイル")) return self->Post();
    busy.Add = IsWindowEnabled(Control(IdButton1));
    busy.Delete = IsWindowEnabled(Control(IdButton2));
    busy.Convert = IsWindowEnabled(Control(IdButton3));
    busy.Exit = IsWindowEnabled(Control(IdButton4));
    busy.Progress = IsWindowVisible(Control(IdProgressBar1));
    busy.Stop = IsWindowVisible(Control(IdStop)) && IsWindowEnabled(Control(IdStop));
    busy.Status = Narrow(StatusText(Control(IdStatusBar1)));
    busy.Count = Narrow(WindowText(Control(IdProgressText)));
    busy.Selected = SelectedRows(list);
  });
  self = &probe;
  probe.Post();
  Drop({late});  // ignored: handled while the batch runs
  TReportSeen report;
  CloseReportWith(VK_ESCAPE, report);
  Click(IdButton3);
  EXPECT_FALSE(busy.Add);
  EXPECT_FALSE(busy.Delete);
  EXPECT_FALSE(busy.Convert);
  EXPECT_TRUE(busy.Exit);
  EXPECT_TRUE(busy.Progress);
  EXPECT_TRUE(busy.Stop);
  EXPECT_EQ(busy.Status, "ファイル【" + U8(plan) + "】変換中");
  EXPECT_EQ(busy.Count, "1 / 4\r\n" + U8(plan.filename()));
  EXPECT_EQ(busy.Selected, std::vector<int>{0});

  ASSERT_TRUE(report.Shown);
  EXPECT_FALSE(report.OwnerEnabled);
  EXPECT_EQ(report.Caption, L"変換結果");
  EXPECT_EQ(report.Button, L"閉じる(&C)");
  const fs::path out = Data / L"plan図面ŝ_2.JWW";
  const std::vector<std::string> expected = {
      "【" + U8(plan) + "】", "　→ " + U8(out),                     "　変換を行いました。",
      "【" + U8(keep) + "】", "　非表示レイヤはありませんので",       "　変換をパスします。",
      "【" + U8(bad) + "】",  "　読み込めないファイルですので",       "　変換をパスします。",
      "　理由：JWW の図面ではありません（先頭が JwwData. ではありません）",
      "【" + U8(gone) + "】", "　指定したファイルは存在しませんので", "　変換をパスします。",
      "",                     "集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 1、読み込めない 2、変換出来ない 0"};
  EXPECT_EQ(report.Lines, expected);

  // After Esc: the report is hidden, the window usable again.
  EXPECT_FALSE(IsWindowVisible(Form2()));
  EXPECT_TRUE(IsWindowEnabled(Main()));
  EXPECT_TRUE(IsWindowEnabled(Control(IdButton1)));
  EXPECT_TRUE(IsWindowEnabled(Control(IdButton3)));
  EXPECT_FALSE(IsWindowVisible(Control(IdProgressBar1)));
  EXPECT_FALSE(IsWindowVisible(Control(IdStop)));
  EXPECT_TRUE(SelectedRows(list).empty());
  // The totals stay in the status bar.
  EXPECT_EQ(Narrow(StatusText(Control(IdStatusBar1))), expected.back());
  EXPECT_EQ(Items(), (std::vector<fs::path>{plan, keep, bad, gone}));
  TJwwData converted;
  const TJwwStatus loaded = converted.LoadDocument(out);
  ASSERT_TRUE(loaded) << loaded.Text();
  EXPECT_EQ(converted.LineCount, 1);
  EXPECT_EQ(converted.LayerGroups[1].State, 0);
  EXPECT_FALSE(fs::exists(Data / L"keep_2.JWW"));
  EXPECT_FALSE(fs::exists(Data / L"bad_2.JWW"));
  EXPECT_FALSE(fs::exists(Data / L"late_2.JWW"));

  // A second Convert asks about the drawing converted already (Yes: again)
  // and replaces the report; Enter closes it.
  TReportSeen second;
  CloseReportWith(VK_RETURN, second);
  Click(IdButton3);
  ASSERT_TRUE(second.Shown);
  ASSERT_EQ(second.Lines.size(), 15u);
  EXPECT_EQ(second.Lines[1], "　→ " + U8(Data / L"plan図面ŝ_3.JWW"));
  EXPECT_FALSE(IsWindowVisible(Form2()));

  // New geometry: the window (its extra width goes to the list), the report
  // window, and the list dragged wider.
  SetWindowPos(Main(), nullptr, 150, 120, 520, 320, SWP_NOZORDER);
  SetWindowPos(Form2(), nullptr, 300, 200, 400, 250, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(PlaceInParent(list).right, 176 + 42);
  HWND splitter = Control(IdSplitter1);
  SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 5));
  SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(41, 5));
  SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(41, 5));
  EXPECT_EQ(PlaceInParent(Control(IdButton1)).left, 258 + 6 + 8);
  Close();

  EXPECT_EQ(ReadBytes(Dat), "150\r\n120\r\n520\r\n320\r\n258\r\n300\r\n200\r\n400\r\n250\r\n" + U8(Program.Path()) +
                                "\\\r\n");
  EXPECT_FALSE(fs::exists(Program / L"TEMP"));
  const std::string view = ReadBytes(Program / L"Quillmark.ini");
  EXPECT_TRUE(view.starts_with("[Quillmark]\r\nMaximized=0\r\nColumns=150,220,90,180,210,200,320\r\nPaneWidth=")) << view;

  Start();
  EXPECT_EQ(ScreenRect(Main()), (RECT{150, 120, 670, 440}));
  EXPECT_EQ(ScreenRect(Form2()), (RECT{300, 200, 700, 450}));
  EXPECT_EQ(PlaceInParent(List()).right, 258);
  EXPECT_TRUE(Items().empty());
  Close();
}

// Maximised, the file name and folder columns take the room the columns
// leave (no empty space right of them); restored, they give it back.
TEST_F(WindowTest, TheNameAndFolderColumnsFillAMaximisedList) {
  std::ofstream(Program / L"Quillmark.ini", std::ios::binary)
      << "[Quillmark]\r\nMaximized=0\r\nColumns=100,100,50,50,50,50,50\r\n";
  std::ofstream(Dat, std::ios::binary) << "192\r\n107\r\n478\r\n264\r\n176\r\n222\r\n129\r\n456\r\n293\r\n";
  Start();
  auto widths = [&] {
    std::vector<int> w;
    for (int c = 0; c < qm::ColumnCount; ++c) w.push_back(static_cast<int>(SendMessageW(List(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)));
    return w;
  };
  const std::vector<int> before = widths();
  ShowWindow(Main(), SW_MAXIMIZE);
  Pump();
  const std::vector<int> wide = widths();
  int total = 0;
  for (int w : wide) total += w;
  const int room = PlaceInParent(List()).right - GetSystemMetrics(SM_CXVSCROLL) - 4;
  EXPECT_EQ(total, room);
  EXPECT_GT(wide[qm::ColName], before[qm::ColName]);
  EXPECT_GT(wide[qm::ColFolder], before[qm::ColFolder]);
  EXPECT_EQ(std::vector<int>(wide.begin() + 2, wide.end()), std::vector<int>(before.begin() + 2, before.end()));
  ShowWindow(Main(), SW_RESTORE);
  Pump();
  EXPECT_EQ(widths(), before);
  Close();
}

// A settings file with nonsense, zero sizes and far-away places still gives
// windows on the screen that can be used.
TEST_F(WindowTest, DamagedSettingsGiveUsableWindows) {
  std::ofstream(Dat, std::ios::binary) << "abc\r\n-99999\r\n0\r\n-5\r\nxyz\r\n40000\r\n40000\r\n-3\r\n0\r\n";
  Start();
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(Main(), MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT seen{};
  for (HWND w : {Main(), Form2()}) {
    const RECT rc = ScreenRect(w);
    EXPECT_TRUE(IntersectRect(&seen, &rc, &mi.rcWork) && seen.top == rc.top) << rc;
    EXPECT_GE(rc.right - rc.left, w == Main() ? TMainWindow::MinWidth : TResultWindow::MinWidth) << rc;
    EXPECT_GE(rc.bottom - rc.top, w == Main() ? TMainWindow::MinHeight : TResultWindow::MinHeight) << rc;
  }
  EXPECT_EQ(ScreenRect(Main()).left, 0);
  EXPECT_EQ(PlaceInParent(List()).right, TMainWindow::MinListWidth);  // the narrowest list
  EXPECT_TRUE(ButtonsVisible());

  const fs::path a = Data / L"a.jww";
  Put(a, HiddenGroupDrawing(420));
  Drop({a});
  Pump();
  TReportSeen report;
  CloseReportWith(VK_ESCAPE, report);
  Click(IdButton3);
  EXPECT_TRUE(report.Shown);
  EXPECT_TRUE(fs::exists(Data / L"a_2.JWW"));
  Close();
  const std::string saved = ReadBytes(Dat);
  EXPECT_TRUE(saved.ends_with("\r\n\r\n")) << saved;  // line 10, the folder, was missing: empty
}

// A list width saved for a larger window never pushes the buttons out; the
// maximised state and the list's width in it come back after a restart.
TEST_F(WindowTest, ASavedListWidthNeverHidesTheButtonsAndMaximisedIsRemembered) {
  std::ofstream(Dat, std::ios::binary) << "192\r\n107\r\n478\r\n264\r\n699\r\n222\r\n129\r\n456\r\n293\r\nC:\\\r\n";
  Start();
  EXPECT_TRUE(ButtonsVisible());
  EXPECT_EQ(PlaceInParent(Control(IdButton4)).right, Client().right - 88 + 8 + 75);

  ShowWindow(Main(), SW_MAXIMIZE);
  Pump();
  const int wide = Client().right;
  ASSERT_GT(wide, 700);
  HWND splitter = Control(IdSplitter1);
  const int from = PlaceInParent(splitter).left;
  SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 5));
  SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(1 + 700 - from), 5));
  SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(1 + 700 - from), 5));
  EXPECT_EQ(PlaceInParent(List()).right, 700);
  Close();
  const std::string saved = ReadBytes(Dat);
  EXPECT_TRUE(saved.starts_with("192\r\n107\r\n478\r\n264\r\n")) << saved;  // the normal place
  EXPECT_NE(ReadBytes(Program / L"Quillmark.ini").find("Maximized=1"), std::string::npos);

  Start();
  EXPECT_TRUE(IsZoomed(Main()));
  EXPECT_EQ(Client().right, wide);
  EXPECT_EQ(PlaceInParent(List()).right, 700);
  EXPECT_TRUE(ButtonsVisible());
  Close();
  // The same settings in a normal window (the restore itself is left to the
  // window manager, which the virtual X server of the tests lacks).
  const std::string view = ReadBytes(Program / L"Quillmark.ini");
  ASSERT_NE(view.find("Maximized=1"), std::string::npos) << view;
  std::ofstream(Program / L"Quillmark.ini", std::ios::binary)
      << view.substr(0, view.find("Maximized=1")) << "Maximized=0" << view.substr(view.find("Maximized=1") + 11);
  Start();
  EXPECT_FALSE(IsZoomed(Main()));
  EXPECT_EQ(ScreenRect(Main()), (RECT{192, 107, 192 + 478, 107 + 264}));
  EXPECT_TRUE(ButtonsVisible());
  Close();
}

// Delete removes the selected entries, Ctrl+A selects every one, a column's
// header sorts by it.
TEST_F(WindowTest, DeleteKeyCtrlAAndSortingByAColumn) {
  std::vector<fs::path> files;
  for (const wchar_t* name : {L"c.jww", L"a.jww", L"b.jww", L"d.jww"}) {
    files.push_back(Data / name);
    Put(files.back(), HiddenGroupDrawing(600));
  }
  Start();
  Drop(files);
  Pump();
  HWND list = List();
  SetFocus(list);
  SelectRow(list, 1);
  SelectRow(list, 3);
  PostKey(list, VK_DELETE);
  Pump();
  EXPECT_EQ(Items(), (std::vector<fs::path>{files[0], files[2]}));

  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;  // Ctrl is held
  SetKeyboardState(keys);
  PostKey(list, 'A');
  Pump();
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{0, 1}));

  NMLISTVIEW click{};
  click.hdr = {list, static_cast<UINT_PTR>(IdListBox1), LVN_COLUMNCLICK};
  click.iItem = -1;
  click.iSubItem = 0;
  SendMessageW(Main(), WM_NOTIFY, IdListBox1, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(Items(), (std::vector<fs::path>{files[2], files[0]}));  // b, c
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{0, 1}));
  SendMessageW(Main(), WM_NOTIFY, IdListBox1, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(Items(), (std::vector<fs::path>{files[0], files[2]}));
  Close();
}

// Stop, or Esc, ends a batch after the file in progress and shows the report
// of what was done.
TEST_F(WindowTest, StopAndEscEndTheBatchAfterTheFileInProgress) {
  std::vector<fs::path> files;
  for (int k = 0; k < 12; ++k) {
    files.push_back(Data / (L"p" + std::to_wstring(k + 10) + L".jww"));
    Put(files.back(), HiddenGroupDrawing(600));
  }
  Start();
  Drop(files);
  Pump();
  for (const bool esc : {false, true}) {
    SCOPED_TRACE(esc ? "Esc" : "Stop");
    if (esc) ListAfresh(files, L"q");  // drawings not converted yet, so that Convert asks nothing first
    // Stopped as soon as the first file has its outcome.
    TProbe* self = nullptr;
    TProbe stop([&] {
      if (App->Form1().Results().empty()) return self->Post();
      if (esc) {
        SetFocus(List());
        PostKey(List(), VK_ESCAPE);
      } else {
        Click(IdStop);
      }
    });
    self = &stop;
    stop.Post();
    TReportSeen report;
    CloseReportWith(VK_ESCAPE, report);
    Click(IdButton3);
    ASSERT_TRUE(report.Shown);
    const size_t done = App->Form1().Results().size();
    EXPECT_TRUE(App->Form1().Interrupted());
    EXPECT_GE(done, 1u);
    EXPECT_LT(done, files.size());
    ASSERT_GE(report.Lines.size(), 2u);
    EXPECT_EQ(report.Lines[report.Lines.size() - 2], "中止しました（" + std::to_string(done) + " / 12）");
    EXPECT_EQ(report.Lines.size(), 3 * done + 3);
    EXPECT_FALSE(IsWindowVisible(Control(IdStop)));
  }
  Close();
}

// A second Convert asks about the drawings converted already; Esc cancels,
// No skips them, Yes converts them again under the next free names. The
// output folder and the check boxes of what else goes are the window's own.
TEST_F(WindowTest, ASecondConvertAsksAndTheOptionsAreTheWindows) {
  const fs::path a = Data / L"a.jww";
  jwwtest::Drawing memo = HiddenGroupDrawing(600);
  memo.Hdr.Memo = "note";
  Put(a, memo);
  AgainAnswer = 0;  // answered here
  // Drawings saved an hour ago: the times the C++ library reads here are
  // whole seconds, and an output is converted already only when newer.
  const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(a, hourAgo);
  Start();
  EXPECT_EQ(WindowText(Control(IdOutputLabel)), L"出力先：元の図面と同じフォルダ");
  EXPECT_EQ(WindowText(Control(IdRemoveMemo)), L"メモ(&M)");
  // A drawing whose earlier output is newer is marked when listed.
  const fs::path b = Data / L"b.jww";
  Put(b, HiddenGroupDrawing(600));
  fs::last_write_time(b, hourAgo);
  Put(Data / L"b_2.JWW", HiddenGroupDrawing(600));
  Drop({b});
  Pump();
  PumpUntilInspected();
  EXPECT_EQ(Cell(0, qm::ColOutcome), "前回の出力あり：b_2.JWW");
  SelectRow(List(), 0);
  Click(IdButton2);
  ASSERT_EQ(RowCount(List()), 0);
  Drop({a});
  Pump();
  TReportSeen first;
  CloseReportWith(VK_ESCAPE, first);
  Click(IdButton3);
  ASSERT_TRUE(first.Shown);
  ASSERT_TRUE(fs::exists(Data / L"a_2.JWW"));

  struct TAnswer {
    const char* Name;
    UINT Message;
    WPARAM Key;
    const wchar_t* Exists;
    const wchar_t* Absent;
  };
  const TAnswer answers[] = {{"Esc", WM_KEYDOWN, VK_ESCAPE, L"a_2.JWW", L"a_3.JWW"},
                             {"No", WM_COMMAND, IDNO, L"a_2.JWW", L"a_3.JWW"},
                             {"Yes", WM_COMMAND, IDYES, L"a_3.JWW", L"a_4.JWW"}};
  for (const TAnswer& answer : answers) {
    SCOPED_TRACE(answer.Name);
    std::wstring question;
    auto asked = std::make_unique<TWatcher>([&] {
      HWND box = ShownMessageBox(Main());
      if (!box) return false;
      question = StaticTexts(box);
      if (answer.Message == WM_KEYDOWN)
        PostKey(GetFocus() ? GetFocus() : box, answer.Key);
      else
        PostMessageW(box, WM_COMMAND, answer.Key, 0);
      return true;
    });
    TReportSeen report;
    CloseReportWith(VK_ESCAPE, report);
    const size_t before = App->Form1().Results().size();
    Click(IdButton3);
    Pump();
    Watcher.reset();
    EXPECT_NE(question.find(L"1 個の図面には前回の出力があります"), std::wstring::npos) << Narrow(question);
    EXPECT_TRUE(fs::exists(Data / answer.Exists));
    EXPECT_FALSE(fs::exists(Data / answer.Absent));
    EXPECT_EQ(report.Shown, answer.Message != WM_KEYDOWN);  // cancel: nothing ran, no report
    if (answer.Message == WM_KEYDOWN) {
      EXPECT_EQ(App->Form1().Results().size(), before);
    }
  }

  // The check box of the memo: the drawing is inspected again, and the next
  // Convert (into a folder of its own) removes the memo.
  Click(IdRemoveMemo);
  EXPECT_TRUE(App->Form1().Remove().Memo);
  const fs::path out = Data / L"out";
  fs::create_directory(out);
  ASSERT_TRUE(App->Form1().SetOutputFolder(out));
  PumpUntilInspected();
  TReportSeen last;
  CloseReportWith(VK_ESCAPE, last);
  Click(IdButton3);
  ASSERT_TRUE(last.Shown);
  TJwwData converted;
  ASSERT_TRUE(converted.LoadDocument(out / L"a_2.JWW"));
  EXPECT_EQ(converted.Header.Memo, "");
  // A close while the question is up: cancel, nothing converted, then the
  // window closes.
  TWatcher closing([&] {
    HWND box = ShownMessageBox(Main());
    if (!box) return false;
    PostMessageW(Main(), WM_CLOSE, 0, 0);
    return true;
  });
  Click(IdButton3);
  PumpUntilClosed();
  EXPECT_FALSE(fs::exists(out / L"a_3.JWW"));
  const std::string view = ReadBytes(Program / L"Quillmark.ini");
  EXPECT_NE(view.find("OutputFolder=" + U8(out) + "\r\nRemove=memo\r\n"), std::string::npos) << view;
}

// Closing while a batch runs asks first, and the batch waits for the answer:
// no lets it go on to its report; yes ends it after the file in progress and
// closes without the report.
TEST_F(WindowTest, CloseDuringABatchAsksFirst) {
  std::vector<fs::path> files;
  for (int k = 0; k < 8; ++k) {
    files.push_back(Data / (L"f" + std::to_wstring(k) + L".jww"));
    Put(files.back(), HiddenGroupDrawing(600));
  }
  Start();
  Drop(files);
  Pump();
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "yes" : "no");
    if (answer == IDYES) ListAfresh(files, L"g");  // drawings not converted yet: Convert asks nothing first
    std::wstring question;
    size_t doneWhenAsked = 99;
    auto watcher = std::make_unique<TWatcher>([&] {
      HWND box = ShownMessageBox(Main());
      if (!box || IsAgainQuestion(box)) return false;
      question = StaticTexts(box);
      doneWhenAsked = App->Form1().Results().size();
      PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
      return true;
    });
    TReportSeen report;
    CloseReportWith(VK_ESCAPE, report);
    PostMessageW(Main(), WM_CLOSE, 0, 0);  // handled as the batch begins
    Click(IdButton3);
    EXPECT_NE(question.find(L"中止し、終了しますか"), std::wstring::npos) << Narrow(question);
    EXPECT_EQ(doneWhenAsked, 0u);  // the batch waited for the answer
    if (answer == IDNO) {
      EXPECT_TRUE(report.Shown);
      EXPECT_FALSE(App->Form1().Interrupted());
      EXPECT_TRUE(fs::exists(Data / L"f7_2.JWW"));
      EXPECT_TRUE(IsWindow(Main()));
    } else {
      PumpUntilClosed();
      EXPECT_FALSE(report.Shown);
      EXPECT_FALSE(fs::exists(Data / L"gf0_2.JWW"));  // asked before the first file began
      EXPECT_TRUE(fs::exists(Dat));
    }
  }
}

// Drawings and folders named on the command line are listed at the start; a
// second start hands its own to the running window.
TEST_F(WindowTest, CommandLinePathsAndASecondStart) {
  const fs::path a = Data / L"a.jww", sub = Data / L"sub", b = Data / L"sub" / L"b.jww";
  fs::create_directories(sub);
  Put(a, HiddenGroupDrawing(600));
  Put(b, HiddenGroupDrawing(600));
  Put(sub / L"b_2.JWW", HiddenGroupDrawing(600));  // an earlier output: left out
  Start({a});
  EXPECT_EQ(Items(), std::vector<fs::path>{a});
  const fs::path current = fs::current_path();
  fs::current_path(Data.Path());  // relative paths are made whole by the second start
  EXPECT_TRUE(HandToRunningWindow({L"sub", L"a.jww"}));
  fs::current_path(current);
  Pump();
  EXPECT_EQ(Items(), (std::vector<fs::path>{a, b}));
  Close();
  EXPECT_FALSE(HandToRunningWindow({a}));  // none runs
}

// A program folder that cannot be written (an installed program): the
// settings go to the user's folder and come back from there.
TEST_F(WindowTest, AReadOnlyProgramFolderKeepsTheSettingsAcrossARestart) {
  // /proc takes no new files, whoever asks (the tests run as the superuser).
  const fs::path readOnly = L"Z:\\proc\\self\\Quillmark.exe";
  Start({}, readOnly);
  SetWindowPos(Main(), nullptr, 140, 90, 500, 300, SWP_NOZORDER);
  Close();
  const fs::path saved = AppData / L"Quillmark" / L"Quillmark.dat";
  ASSERT_TRUE(fs::exists(saved));
  EXPECT_TRUE(ReadBytes(saved).starts_with("140\r\n90\r\n500\r\n300\r\n"));
  Start({}, readOnly);
  EXPECT_EQ(ScreenRect(Main()), (RECT{140, 90, 640, 390}));
  Close();
}

// The result window copies its report and opens the output's folder.
TEST_F(WindowTest, TheReportIsCopiedAndItsOutputFolderOpened) {
  const fs::path a = Data / L"a.jww";
  Put(a, HiddenGroupDrawing(600));
  Start({a});
  fs::path opened;
  App->ResultWindow().OpenFolder = [&](const fs::path& file) { opened = file; };
  std::wstring copied;
  auto watcher = std::make_unique<TWatcher>([&] {
    if (!App->ResultWindow().Modal()) return false;
    SendMessageW(GetDlgItem(Form2(), IdCopy), BM_CLICK, 0, 0);
    if (OpenClipboard(nullptr)) {
      if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        copied = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
      }
      CloseClipboard();
    }
    SendMessageW(GetDlgItem(Form2(), IdOpenFolder), BM_CLICK, 0, 0);
    PostMessageW(Form2(), WM_CLOSE, 0, 0);
    return true;
  });
  Click(IdButton3);
  EXPECT_EQ(opened, Data / L"a_2.JWW");
  EXPECT_EQ(Narrow(copied), "【" + U8(a) + "】\r\n　→ " + U8(Data / L"a_2.JWW") + "\r\n　変換を行いました。\r\n\r\n" +
                                "集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0\r\n");
  Close();
}

// The pane's picture of an A4 drawing on black: the whole pane painted
// black, the sheet's outline grey, a white line crossing the sheet's edge
// (clipped at the pane's) and a block's
// green line drawn through its insert's placement (both faint, 35 % of their
// colour over the background), a line 1e308 off counted and named.
TEST(PreviewPaintTest, TheWholePaneInTheBackgroundInsertsByTheirPlacement) {
  TTempFolder folder;
  jwwtest::Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PaperSize = 4;
  d.Hdr.PenSettings[0].ScreenColor = 0x000000;
  d.Hdr.PenSettings[2].ScreenColor = 0xFFFFFF;
  d.Hdr.PenSettings[3].ScreenColor = 0x00A000;
  jwwtest::Sen off = draw::Line(0, 0, 200);
  off.H.PenColor = 2;
  off.StartX = 140;
  off.EndX = 260;
  jwwtest::Sen green = draw::Line(0, 0, 0);
  green.H.PenColor = 3;
  green.EndX = 40;
  d.Blocks = {draw::Def(1, "green", {green})};
  jwwtest::Block turned = draw::Insert(0, 0, 1, 0);
  turned.ScaleX = turned.ScaleY = 2;
  turned.Angle = 1.5707963267948966;  // up the sheet, 80 long
  d.Elements = {off, turned, draw::Line(0, 0, 1e308)};
  const fs::path file = folder.Path() / "black.jww";
  Put(file, d);
  TJwwData doc;
  const std::shared_ptr<const qm::TPreview> picture = qm::MakePreview(file, doc);
  ASSERT_TRUE(picture->Error.empty()) << picture->Error;
  EXPECT_EQ(picture->Undrawable, 1u);
  EXPECT_EQ(picture->Items[1].Kind, qm::view::TItemKind::Insert);
  EXPECT_EQ(TPreviewWindow::Legend(*picture), L"描けない要素 1");

  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  {
    TPreviewWindow preview;
    ASSERT_TRUE(preview.Create(parent, 1));
    MoveWindow(preview.Hwnd(), 0, 0, 400, 300, FALSE);
    preview.Show(picture);
    RECT rc{};
    GetClientRect(preview.Hwnd(), &rc);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(preview.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    std::map<COLORREF, int> right, all;  // the right fifth holds the line off the sheet
    for (int y = 0; y < rc.bottom; ++y)
      for (int x = 0; x < rc.right; ++x) {
        const COLORREF c = GetPixel(dc, x, y);
        ++all[c];
        if (x > rc.right * 4 / 5) ++right[c];
      }
    EXPECT_EQ(GetPixel(dc, 3, rc.bottom - 4), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, rc.right - 4, 20), RGB(0, 0, 0));
    EXPECT_GT(all[TPreviewWindow::SheetOutline], 200);
    EXPECT_GT(right[RGB(89, 89, 89)], 10);  // white at 35 %
    EXPECT_GT(all[RGB(0, 56, 0)], 10);       // green (0, 160, 0) at 35 %
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  DestroyWindow(parent);
}

// A paper of the pane's picture, painted in full.
class TPainted {
 public:
  explicit TPainted(HWND window) {
    GetClientRect(window, &Rc);
    Screen_ = GetDC(nullptr);
    Dc = CreateCompatibleDC(Screen_);
    Bitmap_ = CreateCompatibleBitmap(Screen_, Rc.right, Rc.bottom);
    Old_ = SelectObject(Dc, Bitmap_);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Dc), PRF_CLIENT);
  }
  ~TPainted() {
    SelectObject(Dc, Old_);
    DeleteObject(Bitmap_);
    DeleteDC(Dc);
    ReleaseDC(nullptr, Screen_);
  }
  // The box of the pixels of a colour within a part of the picture, and how many.
  RECT Extent(COLORREF colour, int& count, RECT part = {0, 0, 1 << 20, 1 << 20}) const {
    RECT box{Rc.right, Rc.bottom, -1, -1};
    count = 0;
    for (int y = std::max(0L, part.top); y < std::min(Rc.bottom, part.bottom); ++y)
      for (int x = std::max(0L, part.left); x < std::min(Rc.right, part.right); ++x)
        if (GetPixel(Dc, x, y) == colour) {
          ++count;
          box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x),
                 std::max<LONG>(box.bottom, y)};
        }
    return box;
  }
  RECT Rc{};
  HDC Dc = nullptr;

 private:
  HDC Screen_ = nullptr;
  HBITMAP Bitmap_ = nullptr;
  HGDIOBJ Old_ = nullptr;
};

// An A4 drawing with a line on its sheet and two elements 50 m to its
// right: the sheet fills the pane (its outline across nearly all of it), a
// mark at its right edge points to them, "図面外に 2 個の要素" is written at
// the bottom in the mark's colour, in the window's font (not boxes: the
// text has the font's height), and again after the pane grows.
TEST(PreviewPaintTest, TheSheetFillsThePaneWithStraysFarOff) {
  TTempFolder folder;
  jwwtest::Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.PaperSize = 4;  // 297 × 210
  const jwwtest::Sen away = draw::Line(0, 0, 50000), further = draw::Line(0, 0, 60000);
  d.Elements = {draw::Line(0, 0, -100), away, further};
  const fs::path file = folder.Path() / "strays.jww";
  Put(file, d);
  TJwwData doc;
  const std::shared_ptr<const qm::TPreview> picture = qm::MakePreview(file, doc);
  ASSERT_TRUE(picture->Error.empty()) << picture->Error;
  ASSERT_EQ(picture->OffSheet, 2u);

  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  {
    TPreviewWindow preview;
    ASSERT_TRUE(preview.Create(parent, 1));
    MoveWindow(preview.Hwnd(), 0, 0, 400, 300, TRUE);
    preview.Show(picture);
    for (const int width : {400, 600}) {
      MoveWindow(preview.Hwnd(), 0, 0, width, width * 3 / 4, TRUE);  // refitted to the new size
      const TPainted painted(preview.Hwnd());
      const RECT& rc = painted.Rc;
      int outline = 0, mark = 0, note = 0;
      const RECT sheet = painted.Extent(TPreviewWindow::SheetOutline, outline);
      EXPECT_GT(outline, rc.right) << width;
      EXPECT_GE(sheet.right - sheet.left, rc.right * 9 / 10) << width;
      EXPECT_GE(sheet.bottom - sheet.top, rc.bottom * 8 / 10) << width;
      // The mark: at the sheet's right edge, about its middle.
      const RECT arrow = painted.Extent(TPreviewWindow::OffSheetColor, mark, {rc.right / 2, 0, rc.right, rc.bottom * 3 / 4});
      EXPECT_GT(mark, 20) << width;
      EXPECT_LE(std::abs(arrow.right - sheet.right), 2) << width;
      EXPECT_NEAR((arrow.top + arrow.bottom) / 2.0, (sheet.top + sheet.bottom) / 2.0, 3) << width;
      // The note: lower left, a line of text of the font's height.
      const RECT words = painted.Extent(TPreviewWindow::OffSheetColor, note, {0, rc.bottom * 3 / 4, rc.right / 2, rc.bottom});
      EXPECT_GT(note, 30) << width;
      EXPECT_GT(words.right - words.left, 80) << width;
      EXPECT_LE(words.bottom - words.top, 20) << width;
    }
  }
  DestroyWindow(parent);
}

// On a monitor at 144 DPI the design geometry and the font grow by half and
// the settings keep 96-DPI sizes. Runs on its own with the system scale at
// 150 % (--gtest_also_run_disabled_tests, see scripts/wintest.sh), as it
// makes the process DPI-aware as Quillmark.exe's manifest does.
TEST(WindowDpiTest, DISABLED_DesignGeometryIsScaledAndSavedAt96Dpi) {
  // As the manifest asks: per monitor, version 2 where the system has it.
  if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  ASSERT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
  ASSERT_EQ(GetDpiForSystem(), 144u) << "the system scale is not 150 %";
  TTempFolder program;
  // The designed window's settings (a first start would fit the screen).
  std::ofstream(program / L"Quillmark.dat", std::ios::binary)
      << "192\r\n107\r\n478\r\n264\r\n176\r\n222\r\n129\r\n456\r\n293\r\n";
  auto app = std::make_unique<TQuillmark>();
  app->MainWindow().AppDataFolder = program.Path();
  ASSERT_TRUE(app->Start(program / L"Quillmark.exe", SW_SHOWNORMAL));
  Pump();
  HWND main = app->MainWindow().Hwnd();
  EXPECT_EQ(GetDpiForWindow(main), 144u);
  const RECT rc = ScreenRect(main);
  EXPECT_EQ(rc, (RECT{192, 107, 192 + 717, 107 + 396}));
  const RECT button = PlaceInParent(GetDlgItem(main, IdButton1));
  EXPECT_EQ(button, (RECT{264 + 9 + 12, 30 + 12, 264 + 9 + 12 + 113, 30 + 12 + 38}));  // the splitter 6 px at 96 DPI
  // Rows as high as the font and a margin: the row height is set by the
  // small image list's height.
  int iconWidth = 0, iconHeight = 0;
  ImageList_GetIconSize(ListView_GetImageList(GetDlgItem(main, IdListBox1), LVSIL_SMALL), &iconWidth, &iconHeight);
  EXPECT_GE(iconHeight, 20 + 6);
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(main, IdListBox1), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -20);
  PostMessageW(main, WM_CLOSE, 0, 0);
  MSG msg;
  while (IsWindow(main) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchUiMessage(msg);
  app.reset();
  Pump();
  const std::string saved = ReadBytes(program / L"Quillmark.dat");
  EXPECT_TRUE(saved.starts_with("192\r\n107\r\n478\r\n264\r\n176\r\n222\r\n129\r\n456\r\n293\r\n")) << saved;
}

}  // namespace
