#include "engine/filter.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/paths.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace marrowen {

namespace {

// The innermost filter that a failure of arithmetic passes through names
// it: the filter whose own step raised it, or the selecting filter around
// the subfilter that did.
void noteOrigin(EIntError &error, const TFilter &filter) {
  if (error.origin.empty())
    error.origin = filter.nodeTitle();
}

} // namespace

TFilter::TFilter() = default;

TFilter::~TFilter() {
  // Unlink the rest of the chain one filter at a time, so that a long chain
  // is not freed by one nested destructor call per filter.
  std::unique_ptr<TFilter> rest = std::move(next_);
  while (rest)
    rest = std::move(rest->next_);
}

void TFilter::setNext(std::unique_ptr<TFilter> filter) { next_ = std::move(filter); }

std::size_t TFilter::chainSize() const {
  std::size_t size = 0;
  std::vector<const TFilter *> heads{this};
  while (!heads.empty()) {
    const TFilter *f = heads.back();
    heads.pop_back();
    for (; f; f = f->next_.get()) {
      ++size;
      if (f->firstSubfilter_)
        heads.push_back(f->firstSubfilter_.get());
    }
  }
  return size;
}

TFilter *TFilter::lastFilter() {
  TFilter *f = this;
  while (f->next_)
    f = f->next_.get();
  return f;
}

void TFilter::setSubfilterChain(std::unique_ptr<TFilter> head, TFilter *end) {
  if (head && !end)
    end = head->lastFilter();
  firstSubfilter_ = std::move(head);
  subfilterEnd_ = firstSubfilter_ ? end : nullptr;
}

void TFilter::markAsSubfilters() {
  for (TFilter *f = this; f; f = f->next_.get())
    f->inSubchain_ = true;
}

bool TFilter::hasChanged() { return true; }

std::string TFilter::getStatistics() { return {}; }

std::string TFilter::getInputFilename() {
  return next() ? next()->getInputFilename() : std::string();
}

std::string TFilter::getFullInputFilename() {
  return next() ? next()->getFullInputFilename() : std::string();
}

void TFilter::attachJob(JobSink *job) {
  job_ = job;
  if (firstSubfilter_) {
    firstSubfilter_->attachJob(job);
    // The recorded end, not the head's last filter: once linked, the last
    // filter reached would lie beyond the parent.
    subfilterEnd_->continuation_ = next_.get();
  }
  if (next_)
    next_->attachJob(job);
}

void TFilter::setInputFilename(const std::string &name) {
  if (firstSubfilter_)
    firstSubfilter_->setInputFilename(name);
  if (next())
    next()->setInputFilename(name);
}

bool TFilter::processChunk(std::string &chunk) { return sendToNext(chunk); }

bool TFilter::putLine(std::string_view line, std::string_view lineEnd) {
  std::string chunk;
  if (line.size() <= textPieceSize()) {
    chunk.reserve(line.size() + lineEnd.size());
    chunk.append(line).append(lineEnd);
    return processChunk(chunk);
  }
  // Every filter gives the same output however its input is cut, so the
  // pieces stand for the whole line. Each is sent whatever the answer to
  // the one before, as the whole line would have been.
  bool goOn = true;
  forEachPiece(line, [&](std::string_view piece) {
    chunk.assign(piece);
    if (piece.data() + piece.size() == line.data() + line.size())
      chunk.append(lineEnd);
    goOn = processChunk(chunk) && goOn;
  });
  return goOn;
}

void TFilter::flush() {
  try {
    endFile();
  } catch (EIntError &error) {
    noteOrigin(error, *this);
    throw;
  }
  if (next())
    next()->flush();
}

void TFilter::reset() {
  startFile();
  if (next())
    next()->reset();
}

void TFilter::validateChain() {
  // Walks owned links only, so every filter is validated once whether or
  // not the chain has been attached yet; along the chain in a loop, so that
  // a chain of a million filters takes no million nested calls.
  for (TFilter *f = this; f; f = f->next_.get()) {
    f->validate();
    if (f->firstSubfilter_)
      f->firstSubfilter_->validateChain();
  }
}

FileResult TFilter::closeFile() { return next() ? next()->closeFile() : FileResult{}; }

OutputTarget TFilter::outputTarget(const std::string &inputName) {
  return next() ? next()->outputTarget(inputName) : OutputTarget{};
}

// The chain's end answers, found in a loop rather than by a nested call at
// each filter: a chain may hold a million filters.
bool TFilter::testMode() const {
  const TFilter *last = this;
  while (last->next())
    last = last->next();
  return last != this && last->testMode();
}

std::optional<FileResult> TFilter::mergedFileResult() {
  return next() ? next()->mergedFileResult() : std::nullopt;
}

std::string *TFilter::gatheredText() { return nullptr; }

void TFilter::passRunsStraightOn(bool) {}

