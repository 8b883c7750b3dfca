#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marrowen {

class JobSink;

// Where the text of one input goes, as the chain's end answers for it.
struct OutputTarget {
  std::string fileName;  // the file written; empty when no file keeps the text
  bool merged = false;   // a merged file, written whole only at the job's end
  bool testMode = false; // a test copy beside the target
  bool append = false;   // the text is added to the end of the file
  bool toFile() const { return !fileName.empty(); }
};

// What became of one input, reported back through the chain at its end.
struct FileResult {
  OutputTarget target;
  bool failed = false; // the target was not written in full and is as it was
};

// One link of the filter chain. Text travels down the chain as chunks of
// bytes (any bytes, NUL included; an empty chunk is never passed on): each
// filter takes a chunk in `processChunk`, transforms it and hands the result
// on with `sendToNext`. Beside the data the chain carries control calls, each
// with a fixed route:
//   - per job: `startJob` first, `endJob` last;
//   - per input: `resetStatistics`, `setInputFilename`, `openFile`, `reset`
//     (each filter's `startFile`), the chunks, `flush` (each filter's
//     `endFile`), `closeFile`.
// `startJob`, `endJob`, `resetStatistics` go into a filter's subfilter chain
// when it has one, else to `next`; `setInputFilename` goes to both; the
// others go to `next` only.
//
// Ownership: a filter owns its `next` and the head of its subfilter chain.
// The filter that ends a subfilter chain (its recorded end, a gatherer or an
// ignore-flush filter) leads on to the parent's `next` through a non-owning
// continuation, set by `attachJob`. So destroying the head of a chain
// destroys the whole chain, attached or not, and attaching twice is harmless.
//
// A chain belongs to one thread. Only `isAborted` reads a value that another
// thread writes; every report reaches the user interface through the job.
class TFilter {
public:
  TFilter();
  TFilter(const TFilter &) = delete;
  TFilter &operator=(const TFilter &) = delete;
  virtual ~TFilter();

  // --- Chain building ---

  // Appends `filter` as this filter's next (replacing and freeing any
  // previous one). The chain builder appends at `lastFilter()`.
  void setNext(std::unique_ptr<TFilter> filter);
  // The filter the data goes to: the owned next or, at the end of an
  // attached subfilter chain, the parent's next. None at the chain's end.
  TFilter *next() const { return next_ ? next_.get() : continuation_; }
  // The last filter reached through owned `next` links (this one when none).
  TFilter *lastFilter();
  // How many filters this one leads: itself, those after it and those of
  // every subfilter chain, at any depth (owned links).
  std::size_t chainSize() const;
  // Gives this filter a subfilter chain: `head` is owned, `end` is the
  // chain's last filter (a `TGatherer` or `TIgnoreFlush`, owned within the
  // chain). With no `end` given the head's last filter is taken.
  void setSubfilterChain(std::unique_ptr<TFilter> head, TFilter *end);
  TFilter *firstSubfilter() const { return firstSubfilter_.get(); }
  TFilter *subfilterEnd() const { return subfilterEnd_; }
  // Marks this filter and every filter after it (owned links) as part of a
  // subfilter chain.
  void markAsSubfilters();
  bool inSubchain() const { return inSubchain_; }

  JobSink *job() const { return job_; }
  // The title of the node that made this filter, so that a failure in its
  // arithmetic can name where it arose; empty for a filter no node made.
  void setNodeTitle(std::string title) { nodeTitle_ = std::move(title); }
  const std::string &nodeTitle() const { return nodeTitle_; }

  // --- Virtual operations ---

