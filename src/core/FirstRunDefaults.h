#pragma once

#include <QString>

class UserDefaults;

// The values the program fills in on first use, run at every start right after the log is set up.
namespace FirstRunDefaults {

// The photo library folder: stored as the expanded "~/Pictures/Korva Lectern" (the XDG pictures folder)
// when absent; whatever stands at the path that is not a folder is replaced by one. Both sound
// switches become YES unless a value (also NO) is stored already.
void setAppDefault(UserDefaults &defaults);

// The expanded default library path.
QString defaultPhotoLibraryPath();

} // namespace FirstRunDefaults
