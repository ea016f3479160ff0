#pragma once

#include "platform/text.h"

// Sets AppState::showMenu and AppState::touchLeft from the space-separated options
// "/showmenu" and "/touchleft" (exact, case-sensitive); other tokens are ignored. Splits the
// string in place, as the platform's tokenizer does, so the caller's buffer is changed.
void ParseCommandLine(WCHAR* commandLine);
