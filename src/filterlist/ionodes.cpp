#include "filterlist/ionodes.h"

#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/fileinput.h"
#include "engine/inputs.h"
#include "engine/mergesplit.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "filterlist/filterlist.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"

#include <filesystem>

namespace marrowen {

using namespace std::string_view_literals;

namespace {

// The Windows program's default output folder; new nodes get the system's
// temporary folder instead.
constexpr std::string_view windowsTempFolder = "c:\\windows\\temp";

std::string systemTempFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::temp_directory_path(ec).string();
  return ec || folder.empty() ? std::string("/tmp") : folder;
}

} // namespace

// ---------------------------------------------------------------------------
// Input

namespace {

using InputField = NodeField<TInputObject>;
const InputField inputFields[] = {
    {"promptEachFile", &TInputObject::promptEachFile, false, "promptEachFile"},
    {"skipBinary", &TInputObject::skipBinary, 0, "skipBinary"},
    {"inputFromFile", &TInputObject::inputFromFile, true, "inputFromFile", 8},
    {"binarySampleSize", &TInputObject::binarySampleSize, 100, "binarySampleSize", 14},
    {"promptOnReadOnly", &TInputObject::promptOnReadOnly, true, "promptOnReadOnly", 39},
    {"deleteInput", &TInputObject::deleteInput, false, "deleteInputFiles", 44},
};

} // namespace

std::span<const InputField> TInputObject::fields() { return inputFields; }

std::unique_ptr<TInputObject> TInputObject::CreateDefault() {
  auto node = std::make_unique<TInputObject>();
  readFieldSettings<TInputObject>(*node, fields());
  // Remembered, but a new node never starts out deleting its inputs.
  node->deleteInput = false;
  return node;
}

void TInputObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

bool TInputObject::automationCheck(const ConfirmPrompt &ask) {
  // Yes switches the feature off, No keeps it, Cancel ends the preparation.
  auto question = [&](int id, std::string_view text, auto &&onYes) {
    const Answer answer = ask(translate(id, text));
    if (answer == Answer::Cancel)
      return false;
    if (answer == Answer::Yes)
      onYes();
    return true;
  };
  if (promptEachFile && !question(6950, "Input Filter: Prompt on Each File is enabled. Disable it?",
                                  [&] { promptEachFile = false; }))
    return false;
  if (promptOnReadOnly &&
      !question(6960, "Input Filter: Prompt on Read Only is enabled. Disable it?",
                [&] { promptOnReadOnly = false; }))
    return false;
  if (skipBinary == 2 &&
      !question(6970, "Input Filter: Prompt on Binary is enabled. Change to Skip Binary?",
                [&] { skipBinary = 1; }))
    return false;
  return true;
}

std::string TInputObject::getTitle() const {
  if (!inputFromFile)
    return translate(6880, "Clipboard input");
  std::string title = translate(6810, "File input:");
  if (promptEachFile)
    title += translate(6820, "confirm each,");
  if (promptOnReadOnly)
    title += translate(6830, "confirm r/o,");
  if (deleteInput)
    title += translate(6840, "delete,");
  switch (skipBinary) {
  case 0:
    title += translate(6850, "include binary");
    break;
  case 1:
    title += translate(6860, "skip binary");
    break;
  case 2:
    title += translate(6870, "confirm binary");
    break;
  default:
    break;
  }
  return title;
}

std::string TInputObject::printText(std::string_view indent) const {
  if (!inputFromFile)
    return translate(6940, "Input from clipboard\r\n");
  std::string text = translateFormat(
      6890,
      "Input from file(s)\r\n%s%sConfirm before processing each file\r\n%s%sConfirm before "
      "processing read/only files\r\n%s%sDelete input files after processing\r\n",
      {indent, outputOption(promptEachFile), indent, outputOption(promptOnReadOnly), indent,
       outputOption(deleteInput)});
  switch (skipBinary) {
  case 0:
    text += std::string(indent) + translate(6900, "  Process binary files\r\n");
    break;
  case 1:
    text += std::string(indent) + translate(6910, "  Skip binary files\r\n");
    break;
  case 2:
    text += std::string(indent) + translate(6920, "  Confirm each binary file\r\n");
    break;
  default:
    break;
  }
  if (skipBinary == 1 || skipBinary == 2)
    text += std::string(indent) +
            translateFormat(6930, "    Sample size %d characters\r\n", {binarySampleSize});
  return text;
}

