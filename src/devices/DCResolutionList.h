#pragma once

#include <cstdint>

#include <QSizeF>
#include <QString>
#include <QStringList>

// The list arithmetic behind the cameras' resolution class operations. Sizes travel as their standard
// text form, "{640, 480}", so the user interface can list them before any camera is opened.
namespace DCResolutionList {

QString stringFromSize(QSizeF size);
// The zero size when `text` is not of the "{w, h}" form.
QSizeF sizeFromString(const QString &text);

// A negative index, or one at or past the end, gives the first entry; an empty list the zero size.
QSizeF at(const QStringList &list, int32_t index);
// The position of the size's text, or kNotAvailable when absent.
int32_t indexOf(const QStringList &list, QSizeF size);
// indexOf() of the default size, or 0 when that is negative.
int32_t defaultIndex(const QStringList &list, QSizeF defaultSize);

} // namespace DCResolutionList

// Declares the resolution class operations of a camera class that has its own size list, plus the
// virtual instance forwarders the base class declares. The class defines supportedResolutions() and
// defaultResolution() in its .cpp; the rest follows from them:
//     DCCameraWrenHD::resolutionAtIndex(3)  // no instance needed
#define DC_RESOLUTION_CLASS_OPERATIONS                                                                       \
public:                                                                                                      \
    static QStringList supportedResolutions();                                                               \
    static QSizeF defaultResolution();                                                                       \
    static QSizeF resolutionAtIndex(int32_t index) {                                                         \
        return DCResolutionList::at(supportedResolutions(), index);                                          \
    }                                                                                                        \
    static int32_t indexOfResolution(QSizeF size) {                                                          \
        return DCResolutionList::indexOf(supportedResolutions(), size);                                      \
    }                                                                                                        \
    static int32_t indexOfDefaultResolution() {                                                              \
        return DCResolutionList::defaultIndex(supportedResolutions(), defaultResolution());                  \
    }                                                                                                        \
    QStringList classSupportedResolutions() const override {                                                 \
        return supportedResolutions();                                                                       \
    }                                                                                                        \
    QSizeF classResolutionAtIndex(int32_t index) const override {                                            \
        return resolutionAtIndex(index);                                                                     \
    }                                                                                                        \
    int32_t classIndexOfResolution(QSizeF size) const override {                                             \
        return indexOfResolution(size);                                                                      \
    }                                                                                                        \
    int32_t classIndexOfDefaultResolution() const override {                                                 \
        return indexOfDefaultResolution();                                                                   \
    }                                                                                                        \
                                                                                                             \
private:
