#include "raster/NumMngr.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/ResourceText.h"
#include "platform/Warning.h"

namespace tf {

namespace {

char g_separator = '.';

// The smallest magnitude that rounds to infinity as a float (FLT_MAX and half a step above it;
// the tie goes to infinity, FLT_MAX's last bit being odd).
constexpr double kFloatOverflow = 0x1.ffffffp+127;

bool Finite(float v) { return std::isfinite(v); }

}  // namespace

char DecimalSeparator() { return g_separator; }
void SetDecimalSeparator(char separator) { g_separator = separator; }

bool IsNumberChar(char ch, bool minusAllowed, bool separatorAllowed) {
  if (ch >= '0' && ch <= '9') return true;
  if (ch == '-') return minusAllowed;
  return separatorAllowed && ch == g_separator;
}

std::string FilterNumberText(std::string_view text, bool isSigned) {
  std::string kept;
  bool minus = isSigned;
  bool separator = true;
  for (const char ch : text) {
    if (IsNumberChar(ch, minus, separator)) {
      kept.push_back(ch);
      minus = false;
    }
    if (ch == g_separator) separator = false;
  }
  return kept;
}

TNumParse ParseNumberText(std::string_view text, bool isSigned, float& value) {
  std::string kept = FilterNumberText(text, isSigned);
  const std::string separatorAlone(1, g_separator);
  if (kept.empty() || kept == "-" || kept == separatorAlone) return TNumParse::None;
  for (char& ch : kept) {
    if (ch == g_separator) ch = '.';
  }
  double number = 0;
  const char* first = kept.data();
  const char* last = kept.data() + kept.size();
  const auto [end, error] = std::from_chars(first, last, number, std::chars_format::fixed);
  if (error == std::errc::invalid_argument || end != last) return TNumParse::Invalid;
  const bool negative = kept[0] == '-';
  if (error == std::errc::result_out_of_range) {
    // Too large, or so small that it is zero: only an integer part with a digit other than 0
    // makes it large.
    const std::size_t digits = kept.find_first_of("123456789");
    const std::size_t point = kept.find('.');
    if (digits != std::string::npos && (point == std::string::npos || digits < point)) {
      value = negative ? -INFINITY : INFINITY;
      return TNumParse::Overflow;
    }
    value = negative ? -0.0f : 0.0f;
    return TNumParse::Number;
  }
  if (std::fabs(number) >= kFloatOverflow) {
    value = negative ? -INFINITY : INFINITY;
    return TNumParse::Overflow;
  }
  value = static_cast<float>(number);
  return TNumParse::Number;
}

TNumParse StrToNum(std::string_view text, bool isSigned, float& value) {
  const TNumParse result = ParseNumberText(text, isSigned, value);
  if (result != TNumParse::Invalid) return result;
  const std::string kept = FilterNumberText(text, isSigned);
  ShowMessage(TxFormat(TextId::NumConvertError, kept.c_str()));
  return TNumParse::None;
}

namespace {

struct SFormatSpec {
  std::size_t start = 0;  // the '%'
  std::size_t end = 0;    // one past the conversion
  std::string flags;
  int width = -1;
  int precision = -1;
  char conversion = 0;
};

// Exactly one floating conversion (and any number of "%%").
bool ParseFormat(const char* format, SFormatSpec& spec) {
  const std::string_view f(format);
  bool found = false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') continue;
    if (i + 1 < f.size() && f[i + 1] == '%') {
      ++i;
      continue;
    }
    if (found) return false;
    found = true;
    spec.start = i++;
    while (i < f.size() && std::strchr("-+ #0", f[i]) != nullptr) spec.flags.push_back(f[i++]);
    if (i < f.size() && f[i] >= '0' && f[i] <= '9') {
      spec.width = 0;
      while (i < f.size() && f[i] >= '0' && f[i] <= '9' && spec.width < 1000) spec.width = spec.width * 10 + (f[i++] - '0');
    }
    if (i < f.size() && f[i] == '.') {
      ++i;
      spec.precision = 0;
      while (i < f.size() && f[i] >= '0' && f[i] <= '9' && spec.precision < 100) spec.precision = spec.precision * 10 + (f[i++] - '0');
    }
    if (i >= f.size() || std::strchr("fFeEgG", f[i]) == nullptr) return false;
    spec.conversion = f[i];
    spec.end = i + 1;
  }
  return found;
}

std::string Printf(const char* format, double value) {
  char buffer[512];
  const int n = std::snprintf(buffer, sizeof buffer, format, value);
  if (n < 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)));
}

