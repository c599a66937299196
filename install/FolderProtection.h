#pragma once
// Who may change an install folder. Program Files lets only SYSTEM, the Administrators and the
// system's own installer write, and what is created inside inherits that. A folder elsewhere
// inherits what its parent allows, which on C:\ includes "Authenticated Users: Modify"; and a folder
// that a standard user made first is theirs.
#include "framework/CString.h"

// The list that each folder the install creates outside Program Files gets, like Program Files'
// own: SYSTEM and the Administrators have full control, Users may read and execute, everything
// inside inherits it, and nothing of the parent's list is inherited. The Administrators own it.
extern const wchar_t kProtectedFolderSecurity[];

// Whether security lets anyone but SYSTEM and the Administrators change the folder it protects or
// what is inside: an owner other than those two (an owner may always change the list), no list at
// all, or an entry that allows anyone else more than reading and executing, also one that only
// what is created inside inherits. Entries other than plain allow and deny entries count as such.
bool LetsOthersChange(PSECURITY_DESCRIPTOR security);

// Whether path is Program Files or lies inside it: the folder this program's shell names (on
// 64-bit Windows the 32-bit one) or the 64-bit one.
bool IsInProgramFiles(const CString& path);

// Why the permissions of a folder at path cannot be set: its file system keeps no access-control
// lists, or does not say whether it does. Empty when it keeps them.
CString WhyNoAccessControl(const CString& path);
