#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "evernote/generated/Edam_types.h"

// Finds the notebook an upload goes to: the first with the chosen guid; failing that, the first
// whose name equals `name` ignoring case.
std::optional<edam::Notebook> findNotebook(const std::vector<edam::Notebook> &notebooks, const QString &guid,
                                           const QString &name);
