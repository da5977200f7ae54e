#pragma once

#include <QString>

#include <cstdint>

/// The validation rules of the editors, free of widgets: each takes the text a
/// box or grid cell holds when it is left and gives the text to show and the
/// value to store.
namespace EditorRules {

/// A text after its leaving rule, and the number it stands for.
struct Replaced {
  QString text;    ///< what the box or cell shows afterwards
  uint16_t value;  ///< what goes into the image
};

/// The leading decimal number of a text ("12abc" is 12, "1-2" is 1, "-.5" is
/// -0.5, "-", "." and "" are 0). A number too large for a double is +/-inf, so
/// it lies above (or below) every limit.
double LeadingNumber(const QString& text);

/// The leading number of a text times 10^decimals, rounded to the nearest
/// whole number with halves to the even neighbour, computed on the decimal
/// digits themselves (no binary rounding: "1.2345" at 3 decimals is 1234).
/// Only meant for texts already brought within a limit (|value| < 1e12).
int64_t ScaledRound(const QString& text, int decimals);

/// `value / 10^decimals` as the shortest plain decimal text ("1", "1.5",
/// "-0.25"; never an exponent).
QString ScaledText(int64_t value, int decimals);

/// How a number box replaces what it holds when it is left.
struct NumberRule {
  const char* emptyText;  ///< an empty box becomes this
  const char* zeroText;   ///< a value of 0 becomes this (nullptr: 0 stays)
  uint32_t maximum;       ///< a value above this ...
  const char* overText;   ///< ... becomes this
};

/// Applies a number box rule. Number boxes hold digits only; the stored value
/// is the resulting text's number.
Replaced ApplyNumberRule(const NumberRule& rule, const QString& text);

/// The rules of the main window's number boxes.
extern const NumberRule kDeviceAddr;       ///< word 0: 1 to 255
extern const NumberRule kUartLostTime;     ///< word 58: 1 to 255, empty 10
extern const NumberRule kUartPackageSize;  ///< word 59: 1 to 255, empty 200
extern const NumberRule kCycle;            ///< words 61, 62: up to 8640, empty 6
extern const NumberRule kSavePeriod;       ///< word 68: empty 10, at most 65535
extern const NumberRule kDinFilter;        ///< low 12 bits of word 67: above 4095 becomes 5
extern const NumberRule kAdjustVol;        ///< byte 1008: 0 to 255

/// Analog grid, column 1 (full scale): empty becomes "20", above 65535 becomes
/// "65535"; the text keeps its digits as typed (leading zeros included).
Replaced CloseFullScale(const QString& text);
/// Analog grid, column 2 (offset): empty becomes "0", limited to -30 .. 30,
/// stored as signed-magnitude thousandths; the text is rewritten from them.
Replaced CloseOffset(const QString& text);
/// Analog grid, column 3 (multiplier): empty becomes "1", limited to 0 .. 500
/// (a negative multiplier becomes 0), stored as hundredths; the text is
/// rewritten from them.
Replaced CloseMultiplier(const QString& text);

/// The shown text of a signed-magnitude offset word (thousandths): 1500 is
/// "1.5", 32768 + 1500 is "-1.5".
QString OffsetText(uint16_t word);

/// Rebuilds a digital-direction word: bit `5 + pin` (pin 0 to 4) set for an
/// input, cleared for an output; every other bit kept.
uint16_t WithDirection(uint16_t word, int pin, bool input);

/// Word 67 with its debounce time (low 12 bits) replaced, edge bits kept.
uint16_t WithDinFilter(uint16_t word, uint16_t filter);

/// The two repeat words (19, 20) for a repeat list index.
struct RepeatWords {
  uint16_t enable;
  uint16_t target;
};
RepeatWords RepeatFromIndex(int index);

/// Word 5 / 9 from the baud list's text (baud / 100, halves to even,
/// at most 65535).
uint16_t BaudWord(const QString& text);
/// Word 6 / 10 from the parity list's text: "E" 1, "O" 2, anything else 0.
uint16_t ParityWord(const QString& text);
/// Word 8 / 12 from the data-bits list's text: "8" 8, anything else 7.
uint16_t DataBitsWord(const QString& text);
/// Word 7 / 11 from the stop-bits list's text: "2" 2, "1.5" 3, anything else 1.
uint16_t StopBitsWord(const QString& text);

}  // namespace EditorRules
