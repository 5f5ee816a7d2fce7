// Machine API, registry part.
#pragma once
