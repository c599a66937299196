#pragma once
// Small owning wrappers for Win32 handles and COM pointers. Each one owns exactly one resource and
// releases it in its destructor; none can be copied.
#include <windows.h>
#include <objbase.h>

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_h(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    // Valid means neither null nor INVALID_HANDLE_VALUE: Win32 uses both for "no handle".
    bool IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid()) ::CloseHandle(m_h);
        m_h = handle;
    }
    HANDLE Release() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }

private:
    HANDLE m_h = nullptr;
};

// A mutex that this thread owns: released, then closed, at destruction or at the next Reset.
class OwnedMutex {
public:
    OwnedMutex() = default;
    ~OwnedMutex() { Reset(); }
    OwnedMutex(const OwnedMutex&) = delete;
    OwnedMutex& operator=(const OwnedMutex&) = delete;

    bool IsOwned() const { return m_h != nullptr; }
    // Takes over mutex, which the calling thread must own; nullptr owns nothing.
    void Reset(HANDLE mutex = nullptr) {
        if (m_h) {
            ::ReleaseMutex(m_h);
            ::CloseHandle(m_h);
        }
        m_h = mutex;
    }

private:
    HANDLE m_h = nullptr;
};

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY* Receive() {
        Close();
        return &m_key;
    }
    HKEY Get() const { return m_key; }
    LONG Close() {
        LONG status = ERROR_SUCCESS;
        if (m_key) status = ::RegCloseKey(m_key);
        m_key = nullptr;
        return status;
    }

private:
    HKEY m_key = nullptr;
};

// A GDI object (font, brush, bitmap) deleted with DeleteObject.
template <class T>
class GdiObject {
public:
    explicit GdiObject(T object = nullptr) : m_obj(object) {}
    ~GdiObject() {
        if (m_obj) ::DeleteObject(m_obj);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    T Get() const { return m_obj; }

private:
    T m_obj;
};

// Memory the system allocated for us with LocalAlloc (FormatMessage and friends).
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() {
        if (m_p) ::LocalFree(m_p);
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    template <class T>
    T* As() const {
        return static_cast<T*>(m_p);
    }
    void** Receive() { return &m_p; }

private:
    void* m_p = nullptr;
};

// Memory handed to us by COM or the shell (item id lists, ...), freed with CoTaskMemFree.
template <class T>
class CoTaskMemory {
public:
    explicit CoTaskMemory(T* p = nullptr) : m_p(p) {}
    ~CoTaskMemory() { ::CoTaskMemFree(m_p); }
    CoTaskMemory(const CoTaskMemory&) = delete;
    CoTaskMemory& operator=(const CoTaskMemory&) = delete;
    T* Get() const { return m_p; }

private:
    T* m_p;
};

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void** ReceiveVoid() {
        Reset();
        return reinterpret_cast<void**>(&m_p);
    }
    void Reset() {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};
