#include "streaming/InfoViewPresenter.h"

#include "core/DCLog.h"

void LogInfoViewPresenter::showInfoView() {
    DCLog("warning shown: no picture arrives from the network camera");
}

void LogInfoViewPresenter::hideInfoView() {
    DCLog("warning hidden: the network camera's picture is back");
}
