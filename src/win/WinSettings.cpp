#include "win/WinSettings.h"

#include <vector>

#include "platform/WindowsApi.h"

namespace {

struct Place {
  std::wstring subkey;
  std::wstring value;
};

Place PlaceOf(const std::wstring& root, std::string_view key) {
  const auto slash = key.rfind('/');
  if (slash == std::string_view::npos) return {root, WideOf(key)};
  std::wstring group = WideOf(key.substr(0, slash));
  for (wchar_t& c : group) {
    if (c == L'/') c = L'\\';
  }
  return {root + L"\\" + group, WideOf(key.substr(slash + 1))};
}

// A choice that cannot be kept is no failure: the session goes on with it.
void Write(const Place& place, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, place.subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, place.value.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

}  // namespace

std::optional<int> WinSettings::ReadInt(std::string_view key) const {
  const Place place = PlaceOf(root_, key);
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, place.subkey.c_str(), place.value.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  return static_cast<int>(value);
}

void WinSettings::WriteInt(std::string_view key, int value) const {
  const DWORD data = static_cast<DWORD>(value);
  Write(PlaceOf(root_, key), REG_DWORD, &data, sizeof data);
}

std::string WinSettings::ReadText(std::string_view key) const {
  const Place place = PlaceOf(root_, key);
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, place.subkey.c_str(), place.value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS)
    return {};
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, place.subkey.c_str(), place.value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                   &size) != ERROR_SUCCESS)
    return {};
  return NarrowOf(text.data());
}

void WinSettings::WriteText(std::string_view key, std::string_view value) const {
  const std::wstring text = WideOf(value);
  Write(PlaceOf(root_, key), REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WinSettings::RemoveAll() const { RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str()); }
