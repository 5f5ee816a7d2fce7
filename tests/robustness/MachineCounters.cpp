#include "MachineCounters.h"

#include <sstream>

#include "platform/machine.h"

MachineCounters MachineCounters::Read() {
    MachineCounters Counters;
    Counters.Handles = MachineHandlesLive();
    Counters.Threads = MachineThreadsLive();
    Counters.LocalBlocks = MachineLocalBlocksLive();
    Counters.D3DObjects = MachineD3DObjectsLive();
    Counters.AvrtJoins = MachineAvrtJoinsLive();
    Counters.RegistryKeys = MachineRegistryOpenKeyCount();
    return Counters;
}

std::string MachineCounters::Text() const {
    std::ostringstream Text;
    Text << "handles " << Handles << ", threads " << Threads << ", local blocks " << LocalBlocks
         << ", Direct3D objects " << D3DObjects << ", scheduler joins " << AvrtJoins << ", registry keys "
         << RegistryKeys;
    return Text.str();
}
