#include "grid/data/gridutils.h"

#include "classlib/codepage.h"
#include "classlib/collation.h"
#include "classlib/convert.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/registry.h"
#include "classlib/utf8.h"
#include "qtext/qtext.h"

#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QObject>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace marrowen {

namespace {

char byteAt(std::string_view text, std::size_t i) { return i < text.size() ? text[i] : '\0'; }
bool isBreak(char c) { return c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string trimmed(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
    ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
    --e;
  return std::string(text.substr(b, e - b));
}

// Finds `what` case-insensitively from `from`; npos when absent.
std::size_t findText(std::string_view text, std::string_view what, std::size_t from = 0) {
  if (what.empty())
    return std::string_view::npos;
  for (std::size_t i = from; i + what.size() <= text.size(); ++i)
    if (AnsiSameText(text.substr(i, what.size()), what))
      return i;
  return std::string_view::npos;
}

std::string shortDateFormat() { return fromQString(QLocale().dateFormat(QLocale::ShortFormat)); }

char dateSeparator() {
  for (char c : shortDateFormat())
    if (!std::isalpha(static_cast<unsigned char>(c)) && c != ' ')
      return c;
  return '/';
}

// The character between hours and minutes in the locale's times ("." in
// Finnish and Danish ones).
char timeSeparator() {
  for (char c : fromQString(QLocale().timeFormat(QLocale::ShortFormat)))
    if (!std::isalpha(static_cast<unsigned char>(c)) && c != ' ' && c != '\'')
      return c;
  return ':';
}

// An AM or PM mark of a time: its own word, though digits may touch it
// ("1:30pm"), in any case.
std::size_t findDayHalf(std::string_view text, std::string_view mark) {
  const auto page = systemCodePage();
  for (std::size_t at = 0; (at = findText(text, mark, at)) != std::string_view::npos; ++at) {
    const std::size_t after = at + mark.size();
    if ((at == 0 || !page->isLetter(static_cast<unsigned char>(text[at - 1]))) &&
        (after >= text.size() || !page->isLetter(static_cast<unsigned char>(text[after]))))
      return at;
  }
  return std::string_view::npos;
}

} // namespace

// ---------------------------------------------------------------------------
// Text stepping

bool IsLineBreakChar(std::string_view text, std::size_t i) { return isBreak(byteAt(text, i)); }

bool SkipLineBreak(std::string_view text, std::size_t &i) {
  const char first = byteAt(text, i);
  if (!isBreak(first))
    return false;
  ++i;
  const char next = byteAt(text, i);
  if (isBreak(next) && next != first)
    ++i;
  return true;
}

bool IsTextEnd(std::string_view text, std::size_t i) { return byteAt(text, i) == '\0'; }

int CharLength(std::string_view text, std::size_t i) {
  if (IsTextEnd(text, i))
    return 0;
  std::size_t j = i;
  if (SkipLineBreak(text, j))
    return static_cast<int>(j - i);
  return static_cast<int>(utf8::characterLength(text.substr(i)));
}

int PrevCharLength(std::string_view text, std::size_t i) {
  if (i < 1)
    return 0;
  if (i >= 2) {
    std::size_t j = i - 2;
    if (SkipLineBreak(text, j) && j == i)
      return 2;
  }
  return static_cast<int>(i - utf8::lastCharacterStart(text.substr(0, i)));
}

int CharStart(std::string_view text, std::size_t i) {
  while (utf8::isInsideSequence(text, i))
    --i;
  return static_cast<int>(i);
}

bool PointInRect(TPoint p, const TRect &r) {
  return p.X >= r.Left && p.X <= r.Right && p.Y >= r.Top && p.Y <= r.Bottom;
}

const char *ScanByte(const char *buffer, char byte, std::size_t length) {
  return length ? static_cast<const char *>(std::memchr(buffer, byte, length)) : nullptr;
}

const char *ScanByteBack(const char *buffer, char byte, std::size_t length) {
  for (std::size_t i = length; i > 0; --i)
    if (buffer[i - 1] == byte)
      return buffer + i - 1;
  return nullptr;
}

const char *ScanChar(const char *text, char byte, std::size_t length) {
  return ScanByte(text, byte, length);
}

const char *ScanCharBack(const char *text, char byte, std::size_t length) {
  return ScanByteBack(text, byte, length);
}

// ---------------------------------------------------------------------------
// Variants

std::int32_t VarToIntCopy(const Variant &value) { return value.toInteger(); }

Variant VarFromRef(Picture picture) { return Variant(std::move(picture)); }

bool IsNumericVar(const Variant &value) {
  const TVarType t = value.type();
  return (t >= varSmallint && t <= varCurrency) || t == varByte;
}

bool VarSameValue(const Variant &a, const Variant &b) {
  if (a.isEmpty() || b.isEmpty())
    return a.isEmpty() && b.isEmpty();
  if (a.type() == b.type())
    return a == b;
  if (IsNumericVar(a) && IsNumericVar(b))
    return a.toDouble() == b.toDouble();
  return false;
}

void VarToText(const Variant &value, std::string &text) { text = value.toString(); }

// ---------------------------------------------------------------------------
// Check-box values

bool ParseCheckBoxValues(std::string_view values, std::string &checked, std::string &unchecked,
                         std::string &grayed) {
  checked.clear();
  unchecked.clear();
  grayed.clear();
  if (values.empty())
    return true;
  const std::size_t first = values.find('|');
  if (first == std::string_view::npos) {
    checked = values;
    return false;
  }
  checked = values.substr(0, first);
  const std::string_view rest = values.substr(first + 1);
  const std::size_t second = rest.find('|');
  if (second == std::string_view::npos) {
    unchecked = rest;
    return !unchecked.empty();
  }
  unchecked = rest.substr(0, second);
  const std::string_view last = rest.substr(second + 1);
  const std::size_t third = last.find('|');
  grayed = last.substr(0, third);
  return !unchecked.empty() && third == std::string_view::npos;
}

bool IsValidCheckBoxValues(std::string_view values) {
  std::string c, u, g;
  return ParseCheckBoxValues(values, c, u, g);
}

int CheckStateOfText(std::string_view text, std::string_view values) {
  if (values.empty())
    return 2;
  std::string c, u, g;
  ParseCheckBoxValues(values, c, u, g);
  if (AnsiSameText(text, c))
    return 1;
  if (AnsiSameText(text, u))
    return 0;
  return 2;
}

void ValueOfCheckState(int state, std::string_view values, Variant &value) {
  if (values.empty()) {
    value = Variant(std::string());
    return;
  }
  std::string c, u, g;
  ParseCheckBoxValues(values, c, u, g);
  const std::string &text = state == 0 ? u : state == 1 ? c : g;
  value = AnsiSameText(text, "Null") ? Variant::Null() : Variant(text);
}

int CheckStateOfValue(const Variant &value, std::string_view values) {
  if (value.isString())
    return CheckStateOfText(value.toString(), values);
  if (value.type() == varInteger)
    return value.toInteger();
  if (value.isNull()) {
    std::string c, u, g;
    ParseCheckBoxValues(values, c, u, g);
    return c == "Null" ? 1 : u == "Null" ? 0 : 2;
  }
  return 2;
}

// ---------------------------------------------------------------------------
// Headings and picture names

void StripAccelerator(std::string_view text, int &position, std::string &plain) {
  plain.clear();
  position = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      plain += text[i];
      continue;
    }
    if (i + 1 >= text.size())
      break;
    if (text[i + 1] != '&' && position == 0)
      position = static_cast<int>(plain.size()) + 1;
    plain += text[++i];
  }
}

