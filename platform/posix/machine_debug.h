// Machine API, debugger output part.
#pragma once
