// Strings, lists, byte buffers, math and error texts of the Osp::Base namespace.
#include "osp/Base.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <numbers>

namespace Osp { namespace Base {

namespace {
// UTF-8 to wide characters; a byte that is not valid UTF-8 stands for itself (Latin-1),
// so no input is lost or rejected.
std::wstring FromUtf8(const char* p)
{
    std::wstring out;
    if (!p) {
        return out;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    while (*s) {
        unsigned c = *s;
        int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
        if (c >= 0xF8) {
            extra = 0;
        }
        unsigned cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        bool ok = true;
        for (int i = 1; i <= extra; i++) {
            if ((s[i] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i] & 0x3F);
        }
        if (extra > 0 && ok && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(static_cast<wchar_t>(cp));
            s += extra + 1;
        } else {
            out.push_back(static_cast<wchar_t>(c));
            s += 1;
        }
    }
    return out;
}
} // namespace

String::String(const char* pValue) : m_text(FromUtf8(pValue)) {}

String::String(const wchar_t* pValue) : m_text(pValue ? pValue : L"") {}

result String::Append(const String& str)
{
    m_text += str.m_text;
    return E_SUCCESS;
}

result String::Append(const wchar_t* p)
{
    if (!p) {
        return E_INVALID_ARG;
    }
    m_text += p;
    return E_SUCCESS;
}

result String::Append(const char* p)
{
    if (!p) {
        return E_INVALID_ARG;
    }
    m_text += FromUtf8(p);
    return E_SUCCESS;
}

result String::Append(int i)
{
    m_text += std::to_wstring(i);
    return E_SUCCESS;
}

bool String::EndsWith(const String& str) const
{
    const auto& s = str.m_text;
    return s.size() <= m_text.size() && m_text.compare(m_text.size() - s.size(), s.size(), s) == 0;
}

bool String::StartsWith(const String& str, int startIndex) const
{
    if (startIndex < 0 || static_cast<size_t>(startIndex) > m_text.size()) {
        return false;
    }
    return m_text.compare(static_cast<size_t>(startIndex), str.m_text.size(), str.m_text) == 0 &&
           m_text.size() - static_cast<size_t>(startIndex) >= str.m_text.size();
}

std::string String::ToUtf8() const
{
    std::string out;
    for (wchar_t wc : m_text) {
        auto c = static_cast<unsigned>(wc);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

result ByteBuffer::Construct(int capacity)
{
    if (capacity < 0) {
        return E_INVALID_ARG;
    }
    m_data.assign(static_cast<size_t>(capacity), 0);
    m_limit = capacity;
    m_position = 0;
    return E_SUCCESS;
}

result ByteBuffer::SetLimit(int limit)
{
    if (limit < 0 || limit > GetCapacity()) {
        return E_OUT_OF_RANGE;
    }
    m_limit = limit;
    if (m_position > m_limit) {
        m_position = m_limit;
    }
    return E_SUCCESS;
}

result ByteBuffer::SetPosition(int position)
{
    if (position < 0 || position > m_limit) {
        return E_OUT_OF_RANGE;
    }
    m_position = position;
    return E_SUCCESS;
}

namespace Collection {

result ArrayList::Construct(int capacity)
{
    if (capacity < 0) {
        return E_INVALID_ARG;
    }
    if (m_constructed) {
        return E_INVALID_STATE;
    }
    m_items.reserve(static_cast<size_t>(capacity));
    m_constructed = true;
    return E_SUCCESS;
}

result ArrayList::Add(const Object& obj)
{
    m_items.push_back(const_cast<Object*>(&obj));
    return E_SUCCESS;
}

const Object* ArrayList::GetAt(int index) const
{
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return m_items[static_cast<size_t>(index)];
}

Object* ArrayList::GetAt(int index)
{
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return m_items[static_cast<size_t>(index)];
}

void ArrayList::RemoveAll(bool deallocate)
{
    std::vector<Object*> items;
    items.swap(m_items);
    if (deallocate) {
        for (Object* p : items) {
            delete p;
        }
    }
}

} // namespace Collection

namespace Utility {
double Math::Sqrt(double x) { return std::sqrt(x); }
double Math::Acos(double x) { return std::acos(x); }
double Math::GetPi() { return std::numbers::pi; }
} // namespace Utility

const char* GetErrorMessage(result r)
{
    switch (r) {
    case E_SUCCESS: return "E_SUCCESS";
    case E_FAILURE: return "E_FAILURE";
    case E_OUT_OF_MEMORY: return "E_OUT_OF_MEMORY";
    case E_INVALID_ARG: return "E_INVALID_ARG";
    case E_INVALID_STATE: return "E_INVALID_STATE";
    case E_OUT_OF_RANGE: return "E_OUT_OF_RANGE";
    case E_OBJ_NOT_FOUND: return "E_OBJ_NOT_FOUND";
    case E_OBJ_ALREADY_EXIST: return "E_OBJ_ALREADY_EXIST";
    case E_INIT_FAILED: return "E_INIT_FAILED";
    case E_SYSTEM: return "E_SYSTEM";
    case E_UNSUPPORTED_OPERATION: return "E_UNSUPPORTED_OPERATION";
    case E_DEVICE_BUSY: return "E_DEVICE_BUSY";
    case E_DEVICE_UNAVAILABLE: return "E_DEVICE_UNAVAILABLE";
    case E_DEVICE_FAILED: return "E_DEVICE_FAILED";
    case E_FILE_NOT_FOUND: return "E_FILE_NOT_FOUND";
    case E_IO: return "E_IO";
    case E_INVALID_DATA: return "E_INVALID_DATA";
    case E_UNSUPPORTED_FORMAT: return "E_UNSUPPORTED_FORMAT";
    case E_MAX_EXCEEDED: return "E_MAX_EXCEEDED";
    default: break;
    }
    // Unknown codes are named by their value; the text lives until the next unknown code
    // on this thread, which is all a log line needs.
    thread_local char text[32];
    std::snprintf(text, sizeof text, "E_UNKNOWN(0x%08lX)", r);
    return text;
}

}} // namespace Osp::Base
