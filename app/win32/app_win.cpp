#include "app_win.h"

#include <shellapi.h>

#include <string>

#include "fileio.h"

namespace qm::win {

TQuillmark::TQuillmark() : Form2_(ResultWindow_, ResultWindow_.Bounds()), MainWindow_(Form2_, ResultWindow_) {
  InitControls();
  ResultWindow_.MayShow = [this] { return !Form1().CloseRequested(); };
}

bool TQuillmark::Start(const std::filesystem::path& executable, int showCommand,
                       const std::vector<std::filesystem::path>& paths) {
  if (!MainWindow_.Create() || !ResultWindow_.Create(MainWindow_.Hwnd())) return false;
  MainWindow_.InstalledCopy = IsInstalledCopy(executable);
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

bool IsInstalledCopy(const std::filesystem::path& executable) {
  wchar_t recorded[32768];
  DWORD size = sizeof recorded;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quillmark", L"InstallFolder", RRF_RT_REG_SZ, nullptr, recorded,
                   &size) != ERROR_SUCCESS)
    return false;
  // The same folder, however spelled (a trailing separator, letter case, a
  // short name).
  const auto installed = FileIdentity(std::filesystem::path(recorded));
  return installed && installed == FileIdentity(executable.parent_path());
}

TInstanceLock::TInstanceLock() {
  // Per session ("Local\"): another user's window is not this user's.
  Mutex_ = CreateMutexW(nullptr, FALSE, L"Local\\Quillmark.Instance");
  if (!Mutex_) return;  // then every start is on its own, as without the lock
  const DWORD waited = WaitForSingleObject(Mutex_, 60000);
  // An abandoned lock (a start that crashed holding it) is ours now.
  Held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

TInstanceLock::~TInstanceLock() {
  Release();
  if (Mutex_) CloseHandle(Mutex_);
}

void TInstanceLock::Release() noexcept {
  if (Held_) ReleaseMutex(Mutex_);
  Held_ = false;
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
