#include "Behaviour.h"

#include <array>
#include <utility>

namespace {
const std::array<std::pair<const char *, Behaviour>, 9> names{{
    {"normal", Behaviour::Normal},
    {"vpn-page", Behaviour::VpnPage},
    {"redirect-loop", Behaviour::RedirectLoop},
    {"foreign-redirect", Behaviour::ForeignRedirect},
    {"too-many-redirects", Behaviour::TooManyRedirects},
    {"huge", Behaviour::Huge},
    {"slow", Behaviour::Slow},
    {"html-answer", Behaviour::HtmlAnswer},
    {"plain-text", Behaviour::PlainText},
}};
} // namespace

std::optional<Behaviour> behaviourFromName(const std::string &name)
{
    for (const auto &[text, behaviour] : names) {
        if (name == text)
            return behaviour;
    }
    return std::nullopt;
}

std::string behaviourNames()
{
    std::string list;
    for (const auto &[text, behaviour] : names)
        list += (list.empty() ? "" : ", ") + std::string(text);
    return list;
}
