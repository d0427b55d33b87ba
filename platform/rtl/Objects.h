// The root classes: TObject, TPersistent and the plain notify event. Classes.h includes this; the
// list, stream and thread headers use it directly so that they stand on their own.
#pragma once

#include <functional>
#include <string>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Types.h"

// Root of every class of the system. Objects are not copied; they are created and freed.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// An event handler without arguments besides its sender (the class library's TNotifyEvent).
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TFiler;

// An object that can copy itself from another: Assign asks the source's AssignTo, whose default raises.
// It names the data it stores through a filer in DefineProperties (by default none).
class TPersistent : public TObject {
 public:
  virtual void Assign(TPersistent* Source);

 protected:
  virtual void AssignTo(TPersistent* Dest);
  virtual void DefineProperties(TFiler* /*Filer*/) {}
  // Names the class in the "cannot assign" message.
  [[nodiscard]] virtual std::string ClassName() const;

  friend class TReader;
  friend class TWriter;
};
