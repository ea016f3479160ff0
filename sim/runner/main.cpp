// quillet-sim: Quillet on a simulated phone.
#include <iostream>
#include <string>
#include <vector>

#include "sim/runner/run.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return runner::RunCommandLine(arguments, std::cout, std::cerr);
}
