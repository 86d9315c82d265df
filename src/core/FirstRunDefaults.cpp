#include "FirstRunDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "DCLog.h"
#include "DCVocabulary.h"
#include "LogFolder.h"
#include "UserDefaults.h"

namespace FirstRunDefaults {

QString defaultPhotoLibraryPath() {
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) pictures = QDir::home().filePath(QStringLiteral("Pictures"));
    return QDir(pictures).filePath(QStringLiteral("Korva Lectern"));
}

void setAppDefault(UserDefaults &defaults) {
    QString library = defaults.stringForKey(DCDefaults::PhotoLibraryLocation);
    if (library.isEmpty()) {
        library = defaultPhotoLibraryPath();
        defaults.setObject(library, DCDefaults::PhotoLibraryLocation);
    }

    // A failure is only logged here; the photos written into the folder later fail with their reason.
    const LogFolder::Outcome folder = LogFolder::ensure(library, QStringLiteral("photo library folder"));
    if (!folder.note.isEmpty()) DCLog("%s", qUtf8Printable(folder.note));
    if (folder.isFolder && !QFileInfo(library).isWritable())
        DCLog("The photo library folder %s is not writable: photos cannot be saved there",
              qUtf8Printable(library));

    if (!defaults.hasKey(DCDefaults::FocusSoundEffectSwitch))
        defaults.setBool(true, DCDefaults::FocusSoundEffectSwitch);
    if (!defaults.hasKey(DCDefaults::SnapshotSoundEffectSwitch))
        defaults.setBool(true, DCDefaults::SnapshotSoundEffectSwitch);
    defaults.synchronize();
}

} // namespace FirstRunDefaults
