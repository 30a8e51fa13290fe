// A strict JSON reader for the trace's one-object lines: every value is checked, and only
// the fields the readings need are kept.
#include "TraceLine.h"

#include <cmath>
#include <cstdlib>
#include <functional>

namespace readings {

namespace {

constexpr int kMaxDepth = 32;

class Scanner {
public:
    explicit Scanner(const std::string& s) : m_s(s) {}

    bool Line(TraceLine& out)
    {
        Skip();
        if (!Peek('{')) {
            return false;
        }
        const bool ok = Object(0, [&](const std::string& key) {
            if (key == "type") {
                return StringOrOther(out.type, 1);
            } else if (key == "t") {
                return NumberOrOther(out.time, 1);
            } else if (key == "name") {
                return StringOrOther(out.name, 1);
            } else if (key == "args") {
                out.result.reset();
                return ObjectOrOther(1, [&](const std::string& argKey) {
                    return argKey == "result" ? StringOrOther(out.result, 2) : Value(2);
                });
            } else if (key == "draws") {
                return Draws(out);
            }
            return Value(1);
        });
        Skip();
        return ok && m_i == m_s.size();
    }

private:
    using Member = std::function<bool(const std::string& key)>;

    void Skip()
    {
        while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\r' || m_s[m_i] == '\n')) {
            m_i++;
        }
    }
    bool Peek(char c)
    {
        Skip();
        return m_i < m_s.size() && m_s[m_i] == c;
    }
    bool Eat(char c)
    {
        if (!Peek(c)) {
            return false;
        }
        m_i++;
        return true;
    }

    // An object whose members `member` reads, each from just after its colon. A key given
    // twice is read twice: the last one counts.
    bool Object(int depth, const Member& member)
    {
        if (depth > kMaxDepth || !Eat('{')) {
            return false;
        }
        if (Eat('}')) {
            return true;
        }
        std::string key;
        do {
            Skip();
            key.clear();
            if (!String(&key) || !Eat(':') || !member(key)) {
                return false;
            }
        } while (Eat(','));
        return Eat('}');
    }
    bool Array(int depth, const std::function<bool()>& element)
    {
        if (depth > kMaxDepth || !Eat('[')) {
            return false;
        }
        if (Eat(']')) {
            return true;
        }
        do {
            if (!element()) {
                return false;
            }
        } while (Eat(','));
        return Eat(']');
    }
    // Any value, checked and dropped.
    bool Value(int depth)
    {
        if (depth > kMaxDepth) {
            return false;
        }
        Skip();
        if (m_i >= m_s.size()) {
            return false;
        }
        switch (m_s[m_i]) {
        case '{': return Object(depth, [&](const std::string&) { return Value(depth + 1); });
        case '[': return Array(depth, [&] { return Value(depth + 1); });
        case '"': return String(nullptr);
        default: break;
        }
        for (const char* word : {"true", "false", "null"}) {
            const std::string w(word);
            if (m_s.compare(m_i, w.size(), w) == 0) {
                m_i += w.size();
                return true;
            }
        }
        return Number(nullptr);
    }
    // A string kept in `out`; another kind of value there is checked and leaves it empty.
    bool StringOrOther(std::optional<std::string>& out, int depth)
    {
        out.reset();
        if (!Peek('"')) {
            return Value(depth);
        }
        std::string s;
        if (!String(&s)) {
            return false;
        }
        out = std::move(s);
        return true;
    }
    bool NumberOrOther(std::optional<double>& out, int depth)
    {
        out.reset();
        Skip();
        const bool other = m_i >= m_s.size() || m_s[m_i] == '{' || m_s[m_i] == '[' || m_s[m_i] == '"' ||
                           m_s[m_i] == 't' || m_s[m_i] == 'f' || m_s[m_i] == 'n';
        if (!other) {
            double d = 0;
            if (!Number(&d)) {
                return false;
            }
            out = d;
            return true;
        }
        return Value(depth);
    }
    bool ObjectOrOther(int depth, const Member& member)
    {
        return Peek('{') ? Object(depth, member) : Value(depth);
    }
    bool Draws(TraceLine& out)
    {
        out.draws.clear();
        out.hasDraws = Peek('[');
        if (!out.hasDraws) {
            return Value(1);
        }
        return Array(1, [&] {
            if (!Peek('{')) {
                return Value(2);
            }
            std::optional<std::string> bitmap;
            std::optional<double> angle;
            if (!Object(2, [&](const std::string& key) {
                    return key == "bitmap" ? StringOrOther(bitmap, 3) : key == "angle" ? NumberOrOther(angle, 3) : Value(3);
                })) {
                return false;
            }
            if (bitmap) {
                out.draws.push_back({std::move(*bitmap), angle});
            }
            return true;
        });
    }
    bool Number(double* out)
    {
        Skip();
        const char* start = m_s.c_str() + m_i;
        char* end = nullptr;
        const double d = std::strtod(start, &end);
        if (end == start || !std::isfinite(d)) {
            return false;
        }
        m_i += static_cast<size_t>(end - start);
        if (out) {
            *out = d;
        }
        return true;
    }
    bool String(std::string* out)
    {
        if (m_i >= m_s.size() || m_s[m_i] != '"') {
            return false;
        }
        m_i++;
        while (m_i < m_s.size() && m_s[m_i] != '"') {
            char c = m_s[m_i];
            if (c == '\\') {
                if (++m_i >= m_s.size()) {
                    return false;
                }
                const char e = m_s[m_i];
                if (e == 'u') {
                    // Names in the trace are ASCII; an escaped character is kept as '?'.
                    if (m_i + 4 >= m_s.size()) {
                        return false;
                    }
                    m_i += 4;
                    c = '?';
                } else {
                    c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e;
                }
            }
            if (out) {
                *out += c;
            }
            m_i++;
        }
        if (m_i >= m_s.size()) {
            return false;
        }
        m_i++;
        return true;
    }

    const std::string& m_s;
    size_t m_i = 0;
};

} // namespace

bool ReadTraceLine(const std::string& line, TraceLine& out)
{
    out = TraceLine();
    return Scanner(line).Line(out);
}

} // namespace readings
