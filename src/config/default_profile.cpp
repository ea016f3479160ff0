#include "config/default_profile.h"

#include <string>

#include "config/file_handle.h"
#include "config/utf8.h"
#include "platform/file.h"

namespace {

// The template, in the order the user reads it; every line ends with a line feed.
constexpr const WCHAR* kDefaultLines[] = {
    WTEXT("[exec]"),
    WTEXT("# 送受信前に起動するアプリ"),
    WTEXT("before="),
    WTEXT(""),
    WTEXT("# 送受信後に起動するアプリ"),
    WTEXT("after="),
    WTEXT(""),
    WTEXT("# 送受信後に未送信メールがなかったときだけ起動するアプリ"),
    WTEXT("send="),
};

std::string DefaultProfileBytes()
{
    WString text;
    for (const WCHAR* line : kDefaultLines) {
        text += line;
        text += WCHAR{'\n'};
    }
    return EncodeUtf8(text);
}

// A short write goes on from where it stopped; a failed one gives up, since nothing is reported.
void WriteAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        if (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) == FALSE ||
            written == 0) {
            return;
        }
        bytes.remove_prefix(written);
    }
}

}  // namespace

// Created only where no file exists: a file that is there but could not be read (locked by
// another program, no permission) is the user's configuration and must survive. The new file
// is shared for reading and writing alike, so that the user may open it in an editor while it
// is being written.
void WriteDefaultProfile(const WString& path)
{
    if (path.empty()) {
        return;
    }
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return;
    }
    WriteAll(file.Get(), DefaultProfileBytes());
}
