#include "FirstRunDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "DCVocabulary.h"
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

    const QFileInfo info(library);
    if (!info.isDir()) {
        if (info.exists() || info.isSymLink()) QFile::remove(library); // a failure is ignored
        QDir().mkpath(library);
    }

    if (!defaults.hasKey(DCDefaults::FocusSoundEffectSwitch))
        defaults.setBool(true, DCDefaults::FocusSoundEffectSwitch);
    if (!defaults.hasKey(DCDefaults::SnapshotSoundEffectSwitch))
        defaults.setBool(true, DCDefaults::SnapshotSoundEffectSwitch);
    defaults.synchronize();
}

} // namespace FirstRunDefaults
