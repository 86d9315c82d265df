#include "DCCamera.h"

QVariant DCCamera::selfVariant() {
    return QVariant::fromValue(DCCameraPtr(weak_from_this().lock()));
}
