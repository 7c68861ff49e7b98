// TNumMngr: the number behind every edit, label, spin button and slider of a form.
#pragma once
// One single-precision value with its range, default, an optional wrap-around range (angles,
// hues), steps that may differ below and above a centre, and a change event. Controls attach
// through TNumControl; when the value changes, every attached control but the one that caused the
// change refreshes itself, then OnChange fires. Values are stored as float; arithmetic runs in
// long double and comparisons are exact.
//
// Forms are built in code: a form sets its managers' properties inside a loading scope
// (TNumMngr::Loading, or Load with a whole property record), where the writers store what they
// are given and adjust nothing else.
//
// Text: StrToNum keeps digits, a leading minus (when signed) and the first decimal separator and
// converts that with std::from_chars (never the C library's locale); the separator is one
// process-wide setting ('.' unless changed). FormatNum formats with a printf pattern and shows the
// separator; "%g" patterns never print an exponent (a text read back must give the same number).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

class TNumMngr;

// What a control bound to a manager does for it.
class TNumControl {
 public:
  virtual ~TNumControl() = default;
  // The value (or the range) changed: show it again.
  virtual void NumRefresh() = 0;
  // The manager is going away: drop the association (set it to none, which detaches).
  virtual void NumRelease() = 0;
};

// ---- Text ---------------------------------------------------------------------------------

// The decimal separator of every number text ('.' at start).
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// '0'..'9'; '-' when minus is allowed; the decimal separator when the separator is allowed.
bool IsNumberChar(char ch, bool minusAllowed, bool separatorAllowed);

enum class TNumParse : uint8_t {
  Number,    // the value is written
  None,      // no number in the text (empty, "-", the separator alone): nothing written
  Overflow,  // beyond the single range: the value written is +-infinity, telling the sign
  Invalid,   // the filtered text does not convert ("-." only): nothing written
};

// The filtered copy of a text: digits, a minus only as the first kept character (when signed), the
// first separator only (a later one is dropped even when the first was not kept).
std::string FilterNumberText(std::string_view text, bool isSigned);
// Parses without showing anything.
TNumParse ParseNumberText(std::string_view text, bool isSigned, float& value);
// Parses; a text that does not convert shows "EConvertError: ..." in a plain box and answers
// None. Number, None or Overflow.
TNumParse StrToNum(std::string_view text, bool isSigned, float& value);

// The value formatted with a printf pattern of one floating conversion (f, F, e, E, g, G), the
// decimal point shown as the separator. A %g result with an exponent is written in fixed notation
// with the same significant digits. A pattern that is not of that form formats as "%g".
std::string FormatNum(const char* format, float value);

// ---- The manager --------------------------------------------------------------------------

// Every property in streaming order, as a form states them.
struct SNumMngrProps {
  float value = 0;
  float valueDefault = 0;
  float valueMin = 0;
  float valueMax = 255;
  float amount = 1;
  bool useCenter = false;
  float valueCenter = 0;
  float amountLow = 1;
  float amountHigh = 1;
  bool wrapAround = false;
  float wrapMin = 0;
  float wrapMax = 255;
};

class TNumMngr {
 public:
  TNumMngr();
  virtual ~TNumMngr();
  TNumMngr(const TNumMngr&) = delete;
  TNumMngr& operator=(const TNumMngr&) = delete;

  // The loading state for the life of the object: writers store what they are given.
  class Loading {
   public:
    explicit Loading(TNumMngr& manager) : manager_(manager), was_(manager.loading_) { manager.loading_ = true; }
    ~Loading() { manager_.loading_ = was_; }
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;

   private:
    TNumMngr& manager_;
    bool was_;
  };
  // Writes every property in streaming order inside a loading scope (WrapAround only when set,
  // as a form stores it).
  void Load(const SNumMngrProps& props);
  bool IsLoading() const { return loading_; }

  float Value() const { return value_; }
  float GetValue() const { return value_; }
  float ValueMin() const { return valueMin_; }
  float ValueMax() const { return valueMax_; }
  float ValueDefault() const { return valueDefault_; }
  float ValueCenter() const { return valueCenter_; }
  bool WrapAround() const { return wrapAround_; }
  float WrapMin() const { return wrapMin_; }
  float WrapMax() const { return wrapMax_; }
  bool IsSigned() const { return valueMin_ < 0; }

  // Plain fields.
  float Amount = 1;
  bool UseCenter = false;
  float AmountLow = 1;
  float AmountHigh = 1;

  // The one setter of the value; sender (may be null) is not refreshed. A value that is not
  // finite is refused. Returns the value.
  float ChangeValue(TNumControl* sender, float x);
  void SetValue(float x) { ChangeValue(nullptr, x); }
  // Applies typed text (every control is refreshed); returns the value.
  float SetValueText(TNumControl* sender, std::string_view text);
  // A number beyond the single range was typed: the value goes to the end of its sign (ValueMax,
  // or ValueMin for a negative one) and is notified even when it was there already (sender spared).
  void ApplyOverflow(TNumControl* sender, bool negative);
  void ResetValue() { ChangeValue(nullptr, valueDefault_); }
  void StepUp(TNumControl* sender, bool big);
  void StepDown(TNumControl* sender, bool big);
  // False (nothing changed) when min > max.
  bool SetRange(TNumControl* sender, float value, float min, float max);

  // The control's index; a control already attached moves to the end. -1 for null.
  int32_t Attach(TNumControl* control);
  // The control's former index; -1 when it was not attached or is null.
  int32_t Detach(TNumControl* control);
  int32_t ControlCount() const { return static_cast<int32_t>(controls_.size()); }

  // The value as 0..1 of the range (of the wrap range when wrapping; each half around the centre
  // linear when UseCenter). A range (or half) of no width gives 0, or 0.5 with a centre.
  float GetPosition() const;
  // The value from a 0..1 position (wrapped or clamped like any change).
  void SetPosition(float p);

  bool IsAtMin() const { return value_ <= valueMin_; }
  bool IsAtMax() const { return value_ >= valueMax_; }

  void NotifyControls(TNumControl* sender);
  // Fires OnChange.
  virtual void Change();

  void SetValueDefault(float v);
  void SetValueCenter(float v);
  void SetValueMin(float v);
  void SetValueMax(float v);
  void SetWrapAround(bool wrap);
  void SetWrapMin(float v);
  void SetWrapMax(float v);

  std::function<void(TNumMngr* sender)> OnChange;

 private:
  float value_ = 0;
  float valueMin_ = 0;
  float valueMax_ = 255;
  float valueDefault_ = 0;
  float valueCenter_ = 0;
  bool wrapAround_ = false;
  float wrapMin_ = 0;
  float wrapMax_ = 255;
  bool loading_ = false;
  std::vector<TNumControl*> controls_;
};

}  // namespace tf