std::string MakePictureName(std::string_view name, int first, int second) {
  return std::string(name) + '\x01' + std::to_string(first) + '\x01' + std::to_string(second);
}

void CutAtSeparator(std::string &text, std::string &part, char separator) {
  const std::size_t at = text.find(separator);
  if (at == std::string::npos) {
    part = std::move(text);
    text.clear();
    return;
  }
  part = text.substr(0, at);
  text.erase(0, at + 1);
}

void SplitPictureName(std::string_view text, std::string &name, int &first, int &second) {
  std::string rest(text);
  CutAtSeparator(rest, name, '\x01');
  first = second = -1;
  if (rest.empty())
    return;
  const auto number = [](const std::string &t) {
    try {
      return StrToInt(t);
    } catch (const EConvertError &) {
      return -1;
    }
  };
  std::string part;
  CutAtSeparator(rest, part, '\x01');
  first = number(part);
  CutAtSeparator(rest, part, '\x01');
  second = number(part);
}

// ---------------------------------------------------------------------------
// Dates and times

int DateOrder() {
  for (char c : shortDateFormat())
    switch (c) {
    case 'd':
    case 'D':
      return 2;
    case 'm':
    case 'M':
      return 1;
    case 'y':
    case 'Y':
    case 'e':
    case 'E':
      return 0;
    default:
      break;
    }
  return 1;
}

