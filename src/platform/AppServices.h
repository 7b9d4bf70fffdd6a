#pragma once

class Preferences;

/// The composition root shared by the tray application and netlatchctl: the one place that creates
/// the program's production instances with their Linux adapters and installs them as `X::shared()`.
/// Each instance is created on first use, in dependency order, and lives until the process ends.
namespace AppServices {

Preferences &preferences();

} // namespace AppServices
