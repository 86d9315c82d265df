#pragma once

// The warning shown over a network camera's picture while it is frozen ("NoDocCamVideoWarningView",
// along the top edge of the stream's picture, on black at 0.7 alpha). The window implements it;
// LogInfoViewPresenter writes a log line until then. Called on the main thread.
class InfoViewPresenter {
public:
    virtual ~InfoViewPresenter() = default;
    virtual void showInfoView() = 0;
    virtual void hideInfoView() = 0;
};

class LogInfoViewPresenter : public InfoViewPresenter {
public:
    void showInfoView() override;
    void hideInfoView() override;
};
