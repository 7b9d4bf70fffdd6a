// A stored shortcut, whatever its bytes: what decodes encodes back to the same combo.
#include "shortcuts/KeyComboCodable.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto combo =
        KeyComboCodable::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (combo && KeyComboCodable::decode(KeyComboCodable::encode(*combo)) != combo)
        std::abort();
    return 0;
}
