#pragma once

#include <memory>

#include <QMetaType>

#include "capture/Frame.h"

// A live frame as it travels in notifications: the "image" of "DCWillDisplayImage" is
// QVariant::fromValue(FramePointer).
using FramePointer = std::shared_ptr<const Frame>;
Q_DECLARE_METATYPE(FramePointer)
