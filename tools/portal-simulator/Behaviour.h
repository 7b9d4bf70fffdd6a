#pragma once

#include <optional>
#include <string>

/// How the simulated portal behaves: the real portal, or one of the ways a VPN or a broken network
/// shows itself during a sign-in.
enum class Behaviour {
    Normal,           // the portal's page, then a JSON-like answer for the configured account
    VpnPage,          // an unrelated HTML page instead of the portal page and the answer
    RedirectLoop,     // both requests bounce between two addresses
    ForeignRedirect,  // both requests are sent to another host
    TooManyRedirects, // both requests are redirected again and again to new addresses
    Huge,             // the answer streams far more than any portal page
    Slow,             // nothing is ever answered
    HtmlAnswer,       // the answer is an HTML page carrying the result
    PlainText,        // the answer is plain text ("logon success" or a failure text)
};

std::optional<Behaviour> behaviourFromName(const std::string &name);
/// The names, comma separated, for the usage text.
std::string behaviourNames();
