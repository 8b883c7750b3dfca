#include "app/automation/commandline.h"

#include "app/common/quitsignals.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/listdocument.h"
#include "app/main/helpaccess.h"
#include "app/main/mainform.h"
#include "classlib/convert.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "classlib/streams.h"
#include "classlib/stringlist.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/inputs.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"
#include "engine/utilities.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>

namespace marrowen {

namespace {

std::string upperCase(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool startsWith(const std::string &text, const char *prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Characters from 1-based `from`, at most `count`.
std::string copy(const std::string &text, std::size_t from, std::size_t count = std::string::npos) {
  return from - 1 < text.size() ? text.substr(from - 1, count) : std::string();
}

struct Code {
  char letter;
  int kind;
};
constexpr Code cCodes[] = {{'-', 48}, {'0', 28}, {'1', 20}, {'2', 27}, {'3', 32}, {'4', 33},
                           {'5', 23}, {'6', 24}, {'7', 25}, {'8', 26}, {'9', 43}, {'D', 46},
                           {'H', 30}, {'I', 9},  {'L', 6},  {'M', 15}, {'R', 42}, {'S', 8},
                           {'T', 7},  {'U', 5},  {'V', 41}, {'W', 40}, {'Z', 39}};
constexpr Code dCodes[] = {{'L', 10}, {'E', 11}, {'S', 12}, {'B', 13}, {'A', 14}, {'D', 15},
                           {'H', 16}, {'K', 17}, {'R', 18}, {'W', 19}, {'M', 35}, {'-', 48}};
constexpr Code hCodes[] = {{'A', 3}, {'O', 4}, {'N', 44}, {'C', 45}};
constexpr Code pCodes[] = {{'A', 1},  {'E', 2},  {'0', 21}, {'1', 22}, {'2', 37},
                           {'3', 38}, {'4', 34}, {'D', 36}, {'H', 30}, {'U', 29}};

template <std::size_t N> int findCode(const Code (&codes)[N], char letter) {
  for (const Code &code : codes)
    if (code.letter == letter)
      return code.kind;
  return 0;
}

} // namespace

TCommandLine::TCommandLine(FilterListTarget &window, CommandLineHost host)
    : window_(window), host_(std::move(host)) {}

int TCommandLine::exitStatus() const { return errorReported_ ? 2 : jobFailed_ ? 1 : 0; }

void TCommandLine::resetCommandLineWindow() {
  pending_ = Pending();
  asked_ = Asked();
  listFile_.clear();
  window_.resetFilterList();
  // A shown dialog would copy its own values back over these when it goes.
  window_.beginBulkUpdate();
  if (TInputObject *input = window_.inputNode()) {
    input->inputFromFile = true;
    input->promptEachFile = false;
    input->skipBinary = 1;
    input->binarySampleSize = 100;
    // A user's own default list may delete its inputs; a list built from
    // options deletes them only when a filter file it loads asks to.
    input->promptOnReadOnly = true;
    input->deleteInput = false;
  }
  if (TOutputObject *output = window_.outputNode()) {
    output->outputToFile = TOutputObject::files;
    output->testMode = false;
    output->retainDate = false;
    output->changeExtension = false;
    output->changeBaseDir = false;
  }
  window_.endBulkUpdate();
  window_.setFilterHasChanged(false);
}

void TCommandLine::processCommandLine(const std::vector<std::string> &parameters) {
  subfolders_ = "All";
  action_.clear();
  if (host_.setInteractive)
    host_.setInteractive(false);
  resetCommandLineWindow();
  window_.beginBulkUpdate();
  try {
    for (const std::string &parameter : parameters) {
      if (stopped_)
        break;
      if (startsWith(upperCase(parameter.substr(0, 3)), "/Z="))
        processCommandFile(parameter);
      else
        processParameter(parameter);
    }
  } catch (const std::exception &error) {
    errorReported_ = true;
    // An unattended run must still end.
    for (const std::string &parameter : parameters)
      if (upperCase(parameter) == "/Q")
        quit_ = true;
    if (host_.logError)
      host_.logError(dynamic_cast<const std::bad_alloc *>(&error)
                         ? std::string("Out of memory while reading the command line")
                         : std::string(error.what()));
  }
  if (!(host_.windowGone && host_.windowGone())) {
    window_.endBulkUpdate();
    window_.setFilterHasChanged(false);
  }
  if (host_.setInteractive)
    host_.setInteractive(true);
}

void TCommandLine::processCommandFile(const std::string &parameter) {
  const std::string fileName = copy(parameter, 4);
  TStringList lines;
  try {
    lines.SetText(readSettingsFile(fileName, listFileLimit));
  } catch (const std::bad_alloc &) {
    throw Exception(
        Format("Out of memory while reading the command file [%s]", {loggedName(fileName)}));
  }
  int first = 0;
  // A command file as the list exports it begins with the program's name and
  // a note on how to use it.
  if (lines.Count() > 0 && lines.Strings(0) == program::displayName) {
    TStringList note;
    note.SetText(translate(4700, "Copy this information into a text file,\r\nand load it into "
                                 "Marrowen via the command\r\nline using the /Z=commandfile "
                                 "parameter.\r\n\r\n"));
    first = 1;
    for (int i = 0;
         i < note.Count() && first < lines.Count() && lines.Strings(first) == note.Strings(i); ++i)
      ++first;
  }
  for (int i = first; i < lines.Count(); ++i) {
    try {
      if (!lines.Strings(i).empty())
        processParameter(readCommandFileLine(lines.Strings(i)));
    } catch (const std::bad_alloc &) {
      throw Exception(Format("Out of memory at line %d of the command file [%s]",
                             {i + 1, loggedName(fileName)}));
    }
    processMessages();
    // A quit, or a close of the window, that came with those events ends the
    // reading before another line reaches the window.
    if (applicationTerminating() || (host_.windowGone && host_.windowGone())) {
      stopped_ = true;
      return;
    }
  }
}

namespace {

// The length of a run $'\ooo...' at `at` (the octal escapes of one or more
// bytes in ANSI-C quotes), 0 where none begins.
std::size_t escapedRunLength(std::string_view text, std::size_t at) {
  if (text.substr(at, 2) != "$'")
    return 0;
  std::size_t end = at + 2;
  const auto octal = [&](std::size_t i, char high) {
    return i < text.size() && text[i] >= '0' && text[i] <= high;
  };
  while (text.substr(end, 1) == "\\" && octal(end + 1, '3') && octal(end + 2, '7') &&
         octal(end + 3, '7'))
    end += 4;
  return end > at + 2 && text.substr(end, 1) == "'" ? end + 1 - at : 0;
}

void appendOctal(std::string &out, unsigned char byte) {
  out += '\\';
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

} // namespace

std::string commandFileText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t unused;
    if (p[i] >= 0x80 && utf8::decodeSequence(p + i, bytes.size() - i, unused) == 0) {
      out += "$'";
      for (; i < bytes.size() && p[i] >= 0x80 &&
             utf8::decodeSequence(p + i, bytes.size() - i, unused) == 0;
           ++i)
        appendOctal(out, p[i]);
      out += '\'';
    } else if (escapedRunLength(bytes, i) > 0) {
      out += "$'";
      appendOctal(out, '$');
      out += '\'';
      ++i;
    } else {
      const std::size_t length = utf8::characterLength(bytes.substr(i));
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string readCommandFileLine(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size();) {
    if (const std::size_t length = escapedRunLength(line, i)) {
      for (std::size_t at = i + 2; at + 1 < i + length; at += 4)
        out += static_cast<char>(((line[at + 1] - '0') << 6) | ((line[at + 2] - '0') << 3) |
                                 (line[at + 3] - '0'));
      i += length;
    } else {
      out += line[i++];
    }
  }
  return out;
}

bool namesAFile(const std::string &parameter) {
  if (parameter.empty() || parameter[0] != '/')
    return true;
  const std::string head = parameter.substr(0, parameter.find('='));
  return head.find('/', 1) != std::string::npos;
}

std::string fileNameParameter(const std::string &name) {
  return namesAFile(name) ? name : "/." + name;
}

bool TCommandLine::isFileName(const std::string &parameter) const {
  struct stat info {};
  return namesAFile(parameter) || ::stat(parameter.c_str(), &info) == 0;
}

void TCommandLine::invalid(const std::string &parameter, const std::string &reason) {
  errorReported_ = true;
  if (host_.showInvalidParameter)
    host_.showInvalidParameter(
        translateFormat(4130, "Invalid command line parameter\r\n%s", {parameter}) +
        (reason.empty() ? std::string() : "\r\n" + reason));
}

bool TCommandLine::addBuiltIn(char code, char letter) {
  int kind = 0;
  switch (code) {
  case 'C':
    kind = findCode(cCodes, letter);
    break;
  case 'D':
    kind = findCode(dCodes, letter);
    break;
  case 'H':
    kind = findCode(hCodes, letter);
    break;
  case 'P':
    kind = findCode(pCodes, letter);
    break;
  }
  if (kind != 0)
    window_.addFilter(TDescriptionObject::CreateWith(kind));
  return kind != 0;
}

void TCommandLine::addEndOfLine(const std::string &parameter, const std::string &upper) {
  auto node = TEOLObject::CreateDefault();
  std::size_t at = 2;
  node->removeBad = at < upper.size() && upper[at] == 'R';
  if (node->removeBad)
    ++at;
  static const std::string from = "UMDAF", to = "UMDN";
  const std::size_t fromIndex = at < upper.size() ? from.find(upper[at]) : std::string::npos;
  if (fromIndex == std::string::npos)
    return invalid(parameter);
  node->convertFrom = static_cast<std::int32_t>(fromIndex);
  ++at;
  if (fromIndex == 4) {
    std::string digits;
    while (at < upper.size() && upper[at] >= '0' && upper[at] <= '9') {
      if (digits.size() < 10)
        digits += upper[at];
      ++at;
    }
    node->fixedLength = StrToInt(digits);
  }
  if (at < upper.size()) {
    const std::size_t toIndex = to.find(upper[at]);
    if (toIndex == std::string::npos)
      return invalid(parameter);
    node->convertTo = static_cast<std::int32_t>(toIndex);
  }
  window_.addFilter(std::move(node));
}

void TCommandLine::processParameter(const std::string &p) {
  if (isFileName(p)) {
    window_.testThenAdd(p);
    asked_.files = true;
    window_.setLastSubfolders(subfolders_);
    if (!action_.empty())
      window_.setLastAction(action_);
    return;
  }
  const std::string u = upperCase(p);
  const std::size_t length = u.size();
  TOutputObject *output = window_.outputNode();
  TInputObject *input = window_.inputNode();
  const std::size_t equals = u.find('=');

  if (startsWith(u, "/{=")) {
    // Written with its line breaks as escapes; a text that holds a malformed
    // escape was typed as it stands.
    std::string text = copy(p, 4);
    try {
      text = decodeEscapes(text);
    } catch (const Exception &) {
    }
    window_.addFilter(TCommentObject::CreateWith(std::move(text)));
  } else if (startsWith(u, "/ACTION=")) {
    static const char *const actions[] = {"Add", "Subtract", "Ignore"};
    const auto named = std::find_if(std::begin(actions), std::end(actions),
                                    [&](const char *a) { return upperCase(a) == copy(u, 9); });
    if (named == std::end(actions))
      return invalid(p);
    action_ = *named;
  } else if (startsWith(u, "/APPEND")) {
    if (output)
      output->appendMode = length == 7 ? !output->appendMode : u[7] == '+';
  } else if (startsWith(u, "/AL") && length > 3) {
    std::string text = copy(p, 4);
    if (!text.empty() && text[0] == '=')
      text.erase(0, 1);
    const std::size_t comma = text.find(',');
    const std::int32_t start =
        StrToInt(comma == std::string::npos ? std::string() : text.substr(0, comma));
    const std::int32_t increment =
        StrToInt(comma == std::string::npos ? text.substr(0, 255) : text.substr(comma + 1, 255));
    window_.addFilter(TLineNumberObject::CreateWith(start, increment));
  } else if (startsWith(u, "/A")) {
    static const std::string kinds = "STEF";
    if (length >= 4 && u[3] == '=' && kinds.find(u[2]) != std::string::npos)
      window_.addFilter(
          TStringObject::CreateWith(static_cast<std::int32_t>(kinds.find(u[2])), copy(p, 5)));
  } else if (startsWith(u, "/B")) {
    static const std::string kinds = "PSC";
    if (length == 3 && kinds.find(u[2]) != std::string::npos && input)
      input->skipBinary = static_cast<std::int32_t>(kinds.find(u[2]));
  } else if (startsWith(u, "/C")) {
    if (length == 3)
      addBuiltIn('C', u[2]);
  } else if (u == "/DELETELISTFILE") {
    if (!listFile_.empty())
      ::unlink(listFile_.c_str());
  } else if (startsWith(u, "/D")) {
    if (length == 3)
      addBuiltIn('D', u[2]);
  } else if (startsWith(u, "/EXTENSION=")) {
    // A cut value would name another extension.
    if (length - 11 > TOutputObject::shortStringLength)
      return invalid(p, TOutputObject::longerThanKeptText("The extension"));
    if (asked_.fileOutput.empty())
      asked_.fileOutput = p;
    if (output) {
      output->changeExtension = true;
      output->newExtension = copy(p, 12);
    }
  } else if (startsWith(u, "/E") && length >= 4) {
    addEndOfLine(p, u);
  } else if (startsWith(u, "/F=")) {
    // Absolute, so the recent files and a later search for the open file
    // name it wherever the program is started from.
    std::string name = copy(p, 4);
    if (!name.empty() && name.front() != '/') {
      std::error_code error;
      const std::filesystem::path absolute = std::filesystem::absolute(name, error);
      if (!error)
        name = absolute.lexically_normal().string();
    }
    window_.loadFilterList(name, {.inserting = !window_.fileName().empty()});
  } else if (u == "/G") {
    run();
  } else if (startsWith(u, "/H")) {
    if (length == 3)
      addBuiltIn('H', u[2]);
  } else if (u == "/INPUTCLIPBOARD") {
    asked_.clipboardInput = true;
    if (input)
      input->inputFromFile = false;
  } else if (startsWith(u, "/I")) {
    if (length == 2)
      subfolders_ = subfolders_ == "None" ? "All" : "None";
    else if (length == 3)
      subfolders_ = u[2] == '+'                  ? std::string("All")
                    : u[2] >= '1' && u[2] <= '9' ? subfoldersChoice(u[2] - '0')
                                                 : std::string("None");
  } else if (startsWith(u, "/KEEPSTRUCTURE")) {
    if (output)
      output->keepStructure = length == 14 ? !output->keepStructure : u[14] == '+';
  } else if (startsWith(u, "/L=")) {
    listFile_ = copy(p, 4);
    asked_.files = true;
    window_.processFile(listFile_);
  } else if (startsWith(u, "/LOG=")) {
  } else if (startsWith(u, "/M=")) {
    window_.addFilter(TUserObject::CreateWith(copy(p, 4)));
  } else if (startsWith(u, "/MERGETOFILE=")) {
    if (output) {
      output->singleFilename = copy(p, 14);
      output->outputToFile = TOutputObject::mergedFile;
    }
  } else if (startsWith(u, "/MINIMIZED")) {
    if (host_.minimize)
      host_.minimize();
  } else if (startsWith(u, "/N")) {
    if (output)
      output->retainDate = length == 2 ? !output->retainDate : u[2] == '+';
  } else if (u == "/OUTPUTCLIPBOARD") {
    asked_.clipboardOutput = true;
    if (output)
      output->outputToFile = TOutputObject::clipboard;
  } else if (startsWith(u, "/OUTPUTFOLDER=")) {
    if (length - 14 > TOutputObject::shortStringLength)
      return invalid(p, TOutputObject::longerThanKeptText("The output folder"));
    if (asked_.fileOutput.empty())
      asked_.fileOutput = p;
    if (output) {
      output->changeBaseDir = true;
      output->newBaseDir = copy(p, 15);
    }
  } else if (startsWith(u, "/P")) {
    if (length == 3)
      addBuiltIn('P', u[2]);
  } else if (u == "/Q") {
    quit_ = true;
  } else if (startsWith(u, "/R") && equals >= 2 && equals <= 4 && pending_.given) {
    // Only the letters given decide, nothing the dialog remembered: a
    // remembered prompt would stop an unattended run at its first match, and
    // a command file runs the same search wherever it is read.
    auto node = std::make_unique<TSearchObject>();
    for (std::size_t i = 2; i < equals; ++i) {
      if (p[i] == 'C' || p[i] == 'c')
        node->caseSensitiveReplace = true;
      else if (p[i] == 'P' || p[i] == 'p')
        node->promptOnReplace = true;
    }
    node->searchString = pending_.searchText;
    node->replaceString = p.substr(equals + 1);
    node->ignoreCase = !pending_.caseSensitive;
    node->patternType = pending_.pattern ? 1 : 0;
    node->wholeWord = pending_.wholeWord;
    pending_ = Pending();
    window_.addFilter(std::move(node));
  } else if (startsWith(u, "/S") && equals >= 2 && equals <= 5) {
    // The flags gather until "/R" or "/G" uses them up.
    for (std::size_t i = 2; i < equals; ++i) {
      if (p[i] == 'X' || p[i] == 'x')
        pending_.pattern = true;
      else if (p[i] == 'C' || p[i] == 'c')
        pending_.caseSensitive = true;
      else if (p[i] == 'W' || p[i] == 'w')
        pending_.wholeWord = true;
    }
    pending_.searchText = p.substr(equals + 1);
    // An empty text still waits for its "/R": the node then reports it
    // blank, as the list it was exported from does.
    pending_.given = true;
  } else if (startsWith(u, "/ST") || startsWith(u, "/TS") || startsWith(u, "/WW")) {
    const int kind = startsWith(u, "/TS") ? 0 : startsWith(u, "/ST") ? 1 : 2;
    // Three characters as ever, then every digit after them: a node writes as
    // many digits as its number has, and a cut number would run another width.
    std::size_t end = std::min<std::size_t>(p.size(), 6);
    while (end < p.size() && p[end] >= '0' && p[end] <= '9')
      ++end;
    window_.addFilter(TNumberObject::CreateWith(kind, StrToInt(p.substr(3, end - 3))));
  } else if (startsWith(u, "/TUTORIAL")) {
    if (host_.showHelpTopic)
      host_.showHelpTopic(1300);
  } else if (startsWith(u, "/T")) {
    if (output)
      output->testMode = length == 2 ? !output->testMode : u[2] == '+';
  } else {
    invalid(p);
  }
}

std::vector<std::string> TCommandLine::contradictions() {
  // A list exported from a window that reads the clipboard names its grid's
  // files after "/INPUTCLIPBOARD" and runs on the clipboard, as the window does.
  std::vector<std::string> texts;
  const TInputObject *input = window_.inputNode();
  if (input && !input->inputFromFile && asked_.files && !asked_.clipboardInput)
    texts.push_back(Format("The filter list [%s] reads its input from the clipboard: the files "
                           "named on the command line would not be read. Nothing was run",
                           {window_.getFilterName()}));
  const TOutputObject *output = window_.outputNode();
  if (output && output->outputToFile == TOutputObject::clipboard && !asked_.fileOutput.empty() &&
      !asked_.clipboardOutput)
    texts.push_back(Format("The filter list [%s] writes its output to the clipboard, not to the "
                           "files that %s asks for. Nothing was run",
                           {window_.getFilterName(), asked_.fileOutput}));
  return texts;
}

void TCommandLine::run() {
  std::unique_ptr<TGenericInput> chain;
  const std::vector<std::string> texts = contradictions();
  for (const std::string &text : texts)
    if (host_.logError)
      host_.logError(text);
  // The builder gives no chain only after showing why, which is all the
  // user needs to see.
  if (texts.empty())
    chain = window_.createFilters();
  if (!chain) {
    errorReported_ = true;
  } else {
    JobOptions options = host_.baseOptions;
    options.loggingOn = true;
    // A bare name: the log lands beside the program, or in the user's data
    // folder when the program's folder may not be written.
    options.logFileName = std::string(program::defaultLogName);
    options.appendToLog = true;
    options.lineLimit = 500;
    options.filterName = translate(4110, "Command line - ") + window_.getFilterName();
    options.closeStatusWhenDone = false;
    options.deferLogging = false;
    std::weak_ptr<bool> alive = alive_;
    options.onEnded = [this, alive](bool failed) {
      if (!alive.expired() && failed)
        jobFailed_ = true;
    };
    ++jobsStarted_;
    if (host_.startJob)
      host_.startJob(std::move(chain), std::move(options));
  }
  resetCommandLineWindow();
}

// --- The program's start-up ---

namespace {

struct Installed {
  std::vector<std::string> parameters;
  std::unique_ptr<TListDocument> document;
  std::unique_ptr<TCommandLine> commandLine;
};

Installed &installed() {
  static Installed state;
  return state;
}

} // namespace

int commandLineExitStatus() {
  const Installed &state = installed();
  return state.commandLine ? state.commandLine->exitStatus() : 0;
}

void installCommandLine(std::vector<std::string> parameters) {
  installed().parameters = std::move(parameters);
  mainFormHooks().processCommandLine = [] {
    TmainForm *main = TmainForm::instance();
    if (!main)
      return;
    Installed &state = installed();
    FilterListTarget *target = nullptr;
    QPointer<QWidget> window;
    if (FilterListWindow *child = main->CreateMDIChild()) {
      target = child->listTarget();
      window = child->widget();
    }
    if (!target) {
      state.document = std::make_unique<TListDocument>();
      state.document->onError = [main](const std::string &text) { main->logError(text); };
      target = state.document.get();
    }
    CommandLineHost host;
    host.showInvalidParameter = [main](const std::string &text) {
      showMessageBox(MessageBoxKind::Error, text);
      (void)main;
    };
    host.statusBarError = [main](const std::string &text) {
      main->statusBarError(messageToQString(text));
      writeErrorLine(text);
    };
    host.logError = [main](const std::string &text) { main->logError(text); };
    host.setInteractive = [main](bool on) { main->setInteractive(on); };
    host.minimize = [main] { main->showMinimized(); };
    host.showHelpTopic = [](int topic) { showHelpContext(topic); };
    host.startJob = [main](std::unique_ptr<TGenericInput> chain, JobOptions options) {
      main->jobHost().startJob(std::move(chain), std::move(options));
    };
    if (window)
      host.windowGone = [window] { return window.isNull(); };
    host.baseOptions.playSound = main->settings().playSound;
    host.baseOptions.soundFile = main->settings().soundFile;
    state.commandLine = std::make_unique<TCommandLine>(*target, std::move(host));
    {
      // Loading the list into the window and back stores node defaults that
      // often end as they began: one save at the end, none when unchanged.
      SettingsStore::BatchedWrites once(settingsStore());
      // A quit by signal while a command file is read ends the reading
      // first; the windows go after.
      QuitHold hold;
      state.commandLine->processCommandLine(state.parameters);
    }

    WindowJobHost &jobs = main->jobHost();
    jobs.onQuit = [] { QCoreApplication::exit(commandLineExitStatus()); };
    if (state.commandLine->quitRequested()) {
      // Decided only now: a command file lets jobs end while it is read.
      if (jobs.runningJobs() == 0)
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(commandLineExitStatus()); });
      else
        jobs.setQuitWhenDone(true);
    }
  };
}

} // namespace marrowen
