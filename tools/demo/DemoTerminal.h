// Whether standard output is a terminal: the progress line is then
// rewritten in place, else printed as one line per update. The build picks
// the implementation.
#pragma once

class DemoTerminal {
public:
    static bool StandardOutputIsTerminal();
};