void EditDateFormat(bool fourDigitYear, std::string &format) {
  const std::string shortFormat = shortDateFormat();
  const std::string day = findText(shortFormat, "dd") != std::string::npos ? "DD" : "D";
  const std::string month = shortFormat.find("MM") != std::string::npos ? "MM" : "M";
  const std::string year =
      fourDigitYear || findText(shortFormat, "yyy") != std::string::npos ? "YYYY" : "YY";
  const char sep = dateSeparator();
  switch (DateOrder()) {
  case 0:
    format = year + sep + month + sep + day;
    break;
  case 2:
    format = day + sep + month + sep + year;
    break;
  default:
    format = month + sep + day + sep + year;
  }
}

namespace {

std::vector<std::string> digitGroups(std::string_view text) {
  std::vector<std::string> groups;
  for (std::size_t i = 0; i < text.size();) {
    if (!isDigit(text[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && isDigit(text[j]))
      ++j;
    groups.emplace_back(text.substr(i, j - i));
    i = j;
  }
  return groups;
}

double dateValue(int year, int month, int day, std::string_view text) {
  const QDate date(year, month, day);
  if (!date.isValid())
    throw EConvertError(Format("'%s' is not a valid date", {text}));
  return static_cast<double>(QDate(1899, 12, 30).daysTo(date));
}

// A date or time part: at most four digits.
int partValue(const std::string &digits, std::string_view text) {
  if (digits.size() > 4)
    throw EConvertError(Format("'%s' is not a valid date and time", {text}));
  return std::stoi(digits);
}

double timeValue(const std::vector<std::string> &parts, bool pm, bool am, std::string_view text) {
  int h = parts.size() > 0 ? partValue(parts[0], text) : 0;
  const int m = parts.size() > 1 ? partValue(parts[1], text) : 0;
  const int s = parts.size() > 2 ? partValue(parts[2], text) : 0;
  if (pm && h < 12)
    h += 12;
  if (am && h == 12)
    h = 0;
  if (h > 23 || m > 59 || s > 59)
    throw EConvertError(Format("'%s' is not a valid time", {text}));
  return (h * 3600 + m * 60 + s) / 86400.0;
}

// The date of a text whose time, if any, starts at timeAt.
double parseDateText(std::string_view text, const std::string &normal, std::size_t timeAt, bool pm,
                     bool am) {
  // The date is the first three numbers in the locale's order; a time may follow.
  std::string datePart = normal, timePart;
  if (timeAt != std::string::npos) {
    const std::size_t space = normal.rfind(' ', timeAt);
    datePart = space == std::string::npos ? std::string() : normal.substr(0, space);
    timePart = normal.substr(space == std::string::npos ? 0 : space);
  }
  const std::vector<std::string> groups = digitGroups(datePart);
  if (groups.size() < 2 || groups.size() > 3 ||
      std::any_of(groups.begin(), groups.end(), [](auto &g) { return g.size() > 4; }))
    throw EConvertError(Format("'%s' is not a valid date and time", {text}));
  const int currentYear = QDate::currentDate().year();
  int year = currentYear, month, day;
  std::size_t yearDigits = 4;
  const auto n = [&](std::size_t i) { return partValue(groups[i], text); };
  switch (DateOrder()) {
  case 0:
    if (groups.size() == 3) {
      year = n(0), month = n(1), day = n(2);
      yearDigits = groups[0].size();
    } else
      month = n(0), day = n(1);
    break;
  case 2:
    day = n(0), month = n(1);
    if (groups.size() == 3)
      year = n(2), yearDigits = groups[2].size();
    break;
  default:
    month = n(0), day = n(1);
    if (groups.size() == 3)
      year = n(2), yearDigits = groups[2].size();
  }
  if (yearDigits <= 2)
    year += currentYear / 100 * 100;
  double value = dateValue(year, month, day, text);
  if (!timePart.empty())
    value += timeValue(digitGroups(timePart), pm, am, text);
  return value;
}

} // namespace

void YearTextOf(std::string_view text, std::string &year) {
  const std::vector<std::string> groups = digitGroups(text);
  const std::size_t index = DateOrder() == 0 ? 0 : 2;
  year = index < groups.size() ? groups[index] : std::string();
}

double ParseDateTimeText(std::string_view input) {
  const std::string text = trimmed(input);
  std::size_t digits = 0;
  while (digits < text.size() && isDigit(text[digits]))
    ++digits;
  if (digits > 0 && digits == text.size()) {
    double days = 0;
    std::from_chars(text.data(), text.data() + text.size(), days);
    return days;
  }
  const std::string normal = NormaliseAmPm(MonthNamesToNumbers(text));
  const bool pm = findDayHalf(normal, "PM") != std::string::npos;
  const bool am = findDayHalf(normal, "AM") != std::string::npos;
  // Times are written with the locale's separator, or with ":". A time after
  // a date stands after a blank; a separator the date shares counts only
  // there, and a text that starts as a time with it is a date when it reads
  // as one.
  const char timeSep = timeSeparator();
  const bool shared = timeSep == dateSeparator();
  const std::size_t blank = normal.find(' ');
  std::size_t timeAt = std::string::npos;
  for (std::size_t i = 0; i < normal.size() && timeAt == std::string::npos; ++i)
    if (normal[i] == ':' ||
        (normal[i] == timeSep && (!shared || (blank != std::string::npos && i > blank))))
      timeAt = i;
  if (digits > 0 && digits < text.size() && (text[digits] == ':' || text[digits] == timeSep)) {
    if (!shared || text[digits] != timeSep)
      return timeValue(digitGroups(normal), pm, am, text);
    try {
      return parseDateText(text, normal, timeAt, pm, am);
    } catch (const EConvertError &) {
      return timeValue(digitGroups(normal), pm, am, text);
    }
  }
  return parseDateText(text, normal, timeAt, pm, am);
}

double VarToDateTime(const Variant &value) {
  if (value.isString() && !trimmed(value.toString()).empty())
    return ParseDateTimeText(value.toString());
  if (value.type() == varDate || value.type() == varDouble)
    return value.toDouble();
  const QDateTime now = QDateTime::currentDateTime();
  return static_cast<double>(QDate(1899, 12, 30).daysTo(now.date())) +
         now.time().msecsSinceStartOfDay() / 86400000.0;
}

std::string FourDigitYearFormat(std::string_view format) {
  std::string out;
  for (std::size_t i = 0; i < format.size();) {
    if (format[i] != 'y' && format[i] != 'Y') {
      out += format[i++];
      continue;
    }
    std::size_t j = i;
    while (j < format.size() && (format[j] == 'y' || format[j] == 'Y'))
      ++j;
    out += format.substr(i, j - i);
    if (j - i == 2)
      out += "yy";
    i = j;
  }
  return out;
}

std::string RemoveAmPm(std::string_view format) {
  std::string out(format);
  for (std::string_view mark : {"am/pm", "a/p", "ampm"})
    if (const std::size_t at = findText(out, mark); at != std::string::npos) {
      out.erase(at, mark.size());
      break;
    }
  return trimmed(out);
}

bool UsesTwelveHourClock() {
  const QString format = QLocale().timeFormat(QLocale::ShortFormat);
  return format.contains(QLatin1Char('a'), Qt::CaseInsensitive);
}

bool IsWholeWord(std::string_view text, std::size_t start, std::size_t length) {
  const auto page = systemCodePage();
  if (start > 0 && page->isAlphaNumeric(static_cast<unsigned char>(text[start - 1])))
    return false;
  const std::size_t after = start + length;
  return after >= text.size() || !page->isAlphaNumeric(static_cast<unsigned char>(text[after]));
}

std::string MonthNamesToNumbers(std::string_view text) {
  std::string out(text);
  const QLocale locale;
  for (int month = 1; month <= 12; ++month)
    for (QLocale::FormatType form : {QLocale::LongFormat, QLocale::ShortFormat}) {
      const std::string name = fromQString(locale.monthName(month, form));
      std::size_t at = 0;
      while ((at = findText(out, name, at)) != std::string::npos) {
        if (!IsWholeWord(out, at, name.size())) {
          ++at;
          continue;
        }
        const std::string number = std::to_string(month);
        out.replace(at, name.size(), number);
        at += number.size();
      }
    }
  return out;
}

std::string NormaliseAmPm(std::string_view text) {
  std::string out(text);
  const QLocale locale;
  for (auto [designator, form] : {std::pair{locale.amText(), "AM"}, {locale.pmText(), "PM"}}) {
    const std::string mark = fromQString(designator);
    if (const std::size_t at = findText(out, mark);
        at != std::string::npos && IsWholeWord(out, at, mark.size()))
      out.replace(at, mark.size(), form);
  }
  return out;
}

std::size_t SkipToDigit(std::string_view text, std::size_t start) {
  while (start < text.size() && !isDigit(text[start]))
    ++start;
  return start;
}

// ---------------------------------------------------------------------------
// Numbers at the caret

char LocaleDecimalSeparator() {
  const std::string s = fromQString(QLocale().decimalPoint());
  return s.size() == 1 ? s[0] : '.';
}

char LocaleThousandSeparator() {
  const std::string s = fromQString(QLocale().groupSeparator());
  return s.size() == 1 ? s[0] : ',';
}

std::ptrdiff_t SkipDigits(std::string_view text, std::ptrdiff_t start, int step) {
  const auto size = static_cast<std::ptrdiff_t>(text.size());
  while (start >= 0 && start < size && isDigit(text[start]))
    start += step;
  return start;
}

std::ptrdiff_t SkipNumberChars(std::string_view text, std::ptrdiff_t start, int step) {
  const auto size = static_cast<std::ptrdiff_t>(text.size());
  const char dec = LocaleDecimalSeparator(), sep = LocaleThousandSeparator();
  while (start >= 0 && start < size) {
    const char c = text[start];
    if (!isDigit(c) && c != dec && c != sep && c != '+' && c != '-')
      break;
    start += step;
  }
  return start;
}

bool StripThousandSeparators(std::string &text) {
  const char sep = LocaleThousandSeparator();
  if (text.find(sep) == std::string::npos)
    return false;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+'))
    ++i;
  const std::size_t firstGroup = i;
  while (i < text.size() && isDigit(text[i]))
    ++i;
  if (i == firstGroup)
    return false;
  std::size_t end = i;
  while (end < text.size() && text[end] == sep) {
    std::size_t j = end + 1;
    while (j < text.size() && isDigit(text[j]))
      ++j;
    if (j - end - 1 != 3)
      return false;
    end = j;
  }
  if (text.find(sep, end) != std::string::npos)
    return false;
  std::string stripped = text.substr(0, firstGroup);
  for (std::size_t k = firstGroup; k < end; ++k)
    if (text[k] != sep)
      stripped += text[k];
  text = stripped + text.substr(end);
  return true;
}

void InsertThousandSeparators(std::string &text) {
  std::size_t run = 0;
  while (run < text.size() && isDigit(text[run]))
    ++run;
  for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(run) - 3; at > 0; at -= 3)
    text.insert(static_cast<std::size_t>(at), 1, LocaleThousandSeparator());
}

bool TextToNumber(std::string_view text, double &value) {
  std::string copy = trimmed(text);
  StripThousandSeparators(copy);
  std::replace(copy.begin(), copy.end(), LocaleDecimalSeparator(), '.');
  const char *begin = copy.data() + (!copy.empty() && copy[0] == '+' ? 1 : 0);
  const char *end = copy.data() + copy.size();
  const auto result = std::from_chars(begin, end, value);
  return begin != end && result.ec == std::errc() && result.ptr == end;
}

bool AddToNumberText(std::string_view text, std::string &result, double increment) {
  double value;
  if (!TextToNumber(text, value))
    return false;
  std::string copy = trimmed(text);
  const bool separated = StripThousandSeparators(copy);
  // Fifteen significant digits drop the binary fraction's noise (0.1 + 0.2
  // is 0.3); the digits are then written out in full, never as an exponent,
  // so that the number keeps the shape of the one typed.
  char buffer[400];
  auto out = std::to_chars(buffer, buffer + sizeof buffer, value + increment,
                           std::chars_format::general, 15);
  double rounded = 0;
  std::from_chars(buffer, out.ptr, rounded);
  if (!std::isfinite(rounded))
    return false;
  if (rounded == 0)
    rounded = 0; // no "-0"
  out = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed);
  if (out.ec != std::errc())
    return false;
  result.assign(buffer, out.ptr);
  std::replace(result.begin(), result.end(), '.', LocaleDecimalSeparator());
  if (separated)
    InsertThousandSeparators(result);
  return true;
}

