// Decodes the records of an indirect display driver request for the request
// log: "Name in=<input record> out=<output record>".
#pragma once

#include <string>

#include "SimRequestLog.h"

class SimIddCxRequestDecoder {
public:
    static std::wstring Decode(DWORD Code, const SimRequest& Request);
};
