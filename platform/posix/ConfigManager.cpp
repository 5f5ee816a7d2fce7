// Configuration manager (CfgMgr32) of the simulated machine.
#include "DeviceTree.h"
#include "InfStore.h"
#include "platform/setupapi.h"

CONFIGRET WINAPI CM_Locate_DevNodeW(PDEVINST pdnDevInst, DEVINSTID_W pDeviceID, ULONG ulFlags) {
    if (pdnDevInst == nullptr)
        return CR_INVALID_POINTER;
    if ((ulFlags & ~ULONG(CM_LOCATE_DEVNODE_PHANTOM)) != 0)
        return CR_INVALID_FLAG;
    DeviceTree& tree = DeviceTree::Instance();
    if (pDeviceID == nullptr || pDeviceID[0] == L'\0') {
        *pdnDevInst = tree.RootDevInst();
        return CR_SUCCESS;
    }
    DEVINST devInst = 0;
    if (!tree.NodeFind(pDeviceID, (ulFlags & CM_LOCATE_DEVNODE_PHANTOM) != 0, devInst))
        return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = devInst;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Reenumerate_DevNode(DEVINST dnDevInst, ULONG ulFlags) {
    constexpr ULONG kReenumerateFlags = 0x7;  // synchronous, retry installation, asynchronous
    if ((ulFlags & ~kReenumerateFlags) != 0)
        return CR_INVALID_FLAG;
    DeviceTree& tree = DeviceTree::Instance();
    DeviceNode node;
    if (dnDevInst != tree.RootDevInst() && !tree.NodeGet(dnDevInst, node))
        return CR_INVALID_DEVNODE;
    // All devices are root-enumerated: below any node there is nothing but
    // itself, below the root everything.
    InfStore::DriversFind();
    tree.ReenumerationCount();
    return CR_SUCCESS;
}