bool FindNumberAt(std::string_view text, std::size_t caret, std::size_t &start,
                  std::size_t &length) {
  const auto c = static_cast<std::ptrdiff_t>(std::min(caret, text.size()));
  const std::ptrdiff_t s = SkipNumberChars(text, c - 1, -1) + 1;
  const std::ptrdiff_t e = SkipNumberChars(text, c, 1);
  start = static_cast<std::size_t>(s);
  length = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, e - s));
  const std::string_view run = text.substr(start, length);
  return std::any_of(run.begin(), run.end(), isDigit);
}

bool IncrementNumberText(std::string_view text, std::size_t caret, std::size_t &start,
                         std::size_t &length, std::string &newText, double increment) {
  if (!FindNumberAt(text, caret, start, length))
    return false;
  const std::string_view number = text.substr(start, length);
  std::string sum;
  if (!AddToNumberText(number, sum, increment))
    return false;
  newText = PadToPattern(number, sum);
  return true;
}

std::string PadDecimals(std::string_view pattern, std::string_view value) {
  const char dec = LocaleDecimalSeparator();
  std::string out(value);
  const std::size_t at = pattern.find(dec);
  if (at == std::string_view::npos)
    return out;
  const std::size_t decimals = pattern.size() - at - 1;
  std::size_t mine = out.find(dec);
  if (mine == std::string::npos) {
    out += dec;
    mine = out.size() - 1;
  }
  while (out.size() - mine - 1 < decimals)
    out += '0';
  return out;
}

