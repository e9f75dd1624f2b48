#include "platform/char_step.h"

const char *CharStepSingleByte(const char *p)
{
    return p + 1;
}

static int IsShiftJisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

const char *CharStepShiftJis(const char *p)
{
    if (IsShiftJisLeadByte((unsigned char)p[0]) && p[1] != '\0')
        return p + 2;
    return p + 1;
}
