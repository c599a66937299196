#pragma once
// A registry key's values as they were before a change, so that a change that cannot be completed
// can be taken back.
#include "framework/ByteBuffer.h"

#include <windows.h>

class SavedKey {
public:
    // Reads every value of subkey. A key that is not there is saved as absent; one that cannot be
    // read is saved as unknown.
    void Save(HKEY root, LPCWSTR subkey);
    // Puts the key back as saved: recreated with the saved values, or deleted when it was absent
    // or unknown (a key whose earlier state is unknown is better gone than half changed).
    // Returns the first failure's status.
    LONG Restore(HKEY root, LPCWSTR subkey) const;

private:
    enum class State { Absent, Unknown, Saved };
    State m_state = State::Unknown;
    // Each value: its name's size in bytes, the name with its null, the type, the data's size, the data.
    ByteBuffer m_values;
};