// The conversion alone, with its flags, width and precision.
std::string Conversion(const SFormatSpec& spec, double value) {
  std::string one = "%" + spec.flags;
  if (spec.width >= 0) one += std::to_string(spec.width);
  if (spec.precision >= 0) one += "." + std::to_string(spec.precision);
  one.push_back(spec.conversion);
  const bool general = spec.conversion == 'g' || spec.conversion == 'G';
  if (!general || !std::isfinite(value)) return Printf(one.c_str(), value);
  // %g would use an exponent below 1e-4 and from 10^precision up: write the same significant
  // digits in fixed notation instead.
  const int p = spec.precision < 0 ? 6 : std::max(spec.precision, 1);
  const std::string e = Printf(("%." + std::to_string(p - 1) + "e").c_str(), value);
  const std::size_t at = e.find_first_of("eE");
  if (at == std::string::npos) return Printf(one.c_str(), value);
  const int x = std::atoi(e.c_str() + at + 1);
  if (x >= -4 && x < p) return Printf(one.c_str(), value);
  std::string digits;
  for (std::size_t i = 0; i < at; ++i) {
    if (e[i] >= '0' && e[i] <= '9') digits.push_back(e[i]);
  }
  const bool keepZeros = spec.flags.find('#') != std::string::npos;
  std::string body;
  if (x >= p) {
    body = digits + std::string(static_cast<std::size_t>(x - p + 1), '0');
  } else {
    if (!keepZeros) {
      while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    }
    body = "0." + std::string(static_cast<std::size_t>(-x - 1), '0') + digits;
  }
  std::string sign;
  if (std::signbit(value)) {
    sign = "-";
  } else if (spec.flags.find('+') != std::string::npos) {
    sign = "+";
  } else if (spec.flags.find(' ') != std::string::npos) {
    sign = " ";
  }
  std::string text = sign + body;
  if (spec.width > 0 && static_cast<int>(text.size()) < spec.width) {
    const std::string pad(static_cast<std::size_t>(spec.width) - text.size(), ' ');
    text = spec.flags.find('-') != std::string::npos ? text + pad : pad + text;
  }
  return text;
}

// The literal text of a pattern piece ("%%" as "%").
std::string Literal(std::string_view piece) {
  std::string text;
  for (std::size_t i = 0; i < piece.size(); ++i) {
    text.push_back(piece[i]);
    if (piece[i] == '%' && i + 1 < piece.size() && piece[i + 1] == '%') ++i;
  }
  return text;
}

}  // namespace

std::string FormatNum(const char* format, float value) {
  SFormatSpec spec;
  if (format == nullptr || !ParseFormat(format, spec)) {
    spec = SFormatSpec();
    spec.conversion = 'g';
    format = "%g";
    spec.end = 2;
  }
  std::string number = Conversion(spec, value);
  if (g_separator != '.') std::replace(number.begin(), number.end(), '.', g_separator);
  const std::string_view f(format);
  return Literal(f.substr(0, spec.start)) + number + Literal(f.substr(spec.end));
}

// ---- The manager --------------------------------------------------------------------------

TNumMngr::TNumMngr() = default;

