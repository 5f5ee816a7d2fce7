#include "InfStore.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>

#include "DeviceTree.h"
#include "FileSystem.h"
#include "InfFile.h"

namespace {

bool PrivateIdsIntersect(const std::vector<std::wstring>& modelIds, const std::vector<std::wstring>& deviceIds) {
    for (const std::wstring& model : modelIds)
        for (const std::wstring& device : deviceIds)
            if (FileSystem::NameEquals(model, device))
                return true;
    return false;
}

std::vector<std::wstring> PrivatePackageModelIds(const std::wstring& oemName) {
    std::unique_ptr<InfFile> inf;
    std::string hostPath = InfStore::DirectoryHost() + "/" + FileSystem::Narrow(oemName);
    if (InfFile::Load(hostPath, inf, nullptr) != ERROR_SUCCESS)
        return {};
    return inf->ModelDeviceIds();
}

// "oem12.inf" -> 12; -1 for other names.
long PrivateOemNumber(const std::wstring& name) {
    if (name.size() < 8 || !FileSystem::NameEquals(name.substr(0, 3), L"oem") ||
        !FileSystem::NameEquals(name.substr(name.size() - 4), L".inf"))
        return -1;
    std::wstring digits = name.substr(3, name.size() - 7);
    if (digits.empty() || digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswdigit(static_cast<wint_t>(c)); }))
        return -1;
    return std::stol(FileSystem::Narrow(digits));
}

}  // namespace

std::string InfStore::DirectoryHost() {
    std::string hostPath;
    FileSystem::HostPathFromWindows(L"C:\\Windows\\INF", hostPath);
    return hostPath;
}

std::vector<std::wstring> InfStore::PackageNames() {
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(DirectoryHost(), error)) {
        std::wstring name = FileSystem::Widen(entry.path().filename().string());
        if (entry.is_regular_file(error) && PrivateOemNumber(name) >= 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        std::wstring upperA = a, upperB = b;
        for (auto& c : upperA) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
        for (auto& c : upperB) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
        return upperA < upperB;
    });
    return names;
}

DWORD InfStore::PackageAdd(const std::string& sourceHostPath, std::wstring& oemName) {
    std::string content;
    if (!FileSystem::FileRead(sourceHostPath, content))
        return ERROR_FILE_NOT_FOUND;
    std::vector<long> used;
    for (const std::wstring& name : PackageNames()) {
        std::string existing;
        if (FileSystem::FileRead(DirectoryHost() + "/" + FileSystem::Narrow(name), existing) && existing == content) {
            oemName = name;
            return ERROR_SUCCESS;
        }
        used.push_back(PrivateOemNumber(name));
    }
    long number = 0;
    while (std::find(used.begin(), used.end(), number) != used.end())
        ++number;
    oemName = L"oem" + std::to_wstring(number) + L".inf";
    std::error_code error;
    std::filesystem::create_directories(DirectoryHost(), error);
    if (!FileSystem::FileWrite(DirectoryHost() + "/" + FileSystem::Narrow(oemName), content))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

DWORD InfStore::PackageRemove(const std::wstring& oemName) {
    std::string hostPath;
    FileSystem::HostPathFromWindows(L"C:\\Windows\\INF\\" + oemName, hostPath);
    std::error_code error;
    if (!std::filesystem::is_regular_file(hostPath, error))
        return ERROR_FILE_NOT_FOUND;
    if (!std::filesystem::remove(hostPath, error))
        return ERROR_ACCESS_DENIED;
    // The precompiled twin goes with it.
    std::string pnfPath;
    FileSystem::HostPathFromWindows(L"C:\\Windows\\INF\\" + oemName.substr(0, oemName.size() - 4) + L".pnf", pnfPath);
    std::filesystem::remove(pnfPath, error);
    return ERROR_SUCCESS;
}

bool InfStore::PackageMatches(const std::wstring& oemName, const std::vector<std::wstring>& deviceIds) {
    return PrivateIdsIntersect(PrivatePackageModelIds(oemName), deviceIds);
}

void InfStore::PackageInstallOnDevices(const std::wstring& oemName) {
    std::vector<std::wstring> modelIds = PrivatePackageModelIds(oemName);
    DeviceTree& tree = DeviceTree::Instance();
    for (DEVINST devInst : tree.NodesPresent())
        if (PrivateIdsIntersect(modelIds, tree.DeviceIds(devInst)))
            tree.DriverSet(devInst, oemName);
}

void InfStore::DriversFind() {
    DeviceTree& tree = DeviceTree::Instance();
    std::vector<std::wstring> packages = PackageNames();
    for (DEVINST devInst : tree.NodesPresent()) {
        DeviceNode node;
        if (!tree.NodeGet(devInst, node) || !node.DriverInfName.empty())
            continue;
        std::vector<std::wstring> deviceIds = tree.DeviceIds(devInst);
        for (const std::wstring& package : packages) {
            if (PackageMatches(package, deviceIds)) {
                tree.DriverSet(devInst, package);
                break;
            }
        }
    }
}
