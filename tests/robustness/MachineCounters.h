// Machine-wide counts of what a library can hold on to: handles, threads,
// LocalAlloc blocks, Direct3D objects, scheduler joins, registry keys.
#pragma once

#include <cstddef>
#include <string>

struct MachineCounters {
    long Handles = 0;
    long Threads = 0;
    long LocalBlocks = 0;
    long D3DObjects = 0;
    long AvrtJoins = 0;
    size_t RegistryKeys = 0;

    static MachineCounters Read();
    bool operator==(const MachineCounters&) const = default;
    std::string Text() const;
};
