#pragma once

class AutoLoginManager;
class BannerCenter;
class HTTPAuthService;
class KeychainHelper;
class NetworkProbe;
class Preferences;
class StatisticsManager;

/// What the commands work with, handed to each by main(). Each member returns the program's one
/// instance and creates it on first use, so that a command builds only what it uses: `stats` opens no
/// D-Bus connection, `login --password-stdin` never reaches the Secret Service.
struct CommandContext
{
    Preferences &(*preferences)();
    KeychainHelper &(*keychain)();
    HTTPAuthService &(*authService)();
    StatisticsManager &(*statistics)();
    NetworkProbe &(*networkProbe)();
    BannerCenter &(*banners)();
    AutoLoginManager &(*autoLogin)();
};
