// toolprobe.exe: a tool for the Tools page's proofs. It writes the arguments it was started with
// to the file the environment variable KESTROVA_TOOLPROBE_RECORD names, whole or not at all
// (written beside it, then renamed), so that a test waiting for the file reads what it got.

#include <windows.h>

#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t record[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"KESTROVA_TOOLPROBE_RECORD", record, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return 2;
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr)
    return 3;
  std::wstring text;
  for (int i = 1; i < count; ++i)
    text += (i > 1 ? L" " : L"") + std::wstring(arguments[i]);
  ::LocalFree(arguments);
  const std::wstring partial = std::wstring(record) + L".part";
  HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 4;
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  const bool whole = ::WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
  ::CloseHandle(file);
  if (!whole || !::MoveFileExW(partial.c_str(), record, MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(partial.c_str());
    return 5;
  }
  return 0;
}
