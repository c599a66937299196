#pragma once
// Keeps DLLs lying beside the program (a Downloads folder, where any web page can drop one) out
// of the process. Each executable compiles SystemDllSearch.cpp into itself and calls this first
// thing in its wWinMain, after the C run-time's start-up and the global constructors: those
// constructors must load no DLL.
//
// Restricts every later search of a DLL by name to the system folder and takes the current
// folder out of the search. On systems without the restricting call (Windows 7 before its
// loader update, and older) only the current folder is taken out.
void RestrictDllSearchToSystem();
