#include "HeldConnectionsScenario.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string mismatch = vantorel::fuzz::playHeldConnections(data, size);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "%s\n", mismatch.c_str());
        std::abort();
    }
    return 0;
}
