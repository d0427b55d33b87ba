// The class library's exception classes and the run-time helpers every layer uses.
#pragma once

#include <exception>
#include <string>

// Base of every failure the class library and the system raise; `Message` is the text shown to the user.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

#define PELLORAN_EXCEPTION(Name, Base)       \
  class Name : public Base {                 \
   public:                                   \
    using Base::Base;                        \
  };

PELLORAN_EXCEPTION(EAbort, Exception)
PELLORAN_EXCEPTION(EConvertError, Exception)
PELLORAN_EXCEPTION(EListError, Exception)
PELLORAN_EXCEPTION(EStringListError, Exception)
PELLORAN_EXCEPTION(EStreamError, Exception)
PELLORAN_EXCEPTION(EFilerError, EStreamError)
PELLORAN_EXCEPTION(EReadError, EFilerError)
PELLORAN_EXCEPTION(EWriteError, EFilerError)
PELLORAN_EXCEPTION(EFCreateError, EStreamError)
PELLORAN_EXCEPTION(EFOpenError, EStreamError)
PELLORAN_EXCEPTION(EInOutError, Exception)
PELLORAN_EXCEPTION(EInvalidGraphic, Exception)
PELLORAN_EXCEPTION(EInvalidGraphicOperation, Exception)
PELLORAN_EXCEPTION(EOutOfResources, Exception)
PELLORAN_EXCEPTION(EOutOfMemory, Exception)
PELLORAN_EXCEPTION(EInvalidCast, Exception)
PELLORAN_EXCEPTION(EInvalidOperation, Exception)
PELLORAN_EXCEPTION(EZeroDivide, Exception)
PELLORAN_EXCEPTION(EComponentError, Exception)
PELLORAN_EXCEPTION(EThread, Exception)
PELLORAN_EXCEPTION(ERegistryException, Exception)
