#pragma once

#include <QtGlobal>

/// Marks what the desktop plugin (netlatch-linux-desktop) takes from the program that loads it.
/// Everything is built with hidden visibility; netlatchctl exports exactly what is marked so, and the
/// plugin binds to the program's one copy (one log, one meta-object per class) instead of its own.
#define NETLATCH_PLUGIN_API Q_DECL_EXPORT
