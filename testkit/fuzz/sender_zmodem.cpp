// What a receiver sends, fed to the zmodem sender: see sender_harness.h.

#include "sender_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzSender(TransferProtocol::Zmodem, data, size);
}