std::string PadToPattern(std::string_view pattern, std::string_view value) {
  const char dec = LocaleDecimalSeparator(), sep = LocaleThousandSeparator();
  std::string out = PadDecimals(pattern, value);
  const auto integerLength = [dec](std::string_view t) { return std::min(t.find(dec), t.size()); };
  const std::size_t wanted = integerLength(pattern);
  while (integerLength(out) < wanted) {
    const std::size_t place = wanted - integerLength(out) - 1;
    out.insert(out.begin(), pattern[place] == sep ? sep : '0');
  }
  return out;
}

// ---------------------------------------------------------------------------
// Registry paths, windows and the shared canvas

bool SplitRegistryPath(std::string_view path, std::string &root, std::string &subKey) {
  if (path.substr(0, 2) != "\\\\")
    return false;
  const std::string_view rest = path.substr(2);
  const std::size_t at = rest.find('\\');
  std::string name(rest.substr(0, at));
  for (char &c : name)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name != "HKEY_CLASSES_ROOT" && name != "HKEY_CURRENT_USER" && name != "HKEY_LOCAL_MACHINE" &&
      name != "HKEY_USERS")
    return false;
  root = name;
  subKey = at == std::string_view::npos ? std::string() : std::string(rest.substr(at + 1));
  return true;
}

