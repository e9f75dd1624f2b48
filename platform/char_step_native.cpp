#include "platform/char_step.h"

const char *CharStepPlatform(const char *p)
{
    return CharStepSingleByte(p);
}
