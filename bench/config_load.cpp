// How long the Profile takes to load: a typical ProfileFile, and large files of the shapes that
// would show a load growing faster than the file (one long section, many one-entry sections,
// lines far past the line limit), in ASCII and, with Japanese text, in each encoding the
// program reads.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "config/profile.h"
#include "sim/phone.h"

namespace {

const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return folder;
}

std::string Typical()
{
    return "[exec]\n# before\nbefore=\\Program Files\\Sync\\sync.exe|/quiet \"C:\\My Documents\\log.txt\"\n\n"
           "# after\nafter=\\Windows\\notify.exe|done\n\n# send\nsend=\\Windows\\notify.exe|sent\n";
}

std::string OneLongSection(std::size_t size)
{
    std::string text = "[exec]\n";
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "key" + std::to_string(i) + R"(=\Program Files\Hook\hook.exe|)" + std::to_string(i) + "\n";
    }
    return text + "before=last\n";
}

std::string ManySections(std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "[s" + std::to_string(i) + "]\nk=v\n";
    }
    return text + "[exec]\nbefore=last\n";
}

std::string OverlongLines(std::size_t size)
{
    std::string text = "[exec]\n";
    while (text.size() < size) {
        text += "k=" + std::string(100000, 'x') + "\n";
    }
    return text + "before=last\n";
}

// The same shapes with Japanese keys, names and values, as each of the phone's editors saves
// them: UTF-8, Shift-JIS (code page 932) and UTF-16LE with its byte-order mark. Each file is
// built line by line until it holds size bytes in its own encoding.
enum class Encoding { Utf8, ShiftJis, Utf16 };

std::string ShiftJis(const std::string& utf8)
{
    static const iconv_t descriptor = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* put = out.data();
    std::size_t outLeft = out.size();
    if (descriptor == reinterpret_cast<iconv_t>(-1) ||
        iconv(descriptor, &in, &inLeft, &put, &outLeft) == static_cast<std::size_t>(-1)) {
        std::abort();
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string Encoded(const std::string& utf8, Encoding encoding)
{
    if (encoding == Encoding::Utf8) {
        return utf8;
    }
    if (encoding == Encoding::ShiftJis) {
        return ShiftJis(utf8);
    }
    std::string bytes;
    for (const char16_t unit : sim::Utf16(utf8)) {
        bytes += static_cast<char>(unit & 0xFFU);
        bytes += static_cast<char>(unit >> 8U);
    }
    return bytes;
}

template <typename NextLine>
std::string Build(std::size_t size, Encoding encoding, NextLine nextLine)
{
    std::string text = encoding == Encoding::Utf16 ? "\xFF\xFE" : "";
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += Encoded(nextLine(i), encoding);
    }
    return text + Encoded("[exec]\nbefore=last\n", encoding);
}

std::string JapaneseShape(int shape, std::size_t size, Encoding encoding)
{
    if (shape == 0) {
        return Build(size, encoding, [](std::size_t i) {
            return "キー" + std::to_string(i) + "=\\Program Files\\フック\\hook.exe|" + std::to_string(i) +
                   "\n";
        });
    }
    if (shape == 1) {
        return Build(size, encoding,
                     [](std::size_t i) { return "[節" + std::to_string(i) + "]\nキー=値\n"; });
    }
    std::string overlong = "キー=";
    for (int i = 0; i < 10000; ++i) {
        overlong += "送受信";
    }
    overlong += "\n";
    return Build(size, encoding, [&](std::size_t) { return overlong; });
}

// Writes the file once per shape and size; each iteration loads it into a fresh Profile on a
// fresh phone, so the simulator's trace does not grow across iterations.
void Load(benchmark::State& state, const std::string& name, const std::string& text)
{
    const auto folder = Folder() / name;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "quillet.ini", std::ios::binary) << text;
    const WString module = sim::Utf16((folder / "quillet.exe").string());
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        state.PauseTiming();
        sim::Phone::Get().Reset();
        sim::Phone::Get().moduleFileName = module;
        state.ResumeTiming();
        const Profile profile(nullptr);
        benchmark::DoNotOptimize(profile.GetValue(WTEXT("exec"), WTEXT("before")));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}

void BM_LoadTypical(benchmark::State& state)
{
    Load(state, "typical", Typical());
}

void BM_LoadOneLongSection(benchmark::State& state)
{
    Load(state, "long-" + std::to_string(state.range(0)),
         OneLongSection(static_cast<std::size_t>(state.range(0))));
}

void BM_LoadManySections(benchmark::State& state)
{
    Load(state, "many-" + std::to_string(state.range(0)),
         ManySections(static_cast<std::size_t>(state.range(0))));
}

void BM_LoadOverlongLines(benchmark::State& state)
{
    Load(state, "overlong-" + std::to_string(state.range(0)),
         OverlongLines(static_cast<std::size_t>(state.range(0))));
}

constexpr std::int64_t kMiB = 1 << 20;

// Arguments: the shape (0 one long section, 1 many sections, 2 overlong lines), the encoding
// (0 UTF-8, 1 Shift-JIS, 2 UTF-16LE) and the file's size.
void BM_LoadJapanese(benchmark::State& state)
{
    static const char* const shapes[] = {"long", "many", "overlong"};
    static const char* const encodings[] = {"utf8", "sjis", "utf16"};
    const auto shape = static_cast<int>(state.range(0));
    const auto encoding = static_cast<Encoding>(state.range(1));
    const auto size = static_cast<std::size_t>(state.range(2));
    // Built once: the library runs the function more than once while it settles the iterations.
    static std::map<std::string, std::string> files;
    const std::string name = std::string("japanese-") + shapes[shape] + "-" + encodings[state.range(1)] +
                             "-" + std::to_string(size);
    auto file = files.find(name);
    if (file == files.end()) {
        file = files.emplace(name, JapaneseShape(shape, size, encoding)).first;
    }
    Load(state, name, file->second);
}

}  // namespace

BENCHMARK(BM_LoadTypical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadOneLongSection)
    ->RangeMultiplier(2)
    ->Range(kMiB, 8 * kMiB)
    ->Arg(10 * kMiB)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_LoadManySections)
    ->RangeMultiplier(2)
    ->Range(kMiB, 8 * kMiB)
    ->Arg(10 * kMiB)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_LoadOverlongLines)
    ->RangeMultiplier(2)
    ->Range(kMiB, 8 * kMiB)
    ->Arg(10 * kMiB)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK(BM_LoadJapanese)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}, {kMiB, 10 * kMiB}})
    ->ArgNames({"shape", "encoding", "bytes"})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
