#include "common/standin.h"

#include <shellapi.h>

#include <cwchar>
#include <memory>

namespace standin {

namespace {

constexpr long long kUnixEpochIn100ns = 116444736000000000LL;

// A file handle closed exactly once.
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle OpenForAppend(const std::wstring& file)
{
    HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool WriteAll(HANDLE handle, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool AppendBytes(const std::wstring& file, const std::string& bytes)
{
    const FileHandle handle = OpenForAppend(file);
    return handle && WriteAll(handle.get(), bytes);
}

}  // namespace

long long NowMicroseconds()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - kUnixEpochIn100ns) / 10;
}

std::wstring StateDir()
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUILLET_E2E_DIR", buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return L".";
    }
    std::wstring dir(buffer, length);
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) {
        dir.pop_back();
    }
    return dir;
}

std::wstring StatePath(const std::wstring& name)
{
    return StateDir() + L"\\" + name;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

void Record(const std::wstring& file, const std::string& what, const std::string& detail)
{
    std::string line = std::to_string(NowMicroseconds()) + " " + what;
    if (!detail.empty()) {
        line += " " + detail;
    }
    AppendBytes(file, line + "\n");
}

std::vector<std::wstring> ReadLines(const std::wstring& file)
{
    const FileHandle handle([&] {
        HANDLE h =
            CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    }());
    std::vector<std::wstring> lines;
    if (!handle) {
        return lines;
    }
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(handle.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
    }
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(Wide(line));
        start = end + 1;
    }
    return lines;
}

bool WriteLines(const std::wstring& file, const std::vector<std::wstring>& lines)
{
    HANDLE raw = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return false;
    }
    const FileHandle handle(raw);
    std::string bytes;
    for (const auto& line : lines) {
        bytes += Utf8(line) + "\n";
    }
    return WriteAll(handle.get(), bytes);
}

bool AppendLine(const std::wstring& file, const std::wstring& line)
{
    return AppendBytes(file, Utf8(line) + "\n");
}

bool FileExists(const std::wstring& file)
{
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StopRequested()
{
    return FileExists(StatePath(L"stop"));
}

int SettleRequested(int& answered)
{
    const std::vector<std::wstring> lines = ReadLines(StatePath(L"settle"));
    const int request = lines.empty() ? 0 : std::wcstol(lines.front().c_str(), nullptr, 10);
    if (request <= answered) {
        return 0;
    }
    answered = request;
    return request;
}

Options::Options(const wchar_t* commandLine)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> args(CommandLineToArgvW(commandLine, &count),
                                                             &LocalFree);
    if (!args) {
        return;
    }
    // The first argument is the program itself.
    for (int i = 1; i < count; ++i) {
        const std::wstring name = args.get()[i];
        if (name.rfind(L"--", 0) != 0) {
            continue;
        }
        const bool hasValue = i + 1 < count && std::wcsncmp(args.get()[i + 1], L"--", 2) != 0;
        values_[name.substr(2)] = hasValue ? args.get()[++i] : L"1";
    }
}

std::wstring Options::Get(const std::wstring& name, const std::wstring& fallback) const
{
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second;
}

int Options::GetInt(const std::wstring& name, int fallback) const
{
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : std::stoi(found->second);
}

}  // namespace standin