  // Whether the filter changed anything. Nothing in the engine asks.
  virtual bool hasChanged();
  // One line of statistics for the log, or empty.
  virtual std::string getStatistics();
  // Answered by the output (the name part, and the full name).
  virtual std::string getInputFilename();
  virtual std::string getFullInputFilename();
  // Records the job (none for a chain run on the caller's thread) and links
  // the end of each subfilter chain to the filter after its parent.
  virtual void attachJob(JobSink *job);
  virtual void setInputFilename(const std::string &name);
  // Takes a chunk (which the filter may change or empty) and returns
  // whether the input should go on reading. Base: `sendToNext`.
  virtual bool processChunk(std::string &chunk);
  // Takes one whole line and its line end ("\n", "\r", "\r\n" or empty).
  // Base: `processChunk(line + lineEnd)` on this filter; a long line in
  // pieces, so that it is never copied whole.
  virtual bool putLine(std::string_view line, std::string_view lineEnd);
  // Own `endFile`, then `flush` on next.
  virtual void flush();
  // Own `startFile`, then `reset` on next.
  virtual void reset();
  // Validates this filter, its subfilter chain, then the rest of the chain.
  // Runs before the chain is attached.
  virtual void validateChain();
  // Ends the current file and reports what became of it; the chain's end
  // answers, filters on the way may add to the answer.
  virtual FileResult closeFile();
  // Where the text of the input `inputName` would go; nothing without a
  // file output.
  virtual OutputTarget outputTarget(const std::string &inputName);
  // What became of the merged file, once the job's end has closed it; none
  // in a chain that merges nothing.
  virtual std::optional<FileResult> mergedFileResult();
  // Whether the chain writes test copies instead of replacing targets; the
  // chain's last filter answers.
  virtual bool testMode() const;
  // The text collected by a chain end that gathers a subfilter run for its
  // parent; none for any other filter.
  virtual std::string *gatheredText();
  // While `on`, a chain end that gathers a subfilter run for its parent
  // hands what reaches it straight on to the filter after the parent
  // instead, for a parent that would send the gathered text on unchanged
  // (and then never holds it). Other filters ignore it.
  virtual void passRunsStraightOn(bool on);
  // Gives up the current input after a failure: the output discards what it
  // began for it and leaves its target as it was. Forwarded to next only.
  virtual void abandonFile();
  // For a chain end that keeps several inputs in one file (a merged file):
  // the next input begins here, and a failed input is taken back to where it
  // began, so that the file never holds part of an input. Forwarded to next
  // only; the file output answers.
  virtual void markInputStart();
  virtual void takeBackInput();
  // For a chain end that writes one input as several files (the parts of a
  // split input): each part written is held aside until the input ends, and
  // then all of them are put in place (`keep`) or all discarded, so that an
  // input that fails half-way, changes while it is read or is stopped never
  // leaves part of its parts. Returns whether every part held is now in
  // place (true when none was held). Forwarded to next only; the file output
  // answers.
  virtual bool settleParts(bool keep);
  virtual void logError(const std::string &text);
  virtual void logWarning(const std::string &text);
  virtual void logInfo(const std::string &text);
  virtual void startJob();
  virtual void endJob();
  // Gives up the whole job when a stop or a failure ends it before `endJob`:
  // every output discards what it began, so no temporary file stays behind
  // and no target changes. Takes the route of `endJob`.
  virtual void abandonJob();
  virtual void openFile(const std::string &inputName);
  // "INPUTFILENAME", "FULLINPUTFILENAME", "CLIPBOARD" (any case), else a
  // global variable.
  virtual std::string getVariable(const std::string &name);
  // Kept by the chain's output; with no filter to answer, the name itself.
  virtual std::string getGlobalVar(const std::string &name);
  virtual void setGlobalVar(const std::string &name, const std::string &value);
  // Bytes held back and not yet passed on.
  virtual std::int64_t bufferedLength();
  // Runs the text through the subfilter chain as a file of its own and
  // replaces it with what the chain's gatherer collected. Without a
  // subfilter chain ending in a gatherer the text is left as it is.
  virtual void subFilterEntireText(std::string &text);
  virtual void subFilterEmptyText(std::string &text);
  virtual std::string subFilterText(std::string_view text);
  // Runs the text through the subfilter chain as `subFilterText` does, but
  // hands what the chain has made so far to `onward` after each piece of
  // the text, so a long text and its result are never held whole. Without a
  // subfilter chain ending in a gatherer the text itself goes onward.
  void subFilterTextInPieces(std::string_view text,
                             const std::function<void(std::string &)> &onward);
  // Own per-file hooks: set-up, and emitting what is held back.
  virtual void startFile();
  virtual void endFile();
  virtual void resetStatistics();
  // Own check of the settings; raises with the message text.
  virtual void validate();

  // --- Non-virtual services ---

