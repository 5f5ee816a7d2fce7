// Machine API, kernel part: counters and controls for tests.
#pragma once

// Number of LocalAlloc blocks not yet freed (leak checks).
long MachineLocalBlocksLive();
