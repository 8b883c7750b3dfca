#include "app/automation/commandline.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/listdocument.h"
#include "app_testing.h"
#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "engine/inputs.h"
#include "fakewindow.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/utilitynodes.h"
#include "programrun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

namespace marrowen::testing {
namespace {

class CommandLineTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    doc = std::make_unique<TListDocument>();
    doc->onError = [this](const std::string &text) { errors.push_back(text); };
    CommandLineHost host;
    host.showInvalidParameter = [this](const std::string &text) { invalid.push_back(text); };
    host.statusBarError = [this](const std::string &text) { status.push_back(text); };
    host.logError = [this](const std::string &text) { errors.push_back(text); };
    host.showHelpTopic = [this](int topic) { helpTopics.push_back(topic); };
    host.startJob = [this](std::unique_ptr<TGenericInput> chain, JobOptions options) {
      jobs.push_back(std::move(options));
      chains.push_back(std::move(chain));
    };
    line = std::make_unique<TCommandLine>(*doc, std::move(host));
    line->resetCommandLineWindow();
  }
  // The filters between the input and the output node.
  std::vector<TListObject *> filters() const {
    std::vector<TListObject *> result;
    for (int i = 2; i < doc->filterList().count() - 1; ++i)
      result.push_back(&doc->filterList().node(i));
    return result;
  }
  template <class T> T *only() {
    const auto nodes = filters();
    EXPECT_EQ(nodes.size(), 1u);
    return nodes.size() == 1 ? dynamic_cast<T *>(nodes[0]) : nullptr;
  }
  void run(std::initializer_list<std::string> parameters) {
    for (const std::string &p : parameters)
      line->processParameter(p);
  }

  std::unique_ptr<TListDocument> doc;
  std::unique_ptr<TCommandLine> line;
  std::vector<std::string> invalid, status, errors;
  std::vector<int> helpTopics;
  std::vector<JobOptions> jobs;
  std::vector<std::unique_ptr<TGenericInput>> chains;
};

TEST_F(CommandLineTest, BuiltInCodesAddTheirKinds) {
  const std::vector<std::pair<std::string, int>> codes = {
      {"/C-", 48}, {"/C0", 28}, {"/C1", 20}, {"/C2", 27}, {"/C3", 32}, {"/C4", 33}, {"/C5", 23},
      {"/C6", 24}, {"/C7", 25}, {"/C8", 26}, {"/C9", 43}, {"/CD", 46}, {"/CH", 30}, {"/CI", 9},
      {"/CL", 6},  {"/CM", 15}, {"/CR", 42}, {"/CS", 8},  {"/CT", 7},  {"/CU", 5},  {"/CV", 41},
      {"/CW", 40}, {"/CZ", 39}, {"/DL", 10}, {"/DE", 11}, {"/DS", 12}, {"/DB", 13}, {"/DA", 14},
      {"/DD", 15}, {"/DH", 16}, {"/DK", 17}, {"/DR", 18}, {"/DW", 19}, {"/DM", 35}, {"/D-", 48},
      {"/HA", 3},  {"/HO", 4},  {"/HN", 44}, {"/HC", 45}, {"/PA", 1},  {"/PE", 2},  {"/P0", 21},
      {"/P1", 22}, {"/P2", 37}, {"/P3", 38}, {"/P4", 34}, {"/PD", 36}, {"/PH", 30}, {"/pu", 29}};
  for (const auto &[code, kind] : codes) {
    SCOPED_TRACE(code);
    line->resetCommandLineWindow();
    line->processParameter(code);
    auto *node = only<TDescriptionObject>();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->kind, kind);
  }
  // Unknown letters and other lengths add nothing and say nothing.
  line->resetCommandLineWindow();
  run({"/CX", "/DZ", "/HZ", "/PZ", "/C", "/CUU", "/BX", "/AX=1", "/AS"});
  EXPECT_TRUE(filters().empty());
  EXPECT_TRUE(invalid.empty());
  EXPECT_EQ(doc->inputNode()->skipBinary, 1);
}

TEST_F(CommandLineTest, OptionsSetNodesAndFields) {
  run({"/{=note here", "/AL=5,2", "/AL7,3", "/AS=left", "/AT=Top", "/AE=end", "/AF=right",
       "/TS100000", "/ST8", "/WW72", "/EUD", "/ERF12N", "/sxc=abc", "/rp=def"});
  const auto nodes = filters();
  ASSERT_EQ(nodes.size(), 13u);
  EXPECT_EQ(dynamic_cast<TCommentObject &>(*nodes[0]).text, "note here");
  for (int i : {1, 2}) {
    auto &numbers = dynamic_cast<TLineNumberObject &>(*nodes[i]);
    EXPECT_EQ(numbers.start, i == 1 ? 5 : 7);
    EXPECT_EQ(numbers.increment, i == 1 ? 2 : 3);
  }
  const char *texts[] = {"left", "Top", "end", "right"};
  for (int k = 0; k < 4; ++k) {
    auto &text = dynamic_cast<TStringObject &>(*nodes[3 + k]);
    EXPECT_EQ(text.kind, k);
    EXPECT_EQ(text.text, texts[k]);
  }
  const std::pair<int, int> numbers[] = {{0, 100000}, {1, 8}, {2, 72}};
  for (int i = 0; i < 3; ++i) {
    auto &number = dynamic_cast<TNumberObject &>(*nodes[7 + i]);
    EXPECT_EQ(number.kind, numbers[i].first);
    EXPECT_EQ(number.number, numbers[i].second);
  }
  auto &eol = dynamic_cast<TEOLObject &>(*nodes[10]);
  EXPECT_FALSE(eol.removeBad);
  EXPECT_EQ(eol.convertFrom, 0);
  EXPECT_EQ(eol.convertTo, 2);
  // Not added yet: the search waits for its replace.
  auto &search = dynamic_cast<TSearchObject &>(*nodes[12]);
  EXPECT_EQ(search.searchString, "abc");
  EXPECT_EQ(search.replaceString, "def");
  EXPECT_EQ(search.patternType, 1);
  EXPECT_FALSE(search.ignoreCase);
  EXPECT_TRUE(search.promptOnReplace);
  EXPECT_FALSE(search.wholeWord);
  EXPECT_FALSE(search.caseSensitiveReplace);
  EXPECT_TRUE(invalid.empty());

  line->resetCommandLineWindow();
  run({"/ERF12N"});
  auto *fixed = only<TEOLObject>();
  ASSERT_NE(fixed, nullptr);
  EXPECT_TRUE(fixed->removeBad);
  EXPECT_EQ(fixed->convertFrom, 4);
  EXPECT_EQ(fixed->fixedLength, 12);
  EXPECT_EQ(fixed->convertTo, 3);

  line->resetCommandLineWindow();
  run({"/EXTENSION=Bak", "/OUTPUTFOLDER=/tmp/Out", "/MERGETOFILE=/tmp/All.txt", "/N", "/T+", "/BC",
       "/LOG=x", "/Q"});
  TOutputObject &output = *doc->outputNode();
  EXPECT_TRUE(output.changeExtension);
  EXPECT_EQ(output.newExtension, "Bak");
  EXPECT_TRUE(output.changeBaseDir);
  EXPECT_EQ(output.newBaseDir, "/tmp/Out");
  EXPECT_EQ(output.singleFilename, "/tmp/All.txt");
  EXPECT_EQ(output.outputToFile, TOutputObject::mergedFile);
  EXPECT_TRUE(output.retainDate);
  EXPECT_TRUE(output.testMode);
  EXPECT_EQ(doc->inputNode()->skipBinary, 2);
  EXPECT_TRUE(line->quitRequested());
  run({"/N", "/T", "/N+", "/T-"});
  EXPECT_TRUE(output.retainDate);
  EXPECT_FALSE(output.testMode);
}

