// The consumer side of the driver's rings, on a ring in local memory written
// as the driver writes it: order, wrap, empty ring, the overflow mark, and
// headers that would make a reader leave the ring.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/ALHookSharedRecords.h"
#include "hook/ALCircularBufferReader.h"
#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"

namespace {

constexpr uint32_t kCount = 8;
constexpr uint32_t kSentinel = 0xA5A5A5A5u;

// A ring of 12-byte elements as the driver lays it out, followed by bytes
// that stand for the memory after the ring.
class LocalRing {
public:
    LocalRing() : m_Memory(sizeof(CircularBufferHeader) + (kCount + 64) * sizeof(NIMBO_MONITOR_EVENT)) {
        Header().CountElements = kCount;
        Header().CountByteElement = sizeof(NIMBO_MONITOR_EVENT);
        // Outside the ring: elements a reader must never return.
        for (uint32_t Index = kCount; Index < kCount + 64; ++Index)
            ElementWrite(Index, NIMBO_MONITOR_EVENT{kSentinel, kSentinel, kSentinel});
    }
    CircularBufferHeader& Header() { return *reinterpret_cast<CircularBufferHeader*>(m_Memory.data()); }
    void* Address() { return m_Memory.data(); }
    void ElementWrite(uint32_t Index, const NIMBO_MONITOR_EVENT& Event) {
        std::memcpy(m_Memory.data() + sizeof(CircularBufferHeader) + Index * sizeof(Event), &Event, sizeof(Event));
    }
    // The driver's side: write at Producer, then move it.
    void Push(const NIMBO_MONITOR_EVENT& Event) {
        ElementWrite(Header().Producer, Event);
        Header().Producer = (Header().Producer + 1) % Header().CountElements;
    }

private:
    std::vector<uint8_t> m_Memory;
};

NIMBO_MONITOR_EVENT EventOf(uint32_t Value) { return NIMBO_MONITOR_EVENT{0, Value, Value + 100}; }

class ALCircularBufferReaderTest : public ::testing::Test {
protected:
    ALCircularBufferReaderTest() : m_Reader("EVT", sizeof(NIMBO_MONITOR_EVENT)) {}
    void SetUp() override { m_Reader.Attach(m_Ring.Address()); }