std::unique_ptr<TRegistry> OpenRegistryPath(std::string_view path, bool canCreate) {
  std::string root, subKey;
  if (!SplitRegistryPath(path, root, subKey))
    throw ERegistryException(Format("Unknown registry key %s", {path}));
  if (root != "HKEY_CURRENT_USER")
    return nullptr;
  auto registry = std::make_unique<TRegistry>();
  if (!registry->OpenKey(subKey, canCreate))
    return nullptr;
  return registry;
}

bool ContainsWindow(const QObject *window, const QObject *control) {
  if (!window || !control)
    return false;
  for (const QObject *o = window; o; o = o->parent())
    if (o == control)
      return true;
  return false;
}

void PrimeCanvas(QPainter &canvas) {
  QImage pixel(1, 1, QImage::Format_ARGB32);
  pixel.fill(Qt::transparent);
  canvas.drawImage(0, 0, pixel);
}

TdgMemoryCanvas &TdgMemoryCanvas::shared() {
  static TdgMemoryCanvas canvas;
  return canvas;
}

QImage *TdgMemoryCanvas::Acquire(int width, int height) {
  if (!surface_)
    surface_ = std::make_unique<QImage>(std::max(width, 1), std::max(height, 1),
                                        QImage::Format_ARGB32_Premultiplied);
  else if (width > surface_->width() || height > surface_->height())
    surface_ = std::make_unique<QImage>(std::max(width, surface_->width()),
                                        std::max(height, surface_->height()),
                                        QImage::Format_ARGB32_Premultiplied);
  ++useCount_;
  return surface_.get();
}

void TdgMemoryCanvas::Release() {
  if (useCount_ > 0 && --useCount_ == 0)
    surface_.reset();
}

int TdgMemoryCanvas::Width() const { return surface_ ? surface_->width() : 0; }
int TdgMemoryCanvas::Height() const { return surface_ ? surface_->height() : 0; }

void TdgMemoryCanvas::SetClipRect(QPainter &painter, const TRect &rect) const {
  painter.setClipRect(rect.Left, rect.Top, rect.Width(), rect.Height());
}

void TdgMemoryCanvas::Lock(const void *owner) {
  mutex_.lock();
  lockThread_ = std::this_thread::get_id();
  lockOwner_ = owner;
}

void TdgMemoryCanvas::Unlock() {
  lockThread_ = {};
  lockOwner_ = nullptr;
  mutex_.unlock();
}

bool TdgMemoryCanvas::IsLockedByThisThreadForOther(const void *owner) const {
  return owner != lockOwner_ && lockThread_ == std::this_thread::get_id() && lockOwner_;
}

} // namespace marrowen
