// Decodes the records of a hook driver request for the request log:
// "Name in=<input record> out=<output record>".
#pragma once

#include <string>

#include "SimRequestLog.h"

class SimHookRequestDecoder {
public:
    static std::wstring Decode(DWORD Code, const SimRequest& Request);
};
