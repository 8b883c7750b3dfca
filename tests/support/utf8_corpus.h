#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace marrowen::testing {

// Lines of UTF-8 text as Linux users write them, in many languages, with the
// characters that catch a byte-wise filter out: letters whose other case is
// longer or shorter (ß, ŉ, ΐ, İ, the ligatures, և), a sigma that ends a word,
// combining marks written apart from their letter, and four-byte characters
// (emoji, Deseret letters that have case, mathematical letters).
inline const std::vector<std::string> &utf8CorpusLines() {
  static const std::vector<std::string> lines = {
      "Grüße aus Köln: STRASSE, Straße, Maß, ÄÖÜ äöü ẞ",
      "Œuvre d'été à l'hôpital — ÉTÉ; ﬁn de la ﬂeur",
      "ΟΔΟΣ ΣΟΦΟΣ, ὈΔΥΣΣΕΎΣ. Σ ΣΑΣ' ΐ ΰ ᾳ Άλφα",
      "Съешь же ещё этих мягких французских булок, да выпей чаю. ЁЛКА",
      "Zażółć gęślą jaźń — ZAŻÓŁĆ GĘŚLĄ JAŹŃ",
      "İstanbul ırmak Iğdır ŞİŞLİ",
      "中文字符，汉字。繁體字 日本語のテキスト、カタカナ ｶﾀｶﾅ",
      "Երևան և ԵՎ; ŉ ǅ ǆ Ǆ ﬃ ſ",
      "हिन्दी भाषा और संस्कृत",
      "e\xcc\x81te\xcc\x81 Cafe\xcc\x81 n\xcc\x83o",
      "Emoji 😀👍🏽 and Deseret 𐐀𐐨 𐐷 and 𝐀𝐁𝐂",
      "العربية: مرحبا بالعالم",
      "Mail jürgen@beispiel.de or 亚x@y.de; see https://ru.wikipedia.org/wiki/Москва",
      "<b>жирный</b>  и\t\tтабы   ΚΑΛΗΜΕΡΑ\bΣ",
  };
  return lines;
}

// The lines again and again, ended by LF and CR LF in turn, until the text
// passes two 4096-byte chunks, so the read loop's cuts fall inside
// characters of every length.
inline std::string utf8Corpus() {
  const auto &lines = utf8CorpusLines();
  std::string text;
  for (std::size_t i = 0; text.size() < 9000; ++i)
    text += lines[i % lines.size()] + (i % 2 ? "\r\n" : "\n");
  return text;
}

// Windows-1252 text that holds every byte above 0x7F, alone and doubled
// beside letters and blanks, in which no bytes make a valid UTF-8 sequence:
// a lead byte is never followed by a continuation byte.
inline std::string windows1252HighBytes() {
  std::string text;
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char c = static_cast<char>(b);
    text += std::string("w") + c + c + "ord " + c + "x. " + (b % 8 == 7 ? "\r\n" : "");
  }
  return text;
}

// What Python 3 writes for `input` on its standard input when it runs
// `program`; none when python3 cannot be run here.
inline std::optional<std::string> pythonOutput(const std::string &program, std::string_view input) {
  char inName[] = "/tmp/marrowen-python-in-XXXXXX";
  char outName[] = "/tmp/marrowen-python-out-XXXXXX";
  int in = mkstemp(inName);
  int out = mkstemp(outName);
  if (in < 0 || out < 0)
    return std::nullopt;
  close(out);
  const bool written = write(in, input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(in);
  std::string quoted;
  for (char c : program)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  const std::string command =
      "python3 -c '" + quoted + "' < " + inName + " > " + outName + " 2>/dev/null";
  const int status = written ? std::system(command.c_str()) : -1;
  std::ifstream file(outName, std::ios::binary);
  std::string result((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(inName);
  std::remove(outName);
  if (status != 0)
    return std::nullopt;
  return result;
}

// A Python program that maps its standard input, read as UTF-8, by
// `expression` (of the text `t`) and writes the result in UTF-8.
inline std::string pythonTextProgram(const std::string &expression) {
  return "import sys, html\n"
         "t = sys.stdin.buffer.read().decode('utf-8')\n"
         "sys.stdout.buffer.write((" +
         expression + ").encode('utf-8'))\n";
}

} // namespace marrowen::testing
