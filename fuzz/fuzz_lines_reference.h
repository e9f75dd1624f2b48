#pragma once
// A plain reference of the definition text's line rules, for the harnesses
// of the line reader and the description lookup: a line ends at the first
// CR, LF or NUL at which a character starts; CR LF, a lone CR and a lone LF
// are consumed, the final NUL is not.

#include <string>
#include <vector>

inline bool ShiftJisLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

struct ReferenceLine {
    std::string text;
    size_t start;  // offset of the line's first byte
    size_t next;   // offset of the byte after its terminator
};

inline std::vector<ReferenceLine> ReferenceLines(const char *text, bool shiftJis)
{
    std::vector<ReferenceLine> lines;
    size_t at = 0;
    while (text[at] != '\0') {
        size_t p = at;
        for (;;) {
            unsigned char c = (unsigned char)text[p];
            if (c == '\0' || c == '\r' || c == '\n')
                break;
            p += (shiftJis && ShiftJisLead(c) && text[p + 1] != '\0') ? 2 : 1;
        }
        ReferenceLine line;
        line.text.assign(text + at, p - at);
        line.start = at;
        if (text[p] == '\r' && text[p + 1] == '\n')
            p += 2;
        else if (text[p] == '\r' || text[p] == '\n')
            p += 1;
        line.next = p;
        lines.push_back(line);
        at = p;
    }
    return lines;
}