TEST_F(CommandLineTest, InvalidAndFailingParameters) {
  // 4130 names the parameter; a value too long for a filter file adds why.
  run({"/R=x", "/XYZ", "/EUX", "/EQ", "/EXTENSION=" + std::string(256, 'e'),
       "/OUTPUTFOLDER=/" + std::string(255, 'f')});
  ASSERT_EQ(invalid.size(), 6u);
  EXPECT_EQ(invalid[0], "Invalid command line parameter\r\n/R=x");
  // A value longer than a filter file keeps says so.
  EXPECT_EQ(invalid[4], "Invalid command line parameter\r\n/EXTENSION=" + std::string(256, 'e') +
                            "\r\nThe extension is longer than 255 bytes");
  EXPECT_TRUE(invalid[5].ends_with("f\r\nThe output folder is longer than 255 bytes"));
  EXPECT_TRUE(filters().empty());
  EXPECT_FALSE(doc->outputNode()->changeExtension);
  EXPECT_EQ(line->exitStatus(), 2);
  // The longest values an output node keeps are taken whole.
  run({"/EXTENSION=" + std::string(255, 'e'), "/OUTPUTFOLDER=/" + std::string(254, 'f')});
  EXPECT_EQ(invalid.size(), 6u);
  EXPECT_EQ(doc->outputNode()->newExtension, std::string(255, 'e'));
  EXPECT_EQ(doc->outputNode()->newBaseDir.size(), 255u);
  // Numbers that are not numbers end the processing.
  for (const char *bad : {"/AL5", "/EFD", "/TSx"})
    EXPECT_THROW(line->processParameter(bad), EConvertError) << bad;
  // Plain names that look like codes are files.
  line->resetCommandLineWindow();
  run({"s", "TS", "W", "/AS"});
  EXPECT_TRUE(filters().empty());
  ASSERT_EQ(doc->filterList().files.size(), 3u);
  EXPECT_EQ(doc->filterList().files[1].pathMask, "TS");
}

TEST_F(CommandLineTest, StateAcrossParametersAndRuns) {
  run({"/I", "/I", "a.txt", "/I-", "b.txt", "/I+", "c.txt", "/I", "d.txt", "/I1",
       "/action=subtract", "e.txt", "/I3", "/ACTION=Add", "f.txt", "/I", "/ACTION=x"});
  const auto &files = doc->filterList().files;
  ASSERT_EQ(files.size(), 6u);
  EXPECT_EQ(files[0].subfolders, "All");
  EXPECT_EQ(files[1].subfolders, "None");
  EXPECT_EQ(files[2].subfolders, "All");
  EXPECT_EQ(files[3].subfolders, "None");
  EXPECT_EQ(files[4].subfolders, "1 level");
  EXPECT_EQ(files[4].action, "Subtract");
  EXPECT_EQ(files[5].subfolders, "3 levels");
  EXPECT_EQ(files[5].action, "Add");
  EXPECT_EQ(line->subfolders(), "None") << "levels toggle to none";
  EXPECT_EQ(invalid, std::vector<std::string>{"Invalid command line parameter\r\n/ACTION=x"});
  invalid.clear();
  // Where the output goes, and whether the input is the clipboard.
  run({"/INPUTCLIPBOARD", "/OUTPUTCLIPBOARD", "/KEEPSTRUCTURE+", "/APPEND", "/APPEND-"});
  EXPECT_FALSE(doc->inputNode()->inputFromFile);
  EXPECT_EQ(doc->outputNode()->outputToFile, TOutputObject::clipboard);
  EXPECT_TRUE(doc->outputNode()->keepStructure);
  EXPECT_FALSE(doc->outputNode()->appendMode);
  EXPECT_TRUE(invalid.empty());

  writeFile(dir.file("list.txt"), "x.txt\ny.txt\n");
  run({"/CU", "/L=" + dir.file("list.txt"), "/S=abc", "/G"});
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].filterName, "Command line - Untitled1");
  EXPECT_TRUE(jobs[0].loggingOn);
  // A bare name: the log goes beside the program, or into the data folder
  // when the program's folder may not be written.
  EXPECT_EQ(jobs[0].logFileName, "marrowen.log");
  // The pending search, the list file and the list went with the run.
  EXPECT_TRUE(filters().empty());
  // A later "/S" adds to the pending flags; only "/R" and "/G" use them up.
  run({"/SX=abc", "/SW=def", "/R=x", "/S=ghi", "/R=y", "/SC=a", "/G", "/S=b", "/R=z", "/TUTORIAL"});
  EXPECT_EQ(helpTopics, std::vector<int>{1300});
  ASSERT_EQ(jobs.size(), 2u);
  ASSERT_EQ(chains.size(), 2u);
  ASSERT_EQ(filters().size(), 1u);
  EXPECT_TRUE(dynamic_cast<TSearchObject &>(*filters()[0]).ignoreCase);
  line->resetCommandLineWindow();
  run({"/SX=abc", "/SW=def", "/R=x", "/S=ghi", "/R=y"});
  ASSERT_EQ(filters().size(), 2u);
  auto &first = dynamic_cast<TSearchObject &>(*filters()[0]);
  EXPECT_EQ(first.searchString, "def");
  EXPECT_EQ(first.patternType, 1);
  EXPECT_TRUE(first.wholeWord);
  auto &second = dynamic_cast<TSearchObject &>(*filters()[1]);
  EXPECT_EQ(second.patternType, 0);
  EXPECT_FALSE(second.wholeWord);
  // What the dialog last remembered does not make a replace prompt.
  auto remembered = TSearchObject::CreateDefault();
  remembered->promptOnReplace = remembered->caseSensitiveReplace = true;
  remembered->rememberDefaults();
  run({"/S=a", "/R=b", "/S=c", "/RpC=d"});
  ASSERT_EQ(filters().size(), 4u);
  EXPECT_FALSE(dynamic_cast<TSearchObject &>(*filters()[2]).promptOnReplace);
  EXPECT_FALSE(dynamic_cast<TSearchObject &>(*filters()[2]).caseSensitiveReplace);
  EXPECT_TRUE(dynamic_cast<TSearchObject &>(*filters()[3]).promptOnReplace);
  EXPECT_TRUE(dynamic_cast<TSearchObject &>(*filters()[3]).caseSensitiveReplace);
  line->resetCommandLineWindow();
  EXPECT_TRUE(doc->filterList().files.empty());
  run({"/R=def", "/DELETELISTFILE"});
  EXPECT_EQ(invalid.size(), 1u);
  EXPECT_TRUE(fileExists(dir.file("list.txt")));
  run({"/L=" + dir.file("list.txt"), "/DELETELISTFILE"});
  EXPECT_FALSE(fileExists(dir.file("list.txt")));

  // A list that does not validate reports and starts nothing.
  doc->filterList().nodes.pop_back();
  run({"/G"});
  EXPECT_EQ(jobs.size(), 2u);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(status.empty()) << "only the true error is shown";
  // A list that writes the clipboard writes no file with a new extension.
  doc->outputNode()->outputToFile = TOutputObject::clipboard;
  run({"/EXTENSION=bak", "/G"});
  EXPECT_EQ(jobs.size(), 2u);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[1].find("not to the files that /EXTENSION=bak asks for"), std::string::npos);
}

