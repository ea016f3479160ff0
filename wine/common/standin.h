// What the stand-ins share: where the run's state lives, the time stamps that let the driver put
// the records of several processes in one order, and the line files they record to.
//
// Every stand-in keeps its state under one folder, named by the environment variable
// QUILLET_E2E_DIR (a Windows path). Records are UTF-8 lines "<microseconds> <what> <detail>",
// appended one line per write so that a crash leaves every earlier line intact.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace standin {

// Microseconds since 1970-01-01 UTC: the same clock the driver reads on the Linux side.
long long NowMicroseconds();

// The state folder, without a trailing backslash; the current folder when the variable is unset.
std::wstring StateDir();

// A file in the state folder.
std::wstring StatePath(const std::wstring& name);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// Appends "<now> <what> <detail>\n" to the file.
void Record(const std::wstring& file, const std::string& what, const std::string& detail = {});

// The file's lines without their line ends; none when the file can't be read.
std::vector<std::wstring> ReadLines(const std::wstring& file);

// Replaces the file's content with these lines, each ended by "\n".
bool WriteLines(const std::wstring& file, const std::vector<std::wstring>& lines);

// Appends one line to the file.
bool AppendLine(const std::wstring& file, const std::wstring& line);

bool FileExists(const std::wstring& file);

// The driver asks every stand-in to end by creating this file.
bool StopRequested();

// The driver asks every stand-in that still runs to say when it has caught up with everything
// done before the request, by writing a request number to the file "settle". Answers the number
// when it is greater than answered (and sets answered to it), otherwise 0.
int SettleRequested(int& answered);

// "--name value" pairs of the command line; a name without a value maps to "1".
class Options {
public:
    explicit Options(const wchar_t* commandLine);
    [[nodiscard]] std::wstring Get(const std::wstring& name, const std::wstring& fallback) const;
    [[nodiscard]] int GetInt(const std::wstring& name, int fallback) const;

private:
    std::map<std::wstring, std::wstring> values_;
};

}  // namespace standin
