// Quillmark.exe's two windows, built by the same code, driven in-process
// through their handles with real messages: a shell drop, the list, the
// buttons and access keys, the batch with its busy state, the modal report,
// the settings file beside the executable and what a restart makes of it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app_win.h"
#include "drawings.h"
#include "jwwunit.h"
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

std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (WPARAM i = 0; i < static_cast<WPARAM>(count); ++i) {
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    items.push_back(text);
  }
  return items;
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
    Current_ = this;
    Timer_ = SetTimer(nullptr, 0, 10, Tick);
  }
  ~TWatcher() {
    if (Timer_) KillTimer(nullptr, Timer_);
    if (Current_ == this) Current_ = nullptr;
  }
  TWatcher(const TWatcher&) = delete;
  TWatcher& operator=(const TWatcher&) = delete;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    if (Current_ && Current_->Timer_ == timer && Current_->Step_()) {
      KillTimer(nullptr, Current_->Timer_);
      Current_->Timer_ = 0;
    }
  }
  static inline TWatcher* Current_ = nullptr;
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

class WindowTest : public ::testing::Test {
 protected:
  TTempFolder Program, Data;
  fs::path Exe = Program / L"Quillmark.exe";
  fs::path Dat = Program / L"Quillmark.dat";
  std::unique_ptr<TQuillmark> App;
  std::unique_ptr<TWatcher> Watcher;

  void TearDown() override {
    if (App && IsWindow(Main())) Close();
  }
  // The next time the report is shown modally: read it, then press key.
  void CloseReportWith(WPARAM key, TReportSeen& seen) { Watcher = WatchReport(*App, key, seen); }

  void Start() {
    App = std::make_unique<TQuillmark>();
    ASSERT_TRUE(App->Start(Exe, SW_SHOWNORMAL));
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
    App.reset();
    Pump();  // the loop's WM_QUIT
  }
  HWND Main() const { return App->MainWindow().Hwnd(); }
  HWND Form2() const { return App->ResultWindow().Hwnd(); }
  HWND Control(int id) const { return GetDlgItem(Main(), id); }
  void Click(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  void Drop(const std::vector<fs::path>& files) {
    PostMessageW(Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(files)), 0);
  }
  std::vector<fs::path> Items() const {
    std::vector<fs::path> out;
    for (const std::wstring& item : ListItems(Control(IdListBox1))) out.emplace_back(item);
    return out;
  }
};

const std::string kIdle = "[追加]又はドラッグ＆ドロップで JWWファイルを指示し、[変換]をクリックして下さい";

std::string U8(const fs::path& p) { return Narrow(p.native()); }

// ---------------------------------------------------------------------------

