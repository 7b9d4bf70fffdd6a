// The history file of earlier versions, moved into the database once: whatever its bytes, the reader
// gives records or refuses, and every record it gives keeps what it read.
#include "stats/LoginRecord.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QList<LoginRecord>> records = LoginRecord::parse(json);
    if (records && qsizetype(records->size()) > json.size())
        std::abort(); // a record from nothing
    return 0;
}
