#pragma once

#include <QString>

// Every notification name, user-info key and user-defaults key of the program, spelled once.
// Names and keys are the exact strings that travel on the notification centre and in the defaults file.

namespace DCNote {
inline const QString CameraFrequencyDidChangeNotification =
    QStringLiteral("CameraFrequencyDidChangeNotification");
inline const QString DCAppWillSnapshotNotification = QStringLiteral("DCAppWillSnapshotNotification");
inline const QString DCCamSettingDidRestoreNotification =
    QStringLiteral("DCCamSettingDidRestoreNotification");
inline const QString DCCamSettingDidSetOurValueNotification =
    QStringLiteral("DCCamSettingDidSetOurValueNotification");
inline const QString DCCamSettingDidSetToDefaultNotification =
    QStringLiteral("DCCamSettingDidSetToDefaultNotification");
inline const QString DCCamSettingWillRestoreNotification =
    QStringLiteral("DCCamSettingWillRestoreNotification");
inline const QString DCCamSettingWillSetOurValueNotification =
    QStringLiteral("DCCamSettingWillSetOurValueNotification");
inline const QString DCCameraDidAdd = QStringLiteral("DCCameraDidAdd");
inline const QString DCCameraDidChange = QStringLiteral("DCCameraDidChange");
inline const QString DCCameraDidRemove = QStringLiteral("DCCameraDidRemove");
inline const QString DCCameraModeZoomAreaChange = QStringLiteral("DCCameraModeZoomAreaChange");
inline const QString DCCameraModeZoomDidChange = QStringLiteral("DCCameraModeZoomDidChange");
inline const QString DCCameraWillChange = QStringLiteral("DCCameraWillChange");
inline const QString DCCaptureDidInvalidateTimerNotification =
    QStringLiteral("DCCaptureDidInvalidateTimerNotification");
inline const QString DCCaptureDidTriggleTimerNotification =
    QStringLiteral("DCCaptureDidTriggleTimerNotification");
inline const QString DCCaptureFocusDidSetContinousNotification =
    QStringLiteral("DCCaptureFocusDidSetContinousNotification");
inline const QString DCCaptureFocusDidSetSingleNotification =
    QStringLiteral("DCCaptureFocusDidSetSingleNotification");
inline const QString DCCaptureViewWillFeedbackNotification =
    QStringLiteral("DCCaptureViewWillFeedbackNotification");
inline const QString DCCaptureViewWillUpdateExposureNotification =
    QStringLiteral("DCCaptureViewWillUpdateExposureNotification");
inline const QString DCCaptureWillDigitalZoomNotification =
    QStringLiteral("DCCaptureWillDigitalZoomNotification");
inline const QString DCCaptureWillMirrorNotification = QStringLiteral("DCCaptureWillMirrorNotification");
inline const QString DCCaptureWillUpdateTimerNotification =
    QStringLiteral("DCCaptureWillUpdateTimerNotification");
inline const QString DCDeviceCacheWillUpdateExposureNotification =
    QStringLiteral("DCDeviceCacheWillUpdateExposureNotification");
inline const QString DCDeviceCacheWillUpdateMirrorNotification =
    QStringLiteral("DCDeviceCacheWillUpdateMirrorNotification");
inline const QString DCDeviceCacheWillUpdateTimerNotification =
    QStringLiteral("DCDeviceCacheWillUpdateTimerNotification");
inline const QString DCDeviceCacheWillUpdateZoomFactorNotification =
    QStringLiteral("DCDeviceCacheWillUpdateZoomFactorNotification");
inline const QString DCFileDidCreateNotification = QStringLiteral("DCFileDidCreateNotification");
inline const QString DCFocusSoundEffectDidChangeNotification =
    QStringLiteral("DCFocusSoundEffectDidChangeNotification");
inline const QString DCFullScreenSetAutoFocus = QStringLiteral("DCFullScreenSetAutoFocus");
inline const QString DCFullScreenSetExposureLockNotification =
    QStringLiteral("DCFullScreenSetExposureLockNotification");
inline const QString DCFullScreenSetExposureNotification =
    QStringLiteral("DCFullScreenSetExposureNotification");
inline const QString DCFullScreenSetFocusLength = QStringLiteral("DCFullScreenSetFocusLength");
inline const QString DCFullScreenSetMirrorNotification = QStringLiteral("DCFullScreenSetMirrorNotification");
inline const QString DCFullScreenSetResolutionNotification =
    QStringLiteral("DCFullScreenSetResolutionNotification");
inline const QString DCFullScreenSetTimerNotification = QStringLiteral("DCFullScreenSetTimerNotification");
inline const QString DCFullScreenSetZoomNotification = QStringLiteral("DCFullScreenSetZoomNotification");
inline const QString DCInstantPreviewDidChangeNotification =
    QStringLiteral("DCInstantPreviewDidChangeNotification");
inline const QString DCKeepCameraSetDidChangeNotification =
    QStringLiteral("DCKeepCameraSetDidChangeNotification");
inline const QString DCNotificationAppExitFullScreen = QStringLiteral("DCNotificationAppExitFullScreen");
inline const QString DCNotificationCameraCustomButton = QStringLiteral("DCNotificationCameraCustomButton");
inline const QString DCNotificationCameraDidBeginAutoFocus =
    QStringLiteral("DCNotificationCameraDidBeginAutoFocus");
inline const QString DCNotificationCameraDidCancelAutoFocus =
    QStringLiteral("DCNotificationCameraDidCancelAutoFocus");
inline const QString DCNotificationCameraDidEndAutoFocus =
    QStringLiteral("DCNotificationCameraDidEndAutoFocus");
inline const QString DCNotificationCameraSetToContinueFocus =
    QStringLiteral("DCNotificationCameraSetToContinueFocus");
inline const QString DCNotificationCameraSetToSingleFocus =
    QStringLiteral("DCNotificationCameraSetToSingleFocus");
inline const QString DCNotificationCameraWillBeginSelfAutoFocus =
    QStringLiteral("DCNotificationCameraWillBeginSelfAutoFocus");
inline const QString DCNotificationCommandRestartCaptureView =
    QStringLiteral("DCNotificationCommandRestartCaptureView");
inline const QString DCNotificationMainWindowDoubleClicked =
    QStringLiteral("DCNotificationMainWindowDoubleClicked");
inline const QString DCNotificationReportExposure = QStringLiteral("DCNotificationReportExposure");
inline const QString DCNotificationReportFocusAuto = QStringLiteral("DCNotificationReportFocusAuto");
inline const QString DCNotificationReportFocusLength = QStringLiteral("DCNotificationReportFocusLength");
inline const QString DCNotificationSnapshot = QStringLiteral("DCNotificationSnapshot");
inline const QString DCPhotoLibraryLocationDidChangeNotification =
    QStringLiteral("DCPhotoLibraryLocationDidChangeNotification");
inline const QString DCPhotoNameFormatSelDidChangeNotification =
    QStringLiteral("DCPhotoNameFormatSelDidChangeNotification");
inline const QString DCProgramKeyFunctionDidChangeNotification =
    QStringLiteral("DCProgramKeyFunctionDidChangeNotification");
inline const QString DCSnapshotSoundEffectDidChangeNotification =
    QStringLiteral("DCSnapshotSoundEffectDidChangeNotification");
inline const QString DCWillDisplayImage = QStringLiteral("DCWillDisplayImage");
inline const QString ServerNotificationStateChanged = QStringLiteral("ServerNotificationStateChanged");
inline const QString VideoStreamServerDidStart = QStringLiteral("VideoStreamServerDidStart");
inline const QString VideoStreamServerDidStop = QStringLiteral("VideoStreamServerDidStop");
inline const QString VideoStreamSetDidChangeNotification =
    QStringLiteral("VideoStreamSetDidChangeNotification");
} // namespace DCNote

