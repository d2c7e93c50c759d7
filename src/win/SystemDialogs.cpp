#include "win/SystemDialogs.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "app/DialogFileTypes.h"
#include "app/WindowLayout.h"
#include "surfaces/Texts.h"
#include "win/ModalBox.h"
#include "win/WinText.h"

namespace {

// Long paths: the dialogs may return more than MAX_PATH characters.
constexpr std::size_t kNameRoom = 32768;

// Releases a COM object at the end of its scope.
template <typename T>
struct Held {
  T* p = nullptr;
  Held() = default;
  explicit Held(T* held) : p(held) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (p != nullptr) p->Release();
  }
};

// The shell's item of a folder, or of the nearest folder above it that is
// still there.
IShellItem* ShellFolderAt(std::wstring path) {
  while (!path.empty()) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    IShellItem* item = nullptr;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        SUCCEEDED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item))))
      return item;
    const std::size_t slash = path.find_last_of(L"\\/", path.size() > 1 ? path.size() - 2 : 0);
    if (slash == std::wstring::npos) break;
    path.resize(slash + 1);
  }
  return nullptr;
}

}  // namespace

SystemDialogs::SystemDialogs() {
  for (FileDialogState* state : {&open_, &save_, &results_, &key_}) state->name.assign(kNameRoom, L'\0');
}

std::wstring SystemDialogs::Filter(bool results) {
  std::wstring filter;
  for (const Texts::FileType& type : DialogFileTypes::Of(results))
    filter += Shown(type.name) + L'\0' + Shown(type.pattern) + L'\0';
  return filter + L'\0';
}

ResultsFormat SystemDialogs::FormatOf(DWORD typeIndex) { return DialogFileTypes::FormatOf(typeIndex - 1); }

std::optional<std::string> SystemDialogs::RunFileDialog(FileDialogState& state, bool save, bool results) {
  const std::wstring filter = Filter(results);
  const std::wstring extension = Shown(Texts::kDefaultExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = state.typeIndex;
  dialog.lpstrFile = state.name.data();
  dialog.nMaxFile = static_cast<DWORD>(state.name.size());
  // The selected type's extension completes a bare name, and the default
  // one under All Files; the program asks its own overwrite question.
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_LONGNAMES;
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return std::nullopt;
  state.typeIndex = dialog.nFilterIndex;
  return NarrowOf(state.name.data());
}

std::optional<std::string> SystemDialogs::OpenFile() { return RunFileDialog(open_, false); }

std::optional<std::string> SystemDialogs::SaveFile() { return RunFileDialog(save_, true); }

std::optional<std::string> SystemDialogs::ChooseKeyFile(std::string_view title) {
  // A key file has any name: no type to choose, no extension added.
  static constexpr wchar_t kAllFiles[] = L"All files (*.*)\0*.*\0";
  const std::wstring caption = Shown(title);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = kAllFiles;
  dialog.lpstrTitle = caption.c_str();
  dialog.lpstrFile = key_.name.data();
  dialog.nMaxFile = static_cast<DWORD>(key_.name.size());
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_LONGNAMES | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return NarrowOf(key_.name.data());
}

std::optional<ResultsFileChoice> SystemDialogs::SaveResultsFile() {
  auto name = RunFileDialog(results_, true, true);
  if (!name) return std::nullopt;
  return ResultsFileChoice{std::move(*name), FormatOf(results_.typeIndex)};
}

std::optional<std::string> SystemDialogs::BrowseForFolder(std::string_view title, const std::string& start) {
  if (!start.empty()) lastFolder_ = WideOf(start);
  // The system's folder picker: its Folder box takes a typed or pasted path.
  Held<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.p)))) {
    ShowError("The folder browser cannot be opened on this system");
    return std::nullopt;
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog.p->GetOptions(&options);
  dialog.p->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR);
  dialog.p->SetTitle(Shown(title).c_str());
  // It opens at the folder chosen last time, not where the system last was.
  if (const Held<IShellItem> folder(ShellFolderAt(lastFolder_)); folder.p != nullptr) dialog.p->SetFolder(folder.p);
  Held<IShellItem> chosen;
  if (FAILED(dialog.p->Show(owner_)) || FAILED(dialog.p->GetResult(&chosen.p))) return std::nullopt;
  wchar_t* path = nullptr;
  // A place that is no folder of the file system (a printer, the network) is no choice.
  if (FAILED(chosen.p->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return std::nullopt;
  lastFolder_ = path;
  CoTaskMemFree(path);
  return NarrowOf(lastFolder_);
}

ConfirmAnswer SystemDialogs::Confirm(std::string_view question) {
  switch (MessageBoxW(owner_, Shown(question).c_str(), L"Confirm", MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      return ConfirmAnswer::Yes;
    case IDNO:
      return ConfirmAnswer::No;
    default:
      return ConfirmAnswer::Cancel;
  }
}

void SystemDialogs::ShowError(std::string_view message) {
  MessageBoxW(owner_, Shown(message).c_str(), Shown(Texts::kApplicationTitle).c_str(), MB_OK | MB_ICONERROR);
}

void SystemDialogs::ShowWarning(std::string_view message) {
  MessageBoxW(owner_, Shown(message).c_str(), Shown(Texts::kApplicationTitle).c_str(), MB_OK | MB_ICONWARNING);
}

void SystemDialogs::ShowAbout() { ModalBox::About(owner_); }

std::optional<std::string> SystemDialogs::EditExcludePatterns(const std::string& patterns) {
  return ModalBox::ExcludePatterns(owner_, patterns);
}

int SystemDialogs::PopupMenu(POINT at, const std::vector<MenuItem>& items) {
  HMENU menu = CreatePopupMenu();
  for (std::size_t i = 0; i < items.size(); ++i)
    AppendMenuW(menu, MF_STRING | (items[i].enabled ? MF_ENABLED : MF_GRAYED), i + 1, Shown(items[i].caption).c_str());
  const int chosen = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner_, nullptr));
  DestroyMenu(menu);
  return chosen - 1;
}

bool SystemDialogs::OpenFolder(const std::string& folder) {
  // Above 32 is success, the rest are error codes.
  return reinterpret_cast<INT_PTR>(ShellExecuteW(owner_, L"open", WideOf(folder).c_str(), nullptr, nullptr,
                                                 SW_SHOWNORMAL)) > 32;
}
