// Owner of one SetupAPI device information set, and the device-manager
// operations of the setup program: create the root device node, remove the
// nodes with a hardware id, remove the matching driver packages.
//
// Every operation returns a Win32 error code (0 = success) and logs each
// failing system call with its code.
#pragma once

#include <string>
#include <vector>

#include "platform/setupapi.h"

class IDDDeviceInfoSet {
public:
    IDDDeviceInfoSet();
    ~IDDDeviceInfoSet();
    IDDDeviceInfoSet(const IDDDeviceInfoSet&) = delete;
    IDDDeviceInfoSet& operator=(const IDDDeviceInfoSet&) = delete;

    // Creates and registers a root-enumerated device of classGuid with
    // hardwareId; does nothing (and succeeds) when a present device of the
    // class already has it.
    DWORD CreateDeviceNode(const GUID& classGuid, const wchar_t* hardwareId, const wchar_t* deviceName);
    // Removes every present device of classGuid whose hardware id equals
    // hardwareId (case-sensitive). Finding none is success.
    DWORD RemoveDeviceNode(const GUID& classGuid, const wchar_t* hardwareId);
    // Uninstalls every OEM INF of the Windows INF directory whose [Version]
    // names expectedClass and the provider "Korvax".
    DWORD RemoveDriverOemInf(const wchar_t* expectedClass);

private:
    struct ValidationCriterion {
        const wchar_t* Section;
        const wchar_t* Key;
        const wchar_t* ExpectedValue;
    };
    static constexpr int kValidationCriteria = 2;

    // *pMatched = 1 when every criterion holds, else 0; the result is the
    // error of a failing INF call.
    DWORD PrivateValidateDriverOemInfFile(const wchar_t* infPath,
                                          const ValidationCriterion (&criteria)[kValidationCriteria],
                                          DWORD* pMatched);
    bool PrivateDetectDeviceNode(const GUID& classGuid, const wchar_t* hardwareId);
    DWORD PrivateOemInfPathsCollect(std::vector<std::wstring>& infPaths);
    void PrivateOemInfUninstall(const std::wstring& infPath);
    void PrivateDeviceInfoSetRelease();

    HDEVINFO m_DeviceInfoSet;
    SP_DEVINFO_DATA m_DeviceInfoData;
};
