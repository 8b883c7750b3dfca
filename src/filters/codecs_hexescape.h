#pragma once

#include "engine/lines.h"
#include "filters/hexdigits.h"

namespace marrowen {

// The common part of the decoders of escapes written as a marker byte and two
// hex digits. Either digit may come in a later chunk, so the first is held
// between calls; a wrong digit drops the escape with a warning whose number
// each decoder gives.
class THexEscapeDecoder : public TGenericStateMachine {
protected:
  THexEscapeDecoder(int badFirstDigitMessage, int badSecondDigitMessage)
      : badFirstDigitMessage_(badFirstDigitMessage), badSecondDigitMessage_(badSecondDigitMessage) {
  }

  // Holds `c` as the first digit and returns true, or warns and returns false.
  bool takeFirstDigit(char c) {
    const int value = hexValueOf(c);
    if (value < 0) {
      warnBadDigit(badFirstDigitMessage_, c);
      return false;
    }
    firstDigit_ = value;
    return true;
  }
  // Writes the escaped byte at `o` and returns the place after it, or warns
  // and returns `o`.
  char *takeSecondDigit(char c, char *o) {
    const int value = hexValueOf(c);
    if (value < 0) {
      warnBadDigit(badSecondDigitMessage_, c);
      return o;
    }
    *o = static_cast<char>(firstDigit_ * 16 + value);
    return o + 1;
  }

  std::string out_;

private:
  void warnBadDigit(int message, char c);

  int badFirstDigitMessage_;
  int badSecondDigitMessage_;
  int firstDigit_ = 0;
};

} // namespace marrowen
