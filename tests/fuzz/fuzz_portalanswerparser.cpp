// The portal's answer to the form, whatever its text: the first byte chooses the HTTP status.
#include "auth/PortalAnswerParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int status = 100 + data[0] * 2;
    PortalAnswerParser::parse(
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)), status);
    return 0;
}