TEST_F(CommandLineTest, FilterFilesLoadThenInsert) {
  TFilterList a;
  a.resetToDefault();
  a.insertNode(2, TDescriptionObject::CreateWith(5), 1, true);
  a.files.push_back({"/data/*.txt", "All", "Add"});
  a.saveToFile(dir.file("a.fll"));
  TFilterList b;
  b.resetToDefault();
  b.insertNode(2, TDescriptionObject::CreateWith(6), 1, true);
  b.saveToFile(dir.file("b.fll"));
  run({"/F=" + dir.file("a.fll"), "/F=" + dir.file("b.fll"), "more.txt"});
  const auto nodes = filters();
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(dynamic_cast<TDescriptionObject &>(*nodes[0]).kind, 5);
  EXPECT_EQ(dynamic_cast<TDescriptionObject &>(*nodes[1]).kind, 6);
  EXPECT_EQ(doc->filterList().files.size(), 2u);
  EXPECT_THROW(line->processParameter("/F=" + dir.file("missing.fll")), std::exception);

  // A name relative to where the program started is kept whole, for the
  // recent files and for finding the window again.
  line->resetCommandLineWindow();
  {
    testing::WorkingFolder inFolder(dir.path());
    run({"/F=b.fll"});
  }
  EXPECT_EQ(doc->fileName(), dir.file("b.fll"));
}

// A user's default list may delete its inputs and skip the read-only
// question; the list the command line builds in a window does neither
// unless a filter file it loads asks to.
TEST_F(CommandLineTest, TheWindowsListDeletesInputsOnlyWhenAFilterFileAsks) {
  TFilterList normal;
  normal.resetToDefault();
  auto &asked = dynamic_cast<TInputObject &>(normal.node(1));
  asked.deleteInput = true;
  asked.promptOnReadOnly = false;
  normal.saveToFile(dir.file("normal.fll"));
  TchildForm window(1);
  ASSERT_TRUE(window.InputFilter()->deleteInput) << "a new window starts from the default";
  TCommandLine commandLine(window, {});
  commandLine.resetCommandLineWindow();
  EXPECT_FALSE(window.InputFilter()->deleteInput);
  EXPECT_TRUE(window.InputFilter()->promptOnReadOnly);
  commandLine.processParameter("/F=" + dir.file("normal.fll"));
  EXPECT_TRUE(window.InputFilter()->deleteInput);
}

TEST_F(CommandLineTest, SlashRuleTellsFilesFromOptions) {
  ::mkdir(dir.file("sub").c_str(), 0700);
  writeFile(dir.file("G"), "x");
  run({dir.file("G"), dir.file("sub"), dir.path() + "*.txt", "/a/b.txt", "/G=x/y", "./G", "/T+"});
  const auto &files = doc->filterList().files;
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(files[0].pathMask, dir.file("G"));
  EXPECT_EQ(files[1].pathMask, dir.file("sub") + "/*.*");
  EXPECT_EQ(files[2].pathMask, dir.path() + "*.txt");
  EXPECT_EQ(files[3].pathMask, "/a/b.txt");
  EXPECT_EQ(files[4].pathMask, "./G");
  EXPECT_EQ(invalid.size(), 1u); // "/G=x/y": the "/" after "=" makes no file
  EXPECT_TRUE(doc->outputNode()->testMode);
}

TEST_F(CommandLineTest, CommandFiles) {
  for (const char *end : {"\r\n", "\n", "\r"}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(end)));
    line->resetCommandLineWindow();
    invalid.clear();
    const std::string e = end;
    writeFile(dir.file("cmd.txt"),
              "/CU" + e + e + " /G" + e + "/Z=" + dir.file("cmd.txt") + e + "/DL" + e);
    line->processCommandFile("/z=" + dir.file("cmd.txt"));
    ASSERT_EQ(filters().size(), 2u);
    ASSERT_EQ(doc->filterList().files.size(), 1u);
    EXPECT_EQ(doc->filterList().files[0].pathMask, " /G");
    EXPECT_EQ(invalid.size(), 1u);
  }
  // Read back as the export writes it: its heading adds no files.
  writeFile(dir.file("export.txt"),
            "Marrowen Pro\r\nCopy this information into a text file,\r\nand load it into "
            "Marrowen via the command\r\nline using the /Z=commandfile parameter.\r\n\r\n/CU\r\n");
  line->resetCommandLineWindow();
  line->processCommandFile("/Z=" + dir.file("export.txt"));
  EXPECT_EQ(filters().size(), 1u);
  EXPECT_TRUE(doc->filterList().files.empty());
  // A file saved in the code page keeps its letters.
  writeFile(dir.file("old.txt"), "/S=caf\xE9\r\n/R=\xC4\r\n");
  line->resetCommandLineWindow();
  line->processCommandFile("/Z=" + dir.file("old.txt"));
  ASSERT_EQ(filters().size(), 1u);
  EXPECT_EQ(filters()[0]->generateCmdLine(), "/S=caf\xE9\r\n/R=\xC4");
  EXPECT_THROW(line->processCommandFile("/Z=" + dir.file("none.txt")), std::exception);
}

// A list without a window places and moves nodes by the window's rules,
// and adds files by the files grid's.
TEST(ListDocument, PlacesNodesAndFilesAsTheWindowDoes) {
  TListDocument doc; // top, input, output
  doc.select(-1);
  EXPECT_EQ(doc.addFilter(TCommentObject::CreateWith("a")), 2);
  // The output selected: before it.
  doc.select(3);
  EXPECT_EQ(doc.addFilter(TCommentObject::CreateWith("b")), 3);
  // The top selected: after the input.
  doc.select(0);
  EXPECT_EQ(doc.addFilter(TCommentObject::CreateWith("c")), 2);
  // c a b: move b under c, then a under b; a new node after a child is its sibling.
  doc.MoveTreeNode(4, 2);
  EXPECT_EQ(doc.selectedIndex(), 3);
  doc.MoveTreeNode(4, 3);
  EXPECT_EQ(doc.selectedIndex(), 4);
  EXPECT_EQ(doc.addFilter(TCommentObject::CreateWith("d")), 5);
  TFilterList &list = doc.filterList();
  std::string shape;
  for (const auto &entry : list.nodes)
    shape += std::to_string(entry.level);
  EXPECT_EQ(shape, "0112331");
  EXPECT_EQ(dynamic_cast<TCommentObject &>(list.node(5)).text, "d");
  // Under itself: nothing moves.
  doc.MoveTreeNode(2, 4);
  EXPECT_EQ(doc.selectedIndex(), 2);
  EXPECT_EQ(list.count(), 7);

  doc.testThenAdd("/a/*.txt");
  doc.setLastSubfolders("3 levels");
  doc.testThenAdd("/b/*.txt");
  doc.addFileFromActiveX("/c", 255, 2);
  ASSERT_EQ(list.files.size(), 3u);
  EXPECT_EQ(list.files[1].subfolders, "3 levels") << "a new row takes the last row's choices";
  EXPECT_EQ(list.files[2].subfolders, "All");
  EXPECT_EQ(list.files[2].action, "Subtract");
}

