#include "platform/media/WebEngine.h"

void TWebEngine::ReportCommandState(bool CanBack, bool CanForward) {
  if (CanForward != FReportedForward) {
    FReportedForward = CanForward;
    if (Events.CommandStateChange) Events.CommandStateChange(CSC_NAVIGATEFORWARD, CanForward);
  }
  if (CanBack != FReportedBack) {
    FReportedBack = CanBack;
    if (Events.CommandStateChange) Events.CommandStateChange(CSC_NAVIGATEBACK, CanBack);
  }
}
