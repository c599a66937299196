// Where Memotack keeps the user's notes, and how it reads and writes them.
#pragma once

#include <string>

namespace memotack {

// "<roaming application data>\Pelmo Software\Memotack\notes.txt"; creates the folder. Empty when
// the shell does not know the application-data folder.
std::wstring NotesPath();

// Reads UTF-8 notes. A missing file is an empty note, not a failure.
bool LoadNotes(const std::wstring& path, std::wstring& text);

// Writes the notes to a temporary file beside path, flushes it to disk and then replaces path in
// one step: a crash at any moment leaves either the old or the new notes, never a torn file.
bool SaveNotes(const std::wstring& path, const std::wstring& text);

}  // namespace memotack
