#include "BenchLimits.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

}  // namespace

double BenchLimits::FrameMemcpySeconds(size_t Bytes, bool bCold) {
    constexpr size_t kColdWorkingSet = size_t(256) << 20;
    const size_t Pairs = bCold ? std::max<size_t>(2, kColdWorkingSet / (2 * Bytes)) : 1;
    std::vector<std::vector<uint8_t>> From(Pairs, std::vector<uint8_t>(Bytes, 0x5A));
    std::vector<std::vector<uint8_t>> To(Pairs, std::vector<uint8_t>(Bytes, 0));
    std::vector<double> Samples;
    for (size_t i = 0; i < 15 + Pairs; ++i) {
        const size_t Pair = i % Pairs;
        const auto Start = std::chrono::steady_clock::now();
        std::memcpy(To[Pair].data(), From[Pair].data(), Bytes);
        const auto End = std::chrono::steady_clock::now();
        From[Pair][i % Bytes] = To[Pair][Bytes - 1 - i % Bytes];  // keeps the copy from being dropped
        if (i >= Pairs)  // the first round only faults the pages in
            Samples.push_back(std::chrono::duration<double>(End - Start).count());
    }
    return Median(Samples);
}

double BenchLimits::WakeUpSeconds() {
    HANDLE hPing = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE hPong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    constexpr int kRounds = 2000;
    std::thread Partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            WaitForSingleObject(hPing, INFINITE);
            SetEvent(hPong);
        }
    });
    std::vector<double> Samples;
    Samples.reserve(kRounds);
    for (int i = 0; i < kRounds; ++i) {
        const auto Start = std::chrono::steady_clock::now();
        SetEvent(hPing);
        WaitForSingleObject(hPong, INFINITE);
        const auto End = std::chrono::steady_clock::now();
        Samples.push_back(std::chrono::duration<double>(End - Start).count() / 2);
    }
    Partner.join();
    CloseHandle(hPing);
    CloseHandle(hPong);
    return Median(Samples);
}
