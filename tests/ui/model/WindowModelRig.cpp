#include "WindowModelRig.h"

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"

ModelSchedule::Function ManualTimers::function() {
    return [this](Ms delay, std::function<void()> work) { due_.emplace(now_ + delay, std::move(work)); };
}

void ManualTimers::advance(Ms by) {
    const Ms end = now_ + by;
    for (int ran = 0; ran < 10000 && !due_.empty() && due_.begin()->first <= end; ++ran) {
        const auto next = due_.begin();
        now_ = next->first;
        std::function<void()> work = std::move(next->second);
        due_.erase(next);
        work();
    }
    now_ = end;
}

WindowModelRig::WindowModelRig() {
    settings = std::make_unique<DCCamSettingController>(*defaults, currentCamera(), [](Ms) {});
    DCCaptureViewController::Dependencies c;
    c.currentCamera = currentCamera();
    c.findDevice = [](const DCCameraPtr &) { return std::unique_ptr<CaptureSource>(); };
    c.sleep = [](Ms) {};
    c.schedule = timers.function();
    c.watchdogTimer = false;
    capture = std::make_unique<DCCaptureViewController>(std::move(c));
    library = std::make_unique<PhotoLibraryModel>();
    toolbar = std::make_unique<CameraToolbarModel>(
        CameraToolbarModel::Dependencies{settings.get(), capture.get(), currentCamera(), timers.function()});
    window = std::make_unique<MainWindowModel>(MainWindowModel::Dependencies{
        toolbar.get(), library.get(), capture.get(), currentCamera(), timers.function()});
    reactions = std::make_unique<MainWindowReactions>(
        MainWindowReactions::Dependencies{window.get(), toolbar.get(), library.get(), settings.get(),
                                          capture.get(), defaults.get(), currentCamera(), timers.function()});
}

WindowModelRig::~WindowModelRig() {
    // The models go before what they use.
    reactions.reset();
    window.reset();
    toolbar.reset();
}

void WindowModelRig::changeCamera(DCCameraPtr camera) {
    QVariantMap info;
    if (current) info.insert(DCKey::OriginalCamera, QVariant::fromValue(current));
    if (camera) info.insert(DCKey::NewCamera, QVariant::fromValue(camera));
    current = std::move(camera);
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCameraDidChange, {}, info);
}