  // Hands a chunk to next; true without a call when there is no next or
  // the chunk is empty. A "stop" answer is also remembered for
  // `takeStopRequest`.
  bool sendToNext(std::string &chunk);
  // Hands a line to next; true when there is no next.
  bool putLineToNext(std::string_view line, std::string_view lineEnd);
  // Hands a copy of `text` to next as chunks, a long text in pieces, so it
  // is never copied whole; `scratch` holds each piece.
  bool sendCopyToNext(std::string_view text, std::string &scratch);
  // Whether a filter after this one answered "stop" since the last call:
  // how filters that send from deep inside (line by line) pass it back.
  bool takeStopRequest() { return std::exchange(stopRequested_, false); }
  // Starts a fresh run of the subfilter chain: its gatherer emptied, its
  // filters reset. Nothing without a subfilter chain.
  void restartSubfilters();
  // The job's terminate request; without a job, whether the application is
  // shutting down. Either way also whether this thread's deadline passed.
  bool isAborted() const;
  // The bytes held back by every filter after this one.
  std::int64_t totalBufferedLength();
  // Deletes a file; on failure logs message 5110 and returns false.
  bool removeFile(const std::string &name);
  // Writes each filter's statistics line to the job's log, from this filter
  // up to (not including) `stop`, subfilter chains indented by two blanks.
  void logStatistics(const std::string &indent, TFilter *stop = nullptr);
  // Replaces "@NAME" and "@NAME@" by the variable's value; "@@" is one "@".
  std::string substituteVariables(std::string_view text);

protected:
  // Runs `call` on the user-interface thread: through the job's synchronous
  // call when there is a job, else here (the chain then runs on that thread).
  void runOnUserInterface(const std::function<void()> &call);

private:
  std::unique_ptr<TFilter> next_;
  TFilter *continuation_ = nullptr;
  bool inSubchain_ = false;
  bool stopRequested_ = false;
  JobSink *job_ = nullptr;
  std::unique_ptr<TFilter> firstSubfilter_;
  TFilter *subfilterEnd_ = nullptr;
  std::string nodeTitle_;
};

// While one lives on this thread, the errors that filters run here without
// a job report are kept for the one who asked for the run (another program
// waiting for its answer) instead of going to message boxes, which would hold
// that answer until someone closes them. Warnings and information, which have
// no log to go to, are dropped. A question (a replace prompt) has no one to
// answer it: the filter fails instead.
class ReportsForCaller {
public:
  ReportsForCaller();
  ~ReportsForCaller();
  ReportsForCaller(const ReportsForCaller &) = delete;
  ReportsForCaller &operator=(const ReportsForCaller &) = delete;

  const std::vector<std::string> &errors() const { return errors_; }
  // Whether a run for such a caller goes on on this thread.
  static bool active();

private:
  friend class TFilter;
  ReportsForCaller *outer_;
  std::vector<std::string> errors_;
};

// The most bytes of a long text that go on in one chunk when the text is
// passed on in pieces rather than copied whole (64 KB).
std::size_t textPieceSize();
// While one lives, texts are cut into pieces of `size` bytes instead: a test
// sends short texts the way long ones go.
class TextPieceSizeForTests {
public:
  explicit TextPieceSizeForTests(std::size_t size);
  ~TextPieceSizeForTests();
  TextPieceSizeForTests(const TextPieceSizeForTests &) = delete;
  TextPieceSizeForTests &operator=(const TextPieceSizeForTests &) = delete;

private:
  std::size_t previous_;
};

// Calls `each` with the pieces of `text` in order, each of at most
// `textPieceSize()` bytes.
template <class Each> void forEachPiece(std::string_view text, Each &&each) {
  const std::size_t size = textPieceSize();
  for (std::size_t at = 0; at < text.size(); at += size)
    each(text.substr(at, size));
}

// Joins short texts into pieces of up to `textPieceSize` bytes for `send`;
// a long text goes to `send` in pieces of its own, never copied whole. So
// texts that went on as one chunk when short still do, and long ones are
// never held twice.
class TextPieces {
public:
  explicit TextPieces(std::function<void(std::string &)> send) : send_(std::move(send)) {}
  void add(std::string_view text);
  // Sends what is joined so far.
  void finish();

private:
  std::function<void(std::string &)> send_;
  std::string piece_;
};

// `count` copies of `ch`; empty for a count below 1.
std::string repeatChar(int count, char ch);

// Message 5100, raised by selecting filters that have no subfilters.
std::string selectNeedsSubfiltersMessage();

} // namespace marrowen
