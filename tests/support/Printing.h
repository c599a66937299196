#pragma once
// Lets GoogleTest print CString values in failure messages.
#include "framework/CString.h"

#include <ostream>

void PrintTo(const CString& text, std::ostream* os);
