#include "platform/AppServices.h"

#include "store/Preferences.h"

namespace AppServices {

// The instances are deliberately never deleted: they live as long as the process.

Preferences &preferences()
{
    if (!Preferences::hasShared())
        Preferences::setShared(new Preferences(Preferences::userSettings()));
    return Preferences::shared();
}

} // namespace AppServices