TEST_F(WindowTest, ControlsCaptionsFontAndTabOrder) {
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
    // Panel4 starts after the list (176) and the splitter (3), below Panel3 (20).
    EXPECT_EQ(PlaceInParent(b), (RECT{179 + 8, 20 + tops[i], 179 + 8 + 75, 20 + tops[i] + 25})) << i;
  }
  RECT client{};
  GetClientRect(Main(), &client);
  EXPECT_EQ(PlaceInParent(Control(IdListBox1)), (RECT{0, 20, 176, client.bottom - 19}));
  EXPECT_EQ(PlaceInParent(Control(IdSplitter1)), (RECT{176, 20, 179, client.bottom - 19}));
  EXPECT_EQ(PlaceInParent(Control(IdMemo1)), (RECT{179 + 88, 20, client.right, client.bottom - 19}));
  EXPECT_EQ(PlaceInParent(Control(IdStatusBar1)), (RECT{0, client.bottom - 19, client.right, client.bottom}));
  EXPECT_TRUE(GetWindowLongW(Control(IdListBox1), GWL_STYLE) & LBS_EXTENDEDSEL);
  EXPECT_EQ(Narrow(StatusText(Control(IdStatusBar1))), kIdle);

  const std::vector<std::string> notes = Lines(WindowText(Control(IdMemo1)));
  ASSERT_EQ(notes.size(), 38u);
  EXPECT_EQ(notes[0], "・指定したJWW形式ファイル内の");
  EXPECT_EQ(notes[12], "\u3000");
  EXPECT_EQ(notes[22], "\u3000\u3000Ver.2.20\uFF5E7.00");
  EXPECT_EQ(notes[29], "\u3000ファイルは作成しません。\u3000");
  EXPECT_EQ(notes[33], "\u3000");
  EXPECT_EQ(notes[37], "\u3000行って下さい。");

  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(IdMemo1), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -13);
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_STREQ(lf.lfFaceName, L"ＭＳ ゴシック");  // mapped to a Japanese font in the test prefix

  // Tab walks list, buttons, memo and round again.
  const int order[] = {IdListBox1, IdButton1, IdButton2, IdButton3, IdButton4, IdMemo1, IdListBox1};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_EQ(GetNextDlgTabItem(Main(), Control(order[i]), FALSE), Control(order[i + 1])) << i;
  EXPECT_EQ(WindowText(GetDlgItem(Form2(), IdForm2Button2)), L"閉じる(&C)");
  EXPECT_EQ(GetNextDlgTabItem(Form2(), GetDlgItem(Form2(), IdRE1), FALSE), GetDlgItem(Form2(), IdForm2Button2));
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
  HWND list = Control(IdListBox1);
  SetFocus(list);
  SendMessageW(list, LB_SETSEL, TRUE, 1);
  SendMessageW(list, LB_SETCARETINDEX, 1, FALSE);
  PostKey(list, 'd', true);
  Pump();
  EXPECT_EQ(Items(), (std::vector<fs::path>{plan, keep, bad, gone}));
  fs::remove(gone);  // gone after it was listed

  // While the batch runs: the commands are refused and the progress shows.
  struct {
    bool Add = true, Delete = true, Convert = true, Exit = false, Progress = false;
    std::string Status;
    int Selected = -1;
  } busy;
  TProbe probe([&] {
    busy.Add = IsWindowEnabled(Control(IdButton1));
    busy.Delete = IsWindowEnabled(Control(IdButton2));
    busy.Convert = IsWindowEnabled(Control(IdButton3));
    busy.Exit = IsWindowEnabled(Control(IdButton4));
    busy.Progress = IsWindowVisible(Control(IdProgressBar1));
    busy.Status = Narrow(StatusText(Control(IdStatusBar1)));
    int selected = -1;
    SendMessageW(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&selected));
    busy.Selected = SendMessageW(list, LB_GETSELCOUNT, 0, 0) == 1 ? selected : -1;
  });
  probe.Post();
  Drop({late});  // ignored: handled while the first file is in progress
  TReportSeen report;
  CloseReportWith(VK_ESCAPE, report);
  Click(IdButton3);
  EXPECT_EQ(probe.Runs, 1);
  EXPECT_FALSE(busy.Add);
  EXPECT_FALSE(busy.Delete);
  EXPECT_FALSE(busy.Convert);
  EXPECT_TRUE(busy.Exit);
  EXPECT_TRUE(busy.Progress);
  EXPECT_EQ(busy.Status, "ファイル【" + U8(plan) + "】変換中");
  EXPECT_EQ(busy.Selected, 0);

  ASSERT_TRUE(report.Shown);
  EXPECT_FALSE(report.OwnerEnabled);
  EXPECT_EQ(report.Caption, L"変換結果");
  EXPECT_EQ(report.Button, L"閉じる(&C)");
  const fs::path out = Data / L"plan図面ŝ_2.JWW";
  const std::vector<std::string> expected = {
      "【" + U8(plan) + "】", "　→ " + U8(out),                     "　変換を行いました。",
      "【" + U8(keep) + "】", "　非表示レイヤはありませんので",       "　変換をパスします。",
      "【" + U8(bad) + "】",  "　読み込めないファイルですので",       "　変換をパスします。",
      "【" + U8(gone) + "】", "　指定したファイルは存在しませんので", "　変換をパスします。"};
  EXPECT_EQ(report.Lines, expected);

  // After Esc: the report is hidden, the window usable again.
  EXPECT_FALSE(IsWindowVisible(Form2()));
  EXPECT_TRUE(IsWindowEnabled(Main()));
  EXPECT_TRUE(IsWindowEnabled(Control(IdButton1)));
  EXPECT_TRUE(IsWindowEnabled(Control(IdButton3)));
  EXPECT_FALSE(IsWindowVisible(Control(IdProgressBar1)));
  EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 0);
  EXPECT_EQ(Narrow(StatusText(Control(IdStatusBar1))), kIdle);
  EXPECT_EQ(Items(), (std::vector<fs::path>{plan, keep, bad, gone}));
  TJwwData converted;
  const TJwwStatus loaded = converted.LoadDocument(out);
  ASSERT_TRUE(loaded) << loaded.Error;
  EXPECT_EQ(converted.LineCount, 1);
  EXPECT_EQ(converted.LayerGroups[1].State, 0);
  EXPECT_FALSE(fs::exists(Data / L"keep_2.JWW"));
  EXPECT_FALSE(fs::exists(Data / L"bad_2.JWW"));
  EXPECT_FALSE(fs::exists(Data / L"late_2.JWW"));

  // A second Convert replaces the report; Enter closes it.
  TReportSeen second;
  CloseReportWith(VK_RETURN, second);
  Click(IdButton3);
  ASSERT_TRUE(second.Shown);
  ASSERT_EQ(second.Lines.size(), 12u);
  EXPECT_EQ(second.Lines[1], "　→ " + U8(Data / L"plan図面ŝ_3.JWW"));
  EXPECT_FALSE(IsWindowVisible(Form2()));

  // New geometry: the window, the report window, and the list dragged wider.
  SetWindowPos(Main(), nullptr, 150, 120, 520, 320, SWP_NOZORDER);
  SetWindowPos(Form2(), nullptr, 300, 200, 400, 250, SWP_NOZORDER | SWP_NOACTIVATE);
  HWND splitter = Control(IdSplitter1);
  SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 5));
  SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(41, 5));
  SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(41, 5));
  EXPECT_EQ(PlaceInParent(Control(IdButton1)).left, 216 + 3 + 8);
  Close();

  EXPECT_EQ(ReadBytes(Dat), "150\r\n120\r\n520\r\n320\r\n216\r\n300\r\n200\r\n400\r\n250\r\n" + U8(Program.Path()) +
                                "\\\r\n");
  EXPECT_FALSE(fs::exists(Program / L"TEMP"));

  Start();
  EXPECT_EQ(ScreenRect(Main()), (RECT{150, 120, 670, 440}));
  EXPECT_EQ(ScreenRect(Form2()), (RECT{300, 200, 700, 450}));
  EXPECT_EQ(PlaceInParent(Control(IdListBox1)).right, 216);
  EXPECT_TRUE(Items().empty());
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
  EXPECT_EQ(PlaceInParent(Control(IdListBox1)).right, 20);

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

