#pragma once

#include <QtGlobal>

/// Gives a manager class its `shared()` accessor. The composition root installs the program's one
/// instance; classes never construct it themselves, so tests build their own with fakes.
template <typename T>
class SharedInstance
{
public:
    static T &shared()
    {
        Q_ASSERT_X(s_instance, "shared()", "the composition root has not created this instance");
        return *s_instance;
    }
    static bool hasShared() { return s_instance != nullptr; }
    static void setShared(T *instance) { s_instance = instance; }

private:
    static inline T *s_instance = nullptr;
};