TEST_F(ProgramRun, ExitStatusTellsHowTheJobsWent) {
  const std::string example = MARROWEN_SOURCE_DIR "/examples/";
  writeFile(dir.file("in.txt"), "abc 12\n");
  // The example, as the README runs it.
  Result ok = start({"/F=" + QString::fromStdString(example + "example.fll"),
                     "/MERGETOFILE=" + file("out.txt"), "/I-",
                     QString::fromStdString(example + "sample.txt"), "/G", "/Q"});
  EXPECT_EQ(ok.status, 0) << ok.errors;
  EXPECT_EQ(readFile(dir.file("out.txt")), readFile(example + "expected-output.txt"));
  // Cron mails what a run writes: one that went well writes nothing.
  EXPECT_EQ(ok.errors, "");
  // Two jobs from a command file run before the quit, "/Q" given before them
  // on the command line or in the file.
  const std::string jobs = "/CU\n" + dir.file("in.txt") + "\n/MERGETOFILE=" + dir.file("one.txt") +
                           "\n/G\n/CL\n" + dir.file("in.txt") +
                           "\n/MERGETOFILE=" + dir.file("two.txt") + "\n/G\n";
  for (bool inFile : {false, true}) {
    writeFile(dir.file("two.cmd"), (inFile ? "/Q\n" : "") + jobs);
    writeFile(dir.file("one.txt"), "");
    writeFile(dir.file("two.txt"), "");
    Result both =
        inFile ? start({"/Z=" + file("two.cmd")}) : start({"/Q", "/Z=" + file("two.cmd")});
    EXPECT_EQ(both.status, 0) << both.errors;
    EXPECT_EQ(readFile(dir.file("one.txt")), "ABC 12\n");
    EXPECT_EQ(readFile(dir.file("two.txt")), "abc 12\n");
  }
  // A job that reports an error.
  Result failed =
      start({"/CU", file("missing-dir/") + "x.txt", "/MERGETOFILE=" + file("o.txt"), "/G", "/Q"});
  EXPECT_EQ(failed.status, 1) << failed.errors;
  // What the command line reports itself.
  TFilterList broken;
  broken.resetToDefault();
  broken.insertNode(2, std::make_unique<TSearchObject>(), 1, true); // nothing to find
  broken.saveToFile(dir.file("broken.fll"));
  for (const QStringList &arguments :
       {QStringList{"/F=" + file("none.fll"), "/G", "/Q"},
        QStringList{"/F=" + file("broken.fll"), "/G", "/Q"}, QStringList{"/AL5", "/G", "/Q"},
        QStringList{"/XYZ", "/Q"}}) {
    Result result = start(arguments);
    EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
    EXPECT_FALSE(result.errors.empty());
    EXPECT_EQ(result.errors.find("no filters have been specified"), std::string::npos)
        << result.errors;
  }
  EXPECT_NE(start({"/XYZ", "/Q"}).errors.find("Invalid command line parameter"), std::string::npos);
}

// What a Linux user types on the command line is UTF-8 and finds what a
// UTF-8 file holds: whole letters, lists of them, words and case.
// ... and what its Windows-1252 copy holds, each written in its own form; the
// command file and the list of files begin with the byte-order mark an
// editor wrote.
TEST_F(ProgramRun, TypedTextsFindWhatAUtf8FileHolds) {
  const std::string l1 = "\u00dcber \u00fcber \u00dcBER\n", l2 = "K\u00f6ln ln\n",
                    l3 = "\u03a3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2 "
                         "\u03c3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2\n",
                    l4 = "Gr\u00fc\u00dfe aus K\u00f6ln\n";
  const auto cp = CodePage::create("windows-1252");
  // The copy lacks the Greek line, which the code page cannot hold.
  auto inCodePage = [&](const std::string &text) {
    const std::size_t greek = text.find('\n', text.find('\n', text.find('\n') + 1) + 1);
    const std::size_t before = text.rfind('\n', greek - 1);
    return cp->fromUtf8(text.substr(0, before + 1) + text.substr(greek + 1));
  };
  writeFile(dir.file("in.txt"), l1 + l2 + l3 + l4);
  writeFile(dir.file("in1252.txt"), inCodePage(l1 + l2 + l3 + l4));
  writeFile(dir.file("list.txt"),
            "\xEF\xBB\xBF" + dir.file("in.txt") + "\n" + dir.file("in1252.txt") + "\n");
  struct Job {
    std::string search, replace, expected;
  };
  const Job jobs[] = {
      {"/S=\u00fcber", "/R=X", "X X X\n" + l2 + l3 + l4},
      {"/SC=\u00fcber", "/R=X", "\u00dcber X \u00dcBER\n" + l2 + l3 + l4},
      {"/S=\u03c3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2", "/R=X", l1 + l2 + "X X\n" + l4},
      {"/SX=\u00fc.", "/R=X", "Xer Xer XER\n" + l2 + l3 + "GrXe aus K\u00f6ln\n"},
      {"/SX=[\u00e4\u00f6\u00fc]", "/R=_",
       "_ber _ber _BER\nK_ln ln\n" + l3 + "Gr_\u00dfe aus K_ln\n"},
      {"/SX=\\w+", "/R=W", "W W W\nW W\nW W\nW W W\n"},
      {"/SX=K..l", "/R=X", l1 + l2 + l3 + l4},
      {"/SX=[^a-z\\n]", "/R=_", "_ber__ber__BER\nK_ln_ln\n_______________\nGr__e_aus_K_ln\n"},
      {"/SW=ln", "/R=X", l1 + "K\u00f6ln X\n" + l3 + l4},
      {"/SC=\u00f6", "/R=\u00e4", l1 + "K\u00e4ln ln\n" + l3 + "Gr\u00fc\u00dfe aus K\u00e4ln\n"},
  };
  std::string commands;
  for (std::size_t i = 0; i < std::size(jobs); ++i)
    commands += "/BP\n/I-\n/L=" + dir.file("list.txt") + "\n" + jobs[i].search + "\n" +
                jobs[i].replace + "\n/MERGETOFILE=" + dir.file("out" + std::to_string(i)) +
                "\n/G\n";
  writeFile(dir.file("jobs.cmd"), "\xEF\xBB\xBF" + commands + "/Q\n");
  Result run = start({"/Z=" + file("jobs.cmd")});
  EXPECT_EQ(run.status, 0) << run.errors;
  for (std::size_t i = 0; i < std::size(jobs); ++i)
    EXPECT_EQ(readFile(dir.file("out" + std::to_string(i))),
              jobs[i].expected + inCodePage(jobs[i].expected))
        << jobs[i].search;
}

