#include "filters/concordance.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"

namespace marrowen {

namespace {

std::size_t checkedCount(int count, const char *what) {
  if (count < 0 || count > TWordConcordance::maxContextWords)
    throw ERangeError(Format("Words %s must be between 0 and %d (is %d)",
                             {what, TWordConcordance::maxContextWords, count}));
  return static_cast<std::size_t>(count);
}

} // namespace

TWordConcordance::TWordConcordance(int before, int after, std::string format,
                                   const std::vector<std::string> &dictionary)
    : before_(checkedCount(before, "before")), after_(checkedCount(after, "after")),
      format_(std::move(format)) {
  if (!formatAccepts(format_, {"word", 1, "context"})) {
    if (!formatAccepts(format_, {"word", "1", "context"}))
      Format(format_, {"word", 1, "context"}); // raises the format's own error
    lineAsText_ = true;
  }
  for (const std::string &word : dictionary)
    if (!word.empty())
      words_.push_back(word);
  takeTables();
  window_.resize(before_ + after_ + 1);
}

void TWordConcordance::takeTables() {
  tables_ = charTables();
  dictionary_.clear();
  for (const std::string &word : words_)
    dictionary_.insert(utf8::lowerCase(word, *tables_));
}

void TWordConcordance::startJob() {
  takeTables();
  TBatchedLineFilter::startJob();
}

void TWordConcordance::startFile() {
  for (Entry &entry : window_) {
    entry.word.clear();
    entry.line = 0;
  }
  position_ = 0;
  TBatchedLineFilter::startFile();
}

void TWordConcordance::readWord(std::string_view word, std::int32_t line) {
  const std::size_t size = window_.size();
  Entry &slot = window_[position_];
  slot.word.assign(word);
  slot.line = line;
  // The centre is `after_` places before the word just stored.
  std::size_t centre = (position_ + size - after_) % size;
  position_ = (position_ + 1) % size;
  if (window_[centre].word.empty())
    return;
  lowered_ = utf8::lowerCase(window_[centre].word, *tables_);
  if (dictionary_.count(lowered_))
    produceEntry(centre);
}

void TWordConcordance::produceEntry(std::size_t centre) {
  const std::size_t size = window_.size();
  context_.clear();
  for (std::size_t k = 0; k < size; ++k) {
    const std::string &word = window_[(centre + size - before_ + k) % size].word;
    if (word.empty())
      continue;
    if (!context_.empty())
      context_ += ' ';
    context_ += word;
  }
  const std::int32_t line = window_[centre].line;
  std::string entry = lineAsText_ ? Format(format_, {lowered_, std::to_string(line), context_})
                                  : Format(format_, {lowered_, line, context_});
  entry += "\r\n";
  passOnText(entry);
}

void TWordConcordance::processLine(std::string_view) {
  const CodePage &t = *tables_;
  const char *data = currentLine_.data();
  const std::size_t size = currentLine_.size();
  std::size_t i = 0;
  const std::string_view line(data, size);
  while (i < size) {
    utf8::WordCharacter w = utf8::wordCharacterAt(line.substr(i), t);
    if (!w.letter) {
      i += w.length;
      continue;
    }
    std::size_t start = i;
    i += w.length;
    while (i < size && (w = utf8::wordCharacterAt(line.substr(i), t)).word)
      i += w.length;
    readWord(line.substr(start, i - start), lineCounter_);
  }
}

void TWordConcordance::endFile() {
  TBatchedLineFilter::endFile();
  // Every word of the file has been the centre once after these.
  for (std::size_t k = 0; k < after_; ++k)
    readWord(std::string_view(), 0);
}

} // namespace marrowen
