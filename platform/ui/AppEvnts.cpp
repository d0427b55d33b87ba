#include "platform/ui/AppEvnts.h"

TApplicationEvents::TApplicationEvents(TComponent* AOwner) : TComponent(AOwner) {
  Application->AddApplicationEvents(this);
}

TApplicationEvents::~TApplicationEvents() {
  Application->RemoveApplicationEvents(this);
}
