#include "platform/rtl/SysUtils.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

namespace {

[[noreturn]] void RaiseInteger(const std::string& S) {
  throw EConvertError("'" + S + "' ist kein gültiger Integerwert");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The class library's integer syntax. Limit is the largest magnitude of a decimal value; hexadecimal
// values may use all bits of the width (HexMask) and wrap into the negative range.
bool ParseInteger(const std::string& S, uint64_t Limit, uint64_t HexMask, int64_t& Value) {
  size_t i = 0;
  while (i < S.size() && S[i] == ' ')
    ++i;
  bool negative = false;
  if (i < S.size() && (S[i] == '+' || S[i] == '-')) negative = S[i++] == '-';
  bool hex = false;
  if (i < S.size() && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= S.size()) return false;
  uint64_t magnitude = 0;
  for (; i < S.size(); ++i) {
    const int d = hex ? HexDigit(S[i]) : (S[i] >= '0' && S[i] <= '9' ? S[i] - '0' : -1);
    if (d < 0) return false;
    const uint64_t base = hex ? 16 : 10;
    const uint64_t max = hex ? HexMask : Limit + (negative ? 1 : 0);
    if (magnitude > (max - static_cast<uint64_t>(d)) / base) return false;
    magnitude = magnitude * base + static_cast<uint64_t>(d);
  }
  if (hex) {
    // Wrap into the signed range of the width.
    const uint64_t bits = HexMask == ~uint64_t{0} ? 64 : 32;
    int64_t v;
    if (bits == 32)
      v = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    else
      v = static_cast<int64_t>(magnitude);
    Value = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : v;
    if (bits == 32) Value = static_cast<int32_t>(Value);
    return true;
  }
  Value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

void Abort() {
  throw EAbort("Operation abgebrochen");
}

std::string IntToStr(int64_t Value) {
  return std::to_string(Value);
}

std::string IntToHex(int64_t Value, int Digits) {
  // Negative values of 32-bit range show as 32-bit words, as for the class library's Integer.
  if (Value < 0 && Value >= INT32_MIN) Value = static_cast<uint32_t>(Value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", Digits < 0 ? 0 : (Digits > 16 ? 16 : Digits),
                static_cast<unsigned long long>(Value));
  return buf;
}

bool TryStrToInt(const std::string& S, int& Value) {
  int64_t v;
  if (!ParseInteger(S, 0x7FFFFFFF, 0xFFFFFFFF, v)) return false;
  Value = static_cast<int>(v);
  return true;
}

bool TryStrToInt64(const std::string& S, int64_t& Value) {
  return ParseInteger(S, 0x7FFFFFFFFFFFFFFF, ~uint64_t{0}, Value);
}

int StrToInt(const std::string& S) {
  int v;
  if (!TryStrToInt(S, v)) RaiseInteger(S);
  return v;
}

int64_t StrToInt64(const std::string& S) {
  int64_t v;
  if (!TryStrToInt64(S, v)) RaiseInteger(S);
  return v;
}

int StrToIntDef(const std::string& S, int Default) {
  int v;
  return TryStrToInt(S, v) ? v : Default;
}

double StrToFloat(const std::string& S) {
  std::string t = Trim(S);
  for (char& c : t)
    if (c == ',') c = '.';
  size_t used = 0;
  double v = 0;
  bool ok = !t.empty();
  if (ok) {
    try {
      v = std::stod(t, &used);
    } catch (const std::exception&) {
      ok = false;
    }
  }
  if (!ok || used != t.size() || !std::isfinite(v))
    throw EConvertError("'" + S + "' ist kein gültiger Gleitkommawert");
  return v;
}

std::string FloatToStr(double Value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", Value);
  return buf;
}

std::string BoolToStr(bool Value, bool UseBoolStrs) {
  if (UseBoolStrs) return Value ? "True" : "False";
  return Value ? "-1" : "0";
}

std::string TrimLeft(const std::string& S) {
  size_t i = 0;
  while (i < S.size() && IsBlank(S[i]))
    ++i;
  return S.substr(i);
}

std::string TrimRight(const std::string& S) {
  size_t n = S.size();
  while (n > 0 && IsBlank(S[n - 1]))
    --n;
  return S.substr(0, n);
}

std::string Trim(const std::string& S) {
  return TrimLeft(TrimRight(S));
}

std::string UpperCase(const std::string& S) {
  std::string r = S;
  for (char& c : r)
    c = AsciiUpper(c);
  return r;
}

std::string LowerCase(const std::string& S) {
  std::string r = S;
  for (char& c : r)
    c = AsciiLower(c);
  return r;
}

int CompareText(const std::string& S1, const std::string& S2) {
  const size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    const int a = static_cast<unsigned char>(AsciiUpper(S1[i]));
    const int b = static_cast<unsigned char>(AsciiUpper(S2[i]));
    if (a != b) return a - b;
  }
  return static_cast<int>(S1.size()) - static_cast<int>(S2.size());
}

int CompareStr(const std::string& S1, const std::string& S2) {
  const int c = S1.compare(S2);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool SameText(const std::string& S1, const std::string& S2) {
  return CompareText(S1, S2) == 0;
}

int Pos(const std::string& Sub, const std::string& S) {
  if (Sub.empty()) return 0;
  const size_t p = S.find(Sub);
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

std::string Copy(const std::string& S, int Index, int Count) {
  if (Index < 1) Index = 1;
  if (Count <= 0 || static_cast<size_t>(Index) > S.size()) return {};
  return S.substr(static_cast<size_t>(Index - 1), static_cast<size_t>(Count));
}

std::string StringReplace(const std::string& S, const std::string& OldPattern, const std::string& NewPattern,
                          int Flags) {
  if (OldPattern.empty()) return S;
  const bool all = (Flags & static_cast<int>(TReplaceFlag::rfReplaceAll)) != 0;
  const bool ignoreCase = (Flags & static_cast<int>(TReplaceFlag::rfIgnoreCase)) != 0;
  const std::string hay = ignoreCase ? UpperCase(S) : S;
  const std::string needle = ignoreCase ? UpperCase(OldPattern) : OldPattern;
  std::string result;
  size_t from = 0;
  while (true) {
    const size_t p = hay.find(needle, from);
    if (p == std::string::npos) break;
    result.append(S, from, p - from).append(NewPattern);
    from = p + needle.size();
    if (!all) break;
  }
  result.append(S, from, std::string::npos);
  return result;
}

std::string QuotedStr(const std::string& S) {
  std::string r = "'";
  for (char c : S) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r + "'";
}

bool IsUtf8(std::string_view Text) {
  const auto* p = reinterpret_cast<const unsigned char*>(Text.data());
  const size_t n = Text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The lead byte gives the length and narrows the first continuation byte, which shuts out overlong
    // forms (E0, F0), surrogates (ED) and code points above U+10FFFF (F4).
    size_t more = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i - 1 < more || p[i + 1] < low || p[i + 1] > high) return false;
    for (size_t k = 2; k <= more; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

std::string AnsiToUtf8(std::string_view Text) {
  // 0x80 to 0x9F; every other byte is the Latin-1 character of its number.
  static constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                         0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(Text.size() + Text.size() / 2);
  for (const char ch : Text) {
    const auto b = static_cast<unsigned char>(ch);
    const char16_t u = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

// ---- Format ------------------------------------------------------------------------------------

namespace {

[[noreturn]] void FormatError(const std::string& Fmt) {
  throw EConvertError("Format '" + Fmt + "' ungültig oder nicht kompatibel mit Argument");
}

std::string GroupThousands(const std::string& digits) {
  // digits: optional '-', integer digits, optional fraction part starting with '.'.
  size_t start = digits[0] == '-' ? 1 : 0;
  size_t end = digits.find('.');
  if (end == std::string::npos) end = digits.size();
  std::string r = digits.substr(0, start);
  for (size_t i = start; i < end; ++i) {
    r += digits[i];
    const size_t left = end - i - 1;
    if (left > 0 && left % 3 == 0) r += ',';
  }
  return r + digits.substr(end);
}

}  // namespace

std::string FormatList(const std::string& Fmt, const std::vector<TVarRec>& Args) {
  std::string out;
  size_t argIndex = 0;
  size_t i = 0;
  auto readNumber = [&](int& value) -> bool {
    if (i < Fmt.size() && Fmt[i] == '*') {
      ++i;
      if (argIndex >= Args.size() || !std::holds_alternative<int64_t>(Args[argIndex])) FormatError(Fmt);
      value = static_cast<int>(std::get<int64_t>(Args[argIndex++]));
      return true;
    }
    bool any = false;
    value = 0;
    while (i < Fmt.size() && Fmt[i] >= '0' && Fmt[i] <= '9') {
      value = value * 10 + (Fmt[i++] - '0');
      if (value > 100000) FormatError(Fmt);
      any = true;
    }
    return any;
  };
  while (i < Fmt.size()) {
    const char c = Fmt[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i >= Fmt.size()) FormatError(Fmt);
    if (Fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // [index ":"] ["-"] [width] ["." precision] type
    int number = 0;
    bool hasNumber = readNumber(number);
    if (hasNumber && i < Fmt.size() && Fmt[i] == ':') {
      ++i;
      if (number < 0) FormatError(Fmt);
      argIndex = static_cast<size_t>(number);
      hasNumber = false;
    }
    bool left = false;
    if (!hasNumber && i < Fmt.size() && Fmt[i] == '-') {
      left = true;
      ++i;
    }
    int width = 0;
    if (hasNumber)
      width = number;
    else
      readNumber(width);
    int precision = -1;
    if (i < Fmt.size() && Fmt[i] == '.') {
      ++i;
      int p = 0;
      readNumber(p);
      precision = p;
    }
    if (i >= Fmt.size() || argIndex >= Args.size()) FormatError(Fmt);
    const char type = static_cast<char>(AsciiLower(Fmt[i]));
    ++i;
    const TVarRec& arg = Args[argIndex++];
    std::string text;
    char buf[512];
    switch (type) {
      case 'd':
      case 'u': {
        if (!std::holds_alternative<int64_t>(arg)) FormatError(Fmt);
        int64_t v = std::get<int64_t>(arg);
        if (type == 'u') v = static_cast<int64_t>(static_cast<uint32_t>(v));
        std::string digits = std::to_string(v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
        if (precision > 0 && static_cast<int>(digits.size()) < precision)
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        text = (v < 0 ? "-" : "") + digits;
        break;
      }
      case 'x':
      case 'p': {
        if (!std::holds_alternative<int64_t>(arg)) FormatError(Fmt);
        const int64_t v = std::get<int64_t>(arg);
        const int digits = type == 'p' ? 8 : (precision > 0 ? std::min(precision, 16) : 0);
        // The class library writes hexadecimal digits in upper case either way.
        text = IntToHex(v, digits);
        break;
      }
      case 'f':
      case 'n':
      case 'm':
      case 'e':
      case 'g': {
        if (!std::holds_alternative<double>(arg)) FormatError(Fmt);
        const double v = std::get<double>(arg);
        if (type == 'e') {
          const int p = precision < 0 ? 15 : std::clamp(precision, 1, 18);
          std::snprintf(buf, sizeof buf, "%.*E", p - 1, v);
          // Exponent with sign and at least three digits.
          std::string s = buf;
          const size_t e = s.find('E');
          std::string mant = s.substr(0, e + 2);
          std::string exp = s.substr(e + 2);
          while (exp.size() < 3)
            exp.insert(0, "0");
          text = mant + exp;
        } else if (type == 'g') {
          const int p = precision < 0 ? 15 : std::clamp(precision, 1, 18);
          std::snprintf(buf, sizeof buf, "%.*G", p, v);
          text = buf;
        } else {
          const int p = precision < 0 ? 2 : std::min(precision, 18);
          std::snprintf(buf, sizeof buf, "%.*f", p, v);
          text = type == 'f' ? std::string(buf) : GroupThousands(buf);
        }
        break;
      }
      case 's': {
        if (std::holds_alternative<std::string>(arg))
          text = std::get<std::string>(arg);
        else
          FormatError(Fmt);
        if (precision >= 0 && static_cast<size_t>(precision) < text.size())
          text.resize(static_cast<size_t>(precision));
        break;
      }
      default:
        FormatError(Fmt);
    }
    if (static_cast<int>(text.size()) < width) {
      const std::string pad(static_cast<size_t>(width) - text.size(), ' ');
      text = left ? text + pad : pad + text;
    }
    out += text;
  }
  return out;
}

// ---- System errors ----------------------------------------------------------------------------

namespace {
thread_local uint32_t gLastError = 0;
}

uint32_t GetLastError() {
  return gLastError;
}

void SetLastError(uint32_t ErrorCode) {
  gLastError = ErrorCode;
}

std::string SysErrorMessage(uint32_t ErrorCode) {
  if (ErrorCode == 0) return {};
  char buf[256];
  // The GNU strerror_r returns the text, which need not be in buf.
  return ::strerror_r(static_cast<int>(ErrorCode), buf, sizeof buf);
}

// ---- Numbers and time --------------------------------------------------------------------------

int MulDiv(int Number, int Numerator, int Denominator) {
  if (Denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(Number) * Numerator;
  int64_t q = product / Denominator;
  const int64_t r = product % Denominator;
  // Half away from zero: |2r| >= |d| moves one step in the sign of the exact quotient.
  const uint64_t twiceR = 2 * static_cast<uint64_t>(r < 0 ? -r : r);
  const uint64_t absD =
      static_cast<uint64_t>(Denominator < 0 ? -static_cast<int64_t>(Denominator) : Denominator);
  if (twiceR >= absD) q += ((product < 0) != (Denominator < 0)) ? -1 : 1;
  if (q > std::numeric_limits<int32_t>::max() || q < std::numeric_limits<int32_t>::min()) return -1;
  return static_cast<int>(q);
}

int64_t Round(double X) {
  const double r = std::nearbyint(X);
  if (!std::isfinite(r) || r >= 9223372036854775808.0 || r < -9223372036854775808.0)
    throw EInvalidOperation("Ungültige Gleitkommaoperation");
  return static_cast<int64_t>(r);
}

int64_t Trunc(double X) {
  const double r = std::trunc(X);
  if (!std::isfinite(r) || r >= 9223372036854775808.0 || r < -9223372036854775808.0)
    throw EInvalidOperation("Ungültige Gleitkommaoperation");
  return static_cast<int64_t>(r);
}

uint32_t timeGetTime() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t GetTickCount() {
  return timeGetTime();
}

void Sleep(uint32_t Milliseconds) {
  if (Milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}
