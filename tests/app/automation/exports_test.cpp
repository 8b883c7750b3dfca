#include "app/automation/commandline.h"
#include "app/automation/exports.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/listdocument.h"
#include "app_testing.h"
#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/utf8.h"
#include "engine/inputs.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/searchnodes.h"
#include "qtext/qtext.h"

#include <QPrinter>
#include <QTest>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>

namespace marrowen::testing {
namespace {

// A node whose report is one known line.
class Line : public TListObject {
public:
  Line(std::string name, std::string command = {})
      : name_(std::move(name)), command_(std::move(command)) {}
  bool canParent() const override { return true; }
  std::string printText(std::string_view) const override { return name_ + "\r\n"; }
  std::string generateCmdLine() const override { return command_; }

private:
  std::string name_, command_;
};

void fillSample(TFilterList &list) {
  list.addNode(std::make_unique<Line>("TOP", "/top"), 0);
  list.addNode(std::make_unique<Line>("IN", "/in"), 1);
  list.addNode(std::make_unique<Line>("S", "/s"), 1);
  list.addNode(std::make_unique<Line>("SUB", "/sub"), 2);
  list.addNode(std::make_unique<Line>("OUT", "/out"), 1);
}

TEST(Exports, ReportTreeFilesAndComments) {
  TFilterList list;
  fillSample(list);
  const std::string head =
      "Marrowen Pro\r\n\r\nFilter Title: \r\n\r\nFilter List\r\n-----------\r\n";
  EXPECT_EQ(fromQString(getTextRepresentation(list, "")),
            head + "TOP\r\n|\r\n|--IN\r\n|   \r\n|--S\r\n|  |\r\n|  +--SUB\r\n|      \r\n"
                   "+--OUT\r\n    \r\n"
                   "\r\nFiles List\r\n----------\r\n\r\nComments\r\n--------\r\n");
  list.node(2).setEnabled(false);
  list.files.push_back({"/data/*.txt", "All", "Add"});
  // A row without an Action keeps the one before: no empty "/ACTION=".
  list.files.push_back({"/data/*.log", "All", ""});
  list.comments = "100%s sure";
  const std::string report = fromQString(getTextRepresentation(list, "/lists/a.fll"));
  EXPECT_NE(report.find("Filter Title: /lists/a.fll\r\n"), std::string::npos);
  EXPECT_NE(report.find("|--** DISABLED ** S\r\n"), std::string::npos);
  EXPECT_NE(report.find("----------\r\n/data/*.txt\r\n/data/*.log\r\n\r\nComments\r\n--------\r\n"
                        "100%s sure"),
            std::string::npos);
  // The disabled node goes with its subtree; the files follow the filters.
  EXPECT_EQ(fromQString(getCmdLineRepresentation(list)),
            "Marrowen Pro\r\nCopy this information into a text file,\r\nand load it into "
            "Marrowen via the command\r\nline using the /Z=commandfile parameter.\r\n\r\n"
            "/top\r\n/in\r\n/out\r\n/I+\r\n/ACTION=Add\r\n/data/*.txt\r\n/data/*.log\r\n");
  EXPECT_EQ(fromQString(getPerlRepresentation(list)),
            "#!/usr/bin/perl\r\n\r\n/top\r\n/in\r\n/out\r\n");
  // A node with no command line still lets its children's through.
  TFilterList quiet;
  quiet.addNode(std::make_unique<Line>("TOP"), 0);
  quiet.addNode(std::make_unique<Line>("A", "/a"), 1);
  EXPECT_EQ(fromQString(getPerlRepresentation(quiet)), "#!/usr/bin/perl\r\n\r\n/a\r\n");

  // Names beyond ASCII, held as the file system spells them, read so in the
  // report and the command file, also those the code page cannot spell: a
  // "?" there would read back as a mask taking in other files.
  quiet.files.push_back({"/data/\xC3\x9Cn\xC3\xAF.txt", "", ""});
  quiet.files.push_back({"/data/\xE6\x97\xA5.txt", "", ""});
  const QString shown = getTextRepresentation(quiet, "/out/\xC3\x9Cn\xC3\xAF list.fll");
  EXPECT_TRUE(shown.contains(QString::fromUtf8("Filter Title: /out/\xC3\x9Cn\xC3\xAF list.fll")));
  EXPECT_TRUE(shown.contains(QString::fromUtf8("----------\r\n/data/\xC3\x9Cn\xC3\xAF.txt\r\n")));
  EXPECT_TRUE(getCmdLineRepresentation(quiet).contains(
      QString::fromUtf8("\r\n/data/\xC3\x9Cn\xC3\xAF.txt\r\n/data/\xE6\x97\xA5.txt\r\n")));
  EXPECT_TRUE(shown.contains(QString::fromUtf8("/data/\xE6\x97\xA5.txt\r\n")));
}

class ExportRoundTrip : public AppTest {};

TEST_F(ExportRoundTrip, CommandFileReadsBackTheSameFilters) {
  TListDocument made;
  made.addFilter(TDescriptionObject::CreateWith(5));
  made.addFilter(TCommentObject::CreateWith("a note"));
  made.addFilter(TStringObject::CreateWith(1, "Head"));
  made.addFilter(TNumberObject::CreateWith(2, 72));
  auto eol = TEOLObject::CreateDefault();
  eol->convertFrom = 1;
  eol->convertTo = 0;
  made.addFilter(std::move(eol));
  made.addFilter(TLineNumberObject::CreateWith(5, 2));
  // Texts beyond ASCII come back byte for byte from the file saved in UTF-8,
  // code-page text (a list saved by an older version) too, so the command
  // file finds what Go finds.
  made.addFilter(TStringObject::CreateWith(0, "\xC4> "));
  made.addFilter(TStringObject::CreateWith(0, "Gr\xC3\xBC\xC3\x9F"
                                              "e \xCE\xA3"));
  auto search = TSearchObject::CreateDefault();
  search->searchString = "caf\xE9";
  search->replaceString = "\x80";
  made.addFilter(std::move(search));
  // Absent files whose names would read as options.
  const std::vector<std::string> names = {"/x.txt", "/a=b/c.txt", "/data/*.txt"};
  for (const std::string &name : names)
    made.testThenAdd(name);
  writeFile(dir.file("cmd.txt"), getCmdLineRepresentation(made).toUtf8().toStdString());

  TListDocument read;
  std::vector<std::string> invalid;
  CommandLineHost host;
  host.showInvalidParameter = [&](const std::string &text) { invalid.push_back(text); };
  TCommandLine line(read, host);
  line.resetCommandLineWindow();
  line.processCommandFile("/Z=" + dir.file("cmd.txt"));
  EXPECT_TRUE(invalid.empty()) << invalid.front();
  const auto &files = read.filterList().files;
  ASSERT_EQ(files.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(std::filesystem::path(files[i].pathMask).lexically_normal(), names[i]);
  ASSERT_EQ(read.filterList().count(), made.filterList().count());
  for (int i = 2; i < made.filterList().count() - 1; ++i) {
    SCOPED_TRACE(i);
    const TListObject &a = made.filterList().node(i), &b = read.filterList().node(i);
    EXPECT_EQ(a.className(), b.className());
    EXPECT_EQ(a.generateCmdLine(), b.generateCmdLine());
  }
}

// Text with line ends, tabs, blanks, backslashes before escape letters and
// bytes of every value, the control bytes among them.
std::string randomText(std::mt19937 &random, int longest) {
  static const std::string alphabet = "ab \t\r\nXY\\=,/tnx0c";
  std::string text(std::uniform_int_distribution<int>(0, longest)(random), ' ');
  for (char &c : text)
    c = random() % 6 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
  return text;
}

// A node of a random catalog entry, with random settings where its class has
// an option of its own.
std::unique_ptr<TListObject> randomNode(std::mt19937 &random) {
  // Half of them of a class with settings of its own on the command line;
  // the rest of any kind.
  static const std::string_view withOptions[] = {"TNumberObject",     "TStringObject",
                                                 "TLineNumberObject", "TSearchObject",
                                                 "TEOLObject",        "TCommentObject"};
  const std::string_view only =
      random() % 2 == 0 ? withOptions[random() % std::size(withOptions)] : std::string_view();
  std::vector<const NodeCatalogEntry *> entries;
  for (const NodeCatalogEntry &entry : nodeCatalog())
    if (entry.names.className != "TFilterCommentObject" &&
        entry.names.className != "TInputObject" && entry.names.className != "TOutputObject" &&
        (only.empty() || entry.names.className == only))
      entries.push_back(&entry);
  const NodeCatalogEntry &entry = *entries[random() % entries.size()];
  std::unique_ptr<TListObject> node = entry.createDefault(entry.kind);
  const auto chance = [&](int in) { return random() % in == 0; };
  if (auto *number = dynamic_cast<TNumberObject *>(node.get())) {
    number->number = chance(3) ? 1000 + random() % 1500 : random() % 120;
  } else if (auto *text = dynamic_cast<TStringObject *>(node.get())) {
    text->text = randomText(random, chance(4) ? 400 : 12);
    text->useString = !chance(4);
    text->fileName = "/nonexistent/x.txt";
  } else if (auto *numbers = dynamic_cast<TLineNumberObject *>(node.get())) {
    numbers->start = static_cast<std::int32_t>(random() % 2000) - 1000;
    numbers->increment = static_cast<std::int32_t>(random() % 20) - 10;
    numbers->format = chance(3) ? "%d: " : "%5.5d ";
    numbers->skipBlankIncrement = chance(4);
    numbers->dontNumberBlank = chance(4);
  } else if (auto *search = dynamic_cast<TSearchObject *>(node.get())) {
    if (chance(2))
      search->patternType = static_cast<std::int32_t>(random() % 2);
    static const char *const patterns[] = {"a+", "[ab]X", "b\\", "b\\\t", "X\\c"};
    search->searchString = search->patternType == 1 && chance(2)
                               ? patterns[random() % std::size(patterns)] + randomText(random, 2)
                               : randomText(random, 8);
    // A pattern holds no NUL: the pattern compiler ends it there.
    if (search->patternType == 1)
      std::replace(search->searchString.begin(), search->searchString.end(), '\0', 'Y');
    search->replaceString = randomText(random, 6);
    search->ignoreCase = chance(2);
    search->wholeWord = chance(2);
    search->caseSensitiveReplace = chance(2);
    search->promptOnReplace = false; // a run here has no one to ask
    search->skipPromptIdentical = chance(3);
    search->firstOnly = chance(4);
    search->bufferSize = chance(4) ? 100 : 4096;
  } else if (auto *eol = dynamic_cast<TEOLObject *>(node.get())) {
    eol->convertFrom = static_cast<std::int32_t>(random() % 5);
    eol->convertTo = static_cast<std::int32_t>(random() % 5);
    eol->removeBad = chance(2);
    eol->fixedLength = static_cast<std::int32_t>(random() % 200);
    eol->outputText = chance(2) ? "\\t" : "|";
  } else if (auto *comment = dynamic_cast<TCommentObject *>(node.get())) {
    comment->text = randomText(random, 30);
  }
  return node;
}

// The list's filters run over `text`; none when they cannot be built or fail.
std::optional<std::string> runFilters(TFilterList &list, const std::string &text) {
  try {
    int errorIndex = -1;
    std::unique_ptr<TFilter> filters = list.createFilters(false, true, errorIndex);
    std::string result;
    TStringInput input("text");
    input.setText(text);
    input.setNext(std::move(filters));
    input.lastFilter()->setNext(std::make_unique<TStringOutput>(result));
    input.runInput();
    return result;
  } catch (const Exception &) {
    return std::nullopt;
  }
}

// Random lists of nodes of every kind, some nested, exported and read back
// by the command line: each node comes back as itself, or as a comment that
// names it when its options cannot carry its settings or it runs children of
// its own on what it selects. Never a refused option, never another filter;
// a list that comes back whole runs as the list exported.
TEST_F(ExportRoundTrip, RandomListsReadBackAndRunAsExported) {
  // What the dialogs last remembered differs from a plain new node: the
  // command line must not fill in with it what its options leave out.
  auto search = TSearchObject::CreateDefault();
  search->firstOnly = true;
  search->bufferSize = 100;
  search->rememberDefaults();
  auto eol = TEOLObject::CreateDefault();
  eol->convertTo = 4;
  eol->outputText = "|";
  eol->rememberDefaults();
  for (unsigned seed : {11u, 22u, 33u}) {
    std::mt19937 random(seed);
    for (int round = 0; round < 150; ++round) {
      TFilterList made;
      made.resetToDefault();
      const int count = 1 + static_cast<int>(random() % 3);
      for (int i = 0; i < count; ++i) {
        const int last = made.count() - 2;
        const bool nested = last >= 2 && made.node(last).canParent() && random() % 3 == 0;
        made.insertNode(made.count() - 1, randomNode(random),
                        nested ? made.nodes[last].level + 1 : 1, true);
      }
      const std::string commands = getCmdLineRepresentation(made).toUtf8().toStdString();
      SCOPED_TRACE(::testing::PrintToString(commands));
      writeFile(dir.file("cmd.txt"), commands);
      TListDocument read;
      std::vector<std::string> invalid;
      CommandLineHost host;
      host.showInvalidParameter = [&](const std::string &text) { invalid.push_back(text); };
      host.logError = [&](const std::string &text) { invalid.push_back(text); };
      TCommandLine line(read, host);
      line.processCommandLine({"/Z=" + dir.file("cmd.txt")});
      ASSERT_TRUE(invalid.empty()) << invalid.front();
      ASSERT_EQ(read.filterList().count(), made.count());

      bool whole = true, unrepeatable = false;
      for (int i = 2; i < made.count() - 1; ++i) {
        const TListObject &a = made.node(i), &b = read.filterList().node(i);
        if (a.className() == b.className()) {
          EXPECT_EQ(a.generateCmdLine(), b.generateCmdLine());
          if (auto *comment = dynamic_cast<const TCommentObject *>(&a)) {
            EXPECT_EQ(dynamic_cast<const TCommentObject &>(b).text, comment->text);
          }
          if (auto *kind = dynamic_cast<const TDescriptionObject *>(&a))
            unrepeatable = unrepeatable || kind->kind == 39 || kind->kind == 42;
          continue;
        }
        whole = false;
        auto *comment = dynamic_cast<const TCommentObject *>(&b);
        ASSERT_NE(comment, nullptr) << b.getTitle();
        EXPECT_FALSE(comment->text.empty());
        EXPECT_TRUE(a.getTitle().starts_with(comment->text)) << comment->text;
      }
      if (!whole || unrepeatable)
        continue;
      const std::string text = randomText(random, 3000) + "\nline two\n\tthree  \r\nabc\n";
      EXPECT_EQ(runFilters(made, text), runFilters(read.filterList(), text));
    }
  }
}

// Filters that the command line can name, drawn at random with their
// texts and numbers: built-in kinds (not the random ones, nor decoders,
// whose warnings at every byte of these texts would each take a wait),
// texts, numbers of any width, line numbers, line ends and replaces.
void addRandomFilters(FilterListTarget &list, std::mt19937 &random) {
  static const int kinds[] = {1,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                              14, 15, 16, 17, 18, 19, 20, 21, 23, 25, 28, 30,
                              32, 34, 35, 36, 37, 40, 41, 43, 44, 45, 46, 48};
  const auto pick = [&](std::string_view from) { return from[random() % from.size()]; };
  const auto text = [&](std::size_t most) {
    std::string made(1 + random() % most, ' ');
    for (char &c : made)
      c = pick("abXY 09=/,.*\\\xE9");
    // Each backslash begins an escape the filters read: a tab, a line feed or
    // a backslash.
    for (std::size_t at = made.find('\\'); at != std::string::npos; at = made.find('\\', at + 2))
      made.insert(at + 1, 1, pick("tn\\"));
    return made;
  };
  for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n) {
    switch (random() % 6) {
    case 0:
      list.addFilter(TDescriptionObject::CreateWith(kinds[random() % std::size(kinds)]));
      break;
    case 1:
      list.addFilter(TStringObject::CreateWith(static_cast<int>(random() % 4), text(6)));
      break;
    case 2:
      list.addFilter(TNumberObject::CreateWith(
          static_cast<int>(random() % 3),
          static_cast<int>(random() % 2 ? 1 + random() % 99 : 1000 + random() % 2000)));
      break;
    case 3:
      list.addFilter(TLineNumberObject::CreateWith(static_cast<int>(random() % 200) - 50,
                                                   static_cast<int>(random() % 20) - 5));
      break;
    case 4: {
      auto eol = TEOLObject::CreateDefault();
      eol->removeBad = random() % 2;
      eol->convertFrom = static_cast<int>(random() % 5);
      eol->fixedLength = 1 + static_cast<int>(random() % 40);
      eol->convertTo = static_cast<int>(random() % 4);
      list.addFilter(std::move(eol));
      break;
    }
    default: {
      auto search = TSearchObject::CreateDefault();
      search->searchString = text(3);
      search->replaceString = text(3);
      search->patternType = 0;
      search->ignoreCase = random() % 2;
      search->wholeWord = random() % 2;
      search->caseSensitiveReplace = random() % 2;
      search->promptOnReplace = false;
      list.addFilter(std::move(search));
    }
    }
  }
}

// Every file below `folder` with its bytes, by its path below it.
std::map<std::string, std::string> filesBelow(const std::string &folder) {
  std::map<std::string, std::string> files;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[std::filesystem::relative(entry.path(), folder).string()] =
          readFile(entry.path().string());
  return files;
}

// An exported list, run from its command file, writes what Go writes: a
// random list for each kind of output, with rows that read one level deep
// or leave a file out, and the command line's own defaults for folder
// structure and appending the opposite of the list's.
TEST_F(ExportRoundTrip, CommandFileWritesWhatGoWrites) {
  // Folders whose names hold a line break, as Linux allows.
  const std::string in = dir.file("in\n1/"), out = dir.file("out\r2/");
  auto makeInputs = [&] {
    std::filesystem::remove_all(in);
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(in + "sub/deep");
    std::filesystem::create_directories(out);
    std::string words;
    for (int i = 0; i < 300; ++i)
      words += i % 7 ? "word " : "\t";
    writeFile(in + "a.txt", "top a\tb  c\r\n" + words + "\r\nno end \xE9=x/y");
    writeFile(in + "skip.txt", "left out\n");
    writeFile(in + "sub/a.txt", "sub a\n");
    writeFile(in + "sub/deep/b.txt", "too deep\n");
    writeFile(out + "merged.txt", "before\n");
    setClipboardText("clip\n");
  };
  auto waitForJobs = [] {
    ASSERT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
  };
  const std::function<void(TOutputObject &)> outputs[] = {
      [](TOutputObject &o) { o.outputToFile = TOutputObject::clipboard; },
      [](TOutputObject &o) { o.testMode = o.retainDate = true; },
      [&](TOutputObject &o) {
        o.changeBaseDir = o.keepStructure = o.changeExtension = true;
        o.newBaseDir = out;
        o.newExtension = ".up";
      },
      [&](TOutputObject &o) {
        o.outputToFile = TOutputObject::mergedFile;
        o.singleFilename = out + "merged.txt";
        o.appendMode = true;
      },
  };
  std::mt19937 random(7);
  for (const auto &setOutput : outputs) {
    SCOPED_TRACE(&setOutput - outputs);
    makeInputs();
    TchildForm window(1);
    addRandomFilters(window, random);
    TInputObject &input = *window.InputFilter();
    input.inputFromFile = true;
    input.promptEachFile = input.promptOnReadOnly = input.deleteInput = false;
    TOutputObject &output = *window.OutputFilter();
    output.outputToFile = TOutputObject::files;
    output.testMode = output.retainDate = output.changeBaseDir = output.keepStructure =
        output.changeExtension = output.appendMode = false;
    setOutput(output);
    window.addFileFromActiveX(in + "*.txt", 1, 1);
    window.addFileFromActiveX(in + "skip.txt", 0, 2);
    window.beginButtonClick(false);
    waitForJobs();
    const auto wentIn = filesBelow(in), wentOut = filesBelow(out);
    const std::string clipboard = getClipboardText();
    writeFile(dir.file("cmd.txt"), getCmdLineRepresentation(window).toUtf8().toStdString());

    makeInputs();
    writeBoolSetting("keepStructure", !output.keepStructure);
    writeBoolSetting("appendMode", !output.appendMode);
    TchildForm commandLineWindow(2);
    CommandLineHost host;
    host.startJob = [](std::unique_ptr<TGenericInput> chain, JobOptions options) {
      TchildForm::jobHost().startJob(std::move(chain), std::move(options));
    };
    TCommandLine line(commandLineWindow, host);
    line.processCommandLine({"/Z=" + dir.file("cmd.txt"), "/G"});
    EXPECT_EQ(line.jobsStarted(), 1);
    waitForJobs();
    EXPECT_EQ(filesBelow(in), wentIn) << readFile(dir.file("cmd.txt"));
    EXPECT_EQ(filesBelow(out), wentOut) << readFile(dir.file("cmd.txt"));
    EXPECT_EQ(getClipboardText(), clipboard);
  }
}

// Over several pages, its characters in the program's code page.
TEST_F(ExportRoundTrip, PrintsToPdfOverSeveralPages) {
  std::string text = "caf\xE9\r\n";
  for (int i = 0; i < 200; ++i)
    text += "line " + std::to_string(i) + " " + std::string(300, 'x') + "\r\n";
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.file("report.pdf")));
  const auto printedPages = [&] {
    std::string error;
    EXPECT_TRUE(printText(toQString(text), printer, error)) << error;
    const std::string pdf = readFile(dir.file("report.pdf"));
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos;
         at = pdf.find("/Type /Page\n", at + 1))
      ++pages;
    return pages;
  };
  const std::size_t all = printedPages();
  EXPECT_GT(all, 3u);
  // The text's characters as the PDF maps them back: an e acute, no unknown.
  const QByteArray map = QByteArray::fromStdString(readFile(dir.file("report.pdf"))).toUpper();
  EXPECT_TRUE(map.contains("00E9"));
  EXPECT_FALSE(map.contains("FFFD"));

  // The range the print dialog chose, and only that.
  printer.setPrintRange(QPrinter::PageRange);
  printer.setFromTo(2, 3);
  EXPECT_EQ(printedPages(), 2u);
  QPageRanges firstAndLast;
  firstAndLast.addPage(1);
  firstAndLast.addPage(static_cast<int>(all));
  printer.setPageRanges(firstAndLast);
  EXPECT_EQ(printedPages(), 2u);
  printer.setPrintRange(QPrinter::AllPages);
  EXPECT_EQ(printedPages(), all);
}

} // namespace
} // namespace marrowen::testing
