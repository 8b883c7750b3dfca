#pragma once

#include "engine/processingthread.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class FilterListTarget;
class TGenericInput;

// What the command line asks of the program around it.
struct CommandLineHost {
  // Message 4130 in a message box.
  std::function<void(const std::string &)> showInvalidParameter;
  std::function<void(const std::string &)> statusBarError;
  // An error that ends the processing (conversion, file).
  std::function<void(const std::string &)> logError;
  std::function<void(bool)> setInteractive;
  std::function<void()> minimize;
  std::function<void(int)> showHelpTopic;
  // Starts a job; the options carry the settings' sound.
  std::function<void(std::unique_ptr<TGenericInput>, JobOptions)> startJob;
  JobOptions baseOptions;
  // Whether the window the command line fills has gone (closed while a
  // command file let events run).
  std::function<bool()> windowGone;
};

// Whether a parameter names a file or a mask by its form alone: it does not
// begin with "/", or a "/" follows before any "=" (an option has none).
bool namesAFile(const std::string &parameter);
// `name` as a parameter that reads back as that file's name: one that would
// read as an option (a file at the root, "/x.txt") gets "/." in front.
std::string fileNameParameter(const std::string &name);

// A command file's text as the clipboard (UTF-8) can carry it: valid UTF-8
// as it stands, each run of bytes that no UTF-8 holds as bash's $'\351'
// (three octal digits a byte), and a "$" that would read as such a run as
// $'\044'. readCommandFileLine turns every such run back into its bytes, so
// a command file keeps the names and texts it was written from, byte for
// byte.
std::string commandFileText(std::string_view bytes);
std::string readCommandFileLine(std::string_view line);

// Turns the program's parameters, and the lines of the command files they
// name, into filter lists in one target and runs them. Parameters are bytes,
// never decoded. It remembers whether anything failed, for the exit status.
class TCommandLine {
public:
  TCommandLine(FilterListTarget &window, CommandLineHost host);

  void processCommandLine(const std::vector<std::string> &parameters);
  void processCommandFile(const std::string &parameter);
  void processParameter(const std::string &parameter);
  void resetCommandLineWindow();

  // The Subfolders and the Action choice a file name gets; an empty Action
  // lets a new row take the last row's.
  const std::string &subfolders() const { return subfolders_; }
  const std::string &action() const { return action_; }
  // "/Q" was among the parameters handled, or among the program's
  // parameters when an error ended the processing early.
  bool quitRequested() const { return quit_; }
  bool errorReported() const { return errorReported_; }
  bool jobFailed() const { return jobFailed_; }
  // The reading ended early: the program is quitting or the window went.
  bool stopped() const { return stopped_; }
  int jobsStarted() const { return jobsStarted_; }
  // 2 when the command line reported an error, 1 when a job it started
  // failed, else 0.
  int exitStatus() const;

private:
  struct Pending {
    std::string searchText;
    // A "/S" came, its text possibly empty.
    bool given = false;
    bool pattern = false;
    bool caseSensitive = false;
    bool wholeWord = false;
  };
  bool isFileName(const std::string &parameter) const;
  // Message 4130 naming the parameter, and the reason where one is known.
  void invalid(const std::string &parameter, const std::string &reason = {});
  void addEndOfLine(const std::string &parameter, const std::string &upper);
  bool addBuiltIn(char code, char letter);
  // Why the list cannot do what the options asked of it, none when it can.
  std::vector<std::string> contradictions();
  void run();

  FilterListTarget &window_;
  CommandLineHost host_;
  std::string subfolders_ = "All";
  std::string action_;
  Pending pending_;
  std::string listFile_;
  // What the options asked of the current list, which a filter file it loads
  // may contradict: a list that reads the clipboard ignores the
  // files named, one that writes it ignores how files are to be written.
  struct Asked {
    bool files = false;
    bool clipboardInput = false;
    // The first option that only files written take ("/OUTPUTFOLDER=...").
    std::string fileOutput;
    bool clipboardOutput = false;
  };
  Asked asked_;
  bool quit_ = false;
  bool errorReported_ = false;
  bool jobFailed_ = false;
  bool stopped_ = false;
  int jobsStarted_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Plugs the command line into the main window's start-up: the parameters
// are `argv` as the program got them. With "/Q" the program quits once its
// jobs have ended, with the status above.
void installCommandLine(std::vector<std::string> parameters);
// The status the program ends with; 0 unless the command line says otherwise.
int commandLineExitStatus();

} // namespace marrowen