void TFilter::abandonFile() {
  if (next())
    next()->abandonFile();
}

void TFilter::markInputStart() {
  if (next())
    next()->markInputStart();
}

void TFilter::takeBackInput() {
  if (next())
    next()->takeBackInput();
}

bool TFilter::settleParts(bool keep) { return next() ? next()->settleParts(keep) : true; }

namespace {
thread_local ReportsForCaller *reportsForCaller = nullptr;
} // namespace

ReportsForCaller::ReportsForCaller() : outer_(std::exchange(reportsForCaller, this)) {}

ReportsForCaller::~ReportsForCaller() { reportsForCaller = outer_; }

bool ReportsForCaller::active() { return reportsForCaller != nullptr; }

void TFilter::logError(const std::string &text) {
  if (job_)
    job_->addErrorLine(text);
  else if (reportsForCaller)
    reportsForCaller->errors_.push_back(text);
  else
    showMessageBox(MessageBoxKind::Error, text);
}

void TFilter::logWarning(const std::string &text) {
  if (job_)
    job_->addWarningLine(text);
  else if (!reportsForCaller)
    showMessageBox(MessageBoxKind::Error, text);
}

void TFilter::logInfo(const std::string &text) {
  if (job_)
    job_->addInfoLine(text);
  else if (!reportsForCaller)
    showMessageBox(MessageBoxKind::Information, text);
}

void TFilter::startJob() {
  if (firstSubfilter_)
    firstSubfilter_->startJob();
  else if (next())
    next()->startJob();
}

void TFilter::endJob() {
  if (firstSubfilter_)
    firstSubfilter_->endJob();
  else if (next())
    next()->endJob();
}

void TFilter::abandonJob() {
  if (firstSubfilter_)
    firstSubfilter_->abandonJob();
  else if (next())
    next()->abandonJob();
}

void TFilter::openFile(const std::string &inputName) {
  if (next())
    next()->openFile(inputName);
}

namespace {

bool equalsUpperCase(std::string_view name, std::string_view upper) {
  if (name.size() != upper.size())
    return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i])
      return false;
  }
  return true;
}

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

} // namespace

std::string TFilter::getVariable(const std::string &name) {
  if (equalsUpperCase(name, "INPUTFILENAME"))
    return getInputFilename();
  if (equalsUpperCase(name, "FULLINPUTFILENAME"))
    return getFullInputFilename();
  if (equalsUpperCase(name, "CLIPBOARD")) {
    std::string text;
    runOnUserInterface([&] { text = getClipboardText(); });
    return text;
  }
  return getGlobalVar(name);
}

std::string TFilter::getGlobalVar(const std::string &name) {
  return next() ? next()->getGlobalVar(name) : name;
}

void TFilter::setGlobalVar(const std::string &name, const std::string &value) {
  if (next())
    next()->setGlobalVar(name, value);
}

std::int64_t TFilter::bufferedLength() { return 0; }

void TFilter::subFilterEntireText(std::string &text) {
  std::string *gathered = subfilterEnd_ ? subfilterEnd_->gatheredText() : nullptr;
  if (!firstSubfilter_ || !gathered)
    return;
  gathered->clear();
  firstSubfilter_->reset();
  // An empty piece is still a file of its own: reset and flush run, so
  // filters that add text at the start or end of a file still do.
  try {
    if (!text.empty())
      firstSubfilter_->processChunk(text);
  } catch (EIntError &error) {
    noteOrigin(error, *firstSubfilter_);
    throw;
  }
  firstSubfilter_->flush();
  text = std::move(*gathered);
  gathered->clear();
}

void TFilter::restartSubfilters() {
  if (!firstSubfilter_)
    return;
  if (std::string *gathered = subfilterEnd_ ? subfilterEnd_->gatheredText() : nullptr)
    gathered->clear();
  firstSubfilter_->reset();
}

void TFilter::subFilterEmptyText(std::string &text) {
  text.clear();
  subFilterEntireText(text);
}

std::string TFilter::subFilterText(std::string_view text) {
  std::string result(text);
  subFilterEntireText(result);
  return result;
}

void TFilter::subFilterTextInPieces(std::string_view text,
                                    const std::function<void(std::string &)> &onward) {
  std::string *gathered = subfilterEnd_ ? subfilterEnd_->gatheredText() : nullptr;
  std::string piece;
  if (!firstSubfilter_ || !gathered) {
    forEachPiece(text, [&](std::string_view part) {
      piece.assign(part);
      onward(piece);
    });
    return;
  }
  auto handOn = [&] {
    if (gathered->empty())
      return;
    // `onward` may change what it is given: the gathered text is swapped out.
    piece.clear();
    piece.swap(*gathered);
    onward(piece);
  };
  gathered->clear();
  firstSubfilter_->reset();
  // A run over nothing is still a run: reset and flush add what they add.
  forEachPiece(text, [&](std::string_view part) {
    piece.assign(part);
    firstSubfilter_->processChunk(piece);
    handOn();
  });
  firstSubfilter_->flush();
  handOn();
}