// A filter file that reads or writes the clipboard, given files or an output
// folder on the command line, runs nothing and says why; the next list still
// runs, and a clipboard chosen on the command line itself is kept.
TEST_F(ProgramRun, AClipboardListGivenFilesOrAFolderRunsNothing) {
  constexpr auto npos = std::string::npos;
  TFilterList clip;
  clip.resetToDefault();
  clip.insertNode(2, TDescriptionObject::CreateWith(5), 1, true);
  dynamic_cast<TInputObject &>(clip.node(1)).inputFromFile = false;
  dynamic_cast<TOutputObject &>(clip.node(3)).outputToFile = TOutputObject::clipboard;
  clip.saveToFile(dir.file("clip.fll"));
  writeFile(dir.file("in.txt"), "abc\n");
  Result files = start({"/F=" + file("clip.fll"), "/I-", file("in.txt"), "/G", "/Q"});
  EXPECT_EQ(files.status, 2);
  EXPECT_NE(files.errors.find("reads its input from the clipboard: the files named on the "
                              "command line would not be read"),
            npos)
      << files.errors;
  EXPECT_EQ(readFile(dir.file("in.txt")), "abc\n");
  Result folder = start({"/F=" + file("clip.fll"), "/OUTPUTFOLDER=" + file("out"), "/G", "/CU",
                         "/MERGETOFILE=" + file("next.txt"), file("in.txt"), "/G", "/Q"});
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.errors.find("writes its output to the clipboard, not to the files that "
                               "/OUTPUTFOLDER=" +
                               dir.file("out") + " asks for"),
            npos)
      << folder.errors;
  EXPECT_EQ(readFile(dir.file("next.txt")), "ABC\n") << folder.errors;
  // As a clipboard list exports itself: its grid's files follow the option.
  // With no display it finds no clipboard to read (below).
  Result chosen =
      start({"/F=" + file("clip.fll"), "/INPUTCLIPBOARD", "/I-", file("in.txt"), "/G", "/Q"});
  EXPECT_EQ(chosen.status, 1) << chosen.errors;
  EXPECT_EQ(chosen.errors.find("files named on the command line"), npos) << chosen.errors;
  EXPECT_EQ(readFile(dir.file("in.txt")), "abc\n");
}

// With no display no other program shares the clipboard: a list that writes
// it (and would delete its inputs) or reads it runs nothing, says why on
// standard error and in the log, and the run ends with status 1, not as a
// success; the next list of the run still runs.
TEST_F(ProgramRun, WithoutADisplayTheClipboardIsAnErrorNotASuccess) {
  constexpr auto npos = std::string::npos;
  TFilterList deleting;
  deleting.resetToDefault();
  deleting.insertNode(2, TDescriptionObject::CreateWith(5), 1, true);
  auto &input = dynamic_cast<TInputObject &>(deleting.node(1));
  input.inputFromFile = true;
  input.deleteInput = true;
  dynamic_cast<TOutputObject &>(deleting.node(3)).outputToFile = TOutputObject::clipboard;
  deleting.saveToFile(dir.file("deleting.fll"));
  writeFile(dir.file("in.txt"), "abc\n");
  Result written = start({"/F=" + file("deleting.fll"), "/I-", file("in.txt"), "/G", "/CU",
                          "/MERGETOFILE=" + file("next.txt"), file("in.txt"), "/G", "/Q"});
  EXPECT_EQ(written.status, 1);
  const std::string unwritten = "There is no clipboard to put the output on: the program runs "
                                "without a display, and no other program could read it";
  EXPECT_NE(written.errors.find(unwritten), npos) << written.errors;
  EXPECT_EQ(readFile(dir.file("in.txt")), "abc\n");
  EXPECT_EQ(readFile(dir.file("next.txt")), "ABC\n") << written.errors;

  Result read = start({"/INPUTCLIPBOARD", "/CU", "/MERGETOFILE=" + file("out.txt"), "/G", "/Q"});
  EXPECT_EQ(read.status, 1);
  const std::string unread = "There is no clipboard to read the input from";
  EXPECT_NE(read.errors.find(unread), npos) << read.errors;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));

  const std::string log = readFile(programsOwn("marrowen.log").string());
  EXPECT_NE(log.find(unwritten), npos);
  EXPECT_NE(log.find(unread), npos);
}

// The system failing under a run, as a failing disk or a network file system
// fails: each failure is told on standard error with the file and its cause,
// the run ends with status 1, and nothing else is lost.
TEST_F(ProgramRun, AFailingSystemIsToldAndCostsNothingElse) {
  constexpr auto npos = std::string::npos;
  writeFile(dir.file("a.txt"), "TEXT OF A\n");
  writeFile(dir.file("b.txt"), "TEXT OF B\n");
  writeFile(dir.file("c.txt"), "TEXT OF C\n");
  // An input that cannot be opened takes nothing from the merged file.
  Result unopened = start({"/MERGETOFILE=" + file("m.txt"), "/I-", file("a.txt"), file("b.txt"),
                           file("c.txt"), "/G", "/Q"},
                          {"MARROWEN_FAIL_OPEN=b.txt"});
  EXPECT_EQ(unopened.status, 1);
  EXPECT_NE(unopened.errors.find("Cannot open file " + dir.file("b.txt")), npos);
  EXPECT_EQ(readFile(dir.file("m.txt")), "TEXT OF A\nTEXT OF C\n");
  // A read error names the file and the cause; an overflow, the node too.
  Result unread = start({"/CU", "/I-", file("a.txt"), "/G", "/Q"}, {"MARROWEN_FAIL_READ=a.txt"});
  EXPECT_EQ(unread.status, 1);
  EXPECT_NE(unread.errors.find("Cannot read file " + dir.file("a.txt") + ". Input/output error"),
            npos)
      << unread.errors;
  std::string lines;
  for (int i = 0; i < 60; ++i)
    lines += "line\n";
  writeFile(dir.file("lines.txt"), lines);
  Result overflow = start({"/AL=2147483640,1", "/I-", file("lines.txt"), "/G", "/Q"});
  EXPECT_EQ(overflow.status, 1);
  EXPECT_NE(overflow.errors.find("Arithmetic overflow in 'Add line numbers (2147483640,1)"), npos)
      << overflow.errors;
  EXPECT_NE(overflow.errors.find("while processing [" + dir.file("lines.txt") + "]"), npos);
  EXPECT_EQ(readFile(dir.file("lines.txt")), lines);
  // An append whose close fails (a network disk's failed write-back) says
  // what the file holds then, as its length shows.
  for (bool cutFails : {false, true}) {
    writeFile(dir.file("t.txt"), "old 11 byte");
    QStringList faults = {"MARROWEN_FAIL_CLOSE=t.txt"};
    if (cutFails)
      faults << "MARROWEN_FAIL_TRUNCATE=t.txt";
    Result closed = start(
        {"/MERGETOFILE=" + file("t.txt"), "/APPEND+", "/I-", file("c.txt"), "/G", "/Q"}, faults);
    EXPECT_EQ(closed.status, 1);
    const std::string holds = readFile(dir.file("t.txt"));
    EXPECT_EQ(holds, cutFails ? "old 11 byteTEXT OF C\n" : "old 11 byte");
    EXPECT_NE(closed.errors.find(cutFails ? "could not be cut back to the 11 bytes it held "
                                            "before (Input/output error) and now holds 21 bytes"
                                          : "it was cut back to the 11 bytes it held before"),
              npos)
        << closed.errors;
  }
  // So does the external program's data file: the program does not run on
  // what may be part of the text, and the file has no output.
  TFilterList external;
  external.resetToDefault();
  auto program = std::make_unique<TExecuteObject>();
  program->commandLine = "cp " + dir.file("data.txt") + " " + dir.file("result.txt");
  program->programOutputFilename = dir.file("data.txt");
  program->programInputFilename = dir.file("result.txt");
  external.insertNode(2, std::move(program), 1, true);
  for (int i = 0; i < external.count(); ++i)
    if (auto *input = dynamic_cast<TInputObject *>(&external.node(i)))
      input->inputFromFile = true;
  external.saveToFile(dir.file("external.fll"));
  Result unsent = start({"/F=" + file("external.fll"), "/MERGETOFILE=" + file("x.txt"), "/I-",
                         file("c.txt"), "/G", "/Q"},
                        {"MARROWEN_FAIL_CLOSE=data.txt"});
  EXPECT_EQ(unsent.status, 1);
  EXPECT_NE(
      unsent.errors.find("Cannot write file " + dir.file("data.txt") + ". Input/output error"),
      npos)
      << unsent.errors;
  EXPECT_FALSE(fileExists(dir.file("result.txt")));
  // A log that cannot be written is an error of the run.
  Result unlogged = start({"/CU", "/I-", file("c.txt"), "/G", "/Q"}, {"MARROWEN_FAIL_OPEN=.log"});
  EXPECT_EQ(unlogged.status, 1);
  EXPECT_NE(unlogged.errors.find("logging is now disabled"), npos) << unlogged.errors;
  EXPECT_EQ(readFile(dir.file("c.txt")), "TEXT OF C\n");
}

