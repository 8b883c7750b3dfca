#pragma once

#include "grid/data/variant.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class QImage;
class QObject;
class QPainter;

namespace marrowen {

class TRegistry;

struct TPoint {
  int X = 0, Y = 0;
};
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect &) const = default;
};

// Text stepping over engine text. Positions are 0-based; the end of the view
// counts as the terminating zero. A valid multi-byte UTF-8 sequence is one
// character and any other byte one of the code page's; a line break is CR,
// LF, CR LF or LF CR.
bool IsLineBreakChar(std::string_view text, std::size_t i);
bool SkipLineBreak(std::string_view text, std::size_t &i);
bool IsTextEnd(std::string_view text, std::size_t i);
int CharLength(std::string_view text, std::size_t i);
int PrevCharLength(std::string_view text, std::size_t i);
// The start of the character that `i` falls in: a line, a caret or a cut
// never stands inside one.
int CharStart(std::string_view text, std::size_t i);

inline void Swap(int &a, int &b) { std::swap(a, b); }
bool PointInRect(TPoint p, const TRect &r);

// First (last) occurrence of a byte, or null; the Char forms skip bytes of
// double-byte characters, of which single-byte code pages have none.
const char *ScanByte(const char *buffer, char byte, std::size_t length);
const char *ScanByteBack(const char *buffer, char byte, std::size_t length);
const char *ScanChar(const char *text, char byte, std::size_t length);
const char *ScanCharBack(const char *text, char byte, std::size_t length);

std::int32_t VarToIntCopy(const Variant &value);
Variant VarFromRef(Picture picture);
bool IsNumericVar(const Variant &value);
bool VarSameValue(const Variant &a, const Variant &b);
// An integer gives its decimal text; any other value its text.
void VarToText(const Variant &value, std::string &text);

// "Checked|Unchecked|Grayed", the grayed text optional; empty is valid.
bool ParseCheckBoxValues(std::string_view values, std::string &checked, std::string &unchecked,
                         std::string &grayed);
bool IsValidCheckBoxValues(std::string_view values);
inline constexpr std::string_view invalidCheckBoxValuesText =
    "Invalid CheckBoxValues. CheckBoxValues have the format 'Checked|Unchecked|Grayed'. The "
    "Grayed value is optional";
int CheckStateOfText(std::string_view text, std::string_view values);
void ValueOfCheckState(int state, std::string_view values, Variant &value);
int CheckStateOfValue(const Variant &value, std::string_view values);

// Removes the "&" marks; `position` is the 1-based place in `plain` of the
// character that followed the first single "&", 0 when none.
void StripAccelerator(std::string_view text, int &position, std::string &plain);

std::string MakePictureName(std::string_view name, int first, int second);
void SplitPictureName(std::string_view text, std::string &name, int &first, int &second);
void CutAtSeparator(std::string &text, std::string &part, char separator);

// Dates and times by the locale (QLocale's default). Date values count days
// from 30 December 1899, times as the fraction of a day.
int DateOrder();
void EditDateFormat(bool fourDigitYear, std::string &format);
void YearTextOf(std::string_view text, std::string &year);
double ParseDateTimeText(std::string_view text);
double VarToDateTime(const Variant &value);
std::string FourDigitYearFormat(std::string_view format);
std::string RemoveAmPm(std::string_view format);
bool UsesTwelveHourClock();
std::string MonthNamesToNumbers(std::string_view text);
std::string NormaliseAmPm(std::string_view text);
bool IsWholeWord(std::string_view text, std::size_t start, std::size_t length);
std::size_t SkipToDigit(std::string_view text, std::size_t start);

// Numbers at the caret, for spin buttons; the locale's separators.
char LocaleDecimalSeparator();
char LocaleThousandSeparator();
std::ptrdiff_t SkipDigits(std::string_view text, std::ptrdiff_t start, int step);
std::ptrdiff_t SkipNumberChars(std::string_view text, std::ptrdiff_t start, int step);
bool StripThousandSeparators(std::string &text);
void InsertThousandSeparators(std::string &text);
bool TextToNumber(std::string_view text, double &value);
bool AddToNumberText(std::string_view text, std::string &result, double increment);
bool FindNumberAt(std::string_view text, std::size_t caret, std::size_t &start,
                  std::size_t &length);
bool IncrementNumberText(std::string_view text, std::size_t caret, std::size_t &start,
                         std::size_t &length, std::string &newText, double increment);
std::string PadDecimals(std::string_view pattern, std::string_view value);
std::string PadToPattern(std::string_view pattern, std::string_view value);

// "\\HKEY_CURRENT_USER\Software\..." into its root and key path.
bool SplitRegistryPath(std::string_view path, std::string &root, std::string &subKey);
// The settings store stands for HKEY_CURRENT_USER; other roots answer null.
// A path that does not split raises ERegistryException "Unknown registry key %s".
std::unique_ptr<TRegistry> OpenRegistryPath(std::string_view path, bool canCreate);

// Whether `window` is `control` or one of its descendants.
bool ContainsWindow(const QObject *window, const QObject *control);

void PrimeCanvas(QPainter &canvas);

// The off-screen surface the grid family paints through, shared by all grids:
// it grows to the largest size asked for and is freed when its last user
// releases it. The lock lets painting notice re-entry for another owner.
class TdgMemoryCanvas {
public:
  static TdgMemoryCanvas &shared();

  QImage *Acquire(int width, int height);
  void Release();
  QImage *Surface() { return surface_.get(); }
  int Width() const;
  int Height() const;
  int UseCount() const { return useCount_; }
  void SetClipRect(QPainter &painter, const TRect &rect) const;

  void Lock(const void *owner);
  void Unlock();
  bool IsLockedByThisThreadForOther(const void *owner) const;

private:
  std::unique_ptr<QImage> surface_;
  int useCount_ = 0;
  std::mutex mutex_;
  std::thread::id lockThread_;
  const void *lockOwner_ = nullptr;
};

} // namespace marrowen
