#include "app_win.h"

#include <shellapi.h>

#include <string>

namespace qm::win {

TQuillmark::TQuillmark() : Form2_(ResultWindow_, ResultWindow_.Bounds()), MainWindow_(Form2_, ResultWindow_) {
  InitControls();
  ResultWindow_.MayShow = [this] { return !Form1().CloseRequested(); };
}

bool TQuillmark::Start(const std::filesystem::path& executable, int showCommand,
                       const std::vector<std::filesystem::path>& paths) {
  if (!MainWindow_.Create() || !ResultWindow_.Create(MainWindow_.Hwnd())) return false;
  MainWindow_.Show(executable, showCommand, paths);
  return true;
}

int TQuillmark::Run() {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    DispatchUiMessage(msg);
  }
}

std::filesystem::path ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return std::filesystem::path(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace qm::win

namespace qm::win {

std::vector<std::filesystem::path> CommandLinePaths() {
  std::vector<std::filesystem::path> paths;
  int n = 0;
  if (wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &n)) {
    for (int i = 1; i < n; ++i)
      if (args[i][0]) paths.emplace_back(args[i]);
    LocalFree(args);
  }
  return paths;
}

}  // namespace qm::win
