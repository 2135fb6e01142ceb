// The RTF reader on any file a user may import as a log.
#include "RtfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const LogRuns runs = RtfReader::read(data);
    qsizetype characters = 0;
    for (const LogRun &run : runs)
        characters += run.text.size();
    // Text never grows beyond what the bytes can hold (one character per byte at most, and \uN
    // escapes are longer than what they give).
    if (characters > data.size())
        __builtin_trap();
    return 0;
}
