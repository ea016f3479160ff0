// Starting the programs that the configuration names around a send/receive.
#pragma once

#include "platform/text.h"

// Starts the program that a hook value names: the text before the first "|" is the program,
// the rest its parameters. Never waits for it. Always answers 1.
int RunHookCommand(const WString& command);

// Starts program with parameters through the shell. Answers 0 without starting anything when
// program is empty; otherwise nonzero when it was started.
int LaunchProgram(const WString& program, const WString& parameters);
