// Names and other text from the user (file names, option values, device labels) as they may
// be shown on a terminal: nothing in them can move the cursor, set the title or the colours.
#pragma once

#include <string>
#include <string_view>

namespace text {

// `raw` with every byte a terminal would act on, or could not show, spelt as a visible
// \xNN escape: the C0 controls (ESC, BEL, newline, tab, ...), DEL, the C1 controls (as raw
// bytes or UTF-8 encoded) and any byte that is not part of valid UTF-8 (stray continuations,
// overlong forms, surrogates, code points past U+10FFFF, a sequence cut short). Printable
// ASCII and valid UTF-8 stay as they are, so ordinary names read as typed.
std::string Printable(std::string_view raw);

} // namespace text
