#pragma once
#include "framework/CString.h"

// The position of the separator that ends the root of path, which ends with a separator: no
// folder up to there can be created. A share ("\\server\share\", "\\?\UNC\server\share\") and a
// drive behind a long-path prefix ("\\?\C:\") are roots as a whole; in any other path the
// prefixes of three characters or fewer ("C:", "\\", "") are. A path that holds nothing but a root
// gives its length.
int PathRootEnd(const CString& path);