    LocalRing m_Ring;
    ALCircularBufferReader m_Reader;
};

TEST_F(ALCircularBufferReaderTest, TakesElementsInOrderAndHandsBackEachPlace) {
    for (uint32_t Value = 1; Value <= 3; ++Value)
        m_Ring.Push(EventOf(Value));
    for (uint32_t Value = 1; Value <= 3; ++Value) {
        NIMBO_MONITOR_EVENT Event{};
        ASSERT_TRUE(m_Reader.ElementTake(&Event));
        EXPECT_EQ(Event.Visible, Value);
        EXPECT_EQ(Event.PowerAction, Value + 100);
        EXPECT_EQ(m_Ring.Header().Consumer, Value);
    }
    NIMBO_MONITOR_EVENT Event{};
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(m_Ring.Header().Producer, 3u);  // the reader never writes the producer's index
}

TEST_F(ALCircularBufferReaderTest, EmptyRingLeavesTheElementUntouched) {
    m_Ring.Header().Producer = m_Ring.Header().Consumer = 5;
    NIMBO_MONITOR_EVENT Event{7, 7, 7};
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(Event.Type, 7u);
    EXPECT_EQ(m_Ring.Header().Consumer, 5u);
}

TEST_F(ALCircularBufferReaderTest, ConsumerWrapsFromTheLastElementToZero) {
    m_Ring.Header().Consumer = kCount - 1;
    m_Ring.Header().Producer = kCount - 1;
    m_Ring.Push(EventOf(41));  // written at kCount - 1, Producer wraps to 0
    m_Ring.Push(EventOf(42));  // written at 0
    NIMBO_MONITOR_EVENT Event{};
    ASSERT_TRUE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(Event.Visible, 41u);
    EXPECT_EQ(m_Ring.Header().Consumer, 0u);
    ASSERT_TRUE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(Event.Visible, 42u);
    EXPECT_EQ(m_Ring.Header().Consumer, 1u);
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
}

TEST_F(ALCircularBufferReaderTest, SnapshotDecidesTheStep) {
    m_Ring.Push(EventOf(1));
    CircularBufferHeader Snapshot;
    ASSERT_TRUE(m_Reader.HeaderRead(&Snapshot));
    EXPECT_EQ(Snapshot.Producer, 1u);
    EXPECT_EQ(Snapshot.CountByteElement, sizeof(NIMBO_MONITOR_EVENT));
    // The driver moves on after the snapshot: the step still takes one element.
    m_Ring.Push(EventOf(2));
    NIMBO_MONITOR_EVENT Event{};
    ASSERT_TRUE(m_Reader.ElementTake(Snapshot, &Event));
    EXPECT_EQ(Event.Visible, 1u);
    ASSERT_TRUE(m_Reader.HeaderRead(&Snapshot));
    EXPECT_EQ(Snapshot.Consumer, 1u);
    EXPECT_EQ(Snapshot.Producer, 2u);
}

struct OverflowCase {
    uint32_t Overflow;
    bool bTaken;
    uint32_t OverflowAfter;
};

class ALCircularBufferReaderOverflowTest : public ALCircularBufferReaderTest,
                                           public ::testing::WithParamInterface<OverflowCase> {};

TEST_P(ALCircularBufferReaderOverflowTest, OnlyTheValueOneIsAnOverflow) {
    m_Ring.Header().Overflow = GetParam().Overflow;
    EXPECT_EQ(m_Reader.OverflowTake(), GetParam().bTaken);
    EXPECT_EQ(m_Ring.Header().Overflow, GetParam().OverflowAfter);
}

INSTANTIATE_TEST_SUITE_P(Values, ALCircularBufferReaderOverflowTest,
                         ::testing::Values(OverflowCase{1, true, 0}, OverflowCase{2, false, 2},
                                           OverflowCase{0, false, 0}, OverflowCase{0xFFFFFFFFu, false, 0xFFFFFFFFu}));

TEST(ALCircularBufferReaderDetached, ReadsNothingWithoutARing) {
    ALCircularBufferReader Reader("UPD", sizeof(FrameBufferUpdateEntry));
    CircularBufferHeader Snapshot{1, 2, 3, 4, 5};
    EXPECT_FALSE(Reader.HeaderRead(&Snapshot));
    EXPECT_EQ(Snapshot.CountElements, 0u);
    FrameBufferUpdateEntry Entry{};
    EXPECT_FALSE(Reader.ElementTake(&Entry));
    EXPECT_FALSE(Reader.OverflowTake());
    EXPECT_FALSE(Reader.IsAttached());
}

struct CorruptCase {
    const char* pName;
    CircularBufferHeader Header;  // CountByteElement and Overflow are not looked at
    const wchar_t* pText;         // the one line logged for the cause
};

const CorruptCase kCorruptCases[] = {
    {"CountElementsZero", {3, 0, 0, 12, 0}, L"ALCircularBufferReader::ElementTake failed! EVT ring CountElements 0, read as empty\n"},
    {"CountElementsGrown", {20, 10, 64, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring CountElements 64, announced 8, read as empty\n"},
    {"ProducerAtCount", {kCount, 0, kCount, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring Producer 8 at or beyond CountElements 8, read as empty\n"},
    {"ProducerFarBeyond", {0xFFFFFFF0u, 2, kCount, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring Producer 4294967280 at or beyond CountElements 8, read as "
     L"empty\n"},
    {"ConsumerAtCount", {1, kCount, kCount, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring Consumer 8 at or beyond CountElements 8, read as empty\n"},
    {"ConsumerFarBeyond", {1, 40, kCount, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring Consumer 40 at or beyond CountElements 8, read as empty\n"},
};

class ALCircularBufferReaderCorruptTest : public ALCircularBufferReaderTest,
                                          public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(ALCircularBufferReaderCorruptTest, ReadsAsEmptyAndLogsTheCauseOnce) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    m_Ring.Header() = GetParam().Header;
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        NIMBO_MONITOR_EVENT Event{1, 2, 3};
        EXPECT_FALSE(m_Reader.ElementTake(&Event));
        EXPECT_EQ(Event.Type, 1u);  // nothing read, least of all from beyond the ring
        EXPECT_EQ(Event.Visible, 2u);
    }
    EXPECT_EQ(m_Ring.Header().Consumer, GetParam().Header.Consumer);  // nothing written either
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(GetParam().pText)});
}

INSTANTIATE_TEST_SUITE_P(Headers, ALCircularBufferReaderCorruptTest, ::testing::ValuesIn(kCorruptCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALCircularBufferReaderTest, EachCauseIsLoggedOnceAndARepairedRingReadsAgain) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    NIMBO_MONITOR_EVENT Event{};
    m_Ring.Header().Producer = 99;
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
    m_Ring.Header().Producer = 1;
    m_Ring.Header().Consumer = 99;
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
    m_Ring.Header().Producer = 99;
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(Capture.Lines().size(), 2u);

    // The driver sets the ring right again.
    m_Ring.Header().Consumer = 0;
    m_Ring.Header().Producer = 0;
    m_Ring.Push(EventOf(5));
    ASSERT_TRUE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(Event.Visible, 5u);

    // A new ring forgets what was logged for the old one.
    m_Reader.Attach(m_Ring.Address());
    m_Ring.Header().Producer = 99;
    EXPECT_FALSE(m_Reader.ElementTake(&Event));
    EXPECT_EQ(Capture.Lines().size(), 3u);
}

TEST(ALCircularBufferReaderAttach, CapacityIsTakenFromTheFirstNonZeroHeader) {
    LocalRing Ring;
    Ring.Header().CountElements = 0;  // not set up yet when attached
    ALCircularBufferReader Reader("EVT", sizeof(NIMBO_MONITOR_EVENT));
    Reader.Attach(Ring.Address());
    Ring.Header().CountElements = 4;
    Ring.Push(EventOf(9));
    NIMBO_MONITOR_EVENT Event{};
    ASSERT_TRUE(Reader.ElementTake(&Event));
    EXPECT_EQ(Event.Visible, 9u);
    Ring.Header().CountElements = kCount;  // differs from the 4 the ring announced
    Ring.Push(EventOf(10));
    EXPECT_FALSE(Reader.ElementTake(&Event));
}

}  // namespace
