#include "classlib/codepage.h"

#include "classlib/exceptions.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

namespace marrowen {

namespace {

struct ConverterCloser {
  void operator()(UConverter *c) const { ucnv_close(c); }
};

} // namespace

std::shared_ptr<const CodePage> CodePage::create(std::string_view name) { return create(name, {}); }

std::shared_ptr<const CodePage>
CodePage::create(std::string_view name,
                 std::initializer_list<std::pair<unsigned char, char16_t>> changes) {
  UErrorCode status = U_ZERO_ERROR;
  std::string cname(name);
  std::unique_ptr<UConverter, ConverterCloser> conv(ucnv_open(cname.c_str(), &status));
  if (U_FAILURE(status) || !conv || ucnv_getMaxCharSize(conv.get()) != 1)
    throw EConvertError("Unknown code page " + cname);

  std::shared_ptr<CodePage> cp(new CodePage);
  cp->name_ = cname;
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    const char *src = &in;
    UChar out[4];
    UChar *dst = out;
    status = U_ZERO_ERROR;
    ucnv_reset(conv.get());
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    status = U_ZERO_ERROR;
    ucnv_toUnicode(conv.get(), &dst, out + 4, &src, src + 1, nullptr, true, &status);
    char16_t u = static_cast<char16_t>(b);
    if (U_SUCCESS(status) && dst == out + 1)
      u = static_cast<char16_t>(out[0]);
    // Code pages that map control bytes to graphic symbols (437) keep the
    // control characters, as text files mean them.
    if (b < 32 || b == 127)
      u = static_cast<char16_t>(b);
    cp->unicode_[b] = u;
  }
  for (const auto &[byte, unit] : changes)
    cp->unicode_[byte] = unit;
  for (int b = 0; b < 256; ++b)
    cp->reverse_[b] = {cp->unicode_[b], static_cast<unsigned char>(b)};
  std::stable_sort(cp->reverse_.begin(), cp->reverse_.end(),
                   [](auto &a, auto &b) { return a.first < b.first; });

  for (int b = 0; b < 256; ++b) {
    UChar32 u = cp->unicode_[b];
    bool alpha = u_isalpha(u);
    cp->letters_[b] = alpha;
    // Digits as UTF-8 text has them: the superscripts count, as they do in a
    // valid sequence, so "x²" is one word in either form.
    const int numericType = u_getIntPropertyValue(u, UCHAR_NUMERIC_TYPE);
    const bool digit = numericType == U_NT_DECIMAL || numericType == U_NT_DIGIT;
    cp->alphaNumeric_[b] = alpha || digit;
    cp->wordChars_[b] = alpha || digit || b == '_';
    const int cluster = u_getIntPropertyValue(u, UCHAR_GRAPHEME_CLUSTER_BREAK);
    cp->joining_[b] = cluster != U_GCB_OTHER && cluster != U_GCB_CONTROL && cluster != U_GCB_CR &&
                      cluster != U_GCB_LF;
    unsigned char up = static_cast<unsigned char>(b);
    unsigned char low = static_cast<unsigned char>(b);
    cp->fromUnicode(static_cast<char16_t>(u_toupper(u)), up);
    cp->fromUnicode(static_cast<char16_t>(u_tolower(u)), low);
    cp->upper_[b] = up;
    cp->lower_[b] = low;
  }
  return cp;
}

bool CodePage::fromUnicode(char16_t u, unsigned char &c) const {
  auto it = std::lower_bound(reverse_.begin(), reverse_.end(), u,
                             [](const auto &p, char16_t v) { return p.first < v; });
  if (it == reverse_.end() || it->first != u)
    return false;
  c = it->second;
  return true;
}

std::string CodePage::upperCase(std::string_view text) const {
  std::string s(text);
  upperCaseInPlace(s);
  return s;
}

std::string CodePage::lowerCase(std::string_view text) const {
  std::string s(text);
  lowerCaseInPlace(s);
  return s;
}

void CodePage::upperCaseInPlace(std::string &text) const {
  for (char &c : text)
    c = static_cast<char>(upper_[static_cast<unsigned char>(c)]);
}

void CodePage::lowerCaseInPlace(std::string &text) const {
  for (char &c : text)
    c = static_cast<char>(lower_[static_cast<unsigned char>(c)]);
}

std::u16string CodePage::toUtf16(std::string_view bytes) const {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes)
    out += unicode_[static_cast<unsigned char>(c)];
  return out;
}

std::string CodePage::fromUtf16(std::u16string_view text, char replacement) const {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    unsigned char c;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i; // a surrogate pair is one character, never in an 8-bit page
      out += replacement;
    } else if (fromUnicode(u, c)) {
      out += static_cast<char>(c);
    } else {
      out += replacement;
    }
  }
  return out;
}

std::string CodePage::toUtf8(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size());
  for (char b : bytes) {
    char16_t u = unicode_[static_cast<unsigned char>(b)];
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

std::string CodePage::fromUtf8(std::string_view text, char replacement) const {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    char32_t cp;
    std::size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out += replacement;
      ++i;
      continue;
    }
    if (i + len > text.size()) {
      out += replacement;
      break;
    }
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out += replacement;
      ++i;
      continue;
    }
    i += len;
    unsigned char b;
    if (cp <= 0xFFFF && fromUnicode(static_cast<char16_t>(cp), b))
      out += static_cast<char>(b);
    else
      out += replacement;
  }
  return out;
}

namespace {

std::mutex &codePageMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<const CodePage> &configuredCodePage() {
  static std::shared_ptr<const CodePage> cp = CodePage::create("windows-1252");
  return cp;
}

} // namespace

std::shared_ptr<const CodePage> systemCodePage() {
  std::lock_guard lock(codePageMutex());
  return configuredCodePage();
}

void setSystemCodePage(std::string_view name) {
  auto cp = CodePage::create(name);
  std::lock_guard lock(codePageMutex());
  configuredCodePage() = std::move(cp);
}

std::shared_ptr<const CodePage> oemCodePage() {
  // ICU reads 0xE6 as the Greek small mu; the system's table has the micro
  // sign there, which Windows-1252 holds at 0xB5, and the conversions map
  // the two to each other.
  static const std::shared_ptr<const CodePage> cp =
      CodePage::create("ibm-437", {{0xE6, u'\u00B5'}});
  return cp;
}

std::string fileNameText(std::string_view fileName) { return std::string(fileName); }

} // namespace marrowen
