#pragma once

#include "platform/text.h"

// Writes the commented template to path when no file exists there; an existing file is never
// touched. Reports nothing.
void WriteDefaultProfile(const WString& path);
