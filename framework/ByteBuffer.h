#pragma once
// A growable block of bytes that owns its storage. (std::string would do, but it drags some 90 KB
// of the C++ library's string and exception code into the installer.)
#include <stddef.h>
#include <string.h>

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer() { delete[] m_data; }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    const char* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    bool IsEmpty() const { return m_size == 0; }
    void Clear() { m_size = 0; }
    void Swap(ByteBuffer& other) {
        char* data = m_data;
        size_t size = m_size, capacity = m_capacity;
        m_data = other.m_data;
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_data = data;
        other.m_size = size;
        other.m_capacity = capacity;
    }
    void Append(const char* data, size_t count) {
        if (count == 0) return;
        if (m_size + count > m_capacity) {
            size_t capacity = m_capacity ? m_capacity * 2 : 256;
            while (capacity < m_size + count) capacity *= 2;
            char* grown = new char[capacity];
            if (m_size) memcpy(grown, m_data, m_size);
            delete[] m_data;
            m_data = grown;
            m_capacity = capacity;
        }
        memcpy(m_data + m_size, data, count);
        m_size += count;
    }
    void Append(char byte) { Append(&byte, 1); }

private:
    char* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
