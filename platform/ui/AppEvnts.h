// A component that hears the application's events (messages, exceptions, idle) while it exists.
#pragma once

#include "platform/ui/Forms.h"

class TApplicationEvents : public TComponent {
 public:
  explicit TApplicationEvents(TComponent* AOwner);
  ~TApplicationEvents() override;

  TMessageEvent OnMessage;
  TExceptionEvent OnException;
  TIdleEvent OnIdle;
};