// Standard error into a pipe whose reader has gone (a closed terminal, a log
// collector that died) does not end the run at its first error line.
TEST_F(ProgramRun, AStandardErrorNobodyReadsDoesNotEndTheRun) {
  for (int i = 0; i < 10; ++i)
    writeFile(dir.file("f" + std::to_string(i) + ".txt"), "text\n");
  // As a shell runs "marrowen ... 2>&1 | true", telling the program's status.
  QProcess program;
  prepare(program, {"MARROWEN_FAIL_OPEN=f3.txt"});
  program.start("bash", {"-c", "\"$@\" 2>&1 | true; exit \"${PIPESTATUS[0]}\"", "run",
                         MARROWEN_BINARY, "/CU", "/I-", file("f*.txt"), "/G", "/Q"});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 1);
  EXPECT_EQ(readFile(dir.file("f9.txt")), "TEXT\n");
  EXPECT_EQ(readFile(dir.file("f3.txt")), "text\n");
}

// Another program on the files a run names: a target it is appending to is
// left to it; a name is the file spelt so, a backslash a letter of it.
TEST_F(ProgramRun, AnotherProgramsFilesAreLeftToIt) {
  constexpr auto npos = std::string::npos;
  writeFile(dir.file("in.txt"), "mine\n");
  writeFile(dir.file("t.txt"), "theirs\n");
  Result held;
  {
    HeldForWriting theirs(dir.file("t.txt"));
    ASSERT_TRUE(theirs.held());
    held = start({"/MERGETOFILE=" + file("t.txt"), "/APPEND+", "/I-", file("in.txt"), "/G", "/Q"});
  }
  EXPECT_EQ(held.status, 1);
  EXPECT_NE(held.errors.find("Couldn't append to file [" + dir.file("t.txt") +
                             "]: another program is writing it"),
            npos)
      << held.errors;
  EXPECT_EQ(readFile(dir.file("t.txt")), "theirs\n");

  for (const char *name : {"report.txt", "REPORT.TXT", "Report.Txt", "back\\slash.txt"})
    writeFile(dir.file(name), "x\n");
  Result spelt = start({"/CU", "/I-", file("report.txt"), file("back\\slash.txt"), "/G", "/Q"});
  EXPECT_EQ(spelt.status, 0) << spelt.errors;
  EXPECT_EQ(readFile(dir.file("report.txt")) + readFile(dir.file("REPORT.TXT")) +
                readFile(dir.file("Report.Txt")) + readFile(dir.file("back\\slash.txt")),
            "X\nx\nx\nX\n");
}

