// Puts the simulated phone into the state a scenario describes.
#pragma once

#include <filesystem>
#include <string>

#include "sim/runner/scenario.h"

namespace runner {

// A folder of the machine that stands for the program's own folder on the phone: it holds
// quillet.exe's path and the ProfileFile, and goes away with the run.
class RunFolder {
public:
    RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    ~RunFolder();

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] std::filesystem::path Module() const { return path_ / "quillet.exe"; }
    [[nodiscard]] std::filesystem::path ProfileFile() const { return path_ / "quillet.ini"; }

private:
    std::filesystem::path path_;
};

// Writes the ProfileFile, unless the scenario has none.
void PrepareProfileFile(const Scenario& scenario, const RunFolder& folder);

// Resets the phone and sets everything the scenario describes up, ready for WinMain.
void SetUpPhone(const Scenario& scenario, const RunFolder& folder);

// The single-instance mutex's name, which a running copy holds.
extern const char* const kInstanceMutexName;

}  // namespace runner
