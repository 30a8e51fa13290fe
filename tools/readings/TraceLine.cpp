// The trace's one-object lines read with nlohmann-json's event parser: every value is
// checked, only the fields the readings need are kept, and no document is built.
#include "TraceLine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <nlohmann/json.hpp>

namespace readings {

namespace {

using Json = nlohmann::json;

// No trace line nests deeper than a few levels; a line that does is no trace line.
constexpr std::size_t kMaxDepth = 32;

// The containers open around the value being read, and what each one is in the line.
enum class Frame { Top, Args, Draws, Draw, Other };

// Where the value that comes next lands.
enum class Slot {
    None,
    Type,
    Time,
    Name,
    Args,
    Draws,
    Result,
    Element,
    Bitmap,
    Angle,
    Reading,
    Uncertainty,
    Refused,
    FrameNo,
    Pts,
    PtsFrom,
    State
};

class Fields {
public:
    explicit Fields(TraceLine& out) : m_out(out) {}

    bool null() { return Scalar(nullptr, nullptr); }
    bool boolean(bool) { return Scalar(nullptr, nullptr); }
    bool number_integer(Json::number_integer_t n) { return Number(static_cast<double>(n), std::to_string(n)); }
    bool number_unsigned(Json::number_unsigned_t n) { return Number(static_cast<double>(n), std::to_string(n)); }
    bool number_float(Json::number_float_t n, const Json::string_t& text) { return Number(n, text); }
    bool string(Json::string_t& s) { return Scalar(&s, nullptr); }
    bool binary(Json::binary_t&) { return false; }
    bool key(Json::string_t& k)
    {
        m_key = std::move(k);
        return true;
    }
    bool start_object(std::size_t)
    {
        if (m_stack.empty()) {
            m_stack.push_back(Frame::Top);
            return true;
        }
        if (!Deep()) {
            return false;
        }
        const Slot slot = Next();
        if (slot == Slot::Args) {
            m_out.result.reset();
            m_out.angle.reset();
            m_out.uncertainty.reset();
            m_out.refused.reset();
            m_stack.push_back(Frame::Args);
        } else if (slot == Slot::Element) {
            m_bitmap.reset();
            m_angle.reset();
            m_stack.push_back(Frame::Draw);
        } else {
            Other(slot);
            m_stack.push_back(Frame::Other);
        }
        return true;
    }
    bool end_object()
    {
        if (m_stack.back() == Frame::Draw && m_bitmap) {
            m_out.draws.push_back({std::move(*m_bitmap), m_angle});
        }
        m_stack.pop_back();
        return true;
    }
    bool start_array(std::size_t)
    {
        // A line that is an array, not an object, is no trace line.
        if (m_stack.empty() || !Deep()) {
            return false;
        }
        const Slot slot = Next();
        if (slot == Slot::Draws) {
            m_out.draws.clear();
            m_out.hasDraws = true;
            m_stack.push_back(Frame::Draws);
        } else {
            Other(slot);
            m_stack.push_back(Frame::Other);
        }
        return true;
    }
    bool end_array()
    {
        m_stack.pop_back();
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    // Room for one more value inside the containers open now.
    bool Deep() const { return m_stack.size() <= kMaxDepth; }

    Slot Next() const
    {
        switch (m_stack.back()) {
        case Frame::Top:
            return m_key == "type"    ? Slot::Type
                   : m_key == "t"     ? Slot::Time
                   : m_key == "name"  ? Slot::Name
                   : m_key == "args"  ? Slot::Args
                   : m_key == "draws" ? Slot::Draws
                                      : Slot::None;
        case Frame::Args:
            return m_key == "result"        ? Slot::Result
                   : m_key == "angle"       ? Slot::Reading
                   : m_key == "uncertainty" ? Slot::Uncertainty
                   : m_key == "refused"     ? Slot::Refused
                   : m_key == "frame"       ? Slot::FrameNo
                   : m_key == "pts_ms"      ? Slot::Pts
                   : m_key == "pts_from"    ? Slot::PtsFrom
                   : m_key == "state"       ? Slot::State
                                            : Slot::None;
        case Frame::Draws: return Slot::Element;
        case Frame::Draw: return m_key == "bitmap" ? Slot::Bitmap : m_key == "angle" ? Slot::Angle : Slot::None;
        case Frame::Other: return Slot::None;
        }
        return Slot::None;
    }

    // A value of another kind than its field's leaves the field empty; a key given twice
    // counts as given last.
    void Other(Slot slot)
    {
        switch (slot) {
        case Slot::Type: m_out.type.reset(); break;
        case Slot::Time:
            m_out.time.reset();
            m_out.timeText.clear();
            break;
        case Slot::Name: m_out.name.reset(); break;
        case Slot::Args:
            m_out.result.reset();
            m_out.angle.reset();
            m_out.uncertainty.reset();
            m_out.refused.reset();
            m_out.frame.reset();
            m_out.ptsMs.reset();
            m_out.ptsFrom.reset();
            m_out.state.reset();
            break;
        case Slot::FrameNo: m_out.frame.reset(); break;
        case Slot::Pts: m_out.ptsMs.reset(); break;
        case Slot::PtsFrom: m_out.ptsFrom.reset(); break;
        case Slot::State: m_out.state.reset(); break;
        case Slot::Result: m_out.result.reset(); break;
        case Slot::Reading: m_out.angle.reset(); break;
        case Slot::Uncertainty: m_out.uncertainty.reset(); break;
        case Slot::Refused: m_out.refused.reset(); break;
        case Slot::Draws:
            m_out.hasDraws = false;
            m_out.draws.clear();
            break;
        case Slot::Bitmap: m_bitmap.reset(); break;
        case Slot::Angle: m_angle.reset(); break;
        case Slot::None:
        case Slot::Element: break;
        }
    }

    bool Number(double n, const std::string& text)
    {
        // A number past a double's range is no number a trace writes.
        if (!std::isfinite(n)) {
            return false;
        }
        m_numberText = &text;
        return Scalar(nullptr, &n);
    }

    bool Scalar(Json::string_t* text, const double* number)
    {
        if (m_stack.empty() || !Deep()) {
            return false;
        }
        const Slot slot = Next();
        if (text && (slot == Slot::Type || slot == Slot::Name || slot == Slot::Result || slot == Slot::Bitmap ||
                     slot == Slot::Refused || slot == Slot::PtsFrom || slot == Slot::State)) {
            std::optional<std::string>& field = slot == Slot::Type      ? m_out.type
                                                : slot == Slot::Name    ? m_out.name
                                                : slot == Slot::Result  ? m_out.result
                                                : slot == Slot::Refused ? m_out.refused
                                                : slot == Slot::PtsFrom ? m_out.ptsFrom
                                                : slot == Slot::State   ? m_out.state
                                                                        : m_bitmap;
            field = std::move(*text);
        } else if (number && slot == Slot::Time) {
            m_out.time = *number;
            m_out.timeText = *m_numberText;
        } else if (number && slot == Slot::Angle) {
            m_angle = *number;
        } else if (number && slot == Slot::Reading) {
            m_out.angle = *number;
        } else if (number && slot == Slot::Uncertainty) {
            m_out.uncertainty = *number;
        } else if (number && slot == Slot::FrameNo) {
            m_out.frame = *number;
        } else if (number && slot == Slot::Pts) {
            m_out.ptsMs = *number;
        } else {
            Other(slot);
        }
        return true;
    }

    TraceLine& m_out;
    std::vector<Frame> m_stack;
    std::string m_key;
    std::optional<std::string> m_bitmap; // of the draw being read
    std::optional<double> m_angle;
    const std::string* m_numberText = nullptr; // of the number being read
};

} // namespace

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

bool ReadTypedLine(const std::string& line, TraceLine& out, int& bad)
{
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return false;
    }
    if (!ReadTraceLine(line, out)) {
        bad++;
        return false;
    }
    return out.type.has_value();
}

bool ReadTraceLine(const std::string& line, TraceLine& out)
{
    // The trace writes UTF-8 (a refusal's "°" is kept as written), but the names it quotes (a
    // user's file names) are the user's bytes, which need not be: a line the parser refuses is
    // read once more with every byte past ASCII as '?', which leaves its JSON as it was.
    const auto parse = [&out](const std::string& text) {
        out = TraceLine();
        Fields fields(out);
        try {
            return Json::sax_parse(text, &fields);
        } catch (const Json::exception&) {
            return false;
        }
    };
    if (parse(line)) {
        return true;
    }
    if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return false;
    }
    std::string plain = line;
    for (char& c : plain) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            c = '?';
        }
    }
    return parse(plain);
}

} // namespace readings