std::string TInputObject::generateCmdLine() const {
  std::string text;
  switch (skipBinary) {
  case 0:
    text = "/BP";
    break;
  case 1:
    text = "/BS";
    break;
  case 2:
    text = "/BC";
    break;
  default:
    break;
  }
  // The command line reads files unless told otherwise, and would rewrite
  // the files a clipboard list merely keeps in its grid.
  if (!inputFromFile)
    text += text.empty() ? "/INPUTCLIPBOARD" : "\r\n/INPUTCLIPBOARD";
  return text;
}

std::unique_ptr<TFilter> TInputObject::add_this_filter(TFilterList &list) {
  if (!inputFromFile)
    return std::make_unique<TClipboardInput>();
  std::vector<FileGridRow> rows = list.files;
  for (FileGridRow &row : rows)
    row.pathMask = localPath(row.pathMask);
  return std::make_unique<TFileInput>(std::move(rows), promptEachFile, promptOnReadOnly, skipBinary,
                                      binarySampleSize, deleteInput);
}

void TInputObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TInputObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields().first(1));
  // Before type 21 a flag no longer used followed the first.
  if (reader.fileTypeRead() < 21)
    reader.readBoolean();
  readFields(*this, reader, fields().subspan(1));
}

// ---------------------------------------------------------------------------
// Output

namespace {

using OutputField = NodeField<TOutputObject>;
// The kind of output was a Boolean before type 40 and is converted on load,
// beside the table. A new node's output folder starts as the system's
// temporary folder rather than the stored default.
const OutputField outputFields[] = {
    {"testMode", &TOutputObject::testMode, true, "testMode"},
    {"retainDate", &TOutputObject::retainDate, true, "retainDate"},
    {"outputToFile", &TOutputObject::outputToFile, TOutputObject::files, "outputToFile", 40},
    {"changeExtension", &TOutputObject::changeExtension, false, "changeExtension", 9},
    {"newExtension", &TOutputObject::newExtension, ".txt"sv, "newExtension", 9, false,
     TOutputObject::shortStringLength},
    {"changeBaseDir", &TOutputObject::changeBaseDir, false, "changeBaseDir", 10},
    {"newBaseDir", &TOutputObject::newBaseDir, windowsTempFolder, "newBaseDir", 10, false,
     TOutputObject::shortStringLength},
    {"keepStructure", &TOutputObject::keepStructure, false, "keepStructure", 30},
    {"singleFilename", &TOutputObject::singleFilename, "mergefilename.txt"sv, "singleFilename", 40},
    {"appendMode", &TOutputObject::appendMode, false, "appendMode", 47},
};

} // namespace

std::span<const OutputField> TOutputObject::fields() { return outputFields; }

std::string TOutputObject::longerThanKeptText(std::string_view what) {
  return Format("%s is longer than %d bytes", {what, static_cast<int>(shortStringLength)});
}

std::unique_ptr<TOutputObject> TOutputObject::CreateDefault() {
  auto node = std::make_unique<TOutputObject>();
  readFieldSettings<TOutputObject>(*node, fields());
  const OutputField &baseDir = *findField(fields(), "newBaseDir");
  node->newBaseDir =
      cutToFieldLength(baseDir, readStringSetting(baseDir.settingName, systemTempFolder()));
  return node;
}

void TOutputObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TOutputObject::getTitle() const {
  switch (outputToFile) {
  case clipboard:
    return translate(6980, "Clipboard output");
  case files: {
    std::string title = translate(6990, "File output:");
    if (testMode)
      title += translate(7000, "test mode,");
    if (retainDate)
      title += translate(7010, "retain date,");
    if (changeExtension)
      title += translateFormat(7020, "new extension %s,", {newExtension});
    if (changeBaseDir)
      title += translateFormat(7030, "new base dir %s,", {newBaseDir});
    // The colon of a bare title, or the comma after the last option, goes.
    if (!title.empty())
      title.back() = ' ';
    return title;
  }
  case mergedFile:
    return translateFormat(7040, "Merge to file %s", {singleFilename});
  default:
    return {};
  }
}

std::string TOutputObject::printText(std::string_view indent) const {
  switch (outputToFile) {
  case clipboard:
    return translate(7050, "Output to clipboard\r\n");
  case files: {
    std::string text = translateFormat(
        7060,
        "Output to file(s)\r\n%s%sTest mode\r\n%s%sKeep original file's date and "
        "time\r\n%s%sAppend mode\r\n%s%sChange extension to: %s\r\n",
        {indent, outputOption(testMode), indent, outputOption(retainDate), indent,
         outputOption(appendMode), indent, outputOption(changeExtension), newExtension});
    if (changeBaseDir)
      text += std::string(indent) +
              translateFormat(7070, "  Output folder: %s\r\n%s%sMaintain folder structure\r\n",
                              {newBaseDir, indent, outputOption(keepStructure)});
    return text;
  }
  case mergedFile:
    return translateFormat(7080, "Merge output to file %s\r\n", {singleFilename});
  default:
    return {};
  }
}

std::string TOutputObject::generateCmdLine() const {
  std::string text =
      std::string(retainDate ? "/N+\r\n" : "/N-\r\n") + (testMode ? "/T+\r\n" : "/T-\r\n");
  // Everything that decides which files are written, so that the command
  // line writes where the window does: it starts from a list that writes
  // the input files in place, and from its own default structure and
  // append settings.
  auto flag = [](const char *option, bool on) {
    return option + std::string(on ? "+\r\n" : "-\r\n");
  };
  switch (outputToFile) {
  case files:
    if (changeExtension)
      text += "/EXTENSION=" + newExtension + "\r\n";
    if (changeBaseDir)
      text += "/OUTPUTFOLDER=" + newBaseDir + "\r\n" + flag("/KEEPSTRUCTURE", keepStructure);
    text += flag("/APPEND", appendMode);
    break;
  case mergedFile:
    text += "/MERGETOFILE=" + singleFilename + "\r\n" + flag("/APPEND", appendMode);
    break;
  default:
    // A damaged kind writes no file in the window either.
    text += "/OUTPUTCLIPBOARD\r\n";
    break;
  }
  return text;
}

std::unique_ptr<TFilter> TOutputObject::add_this_filter(TFilterList &) {
  switch (outputToFile) {
  case clipboard:
    return std::make_unique<TClipboardOutput>();
  case files:
    return std::make_unique<TFileOutput>(TFileOutput::Options{
        .testMode = testMode,
        .retainDate = retainDate,
        .changeExtension = changeExtension,
        .newExtension = newExtension,
        .useOutputFolder = changeBaseDir,
        .outputFolder = localPath(unquote(newBaseDir)),
        .keepFolderStructure = keepStructure,
        .append = appendMode,
    });
  case mergedFile: {
    auto merge = std::make_unique<TMergeFiles>(localPath(unquote(singleFilename)));
    merge->setNext(std::make_unique<TFileOutput>(TFileOutput::Options{.append = appendMode}));
    return merge;
  }
  default:
    raiseUnknownSetting(*this, "output kind", outputToFile);
  }
}

void TOutputObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TOutputObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields().first(2));
  // Types 8 to 39 stored only whether the output went to files.
  const int type = reader.fileTypeRead();
  if (type >= 8 && type < 40)
    outputToFile = reader.readBoolean() ? files : clipboard;
  else
    readFields(*this, reader, fields().subspan(2, 1));
  readFields(*this, reader, fields().subspan(3));
}

} // namespace marrowen
