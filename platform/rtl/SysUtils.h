// The class library's exception classes and the run-time helpers every layer uses: string conversion,
// formatting, numbers and time. File and path functions come from FileUtils.h, included here.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Base of every failure the class library and the system raise; `Message` is the text shown to the user.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

#define PELLORAN_EXCEPTION(Name, Base) \
  class Name : public Base {           \
   public:                             \
    using Base::Base;                  \
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

// Raises EAbort, the silent exception that ends an operation without a report.
[[noreturn]] void Abort();

// ---- Strings and conversions -------------------------------------------------------------------

[[nodiscard]] std::string IntToStr(int64_t Value);
// Hexadecimal digits in upper case, padded with zeros to at least Digits characters; negative values
// of 32-bit range are written as 32-bit words.
[[nodiscard]] std::string IntToHex(int64_t Value, int Digits);
// Leading blanks, an optional sign, then decimal digits or "$"/"0x" and hex digits; nothing may follow.
// Anything else (trailing blanks, empty text, overflow of 32 bits) raises EConvertError
// "'%s' ist kein gültiger Integerwert".
[[nodiscard]] int StrToInt(const std::string& S);
[[nodiscard]] int64_t StrToInt64(const std::string& S);
[[nodiscard]] int StrToIntDef(const std::string& S, int Default);
// The same syntax without raising; returns false and leaves Value alone on bad text.
[[nodiscard]] bool TryStrToInt(const std::string& S, int& Value);
[[nodiscard]] bool TryStrToInt64(const std::string& S, int64_t& Value);
// Decimal text with "." as separator (also accepts ","); raises EConvertError
// "'%s' ist kein gültiger Gleitkommawert".
[[nodiscard]] double StrToFloat(const std::string& S);
[[nodiscard]] std::string FloatToStr(double Value);
[[nodiscard]] std::string BoolToStr(bool Value, bool UseBoolStrs = false);

// Strip characters up to and including 0x20 (blank and every control character).
[[nodiscard]] std::string Trim(const std::string& S);
[[nodiscard]] std::string TrimLeft(const std::string& S);
[[nodiscard]] std::string TrimRight(const std::string& S);
// ASCII letters only; other bytes (UTF-8 sequences among them) stay as they are.
[[nodiscard]] std::string UpperCase(const std::string& S);
[[nodiscard]] std::string LowerCase(const std::string& S);
// Compares ignoring ASCII case: < 0, 0 or > 0.
[[nodiscard]] int CompareText(const std::string& S1, const std::string& S2);
[[nodiscard]] int CompareStr(const std::string& S1, const std::string& S2);
[[nodiscard]] bool SameText(const std::string& S1, const std::string& S2);
// 1-based position of Sub in S, 0 when absent (the class library's Pos).
[[nodiscard]] int Pos(const std::string& Sub, const std::string& S);
// 1-based substring of at most Count characters; out-of-range indexes are clamped (the class library's Copy).
[[nodiscard]] std::string Copy(const std::string& S, int Index, int Count);
enum class TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
[[nodiscard]] std::string StringReplace(const std::string& S, const std::string& OldPattern,
                                        const std::string& NewPattern, int Flags);
[[nodiscard]] std::string QuotedStr(const std::string& S);

// Whether Text is well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
[[nodiscard]] bool IsUtf8(std::string_view Text);
// Text in the system's 8-bit code page (Windows-1252) as UTF-8. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, as the
// system's own conversion makes them, so no byte is lost.
[[nodiscard]] std::string AnsiToUtf8(std::string_view Text);

// One argument of Format: an integer, a floating-point value or a string.
using TVarRec = std::variant<int64_t, double, std::string>;

// Formats with the class library's directives: %d %u %x %X %s %f %g %e %n %m %p %%, each with optional
// index ("%0:s"), "-" flag, width and precision, "*" taking width or precision from the arguments.
// A mismatch of directive and argument raises EConvertError "Format '%s' ungültig oder nicht kompatibel
// mit Argument".
[[nodiscard]] std::string FormatList(const std::string& Fmt, const std::vector<TVarRec>& Args);

namespace rtl_detail {
template <typename T>
TVarRec ToVarRec(const T& v) {
  if constexpr (std::is_same_v<T, bool>)
    return TVarRec{int64_t{v ? 1 : 0}};
  else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
    return TVarRec{static_cast<int64_t>(v)};
  else if constexpr (std::is_floating_point_v<T>)
    return TVarRec{static_cast<double>(v)};
  else
    return TVarRec{std::string(v)};
}
}  // namespace rtl_detail

template <typename... Args>
[[nodiscard]] std::string Format(const std::string& Fmt, const Args&... args) {
  return FormatList(Fmt, std::vector<TVarRec>{rtl_detail::ToVarRec(args)...});
}

// ---- System errors ----------------------------------------------------------------------------

// The error of the last failed file or process operation of this thread (an errno value; 0 for none).
[[nodiscard]] uint32_t GetLastError();
void SetLastError(uint32_t ErrorCode);
// The system's text for an error code; "" for 0.
[[nodiscard]] std::string SysErrorMessage(uint32_t ErrorCode);

// ---- Numbers and time --------------------------------------------------------------------------

// Number * Numerator / Denominator with a 64-bit product, rounded half away from zero;
// -1 when Denominator is 0 or the result does not fit in 32 bits.
[[nodiscard]] int MulDiv(int Number, int Numerator, int Denominator);
// Rounds half to even, as the class library's Round.
[[nodiscard]] int64_t Round(double X);
// Toward zero.
[[nodiscard]] int64_t Trunc(double X);
// A steady millisecond clock (wraps after 49 days like the system's).
[[nodiscard]] uint32_t timeGetTime();
[[nodiscard]] uint32_t GetTickCount();
// Sleeps Milliseconds; 0 yields the rest of the time slice.
void Sleep(uint32_t Milliseconds);

#include "platform/rtl/FileUtils.h"
