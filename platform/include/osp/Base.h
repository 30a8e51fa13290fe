// The Osp::Base namespace: result codes, objects, strings, lists, byte buffers, math
// and the application log, as the application sees them.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace Osp { namespace Base {

typedef unsigned long result;

// Error codes keep a category in the high bits and a number in the low 16 bits.
enum : result {
    E_SUCCESS = 0,
    E_FAILURE = 0x90000001,
    E_OUT_OF_MEMORY = 0x90000002,
    E_INVALID_ARG = 0x90000003,
    E_INVALID_STATE = 0x90000004,
    E_OUT_OF_RANGE = 0x90000005,
    E_OBJ_NOT_FOUND = 0x90000006,
    E_OBJ_ALREADY_EXIST = 0x90000007,
    E_INIT_FAILED = 0x90000008,
    E_SYSTEM = 0x90000009,
    E_UNSUPPORTED_OPERATION = 0x9000000A,
    E_DEVICE_BUSY = 0x9000000B,
    E_DEVICE_UNAVAILABLE = 0x9000000C,
    E_DEVICE_FAILED = 0x9000000D,
    E_FILE_NOT_FOUND = 0x9000000E,
    E_IO = 0x9000000F,
    E_INVALID_DATA = 0x90000010,
    E_UNSUPPORTED_FORMAT = 0x90000011,
    E_MAX_EXCEEDED = 0x90000012,
};

inline bool IsFailed(result r) { return r != E_SUCCESS; }

class Object {
public:
    Object() = default;
    virtual ~Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;
};

class String : public Object {
public:
    String() = default;
    String(const char* pValue); // UTF-8 text
    String(const wchar_t* pValue);
    String(const String& value) = default;
    String& operator=(const String& value) = default;
    ~String() override = default;

    result Append(const String& str);
    result Append(const wchar_t* p);
    result Append(const char* p);
    result Append(int i);

    bool EndsWith(const String& str) const;
    bool StartsWith(const String& str, int startIndex) const;
    int GetLength() const { return static_cast<int>(m_text.size()); }
    const wchar_t* GetPointer() const { return m_text.c_str(); }
    bool IsEmpty() const { return m_text.empty(); }
    bool Equals(const String& str) const { return m_text == str.m_text; }
    bool operator==(const String& rhs) const { return m_text == rhs.m_text; }
    bool operator!=(const String& rhs) const { return m_text != rhs.m_text; }
    String& operator+=(const String& rhs)
    {
        m_text += rhs.m_text;
        return *this;
    }

    // The text as UTF-8, for the platform's own use (file names, logs).
    std::string ToUtf8() const;

private:
    std::wstring m_text;
};

class ByteBuffer : public Object {
public:
    ByteBuffer() = default;
    ~ByteBuffer() override = default;
    result Construct(int capacity);
    const unsigned char* GetPointer() const { return m_data.data(); }
    unsigned char* GetPointer() { return m_data.data(); }
    int GetCapacity() const { return static_cast<int>(m_data.size()); }
    int GetLimit() const { return m_limit; }
    result SetLimit(int limit);
    int GetPosition() const { return m_position; }
    result SetPosition(int position);

private:
    std::vector<unsigned char> m_data;
    int m_limit = 0;
    int m_position = 0;
};

namespace Collection {

class ICollection {
public:
    virtual ~ICollection() = default;
    virtual int GetCount() const = 0;
};

class IList : public ICollection {
public:
    ~IList() override = default;
    // Adds the object itself (not a copy); the list holds the pointer.
    virtual result Add(const Object& obj) = 0;
    virtual const Object* GetAt(int index) const = 0;
    virtual Object* GetAt(int index) = 0;
    // Removes every element; with deallocate set, deletes them too.
    virtual void RemoveAll(bool deallocate = false) = 0;
};

class ArrayList : public IList, public Object {
public:
    ArrayList() = default;
    // Elements are not owned: deleting the list leaves them alone, as RemoveAll(false).
    ~ArrayList() override = default;
    ArrayList(const ArrayList&) = delete;
    ArrayList& operator=(const ArrayList&) = delete;

    result Construct(int capacity = 10);
    result Add(const Object& obj) override;
    const Object* GetAt(int index) const override;
    Object* GetAt(int index) override;
    void RemoveAll(bool deallocate = false) override;
    int GetCount() const override { return static_cast<int>(m_items.size()); }

private:
    std::vector<Object*> m_items;
    bool m_constructed = false;
};

} // namespace Collection

namespace Utility {
class Math {
public:
    static double Sqrt(double x);
    static double Acos(double x); // radians, 0 to pi
    static double GetPi();
};
} // namespace Utility

const char* GetErrorMessage(result r);

}} // namespace Osp::Base

// Results are used unqualified throughout applications.
typedef Osp::Base::result result;

// The application log. Each record carries the function text, the source line and a
// printf-style message; the platform adds the time and the level.
extern "C" {
void __App_info(const char* pFunction, int lineNumber, const char* pFormat, ...) __attribute__((format(printf, 3, 4)));
void __App_exception(const char* pFunction, int lineNumber, const char* pFormat, ...)
    __attribute__((format(printf, 3, 4)));
}

#define AppLog(...) __App_info(__PRETTY_FUNCTION__, __LINE__, __VA_ARGS__)
#define AppLogException(...) __App_exception(__PRETTY_FUNCTION__, __LINE__, __VA_ARGS__)
