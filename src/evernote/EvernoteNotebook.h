#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// A notebook of the user's account, as far as the window needs it.
struct EvernoteNotebook {
    QString guid;
    QString name;

    bool operator==(const EvernoteNotebook &) const = default;
};
Q_DECLARE_METATYPE(EvernoteNotebook)

// The name used when the user has chosen no notebook.
inline constexpr const char *kCustomNotebookName = "Korva Notebook";