// A second filter file adds its filters after the first's, in the window the
// program really uses, not before the input node.
TEST_F(ProgramRun, SecondFilterFileRunsAfterTheFirst) {
  for (const auto &[name, kind] : {std::pair{"upper.fll", 5}, std::pair{"lower.fll", 6}}) {
    TFilterList list;
    list.resetToDefault();
    list.insertNode(2, TDescriptionObject::CreateWith(kind), 1, true);
    dynamic_cast<TInputObject &>(list.node(1)).inputFromFile = true;
    dynamic_cast<TOutputObject &>(list.node(3)).outputToFile = TOutputObject::files;
    list.saveToFile(dir.file(name));
  }
  writeFile(dir.file("in.txt"), "Mixed Case\n");
  Result run = start({"/F=" + file("upper.fll"), "/F=" + file("lower.fll"),
                      "/MERGETOFILE=" + file("out.txt"), "/I-", file("in.txt"), "/G", "/Q"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(readFile(dir.file("out.txt")), "mixed case\n") << run.errors;
}

// One hostile case for each way an unattended run could fail quietly: each
// ends with a failure status and its reason on standard error, and leaves
// the files as they were.
TEST_F(ProgramRun, HostileRunsFailClearlyAndTouchNothing) {
  constexpr auto npos = std::string::npos;
  writeFile(dir.file("merged.txt"), "kept");
  writeFile(dir.file("in.txt"), "abc\n");
  // A misspelt input: the merged target is not emptied.
  Result typo =
      start({"/CU", file("mispelt.txt"), "/MERGETOFILE=" + file("merged.txt"), "/G", "/Q"});
  EXPECT_EQ(typo.status, 1);
  EXPECT_NE(typo.errors.find("no file matches " + dir.file("mispelt.txt")), npos) << typo.errors;
  EXPECT_EQ(readFile(dir.file("merged.txt")), "kept");
  // A pipe named as input is left out, and said so.
  ASSERT_EQ(::mkfifo(dir.file("pipe.txt").c_str(), 0600), 0);
  Result pipe = start({"/CU", file("pipe.txt"), "/G", "/Q"});
  EXPECT_EQ(pipe.status, 1);
  EXPECT_NE(pipe.errors.find("it is a pipe, not a regular file"), npos) << pipe.errors;
  // A target name too long to rename to: nothing stays under a random name.
  Result tooLong = start({"/CU", file("in.txt"), "/EXTENSION=" + QString(255, 'x'), "/G", "/Q"});
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_NE(tooLong.errors.find("Couldn't move file"), npos) << tooLong.errors;
  EXPECT_EQ(dir.listing().find("KVB"), npos) << dir.listing();
  // Endless command and list files are refused, not read.
  for (const char *parameter : {"/Z=/dev/zero", "/L=/dev/zero"}) {
    Result endless = start({parameter, "/G", "/Q"});
    EXPECT_EQ(endless.status, 2) << parameter;
    EXPECT_NE(endless.errors.find("It is not a regular file"), npos) << endless.errors;
  }
  // Nobody can answer a prompt to replace: the file stops and stays.
  Result prompt = start({"/S=abc", "/RP=x", file("in.txt"), "/G", "/Q"});
  EXPECT_EQ(prompt.status, 1);
  EXPECT_NE(prompt.errors.find("Cannot ask whether to replace without a window"), npos)
      << prompt.errors;
  EXPECT_EQ(readFile(dir.file("in.txt")), "abc\n");
  // A start that asks for nothing shows no wizard or tip on standard error.
  Result plain = start({"/Q"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.errors.find("Wizard"), npos) << plain.errors;
  EXPECT_EQ(plain.errors.find("Tip of the day"), npos) << plain.errors;
}

// A script that ends the program says so; the program quits. One that never
// returns is interrupted by SIGTERM at once, the job's temporary file goes, and
// standard error tells the job was stopped by the signal.
TEST_F(ProgramRun, ScriptsThatEndTheProgramOrNeverReturn) {
  const auto save = [&](const char *name, const std::string &processLine) {
    TFilterList list;
    list.resetToDefault();
    auto node = TScriptObject::CreateDefault();
    node->language = "JScript";
    node->script = "function startJob() {}\nfunction endJob() {}\n"
                   "function startFile() { return ''; }\nfunction endFile() { return ''; }\n" +
                   processLine;
    list.insertNode(2, std::move(node), 1, true);
    for (int i = 0; i < list.count(); ++i)
      if (auto *input = dynamic_cast<TInputObject *>(&list.node(i)))
        input->inputFromFile = true;
    list.saveToFile(dir.file(name));
  };
  writeFile(dir.file("in.txt"), "abc\n");
  writeFile(dir.file("out.txt"), "old");
  save("quit.fll", "function processLine(line, EOL) { Marrowen.terminateMarrowen(); return ''; }");
  const QStringList run = {"/MERGETOFILE=" + file("out.txt"), "/I-", file("in.txt"), "/G"};
  Result quit = start(QStringList{"/F=" + file("quit.fll")} + run);
  EXPECT_EQ(quit.status, 1);
  EXPECT_NE(quit.errors.find("ended the program (terminateMarrowen)"), std::string::npos)
      << quit.errors;

  save("endless.fll", "function processLine(line, EOL) { for (;;) {} }");
  QProcess endless;
  launch(endless, QStringList{"/F=" + file("endless.fll")} + run + QStringList{"/Q"});
  // The output's file, which has no name until it is whole, shows that the
  // job is writing.
  const auto writing = [&] {
    const std::string fds = "/proc/" + std::to_string(endless.processId()) + "/fd";
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(fds, error)) {
      const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
      if (target.starts_with(dir.path()) && target.ends_with(" (deleted)"))
        return true;
    }
    return false;
  };
  ASSERT_TRUE(waitFor(writing, 30000));
  QElapsedTimer stopping;
  stopping.start();
  terminateProgram(endless);
  ASSERT_TRUE(endless.waitForFinished(30000));
  // Within seconds (the program's own grace is under one), not at the wait's end.
  EXPECT_LT(stopping.elapsed(), 15000);
  EXPECT_EQ(dir.listing().find("KVB"), std::string::npos) << dir.listing();
  EXPECT_EQ(readFile(dir.file("out.txt")), "old");
  // Nobody aborted it: the program was ended, and says so.
  const std::string errors = endless.readAllStandardError().toStdString();
  EXPECT_NE(errors.find("Job stopped by signal SIGTERM. 0 of 1 files processed"), std::string::npos)
      << errors;
}

// A display named where nothing answers (a DISPLAY that tmux or cron kept, a
// closed ssh -X forward, a Wayland socket that is gone) aborts nothing: a run
// that needs no window runs, saying once that the display could not be
// opened; a start that needs one says so and ends with status 2.
TEST_F(ProgramRun, ADisplayThatIsNotThere) {
  int number = 77;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
         std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
    ++number;
  const QString x = ':' + QString::number(number);
  for (const QString &display :
       {"DISPLAY=" + x, "DISPLAY=localhost" + x + ".0", "WAYLAND_DISPLAY=gone-" + x.mid(1)}) {
    variables = {display, "XDG_RUNTIME_DIR=" + QString::fromStdString(dir.path())};
    const std::string unopened = "cannot open display " + display.section('=', 1).toStdString();
    writeFile(dir.file("a.txt"), "abc\n");
    const Result run = start({"/CU", "/I-", file("a.txt"), "/G", "/Q"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(readFile(dir.file("a.txt")), "ABC\n") << display.toStdString();
    const std::size_t said = run.errors.find(unopened);
    EXPECT_TRUE(said != std::string::npos &&
                run.errors.find(unopened, said + 1) == std::string::npos)
        << run.errors;
    const Result window = start({file("a.txt")});
    EXPECT_EQ(window.status, 2);
    EXPECT_EQ(window.errors, unopened + "\n");
  }
  // The same with QT_QPA_PLATFORM=xcb, as a desktop sets it for every
  // program, and with /G /Q in a command file, as cron runs one.
  variables = {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + x};
  writeFile(dir.file("a.txt"), "abc\n");
  writeFile(dir.file("run.txt"), "/CU\n/I-\n" + dir.file("a.txt") + "\n/G\n/Q\n");
  const Result run = start({"/Z=" + file("run.txt")});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(readFile(dir.file("a.txt")), "ABC\n");
  EXPECT_EQ(start({}).status, 2);
}

// Command-line runs, whatever they give their nodes, leave the values a user
// confirmed in the nodes' dialogs: settings.ini is the same bytes after them.
TEST_F(ProgramRun, CommandLineRunsLeaveTheRememberedValues) {
  writeFile(dir.file("in.txt"), "abc\n");
  TFilterList list;
  list.resetToDefault();
  list.insertNode(2, TDescriptionObject::CreateWith(6), 1, true);
  dynamic_cast<TInputObject &>(list.node(1)).inputFromFile = true;
  dynamic_cast<TOutputObject &>(list.node(3)).outputToFile = TOutputObject::files;
  list.saveToFile(dir.file("lower.fll"));
  const QStringList merged = {file("in.txt"), "/CU", "/MERGETOFILE=" + file("out.txt"), "/G", "/Q"};
  const QStringList loaded = {"/F=" + file("lower.fll"),
                              "/BP",
                              "/T",
                              "/OUTPUTFOLDER=" + QString::fromStdString(dir.path()),
                              file("in.txt"),
                              "/G",
                              "/Q"};
  // The first run writes the settings and the recent files.
  const Result made = start(loaded);
  ASSERT_EQ(made.status, 0) << made.errors;
  const std::string store = dir.file("config/Ostrevan/Marrowen/settings.ini");
  {
    SettingsStore settings(store);
    settings.writeInteger(program::registryKey, "skipBinary", 2);
    settings.writeInteger(program::registryKey, "binarySampleSize", 200);
    settings.writeBool(program::registryKey, "promptOnReadOnly", false);
  }
  const std::string before = readFile(store);
  for (const QStringList &run : {merged, loaded}) {
    const Result result = start(run);
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(readFile(store), before) << run.join(' ').toStdString();
  }
  EXPECT_EQ(readFile(dir.file("out.txt")), "ABC\n");
}

// Two copies of the program at once: each keeps the filter files the other
// opened in the recent files, newest first, whichever quits last.
TEST_F(ProgramRun, TwoProgramsKeepEachOthersRecentFiles) {
  for (const char *name : {"a.fll", "b.fll"}) {
    TFilterList list;
    list.resetToDefault();
    list.saveToFile(dir.file(name));
  }
  const std::string store = dir.file("config/Ostrevan/Marrowen/settings.ini");
  const auto recent = [&](int i) {
    return SettingsStore(store).readString("fileHistory", "Item_" + std::to_string(i), "");
  };
  QProcess first;
  launch(first, {"/F=" + file("a.fll")});
  ASSERT_TRUE(waitFor([&] { return recent(0) == dir.file("a.fll"); }, 30000));
  Result second = start({"/F=" + file("b.fll"), "/Q"});
  EXPECT_EQ(second.status, 0) << second.errors;
  terminateProgram(first);
  ASSERT_TRUE(first.waitForFinished(30000));
  EXPECT_EQ(recent(0), dir.file("b.fll"));
  EXPECT_EQ(recent(1), dir.file("a.fll"));
}

// SIGTERM while a command file is read ends the reading first, then the
// program, with status 1: the window the file fills is not freed under it.
TEST_F(ProgramRun, ASignalWhileACommandFileIsReadEndsTheReadingFirst) {
  writeFile(dir.file("in.txt"), "abc\n");
  std::string lines =
      "/CU\n" + dir.file("in.txt") + "\n/MERGETOFILE=" + dir.file("out.txt") + "\n/G\n";
  for (int i = 0; i < 100000; ++i)
    lines += "/{=comment " + std::to_string(i) + "\n";
  writeFile(dir.file("long.cmd"), lines + "/CL\n" + dir.file("in.txt") + "\n/G\n");
  QProcess program;
  launch(program, {"/Z=" + file("long.cmd"), "/Q"});
  ASSERT_TRUE(waitFor([&] { return fileExists(dir.file("out.txt")); }, 30000));
  terminateProgram(program);
  ASSERT_TRUE(program.waitForFinished(30000));
  const std::string errors = program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  // Stopped, it did not do all it was asked to, and says so.
  EXPECT_EQ(program.exitCode(), 1) << errors;
  EXPECT_NE(errors.find("Stopped by signal SIGTERM"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("AddressSanitizer"), std::string::npos) << errors;
  EXPECT_EQ(readFile(dir.file("out.txt")), "ABC\n") << "the last lines were not read";
}

// SIGTERM while the program starts, filling a new language file beside
// itself one text at a time, ends it with status 1 and leaves no temporary
// file there.
TEST_F(ProgramRun, ASignalWhileTheProgramStartsLeavesNoTemporaryFile) {
  const std::string language = "Starting" + std::to_string(::getpid());
  const std::filesystem::path languages = programsOwn("Languages");
  const std::filesystem::path languageFile = languages / (language + ".ini");
  std::filesystem::create_directories(dir.file("config/Ostrevan/Marrowen"));
  writeFile(dir.file("config/Ostrevan/Marrowen/settings.ini"),
            "[SOFTWARE\\Ostrevan\\Marrowen]\n\"Language\"=\"" + language + "\"\n");
  auto leftovers = [&] {
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(languages))
      count += entry.path().filename().string().starts_with(language + ".ini.~");
    return count;
  };
  QProcess program;
  launch(program, {"/Q"});
  const bool started = waitFor([&] { return std::filesystem::exists(languageFile); }, 30000);
  terminateProgram(program);
  ASSERT_TRUE(program.waitForFinished(30000));
  std::filesystem::remove(languageFile);
  ASSERT_TRUE(started);
  const std::string errors = program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 1) << errors;
  EXPECT_NE(errors.find("SIGTERM"), std::string::npos) << errors;
  EXPECT_EQ(leftovers(), 0);
}

// SIGTERM ends the external program a job runs, even one that ignores the
// signal and outlasts the program's own grace.
TEST_F(ProgramRun, ASignalEndsTheExternalProgramOfAJob) {
  TFilterList list;
  list.resetToDefault();
  auto node = std::make_unique<TExecuteObject>();
  node->commandLine = "sh stubborn.sh input.txt output.txt";
  list.insertNode(2, std::move(node), 1, true);
  for (int i = 0; i < list.count(); ++i)
    if (auto *input = dynamic_cast<TInputObject *>(&list.node(i)))
      input->inputFromFile = true;
  list.saveToFile(dir.file("stubborn.fll"));
  writeFile(dir.file("stubborn.sh"), "trap '' TERM; echo $$ > started.tmp; mv started.tmp started; "
                                     "exec sleep 60\n");
  writeFile(dir.file("in.txt"), "abc\n");
  QProcess program;
  launch(program, {"/F=" + file("stubborn.fll"), "/MERGETOFILE=" + file("out.txt"), "/I-",
                   file("in.txt"), "/G", "/Q"});
  ASSERT_TRUE(waitFor([&] { return fileExists(dir.file("started")); }, 30000));
  const int helper = std::stoi(readFile(dir.file("started")));
  // Gone, or a zombie that whoever adopted it has still to reap.
  const auto running = [helper] {
    const std::string stat = "/proc/" + std::to_string(helper) + "/stat";
    return fileExists(stat) && readFile(stat).find(") Z ") == std::string::npos;
  };
  terminateProgram(program);
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_TRUE(waitFor([&] { return !running(); }, 5000));
  if (running())
    ::kill(helper, SIGKILL);
}

TEST_F(ProgramRun, ScriptAndDatabaseNodesRunInTheProgram) {
  const std::string lists = MARROWEN_SOURCE_DIR "/bench/lists/";
  // The stored list reads the clipboard; here it reads the words file.
  TFilterList list;
  list.loadFromFile(lists + "script-database.fll");
  for (int i = 0; i < list.count(); ++i)
    if (auto *input = dynamic_cast<TInputObject *>(&list.node(i)))
      input->inputFromFile = true;
  list.saveToFile(dir.file("list.fll"));
  Result result = start({"/F=" + file("list.fll"), "/MERGETOFILE=" + file("out.txt"), "/I-",
                         QString::fromStdString(lists + "words.txt"), "/G", "/Q"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(readFile(dir.file("out.txt")), readFile(lists + "script-database.expected"));
}

} // namespace
} // namespace marrowen::testing
