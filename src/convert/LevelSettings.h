#pragma once

#include <QString>
#include <optional>

#include "level/LevelChoices.h"

namespace snipwave {

class SettingsStore;

// The [Level] section as a job takes it when it starts: each key its default
// when missing or blank. A value that is none of the key's (a negative or
// too long fade, an unknown curve, a target or ceiling out of range) gives
// nullopt and the message that names it in `error`; nothing is then written.
std::optional<level::LevelChoices> ReadLevelChoices(const SettingsStore& settings, QString& error);

}  // namespace snipwave