// Closing while a batch runs lets the file in progress finish, then the
// program ends without showing the report.
TEST_F(WindowTest, CloseDuringABatchFinishesTheCurrentFileThenCloses) {
  const fs::path a = Data / L"a.jww", b = Data / L"b.jww";
  Put(a, HiddenGroupDrawing(600));
  Put(b, HiddenGroupDrawing(600));
  Start();
  Drop({a, b});
  Pump();
  ASSERT_EQ(Items().size(), 2u);
  TReportSeen report;
  CloseReportWith(VK_ESCAPE, report);
  PostMessageW(Main(), WM_CLOSE, 0, 0);  // handled while a is in progress
  Click(IdButton3);
  PumpUntilClosed();
  EXPECT_FALSE(report.Shown);
  EXPECT_TRUE(fs::exists(Data / L"a_2.JWW"));
  EXPECT_FALSE(fs::exists(Data / L"b_2.JWW"));
  EXPECT_TRUE(fs::exists(Dat));
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
  auto app = std::make_unique<TQuillmark>();
  ASSERT_TRUE(app->Start(program / L"Quillmark.exe", SW_SHOWNORMAL));
  Pump();
  HWND main = app->MainWindow().Hwnd();
  EXPECT_EQ(GetDpiForWindow(main), 144u);
  const RECT rc = ScreenRect(main);
  EXPECT_EQ(rc, (RECT{192, 107, 192 + 717, 107 + 396}));
  const RECT button = PlaceInParent(GetDlgItem(main, IdButton1));
  EXPECT_EQ(button, (RECT{264 + 5 + 12, 30 + 12, 264 + 5 + 12 + 113, 30 + 12 + 38}));
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(main, IdMemo1), WM_GETFONT, 0, 0)), sizeof lf, &lf);
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
