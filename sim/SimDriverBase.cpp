#include "SimDriverBase.h"

#include <cstring>

#include "driver/ALRecordField.h"

namespace {

std::vector<uint8_t> BytesCopy(const void* pBuffer, DWORD CountByte) {
    if (pBuffer == nullptr || CountByte == 0)
        return {};
    const auto* pBytes = static_cast<const uint8_t*>(pBuffer);
    return std::vector<uint8_t>(pBytes, pBytes + CountByte);
}

}  // namespace

DWORD SimDriverBase::DeviceFileOpen(uint64_t FileId) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_FilePersist[FileId] = 0;
    return ERROR_SUCCESS;
}

DWORD SimDriverBase::DeviceFileControl(uint64_t FileId, DWORD IoControlCode, const void* pInput,
                                       DWORD CountByteInput, void* pOutput, DWORD CountByteOutput,
                                       DWORD* pBytesReturned) {
    SimRequest Record;
    Record.FileId = FileId;
    Record.Code = IoControlCode;
    Record.CountByteInput = CountByteInput;
    Record.CountByteOutput = CountByteOutput;
    Record.bInputPresent = pInput != nullptr;
    Record.bOutputPresent = pOutput != nullptr;
    Record.Input = BytesCopy(pInput, CountByteInput);
    Record.Output = BytesCopy(pOutput, CountByteOutput);
    Record.Decoded = PrivateDecode(IoControlCode, Record);

    *pBytesReturned = 0;
    DWORD dwError = m_Faults.Enter(IoControlCode);
    if (dwError == ERROR_SUCCESS) {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        const Buffers Request{FileId,  static_cast<const uint8_t*>(pInput), CountByteInput,
                              static_cast<uint8_t*>(pOutput), CountByteOutput, pBytesReturned};
        dwError = PrivateRequest(IoControlCode, Request);
        if (dwError != ERROR_SUCCESS)
            *pBytesReturned = 0;
    }
    Record.Error = dwError;
    Record.BytesReturned = *pBytesReturned;
    Record.OutputReturned = BytesCopy(pOutput, CountByteOutput);
    m_Requests.Append(std::move(Record));
    return dwError;
}

void SimDriverBase::DeviceFileClose(uint64_t FileId) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    uint32_t PersistOnClose = 0;
    auto Entry = m_FilePersist.find(FileId);
    if (Entry != m_FilePersist.end()) {
        PersistOnClose = Entry->second;
        m_FilePersist.erase(Entry);
    }
    PrivateFileClose(FileId, PersistOnClose);
}

uint32_t SimDriverBase::PersistOnCloseGet(uint64_t FileId) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto Entry = m_FilePersist.find(FileId);
    return Entry == m_FilePersist.end() ? 0 : Entry->second;
}

size_t SimDriverBase::FileOpenCount() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_FilePersist.size();
}

DWORD SimDriverBase::PrivatePersistOnCloseSet(const Buffers& Request) {
    if (Request.pInput == nullptr || Request.CountByteInput < sizeof(uint32_t))
        return ERROR_INSUFFICIENT_BUFFER;
    uint32_t dwEnablePersist = 0;
    std::memcpy(&dwEnablePersist, Request.pInput, sizeof(dwEnablePersist));
    if (dwEnablePersist > 1)
        return ERROR_INVALID_PARAMETER;
    m_FilePersist[Request.FileId] = dwEnablePersist;
    return ERROR_SUCCESS;
}

bool SimDriverBase::PrivateRegistryDwordWrite(LPCWSTR lpKey, LPCWSTR lpValueName, DWORD dwValue) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, lpKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool bWritten = RegSetValueExW(hKey, lpValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                                         sizeof(dwValue)) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bWritten;
}

DWORD SimDriverBase::PrivateHandleReference(uint64_t Value, HANDLE* phOwn) {
    *phOwn = nullptr;
    const HANDLE hCaller = ALRecordField::HandleFrom(Value);
    if (hCaller == nullptr || hCaller == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    if (!DuplicateHandle(GetCurrentProcess(), hCaller, GetCurrentProcess(), phOwn, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        *phOwn = nullptr;
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}

DWORD SimDriverBase::PrivateHandleHandOut(HANDLE hOwn, HANDLE hTargetProcess, HANDLE* phHandedOut) {
    *phHandedOut = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), hOwn, hTargetProcess, phHandedOut, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        *phHandedOut = nullptr;
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}

void SimDriverBase::PrivateHandleClose(HANDLE* phOwn) {
    if (*phOwn != nullptr)
        CloseHandle(*phOwn);
    *phOwn = nullptr;
}
