// Memory a simulated driver shares with the process: one section, mapped
// once for the driver and once per view it hands out, as a kernel driver
// maps the same pages into user space. Views are separate mappings of the
// same pages. The shared bytes start 64-byte aligned and end less than 64
// bytes before the end of the section's last page, beyond which a mapping
// faults: a read past them cannot reach other memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class SimSharedSection {
public:
    // Null when the system refuses the memory.
    static std::shared_ptr<SimSharedSection> Create(size_t CountByte);
    ~SimSharedSection();
    SimSharedSection(const SimSharedSection&) = delete;
    SimSharedSection& operator=(const SimSharedSection&) = delete;

    size_t CountByteGet() const { return m_CountByte; }
    // The driver's own mapping, zero at creation.
    uint8_t* DriverView() const { return m_pDriverView; }
    // A new view for the process; null when the system refuses it.
    void* ViewMap();
    // Unmaps a view this section handed out; false for any other address.
    bool ViewUnmap(void* pView);
    bool ViewIs(const void* pView) const;
    size_t ViewCount() const;

private:
    SimSharedSection(int Fd, size_t CountByte, size_t CountByteMapping);
    uint8_t* PrivateMap() const;
    void PrivateUnmap(uint8_t* pView) const;

    const int m_Fd;
    const size_t m_CountByte;
    const size_t m_CountByteMapping;  // whole pages
    const size_t m_Offset;            // of the shared bytes in a mapping
    uint8_t* m_pDriverView = nullptr;
    mutable std::mutex m_Mutex;
    std::vector<uint8_t*> m_Views;
};
