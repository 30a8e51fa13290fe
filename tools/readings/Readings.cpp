// Reading the trace: a small JSON reader for its one-object lines, and the readout's digit
// images turned back into the numbers they show.
#include "Readings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <variant>

namespace readings {

namespace {

// Just enough JSON for the trace: objects, arrays, strings, numbers, true, false, null.
struct Value;
using Object = std::map<std::string, std::shared_ptr<Value>>;
using Array = std::vector<std::shared_ptr<Value>>;
struct Value {
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> v;
    const Value* Get(const std::string& key) const
    {
        const auto* o = std::get_if<Object>(&v);
        if (!o) {
            return nullptr;
        }
        const auto it = o->find(key);
        return it == o->end() ? nullptr : it->second.get();
    }
    const std::string* Str() const { return std::get_if<std::string>(&v); }
    const double* Num() const { return std::get_if<double>(&v); }
    const Array* Arr() const { return std::get_if<Array>(&v); }
};

class Parser {
public:
    explicit Parser(const std::string& s) : m_s(s) {}
    std::shared_ptr<Value> Parse()
    {
        auto v = ParseValue(0);
        Skip();
        return v && m_i == m_s.size() ? v : nullptr;
    }

private:
    void Skip()
    {
        while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\r' || m_s[m_i] == '\n')) {
            m_i++;
        }
    }
    bool Eat(char c)
    {
        Skip();
        if (m_i < m_s.size() && m_s[m_i] == c) {
            m_i++;
            return true;
        }
        return false;
    }
    std::shared_ptr<Value> ParseValue(int depth)
    {
        if (depth > 32) {
            return nullptr;
        }
        Skip();
        if (m_i >= m_s.size()) {
            return nullptr;
        }
        auto out = std::make_shared<Value>();
        const char c = m_s[m_i];
        if (c == '{') {
            m_i++;
            Object o;
            if (!Eat('}')) {
                do {
                    Skip();
                    std::string key;
                    if (!ParseString(key) || !Eat(':')) {
                        return nullptr;
                    }
                    auto v = ParseValue(depth + 1);
                    if (!v) {
                        return nullptr;
                    }
                    o[key] = v;
                } while (Eat(','));
                if (!Eat('}')) {
                    return nullptr;
                }
            }
            out->v = std::move(o);
        } else if (c == '[') {
            m_i++;
            Array a;
            if (!Eat(']')) {
                do {
                    auto v = ParseValue(depth + 1);
                    if (!v) {
                        return nullptr;
                    }
                    a.push_back(v);
                } while (Eat(','));
                if (!Eat(']')) {
                    return nullptr;
                }
            }
            out->v = std::move(a);
        } else if (c == '"') {
            std::string s;
            if (!ParseString(s)) {
                return nullptr;
            }
            out->v = std::move(s);
        } else if (m_s.compare(m_i, 4, "true") == 0) {
            m_i += 4;
            out->v = true;
        } else if (m_s.compare(m_i, 5, "false") == 0) {
            m_i += 5;
            out->v = false;
        } else if (m_s.compare(m_i, 4, "null") == 0) {
            m_i += 4;
            out->v = nullptr;
        } else {
            const char* start = m_s.c_str() + m_i;
            char* end = nullptr;
            const double d = std::strtod(start, &end);
            if (end == start || !std::isfinite(d)) {
                return nullptr;
            }
            m_i += static_cast<size_t>(end - start);
            out->v = d;
        }
        return out;
    }
    bool ParseString(std::string& out)
    {
        if (m_i >= m_s.size() || m_s[m_i] != '"') {
            return false;
        }
        m_i++;
        while (m_i < m_s.size() && m_s[m_i] != '"') {
            if (m_s[m_i] == '\\') {
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
                    out += '?';
                } else {
                    out += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e;
                }
                m_i++;
                continue;
            }
            out += m_s[m_i++];
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

// The readout's images: "bigNum7.png" is the digit 7 of the angle, "bigNum10.png" the
// point, "bigNum11.png" the degree sign; "smallNum..." the same for the other side.
int ImageIndex(const std::string& bitmap, const char* prefix)
{
    const std::string p(prefix);
    if (bitmap.compare(0, p.size(), p) != 0 || bitmap.size() < p.size() + 5 ||
        bitmap.compare(bitmap.size() - 4, 4, ".png") != 0) {
        return -1;
    }
    const std::string digits = bitmap.substr(p.size(), bitmap.size() - p.size() - 4);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::atoi(digits.c_str());
}

// The number the images of one kind spell, in the order they were drawn: digits, the
// point, the tenth, the sign. Empty when they spell nothing whole.
std::string Spell(const std::vector<int>& images)
{
    std::string whole, tenth;
    bool point = false, sign = false;
    for (int i : images) {
        if (i >= 0 && i <= 9 && !sign) {
            (point ? tenth : whole) += static_cast<char>('0' + i);
        } else if (i == 10 && !point) {
            point = true;
        } else if (i == 11) {
            sign = true;
        } else {
            return {};
        }
    }
    if (whole.empty() || tenth.size() != 1 || !sign) {
        return {};
    }
    return whole + "." + tenth;
}

// The angle of the big digits tells which way the readout faces: the orientation code.
int CodeForTurn(double angle)
{
    const long a = std::lround(angle);
    switch (a) {
    case 0: return 2;
    case 180:
    case -180: return 3;
    case 90: return 0;
    case -90:
    case 270: return 1;
    default: return -1;
    }
}

} // namespace

std::vector<Reading> Reader::Flush()
{
    std::vector<Reading> out;
    if (m_pending) {
        out.push_back(*m_pending);
        m_pending.reset();
    }
    return out;
}

std::optional<Reading> Reader::Change(const Reading& next)
{
    const bool changed = next.angle != m_current.angle || next.otherSide != m_current.otherSide ||
                         next.orientation != m_current.orientation || next.held != m_current.held;
    m_current = next;
    // Nothing is told before the readout first shows a number.
    if ((!changed && m_any) || (!m_any && next.angle.empty())) {
        return std::nullopt;
    }
    m_any = true;
    return next;
}

std::vector<Reading> Reader::Line(const std::string& line)
{
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return {};
    }
    const auto root = Parser(line).Parse();
    if (!root || !std::get_if<Object>(&root->v)) {
        m_badLines++;
        return {};
    }
    const Value* type = root->Get("type");
    const Value* t = root->Get("t");
    const Value* name = root->Get("name");
    if (!type || !type->Str()) {
        return {};
    }
    const bool call = *type->Str() == "call" && name && name->Str();
    if (m_pending && call && *name->Str() == "Camera::PowerOff") {
        // The camera was switched off, not a picture held: nothing changed for the user.
        m_pending.reset();
        m_current = m_beforePending;
        return {};
    }
    std::vector<Reading> out = Flush();
    Reading next = m_current;
    if (t && t->Num()) {
        next.timeMs = *t->Num();
    }
    if (*type->Str() == "canvas") {
        const Value* draws = root->Get("draws");
        if (!draws || !draws->Arr()) {
            return out;
        }
        std::vector<int> big, small;
        int code = -1;
        for (const auto& d : *draws->Arr()) {
            const Value* bitmap = d->Get("bitmap");
            if (!bitmap || !bitmap->Str()) {
                continue;
            }
            if (const int i = ImageIndex(*bitmap->Str(), "bigNum"); i >= 0) {
                big.push_back(i);
                const Value* angle = d->Get("angle");
                if (code < 0) {
                    code = CodeForTurn(angle && angle->Num() ? *angle->Num() : 0.0);
                }
            } else if (const int j = ImageIndex(*bitmap->Str(), "smallNum"); j >= 0) {
                small.push_back(j);
            }
        }
        next.angle = Spell(big);
        next.otherSide = Spell(small);
        next.orientation = next.angle.empty() ? -1 : code;
    } else if (call) {
        // A preview that did not start or stop leaves the picture as it was.
        const Value* args = root->Get("args");
        const Value* result = args ? args->Get("result") : nullptr;
        const bool ok = !result || !result->Str() || *result->Str() == "E_SUCCESS";
        if (*name->Str() == "Camera::StopPreview" && ok) {
            next.held = true;
        } else if (*name->Str() == "Camera::StartPreview" && ok) {
            next.held = false;
        } else {
            return out;
        }
    } else {
        return out;
    }
    const Reading before = m_current;
    if (auto r = Change(next)) {
        if (r->held && !before.held) {
            m_beforePending = before;
            m_pending = r;
        } else {
            out.push_back(*r);
        }
    }
    return out;
}

std::string CsvHeader() { return "time_ms,angle,other_side,orientation,mode"; }

std::string CsvRow(const Reading& r)
{
    char t[32];
    std::snprintf(t, sizeof t, "%.3f", r.timeMs);
    return std::string(t) + "," + r.angle + "," + r.otherSide + "," +
           (r.orientation >= 0 ? std::to_string(r.orientation) : std::string()) + "," + (r.held ? "held" : "live");
}

} // namespace readings
