#pragma once
// The check of an install folder, the same for -path= and for the dialog's folder box.
#include "framework/CString.h"

// Why folder cannot be the install folder, or an empty text when it can. It must be a full path (a
// drive and its root, or a network share) and hold no character that Windows folder names cannot
// hold. The text starts with subject, which names where the folder came from.
CString InstallFolderProblem(const CString& folder, const CString& subject = L"The folder given with -path=");