TNumMngr::~TNumMngr() {
  // Each control drops its association, which detaches it.
  const std::vector<TNumControl*> controls = controls_;
  for (TNumControl* control : controls) {
    if (control != nullptr) control->NumRelease();
  }
  controls_.clear();
}

void TNumMngr::Load(const SNumMngrProps& props) {
  Loading loading(*this);
  SetValue(props.value);
  SetValueDefault(props.valueDefault);
  SetValueMin(props.valueMin);
  SetValueMax(props.valueMax);
  Amount = props.amount;
  UseCenter = props.useCenter;
  SetValueCenter(props.valueCenter);
  AmountLow = props.amountLow;
  AmountHigh = props.amountHigh;
  if (props.wrapAround) SetWrapAround(true);
  SetWrapMin(props.wrapMin);
  SetWrapMax(props.wrapMax);
}

float TNumMngr::ChangeValue(TNumControl* sender, float x) {
  if (value_ == x || !Finite(x)) return value_;
  if (loading_) {
    value_ = x;
  } else if (wrapAround_) {
    const float d = static_cast<float>(static_cast<long double>(wrapMax_) - wrapMin_);
    if (d == 0.0f) {
      value_ = wrapMin_;
    } else {
      const long double lx = x;
      const long double ld = d;
      value_ = static_cast<float>(lx - std::trunc(lx / ld) * ld);
      if (value_ < wrapMin_) {
        value_ = static_cast<float>(static_cast<long double>(value_) + ld);
      } else if (value_ > wrapMax_) {
        value_ = static_cast<float>(static_cast<long double>(value_) - ld);
      }
    }
  } else {
    value_ = std::min(valueMax_, std::max(valueMin_, x));
  }
  NotifyControls(sender);
  Change();
  return value_;
}

void TNumMngr::ApplyOverflow(TNumControl* sender, bool negative) {
  // Start from the other end, so that the change is notified even when the value is there already.
  value_ = negative ? valueMax_ : valueMin_;
  ChangeValue(sender, negative ? valueMin_ : valueMax_);
}

float TNumMngr::SetValueText(TNumControl*, std::string_view text) {
  float number = 0;
  switch (StrToNum(text, IsSigned(), number)) {
    case TNumParse::Number: ChangeValue(nullptr, number); break;
    case TNumParse::Overflow: ApplyOverflow(nullptr, number < 0); break;
    default: break;
  }
  return value_;
}

void TNumMngr::StepUp(TNumControl*, bool big) {
  long double step = Amount;
  if (UseCenter) step = value_ < valueCenter_ ? AmountLow : AmountHigh;
  if (big) step *= 10;
  ChangeValue(nullptr, static_cast<float>(value_ + step));
}

void TNumMngr::StepDown(TNumControl*, bool big) {
  long double step = Amount;
  if (UseCenter) step = value_ > valueCenter_ ? AmountHigh : AmountLow;
  if (big) step *= 10;
  ChangeValue(nullptr, static_cast<float>(value_ - step));
}

bool TNumMngr::SetRange(TNumControl*, float value, float min, float max) {
  if (min > max || !Finite(min) || !Finite(max)) return false;
  valueMin_ = min;
  valueMax_ = max;
  const float v = std::min(max, std::max(min, value));
  if (value_ != v) {
    SetValue(v);
  } else {
    Change();
  }
  return true;
}

int32_t TNumMngr::Attach(TNumControl* control) {
  if (control == nullptr) return -1;
  Detach(control);
  controls_.push_back(control);
  return static_cast<int32_t>(controls_.size()) - 1;
}

int32_t TNumMngr::Detach(TNumControl* control) {
  if (control == nullptr) return -1;
  const auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return -1;
  const auto index = static_cast<int32_t>(it - controls_.begin());
  controls_.erase(it);
  return index;
}

