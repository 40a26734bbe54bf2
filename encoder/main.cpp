// fastencc: converts one audio file into a constant-bit-rate MP3 file. The desktop program
// starts it once per file with INPUT OUTPUT and its options; see usageText() for the contract.

#include <cstdio>
#include <string>
#include <vector>

#include <malloc.h>

#include "encoder/commandline.h"
#include "encoder/encodejob.h"
#include "encoder/interrupt.h"

int main(int argc, char **argv)
{
    using namespace fastencc;
    interrupt::install();
    // Buffers of the size of a piece of audio come and go all the time on several threads;
    // taken straight from the system, they go back to it when freed instead of leaving the
    // heaps of the threads fragmented and the program larger than it needs to be.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.status.ok()) {
        std::fprintf(stderr, "fastencc: %s\n", parsed.status.message.c_str());
        return static_cast<int>(parsed.status.code);
    }
    if (parsed.options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }

    const Status status = encodeFile(parsed.options);
    if (!status.ok())
        std::fprintf(stderr, "fastencc: %s\n", status.message.c_str());
    return static_cast<int>(status.code);
}