void TFilter::startFile() {}

void TFilter::endFile() {}

void TFilter::resetStatistics() {
  if (firstSubfilter_)
    firstSubfilter_->resetStatistics();
  else if (next())
    next()->resetStatistics();
}

void TFilter::validate() {}

bool TFilter::sendToNext(std::string &chunk) {
  TFilter *n = next();
  if (!n || chunk.empty())
    return true;
  bool goOn = true;
  try {
    goOn = n->processChunk(chunk);
  } catch (EIntError &error) {
    noteOrigin(error, *n);
    throw;
  }
  stopRequested_ = stopRequested_ || !goOn;
  return goOn;
}

bool TFilter::putLineToNext(std::string_view line, std::string_view lineEnd) {
  TFilter *n = next();
  if (!n)
    return true;
  bool goOn = true;
  try {
    goOn = n->putLine(line, lineEnd);
  } catch (EIntError &error) {
    noteOrigin(error, *n);
    throw;
  }
  stopRequested_ = stopRequested_ || !goOn;
  return goOn;
}

bool TFilter::sendCopyToNext(std::string_view text, std::string &scratch) {
  bool goOn = true;
  forEachPiece(text, [&](std::string_view piece) {
    scratch.assign(piece);
    goOn = sendToNext(scratch) && goOn;
  });
  return goOn;
}

bool TFilter::isAborted() const {
  return (job_ ? job_->isAborted() : applicationTerminating()) || threadDeadlinePassed();
}

std::int64_t TFilter::totalBufferedLength() {
  std::int64_t total = 0;
  for (TFilter *f = next(); f; f = f->next())
    total = checkedAdd(total, f->bufferedLength());
  return total;
}

bool TFilter::removeFile(const std::string &name) {
  if (::unlink(ReachableName(name).c_str()) == 0)
    return true;
  std::string reason = std::error_code(errno, std::system_category()).message();
  logError(translateFormat(5110, "Couldn't delete file [%s]:%s", {loggedName(name), reason}));
  return false;
}

void TFilter::logStatistics(const std::string &indent, TFilter *stop) {
  if (!job_)
    return;
  for (TFilter *f = this; f && f != stop; f = f->next()) {
    std::string line = f->getStatistics();
    if (!line.empty())
      job_->addLogLine(indent + line);
    if (f->firstSubfilter_)
      f->firstSubfilter_->logStatistics(indent + "  ", f->next());
  }
}

std::string TFilter::substituteVariables(std::string_view text) {
  enum class State { Plain, AfterAt, InName };
  State state = State::Plain;
  std::string result, name;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (state) {
    case State::Plain:
      if (c == '@')
        state = State::AfterAt;
      else
        result += c;
      break;
    case State::AfterAt:
      if (isNameStart(c)) {
        name.assign(1, c);
        state = State::InName;
      } else {
        result += '@';
        if (c != '@')
          result += c;
        state = State::Plain;
      }
      break;
    case State::InName:
      if (isNameStart(c)) {
        name += c;
        break;
      }
      result += getVariable(name);
      state = State::Plain;
      if (c != '@')
        --i; // the ending byte is read again as plain text
      break;
    }
  }
  if (state == State::AfterAt)
    result += '@';
  else if (state == State::InName)
    result += getVariable(name);
  return result;
}

void TFilter::runOnUserInterface(const std::function<void()> &call) {
  if (job_)
    job_->runSynchronized(call);
  else
    call();
}

namespace {
std::atomic<std::size_t> pieceSize{std::size_t{1} << 16};
} // namespace

std::size_t textPieceSize() { return pieceSize.load(std::memory_order_relaxed); }

TextPieceSizeForTests::TextPieceSizeForTests(std::size_t size)
    : previous_(pieceSize.exchange(std::max<std::size_t>(size, 1))) {}

TextPieceSizeForTests::~TextPieceSizeForTests() { pieceSize.store(previous_); }

void TextPieces::add(std::string_view text) {
  if (piece_.size() + text.size() > textPieceSize())
    finish();
  if (text.size() <= textPieceSize()) {
    piece_.append(text);
    return;
  }
  forEachPiece(text, [this](std::string_view piece) {
    piece_.assign(piece);
    finish();
  });
}

void TextPieces::finish() {
  if (piece_.empty())
    return;
  send_(piece_);
  piece_.clear();
}

std::string repeatChar(int count, char ch) {
  return count < 1 ? std::string() : std::string(static_cast<std::size_t>(count), ch);
}

std::string selectNeedsSubfiltersMessage() {
  return translate(5100, "\"Select\"-type filters need to have subfilters (Hint: What filters are "
                         "applied to the selected text? Do you actually need to REMOVE the "
                         "surrounding text?)");
}

} // namespace marrowen