// User-info keys.
namespace DCKey {
inline const QString Image = QStringLiteral("image");
inline const QString FileURL = QStringLiteral("FileURLKey");
inline const QString DevTimerValue = QStringLiteral("DevTimerValue");
inline const QString DevExposureValue = QStringLiteral("DevExposureValue");
inline const QString DevHorizontalValue = QStringLiteral("DevHorizontalValue");
inline const QString DevVerticalValue = QStringLiteral("DevVerticalValue");
inline const QString DevZoomFactorValue = QStringLiteral("DevZoomFactorValue");
inline const QString Value = QStringLiteral("value");
inline const QString Zoom = QStringLiteral("zoom");
inline const QString XOffset = QStringLiteral("x_offset");
inline const QString YOffset = QStringLiteral("y_offset");
inline const QString OriginalCamera = QStringLiteral("original_camera");
inline const QString NewCamera = QStringLiteral("new_camera");
inline const QString FocusSoundEffectSwitch = QStringLiteral("FocusSoundEffectSwitchKey");
inline const QString SnapshotSoundEffectSwitch = QStringLiteral("SnapshotSoundEffectSwitchKey");
inline const QString VideoStreamSet = QStringLiteral("VideoStreamSetKey");
inline const QString InstantPreview = QStringLiteral("InstantPreviewKey");
inline const QString KeepCameraSet = QStringLiteral("KeepCameraSetKey");
inline const QString CameraFrequencySet = QStringLiteral("CameraFrequencySetKey");
inline const QString ProgramKeyFunction = QStringLiteral("ProgramKeyFunctionKey");
inline const QString PhotoLibraryLocation = QStringLiteral("DCPhotoLibraryLocationKey");
inline const QString PhotoNameFormatSel = QStringLiteral("PhotoNameFormatSelKey");
inline const QString PhotoNameFormatSelPrefix = QStringLiteral("PhotoNameFormatSelPrefixKey");
} // namespace DCKey

// User-defaults keys.
namespace DCDefaults {
inline const QString PhotoLibraryLocation = QStringLiteral("DCPhotoLibraryLocationKey");
inline const QString FocusSoundEffectSwitch = QStringLiteral("FocusSoundEffectSwitchKey");
inline const QString SnapshotSoundEffectSwitch = QStringLiteral("SnapshotSoundEffectSwitchKey");
inline const QString ProgramKeyFunction = QStringLiteral("ProgramKeyFunctionKey");
inline const QString PhotoNameFormatSel = QStringLiteral("PhotoNameFormatSelKey");
inline const QString PhotoNameFormatSelPrefix = QStringLiteral("PhotoNameFormatSelPrefixKey");
inline const QString VideoStreamSet = QStringLiteral("VideoStreamSetKey");
inline const QString KeepCameraSet = QStringLiteral("KeepCameraSetKey");
inline const QString InstantPreview = QStringLiteral("InstantPreviewKey");
inline const QString Frequency = QStringLiteral("frequency");
inline const QString PreferencesItemSaved = QStringLiteral("PreferencesItemSaved");
inline const QString CapturedNumber = QStringLiteral("DCCapturedNumber");
inline const QString PrivousDate = QStringLiteral("DCPrivousDate");
inline const QString Devices = QStringLiteral("DCDevices");
inline const QString AuthToken = QStringLiteral("authToken");
inline const QString NoteStoreUrl = QStringLiteral("noteStoreUrl");
inline const QString EdamUserId = QStringLiteral("edamUserId");
inline const QString DefaultNotebookGuid = QStringLiteral("defaultNotebookGuid");
} // namespace DCDefaults
