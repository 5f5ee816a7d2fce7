#include "SimSharedSection.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace {

size_t PageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

// Mappings reach one page past the section's end; touching it faults.
size_t GuardedLength(size_t CountByteMapping) { return CountByteMapping + PageSize(); }

}  // namespace

std::shared_ptr<SimSharedSection> SimSharedSection::Create(size_t CountByte) {
    const size_t Page = PageSize();
    const size_t CountByteMapping = std::max<size_t>(Page, (CountByte + 63 + Page - 1) / Page * Page);
    const int Fd = memfd_create("nimbo-sim-section", MFD_CLOEXEC);
    if (Fd < 0)
        return nullptr;
    if (ftruncate(Fd, static_cast<off_t>(CountByteMapping)) != 0) {
        close(Fd);
        return nullptr;
    }
    std::shared_ptr<SimSharedSection> pSection(new SimSharedSection(Fd, CountByte, CountByteMapping));
    if (pSection->m_pDriverView == nullptr)
        return nullptr;
    return pSection;
}

SimSharedSection::SimSharedSection(int Fd, size_t CountByte, size_t CountByteMapping)
    : m_Fd(Fd),
      m_CountByte(CountByte),
      m_CountByteMapping(CountByteMapping),
      m_Offset((CountByteMapping - CountByte) & ~static_cast<size_t>(63)) {
    m_pDriverView = PrivateMap();
}

SimSharedSection::~SimSharedSection() {
    for (uint8_t* pView : m_Views)
        PrivateUnmap(pView);
    if (m_pDriverView != nullptr)
        PrivateUnmap(m_pDriverView);
    close(m_Fd);
}

uint8_t* SimSharedSection::PrivateMap() const {
    void* pMapping = mmap(nullptr, GuardedLength(m_CountByteMapping), PROT_READ | PROT_WRITE, MAP_SHARED, m_Fd, 0);
    if (pMapping == MAP_FAILED)
        return nullptr;
    return static_cast<uint8_t*>(pMapping) + m_Offset;
}

void SimSharedSection::PrivateUnmap(uint8_t* pView) const {
    munmap(pView - m_Offset, GuardedLength(m_CountByteMapping));
}

void* SimSharedSection::ViewMap() {
    uint8_t* pView = PrivateMap();
    if (pView == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Views.push_back(pView);
    return pView;
}

bool SimSharedSection::ViewUnmap(void* pView) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto Entry = std::find(m_Views.begin(), m_Views.end(), static_cast<uint8_t*>(pView));
    if (Entry == m_Views.end())
        return false;
    PrivateUnmap(*Entry);
    m_Views.erase(Entry);
    return true;
}

bool SimSharedSection::ViewIs(const void* pView) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return std::find(m_Views.begin(), m_Views.end(), static_cast<const uint8_t*>(pView)) != m_Views.end();
}

size_t SimSharedSection::ViewCount() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Views.size();
}