float TNumMngr::GetPosition() const {
  const long double lo = wrapAround_ ? wrapMin_ : valueMin_;
  const long double hi = wrapAround_ ? wrapMax_ : valueMax_;
  const long double v = value_;
  if (!UseCenter) {
    if (hi - lo == 0) return 0.0f;
    return static_cast<float>((v - lo) / (hi - lo));
  }
  const long double c = valueCenter_;
  if (v < c) {
    if (c - lo == 0) return 0.5f;
    return static_cast<float>((v - lo) * 0.5L / (c - lo));
  }
  if (v > c) {
    if (hi - c == 0) return 0.5f;
    return static_cast<float>((v - c) * 0.5L / (hi - c) + 0.5L);
  }
  return 0.5f;
}

void TNumMngr::SetPosition(float p) {
  if (!Finite(p)) return;
  const long double lo = wrapAround_ ? wrapMin_ : valueMin_;
  const long double hi = wrapAround_ ? wrapMax_ : valueMax_;
  const long double lp = p;
  long double v;
  if (!UseCenter) {
    v = lo + lp * (hi - lo);
  } else {
    const long double c = valueCenter_;
    if (lp < 0.5L) {
      v = lo + lp * (c - lo) * 2;
    } else if (lp > 0.5L) {
      v = c + (hi - c) * (lp - 0.5L) * 2;
    } else {
      v = c;
    }
  }
  // Positions far outside 0..1 could leave the single range.
  if (!(std::fabs(v) < kFloatOverflow)) return;
  SetValue(static_cast<float>(v));
}

void TNumMngr::NotifyControls(TNumControl* sender) {
  // A refresh may attach or detach controls: walk a copy, skipping those gone meanwhile.
  const std::vector<TNumControl*> controls = controls_;
  for (TNumControl* control : controls) {
    if (control == nullptr || control == sender) continue;
    if (std::find(controls_.begin(), controls_.end(), control) == controls_.end()) continue;
    control->NumRefresh();
  }
}

void TNumMngr::Change() {
  if (OnChange) OnChange(this);
}

void TNumMngr::SetValueDefault(float v) {
  if (v == valueDefault_ || !Finite(v)) return;
  valueDefault_ = loading_ ? v : std::min(valueMax_, std::max(valueMin_, v));
  NotifyControls(nullptr);
}

void TNumMngr::SetValueCenter(float v) {
  if (v == valueCenter_ || !Finite(v)) return;
  valueCenter_ = loading_ ? v : std::min(valueMax_, std::max(valueMin_, v));
}

void TNumMngr::SetValueMin(float v) {
  if (v == valueMin_ || !Finite(v)) return;
  valueMin_ = v;
  if (!loading_) {
    if (wrapMin_ < v) wrapMin_ = v;
    if (valueMax_ < v) valueMax_ = v;
    if (value_ < v) SetValue(v);
  }
  NotifyControls(nullptr);
}

void TNumMngr::SetValueMax(float v) {
  if (v == valueMax_ || !Finite(v)) return;
  valueMax_ = v;
  if (!loading_) {
    if (wrapMax_ > v) wrapMax_ = v;
    if (valueMin_ > v) valueMin_ = v;
    if (value_ > v) SetValue(v);
  }
  NotifyControls(nullptr);
}

void TNumMngr::SetWrapAround(bool wrap) {
  if (wrap == wrapAround_) return;
  wrapAround_ = wrap;
  NotifyControls(nullptr);
}

void TNumMngr::SetWrapMin(float v) {
  if (v == wrapMin_ || !Finite(v)) return;
  wrapMin_ = v;
  if (!loading_) {
    if (valueMin_ > v) valueMin_ = v;
    if (wrapMax_ < v) wrapMax_ = v;
  }
  NotifyControls(nullptr);
}

void TNumMngr::SetWrapMax(float v) {
  if (v == wrapMax_ || !Finite(v)) return;
  wrapMax_ = v;
  if (!loading_) {
    if (wrapMin_ > v) wrapMin_ = v;
    if (valueMax_ < v) valueMax_ = v;
  }
  NotifyControls(nullptr);
}

}  // namespace tf
