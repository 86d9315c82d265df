#include "evernote/NotebookLookup.h"

#include "core/DCLog.h"

std::optional<edam::Notebook> findNotebook(const std::vector<edam::Notebook> &notebooks, const QString &guid,
                                           const QString &name) {
    if (!guid.isEmpty()) {
        const std::string wanted = guid.toStdString();
        for (const auto &notebook : notebooks) {
            if (notebook.guid == wanted) {
                DCLog("Found notebook with guid: %s", notebook.guid.c_str());
                return notebook;
            }
        }
    }
    if (!name.isEmpty()) {
        for (const auto &notebook : notebooks) {
            if (QString::fromStdString(notebook.name).compare(name, Qt::CaseInsensitive) == 0) {
                DCLog("Found notebook with name: %s", notebook.name.c_str());
                return notebook;
            }
        }
    }
    return std::nullopt;
}
