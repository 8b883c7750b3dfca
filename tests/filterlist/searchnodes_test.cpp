#include "filterlist/searchnodes.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "engine/filter.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/settings.h"
#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/grep.h"
#include "filters/patternfilters.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// The defined value of a search node as a file of `type` stores it.
std::string searchData(int type, bool matchCase) {
  // Before type 18 the common part holds no enabled flag.
  std::string data = type >= 18 ? boolean(true) : std::string();
  data += str("find") + str("repl") + boolean(matchCase) + boolean(true);
  if (type >= 15)
    data += boolean(true);
  if (type >= 17)
    data += int8(3);
  if (type >= 20)
    data += boolean(true);
  if (type >= 32)
    data += boolean(true);
  if (type >= 35)
    data += int16(8192);
  if (type >= 36)
    data += int8(5);
  if (type >= 37)
    data += boolean(true);
  if (type >= 38)
    data += boolean(false) + boolean(true) + boolean(false);
  return data;
}

// The defined value of a line-selection node as a file of `type` stores it.
std::string grepData(int type, int kind, bool ignoreCase) {
  std::string data = type >= 18 ? boolean(true) : std::string();
  data += boolean(false);
  data += type >= 27 ? int8(kind) : boolean(kind == 1);
  data += boolean(true) + boolean(ignoreCase);
  if (type >= 16)
    data += boolean(true);
  data += str("a.c");
  if (type >= 45)
    data += int8(1) + int8(2);
  return data;
}

// ---------------------------------------------------------------------------
// Search node

TEST(SearchObject, NewNodeFromAnEmptyStore) {
  auto node = TSearchObject::CreateDefault();
  EXPECT_EQ(node->searchString, "");
  EXPECT_EQ(node->replaceString, "");
  EXPECT_TRUE(node->ignoreCase);
  EXPECT_FALSE(node->wholeWord);
  EXPECT_FALSE(node->caseSensitiveReplace);
  EXPECT_EQ(node->patternType, 0);
  EXPECT_FALSE(node->promptOnReplace);
  EXPECT_FALSE(node->skipPromptIdentical);
  EXPECT_FALSE(node->firstOnly);
  EXPECT_EQ(node->bufferSize, 4096);
  EXPECT_EQ(node->threshold, 2);
  EXPECT_TRUE(node->greedy);
  EXPECT_FALSE(node->allowComments);
  EXPECT_TRUE(node->dotMatchesNewLines);
  EXPECT_TRUE(node->canParent());
  EXPECT_EQ(node->needGatherer(), ChildChain::Gathered);
  EXPECT_EQ(node->iconIndex(), 10);
}

TEST(SearchObject, RemembersAllFourteenValuesWithCaseMatchHoldingIgnoreCase) {
  TSearchObject node;
  node.searchString = "a\\tb";
  node.replaceString = "c";
  node.ignoreCase = false;
  node.wholeWord = node.caseSensitiveReplace = node.promptOnReplace = true;
  node.skipPromptIdentical = node.firstOnly = node.allowComments = true;
  node.greedy = node.dotMatchesNewLines = false;
  node.patternType = 5;
  node.bufferSize = 100000;
  node.threshold = 7;
  node.rememberDefaults();
  EXPECT_FALSE(readBoolSetting("search.caseMatch", true));
  EXPECT_EQ(readStringSetting("search.searchString", ""), "a\\tb");

  auto fresh = TSearchObject::CreateDefault();
  EXPECT_EQ(recordOf(*fresh), recordOf(node));

  node.ignoreCase = true;
  node.rememberDefaults();
  EXPECT_TRUE(readBoolSetting("search.caseMatch", false));
  EXPECT_TRUE(TSearchObject::CreateDefault()->ignoreCase);
}

TEST(SearchObject, WizardNodeTellsWhatToTypeAndKeepsTheRememberedOptions) {
  writeBoolSetting("search.wholeWord", true);
  auto node = TSearchObject::CreateWithPrompt(4);
  EXPECT_EQ(node->patternType, 4);
  EXPECT_EQ(node->searchString, "Enter the search text here (the search text can be multi-line)");
  EXPECT_EQ(node->replaceString,
            "Enter the replacement text here (the replace text can be multi-line)");
  EXPECT_TRUE(node->wholeWord);
}

TEST(SearchObject, TitlesByDialectWithEscapedTextsAndOptionWords) {
  struct Case {
    int type;
    const char *title;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, "Replace [a\\tb] with [x\\r\\ny]"},
           {1, "Pattern [a\\tb] with [x\\r\\ny]"},
           {2, "Sounds like [a\\tb] with [x\\r\\ny]"},
           {3, "Edit distance (thresh=2) [a\\tb] with [x\\r\\ny]"},
           {4, "Perl pattern [a\\tb] with [x\\r\\ny]"},
           {5, "Brief-style pattern [a\\tb] with [x\\r\\ny]"},
           {6, "MS Word pattern [a\\tb] with [x\\r\\ny]"},
           {7, " [a\\tb] with [x\\r\\ny]"},
           {-1, " [a\\tb] with [x\\r\\ny]"},
       }) {
    SCOPED_TRACE(c.type);
    TSearchObject node;
    node.searchString = "a\tb";
    node.replaceString = "x\r\ny";
    node.ignoreCase = false;
    node.patternType = c.type;
    EXPECT_EQ(node.getTitle(), c.title);
  }
  TSearchObject node;
  node.searchString = "a";
  node.replaceString = "b";
  node.ignoreCase = node.caseSensitiveReplace = node.promptOnReplace = true;
  node.skipPromptIdentical = node.wholeWord = node.firstOnly = true;
  EXPECT_EQ(node.getTitle(),
            "Replace [a] with [b] ,ignore case  sensReplace  prompt  skipIdentical  whole "
            "word  first only");
}

TEST(SearchObject, ReportsGiveTheTextsAsStoredAndEveryOption) {
  TSearchObject node;
  node.searchString = "a\\n";
  node.replaceString = "%s";
  node.ignoreCase = false;
  node.firstOnly = true;
  EXPECT_EQ(node.printText("> "), "Replace [a\\n] with [%s]\r\n>   [X] Match case\r\n>   [ ] "
                                  "Whole words only\r\n>   [ ] Case sensitive replace\r\n>   [ ] "
                                  "Prompt on replace\r\n>   [ ] Skip prompt if identical\r\n>  "
                                  " [X] First only\r\n");
  const std::string options = node.printText("> ").substr(node.printText("> ").find("\r\n"));
  struct Case {
    int type;
    const char *first;
  };
  for (const Case &c : std::initializer_list<Case>{
           {1, "Pattern [a\\n] with [%s]"},
           {2, "Sounds like [a\\n] with [%s]"},
           {3, "Edit distance [a\\n] with [%s] (thresh=9)"},
           {4, "Perl pattern [a\\n] with [%s]"},
           {5, "Brief-style pattern [a\\n] with [%s]"},
           {6, "MS Word pattern [a\\n] with [%s]"},
           {8, ""},
       }) {
    SCOPED_TRACE(c.type);
    node.patternType = c.type;
    node.threshold = 9;
    EXPECT_EQ(node.printText("> "), c.first + options);
  }
}

TEST(SearchObject, CommandLines) {
  TSearchObject node;
  node.searchString = "cat";
  node.replaceString = "dog";
  node.ignoreCase = false;
  EXPECT_EQ(node.generateCmdLine(), "/SC=cat\r\n/R=dog");

  node.patternType = 1;
  node.ignoreCase = true;
  node.wholeWord = node.caseSensitiveReplace = node.promptOnReplace = true;
  node.searchString = "a\tb\\n";
  node.replaceString = "\r\n";
  EXPECT_EQ(node.generateCmdLine(), "/SXW=a\\tb\\n\r\n/RCP=\\r\\n");

  // The other dialects have no code of their own: a comment with the title.
  node.patternType = 2;
  EXPECT_EQ(node.generateCmdLine(), commentCmdLine(node.getTitle()));
  EXPECT_EQ(node.generateCmdLine().find('\n'), std::string::npos);
  node.patternType = 3;
  EXPECT_EQ(node.generateCmdLine().rfind("/{=Edit distance (thresh=2) [", 0), 0u);
}

TEST(SearchObject, StoredRecordHoldsMatchCaseTheInverseOfIgnoreCase) {
  TSearchObject node;
  node.searchString = "find";
  node.replaceString = "repl";
  node.ignoreCase = true;
  node.bufferSize = 8192;
  const std::string expected =
      nodeRecord("TSearchObject", "SearchObject", true,
                 boolean(true) + str("find") + str("repl") + boolean(false) + boolean(false) +
                     boolean(false) + int8(0) + boolean(false) + boolean(false) + int16(8192) +
                     int8(2) + boolean(false) + boolean(true) + boolean(false) + boolean(true));
  EXPECT_EQ(recordOf(node), expected);

  for (bool matchCase : {false, true}) {
    auto read = readNodeRecord<TSearchObject>(
        nodeRecord("TSearchObject", "SearchObject", true, searchData(47, matchCase)), 47);
    EXPECT_EQ(read->ignoreCase, !matchCase);
    EXPECT_EQ(recordOf(*read),
              nodeRecord("TSearchObject", "SearchObject", true, searchData(47, matchCase)));
  }
}

TEST(SearchObject, OldFileTypesReadWithTheirDefaults) {
  struct Expect {
    bool caseSensitiveReplace;
    int patternType;
    bool prompt, skip;
    int bufferSize, threshold;
    bool firstOnly, greedy, allowComments, dotMatchesNewLines;
  };
  struct Case {
    int type;
    Expect e;
  };
  for (const Case &c : std::initializer_list<Case>{
           {14, {false, 0, false, false, 4096, 2, false, true, false, true}},
           {16, {true, 0, false, false, 4096, 2, false, true, false, true}},
           {19, {true, 3, false, false, 4096, 2, false, true, false, true}},
           {31, {true, 3, true, false, 4096, 2, false, true, false, true}},
           {34, {true, 3, true, true, 4096, 2, false, true, false, true}},
           {35, {true, 3, true, true, 8192, 2, false, true, false, true}},
           {36, {true, 3, true, true, 8192, 5, false, true, false, true}},
           {37, {true, 3, true, true, 8192, 5, true, true, false, true}},
           {44, {true, 3, true, true, 8192, 5, true, false, true, false}},
       }) {
    SCOPED_TRACE(c.type);
    auto node = readNodeRecord<TSearchObject>(
        nodeRecord("TSearchObject", "SearchObject", true, searchData(c.type, true)), c.type);
    EXPECT_EQ(node->searchString, "find");
    EXPECT_EQ(node->replaceString, "repl");
    EXPECT_FALSE(node->ignoreCase);
    EXPECT_TRUE(node->wholeWord);
    EXPECT_EQ(node->caseSensitiveReplace, c.e.caseSensitiveReplace);
    EXPECT_EQ(node->patternType, c.e.patternType);
    EXPECT_EQ(node->promptOnReplace, c.e.prompt);
    EXPECT_EQ(node->skipPromptIdentical, c.e.skip);
    EXPECT_EQ(node->bufferSize, c.e.bufferSize);
    EXPECT_EQ(node->threshold, c.e.threshold);
    EXPECT_EQ(node->firstOnly, c.e.firstOnly);
    EXPECT_EQ(node->greedy, c.e.greedy);
    EXPECT_EQ(node->allowComments, c.e.allowComments);
    EXPECT_EQ(node->dotMatchesNewLines, c.e.dotMatchesNewLines);
  }
}

TEST(SearchObject, BlankOrUndecodableSearchTextStopsTheBuild) {
  TSearchObject node;
  node.replaceString = "x";
  EXPECT_EQ(buildError(node), "Find String for 'Replace [] with [x] ,ignore case ' is blank");
  node.patternType = 1;
  EXPECT_EQ(buildError(node), "Find String for 'Pattern [] with [x] ,ignore case ' is blank");
  node.patternType = 3;
  EXPECT_EQ(buildError(node),
            "Find String for 'Edit distance (thresh=2) [] with [x] ,ignore case ' is blank");
  // A lone backslash is not blank: the escape error says what is wrong.
  node.patternType = 0;
  node.searchString = "\\";
  EXPECT_EQ(buildError(node), "Trailing \\ needs to be followed by something");
  node.searchString = "\\x4";
  EXPECT_EQ(buildError(node), "\\xHH Expecting 2 trailing hex digits");
  // One line feed is a text.
  node.searchString = "\\n";
  EXPECT_EQ(runNode(node, "a\nb\n"), "axbx");

  // The pattern dialects get their text as typed, but a malformed escape in
  // it is reported with the escape messages, as in every other dialect.
  struct Case {
    const char *search, *error;
  };
  for (int type : {1, 4, 5, 6}) {
    for (const Case &c : std::initializer_list<Case>{
             {"\\", "Trailing \\ needs to be followed by something"},
             {"a\\xZZ", "\\xHH Invalid hex digit 'Z'"},
             {"(a)\\1b", "\\DDD You must specify all 3 decimal digits (Leading zeros are "
                         "required)"},
             {"\\c", "\\cC Expecting an upper case letter"},
         }) {
      SCOPED_TRACE(std::to_string(type) + " " + c.search);
      node.patternType = type;
      node.searchString = c.search;
      EXPECT_EQ(buildError(node), c.error);
    }
  }
}

TEST(SearchObject, PatternTypeOutsideTheDialectsIsKeptAndRefusedWhenBuilt) {
  TSearchObject node;
  node.searchString = "a";
  node.patternType = 7;
  EXPECT_EQ(buildError(node), "Invalid search type");
  auto copy = TFilterList::cloneListObject(node);
  EXPECT_EQ(dynamic_cast<TSearchObject &>(*copy).patternType, 7);
  node.setEnabled(false);
  TFilterList list;
  EXPECT_EQ(node.add_filter(list), nullptr);
}

TEST(SearchObject, EachDialectBuildsItsFilter) {
  struct Case {
    int type;
    const char *search, *replace, *in, *out;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, "Cat", "dog", "a cat, a CAT.", "a dog, a dog."},
           {0, "\\x41\\t", "-", "A\tA \ta\t", "-A \t-"},
           {1, "c[a-z]t", "<$0>", "cat cut c9t", "<cat> <cut> c9t"},
           {2, "Robert", "X", "Rupert and Rubin", "X and Rubin"},
           {3, "colour", "hue", "color colours cooler", "hue hue cooler"},
           {4, "(b+)", "[$1]", "abbc", "a[bb]c"},
           {5, "c?t", "x", "cat cot ct", "x x ct"},
           {6, "c?t", "x", "cat cot ct", "x x ct"},
       }) {
    SCOPED_TRACE(c.search);
    TSearchObject node;
    node.patternType = c.type;
    node.searchString = c.search;
    node.replaceString = c.replace;
    EXPECT_EQ(runNode(node, c.in), c.out);
  }
}

// A letter typed in UTF-8 finds itself in an older file's code page in
// every kind of search, so a Windows-1252 text and its UTF-8 copy give the
// same replacements, each written in its own text's form; a byte given by
// an escape finds only that byte. A letter the code page lacks is written
// in UTF-8, and the log says once for the file that it now mixes the two.
TEST(SearchObject, TypedLettersFindTheirCodePageFormInEveryKindOfSearch) {
  const auto cp = CodePage::create("windows-1252");
  const std::string text = "\u00fcber \u00dcBER \u00dcber, K\u00f6ln k\u00f6lner "
                           "\u00e4\u00f6\u00fc \u00e9t\u00e9 jo\u00ebl\n";
  struct Case {
    int type;
    const char *search;
    bool ignoreCase, wholeWord;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, "\u00fcber", false, false},
           {0, "\u00fcber", true, false},
           {0, "K\u00d6LN", true, true},
           {0, "t\u00e9 j", false, false},
           {2, "\u00dcber", true, false},
           {3, "k\u00f6ln", true, false},
           {3, "K\u00f6ln", false, false},
           {1, "[\u00e4\u00f6\u00fc]+", false, false},
           {1, "[\u00e0-\u00fc]", true, false},
           {1, "\u00c4\u00d6\u00dc", true, true},
           {4, "\u00c9T\u00c9", true, false},
           {4, "[^\\w ,]", false, false},
           {5, "?ber", false, false},
           {5, "K\u00f6?n", false, false},
           {6, "[!a-z]ber", false, false},
           {6, "<\u00e9*\u00e9>", false, false},
       }) {
    SCOPED_TRACE(std::string(c.search) + " of type " + std::to_string(c.type));
    TSearchObject node;
    node.patternType = c.type;
    node.searchString = c.search;
    node.replaceString = "[\u00e4]";
    node.ignoreCase = c.ignoreCase;
    node.wholeWord = c.wholeWord;
    const std::string inUtf8 = runNode(node, text, 7);
    EXPECT_NE(inUtf8, text);
    EXPECT_EQ(runNode(node, cp->fromUtf8(text), 7), cp->fromUtf8(inUtf8));
  }
  TSearchObject node;
  node.searchString = "\u00fcber";
  node.replaceString = "[X]";
  EXPECT_EQ(runNode(node, "\xfc"
                          "ber \xdc"
                          "BER \xdc"
                          "ber"),
            "[X] [X] [X]");
  // Escapes stand for bytes, in an exact text and in a pattern alike.
  for (int type : {0, 1}) {
    node.patternType = type;
    node.searchString = "\\xfc\\252";
    EXPECT_EQ(runNode(node, "\xfc\xfc \u00fc\u00fc"), "[X] \u00fc\u00fc");
  }
  // A letter the code page lacks.
  node.patternType = 0;
  node.searchString = "\u00fc";
  node.replaceString = "\u03a9\u00e4";
  TFilterList list;
  std::unique_ptr<TFilter> filter = node.add_filter(list);
  RecordingJob job;
  filter->attachJob(&job);
  filter->startJob();
  filter->resetStatistics();
  filter->setInputFilename("old.txt");
  filter->reset();
  std::string chunk = cp->fromUtf8("\u00fcber \u00fcber \u00fcber");
  filter->processChunk(chunk);
  filter->flush();
  const auto mixing = std::count_if(job.logLines.begin(), job.logLines.end(), [](auto &line) {
    return line.find("now mixes windows-1252 and UTF-8 text") != std::string::npos;
  });
  EXPECT_EQ(mixing, 1);
}

TEST(SearchObject, FiltersGetTheNodesOptions) {
  TSearchObject node;
  node.searchString = "Ab";
  node.replaceString = "x";
  node.ignoreCase = false;
  EXPECT_EQ(runNode(node, "Ab ab AB"), "x ab AB");
  node.ignoreCase = true;
  node.firstOnly = true;
  EXPECT_EQ(runNode(node, "Ab ab AB"), "x ab AB");
  node.firstOnly = false;
  node.wholeWord = true;
  EXPECT_EQ(runNode(node, "Ab abc ab"), "x abc x");
  node.wholeWord = false;
  node.caseSensitiveReplace = true;
  EXPECT_EQ(runNode(node, "AB ab"), "X x");

  TFilterList list;
  node.patternType = 3;
  node.threshold = 4;
  auto distance = node.add_filter(list);
  ASSERT_NE(dynamic_cast<TEditDistance *>(distance.get()), nullptr);
  node.patternType = 5;
  node.bufferSize = 9000;
  auto brief = node.add_filter(list);
  auto *pattern = dynamic_cast<TRegExpFilter *>(brief.get());
  ASSERT_NE(pattern, nullptr);
  EXPECT_EQ(pattern->patternType(), TPatternType::BriefPattern);
}

TEST(SearchObject, ReplacementReachesTheFilterUndecoded) {
  TSearchObject node;
  node.searchString = "b";
  // Decoded once by the filter: a backslash and t, not a tab.
  node.replaceString = "\\\\t";
  EXPECT_EQ(runNode(node, "abc"), "a\\tc");
  node.patternType = 1;
  EXPECT_EQ(runNode(node, "abc"), "a\\tc");
}

TEST(SearchObject, PatternTextsAreLeftToThePatternEngine) {
  // Typed as two backslashes and a point: decoded first it would find a
  // point; the engine reads a backslash followed by any byte.
  TSearchObject node;
  node.patternType = 1;
  node.searchString = "\\\\.";
  node.replaceString = "-";
  EXPECT_EQ(runNode(node, "x\\y."), "x-.");
  node.patternType = 0;
  EXPECT_EQ(runNode(node, "x\\y\\."), "x\\y-");
}

TEST(SearchObject, PatternThatDoesNotCompileStopsTheBuild) {
  TSearchObject node;
  node.patternType = 1;
  node.searchString = "a(";
  EXPECT_NE(buildError(node), "(built)");
}

TEST(SearchObject, AutomationCheckOffersToSwitchOffThePrompt) {
  TSearchObject node;
  node.searchString = "a";
  std::vector<std::string> asked;
  Answer answer = Answer::No;
  auto ask = [&](const std::string &q) {
    asked.push_back(q);
    return answer;
  };
  EXPECT_TRUE(node.automationCheck(ask));
  EXPECT_TRUE(asked.empty());

  node.promptOnReplace = true;
  EXPECT_TRUE(node.automationCheck(ask));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], shortTitle(node) + "\r\n\r\nConfirm Replace is enabled. Disable it?");
  EXPECT_TRUE(node.promptOnReplace);
  answer = Answer::Cancel;
  EXPECT_FALSE(node.automationCheck(ask));
  EXPECT_TRUE(node.promptOnReplace);
  answer = Answer::Yes;
  EXPECT_TRUE(node.automationCheck(ask));
  EXPECT_FALSE(node.promptOnReplace);
}

// ---------------------------------------------------------------------------
// Line selection node

TEST(GrepObject, NewNodeFromAnEmptyStoreAndRememberedDefaults) {
  auto node = TGrepObject::CreateDefault(1);
  EXPECT_EQ(node->kind, 1);
  EXPECT_TRUE(node->includeLineNumbers);
  EXPECT_TRUE(node->includeFileName);
  EXPECT_TRUE(node->ignoreCase);
  EXPECT_FALSE(node->countMatches);
  EXPECT_EQ(node->pattern, "");
  EXPECT_EQ(node->contextBefore, 0);
  EXPECT_EQ(node->contextAfter, 0);
  EXPECT_EQ(node->needGatherer(), ChildChain::PassedOn);
  EXPECT_EQ(node->iconIndex(), 1);

  node->includeLineNumbers = node->ignoreCase = false;
  node->countMatches = true;
  node->pattern = "x+";
  node->contextBefore = 3;
  node->contextAfter = 4;
  node->rememberDefaults();
  EXPECT_FALSE(readBoolSetting("GrepIgnoreCase", true));
  EXPECT_EQ(readIntegerSetting("rGrepContextAfter", 0), 4);
  auto fresh = TGrepObject::CreateDefault(2);
  EXPECT_EQ(fresh->kind, 2);
  fresh->kind = 1;
  EXPECT_EQ(recordOf(*fresh), recordOf(*node));
}

TEST(GrepObject, WizardNodeClearsTheOptionsButKeepsIgnoreCase) {
  writeBoolSetting("GrepIgnoreCase", false);
  writeBoolSetting("GrepCountMatches", true);
  writeIntegerSetting("rGrepContextBefore", 5);
  auto node = TGrepObject::CreateWithPrompt(0);
  EXPECT_FALSE(node->includeLineNumbers);
  EXPECT_FALSE(node->includeFileName);
  EXPECT_FALSE(node->countMatches);
  EXPECT_EQ(node->contextBefore, 0);
  EXPECT_FALSE(node->ignoreCase);
  EXPECT_EQ(node->pattern, "Enter the pattern for (non) matching lines here");
}

TEST(GrepObject, TitlesReportsAndCommandLines) {
  TGrepObject node;
  node.pattern = "^a\tb";
  EXPECT_EQ(node.getTitle(), "Select lines matching [^a\tb], line, name");
  EXPECT_EQ(node.generateCmdLine(), "/{=Select lines matching [^a\\tb], line, name");
  EXPECT_TRUE(node.canParent());
  EXPECT_EQ(node.printText("-"),
            "Select lines matching [^a\tb]\r\n-  [X] Include line "
            "numbers\r\n-  [X] Include filename\r\n-  [ ] Match case\r\n-  "
            "[ ] Count matches\r\n-Context before: 0\r\n-Context after: 0\r\n");

  node.kind = 1;
  node.includeLineNumbers = node.includeFileName = node.ignoreCase = false;
  node.countMatches = true;
  node.contextBefore = 2;
  node.contextAfter = 3;
  EXPECT_EQ(node.getTitle(), "Select lines NOT matching [^a\tb], match case, count");
  EXPECT_TRUE(node.canParent());
  EXPECT_EQ(node.printText(""), "Select lines NOT matching [^a\tb]\r\n  [ ] Include line "
                                "numbers\r\n  [ ] Include filename\r\n  [X] Match case\r\n  [X] "
                                "Count matches\r\nContext before: 2\r\nContext after: 3\r\n");

  node.kind = 2;
  EXPECT_EQ(node.getTitle(), "Extract [^a\tb], match case, count");
  EXPECT_FALSE(node.canParent());
  EXPECT_EQ(node.printText(""), "Extract [^a\tb]\r\n  [ ] Include line numbers\r\n  [ ] Include "
                                "filename\r\n  [X] Match case\r\n  [X] Count matches\r\n");

  node.kind = 3;
  EXPECT_EQ(node.getTitle(), " [^a\tb], match case, count");
  EXPECT_FALSE(node.canParent());
  EXPECT_EQ(node.printText("").rfind(" [^a\tb]\r\n", 0), 0u);
}

TEST(GrepObject, StoredRecordAndOldFileTypes) {
  TGrepObject node;
  node.includeLineNumbers = false;
  node.kind = 2;
  node.pattern = "a.c";
  node.ignoreCase = false;
  node.contextBefore = 1;
  node.contextAfter = 2;
  EXPECT_EQ(recordOf(node),
            nodeRecord("TGrepObject", "GrepObject", true,
                       boolean(true) + boolean(false) + int8(2) + boolean(true) + boolean(false) +
                           boolean(false) + str("a.c") + int8(1) + int8(2)));

  struct Case {
    int type, kind;
    bool ignoreCase;
    int expectedKind;
    bool countMatches;
    int before, after;
  };
  for (const Case &c : std::initializer_list<Case>{
           {15, 1, true, 1, false, 0, 0},
           {16, 0, false, 0, true, 0, 0},
           {26, 1, true, 1, true, 0, 0},
           {27, 2, true, 2, true, 0, 0},
           {44, 1, false, 1, true, 0, 0},
           {45, 2, true, 2, true, 1, 2},
       }) {
    SCOPED_TRACE(c.type);
    auto read = readNodeRecord<TGrepObject>(
        nodeRecord("TGrepObject", "GrepObject", true, grepData(c.type, c.kind, c.ignoreCase)),
        c.type);
    EXPECT_FALSE(read->includeLineNumbers);
    EXPECT_EQ(read->kind, c.expectedKind);
    EXPECT_TRUE(read->includeFileName);
    EXPECT_EQ(read->ignoreCase, c.ignoreCase);
    EXPECT_EQ(read->countMatches, c.countMatches);
    EXPECT_EQ(read->pattern, "a.c");
    EXPECT_EQ(read->contextBefore, c.before);
    EXPECT_EQ(read->contextAfter, c.after);
  }
  auto t26 = readNodeRecord<TGrepObject>(
      nodeRecord("TGrepObject", "GrepObject", true, grepData(26, 1, true)), 26);
  EXPECT_EQ(t26->getTitle().rfind("Select lines NOT matching [a.c]", 0), 0u);
}

TEST(GrepObject, BlankOrInvalidPatternsStopTheBuildNamingTheNode) {
  TGrepObject node;
  node.includeLineNumbers = node.includeFileName = false;
  EXPECT_EQ(buildError(node), "Pattern is blank");
  node.pattern = "a(";
  const std::string error = buildError(node);
  EXPECT_EQ(error.rfind("String for 'Select lines matching [a(]' is invalid - ", 0), 0u) << error;
  EXPECT_GT(error.size(),
            std::string("String for 'Select lines matching [a(]' is invalid - ").size());
  node.kind = 2;
  EXPECT_EQ(buildError(node).rfind("String for 'Extract [a(]' is invalid - ", 0), 0u);
  node.pattern = "a";
  node.kind = 0;
  node.contextBefore = -1;
  EXPECT_EQ(buildError(node).rfind("String for 'Select lines matching [a]' is invalid - ", 0), 0u);
}

TEST(GrepObject, KindAndContextChooseTheFilter) {
  TFilterList list;
  TGrepObject node;
  node.pattern = "b";
  auto plain = node.add_filter(list);
  EXPECT_NE(dynamic_cast<TGrep *>(plain.get()), nullptr);
  EXPECT_EQ(dynamic_cast<TContextGrep *>(plain.get()), nullptr);
  node.contextAfter = 1;
  EXPECT_NE(dynamic_cast<TContextGrep *>(node.add_filter(list).get()), nullptr);
  node.kind = 2;
  EXPECT_NE(dynamic_cast<TExtract *>(node.add_filter(list).get()), nullptr);
  node.kind = 3;
  EXPECT_EQ(node.add_filter(list), nullptr);
}

TEST(GrepObject, SelectsLinesAsItsOptionsSay) {
  TGrepObject node;
  node.pattern = "B";
  node.includeLineNumbers = node.includeFileName = false;
  EXPECT_EQ(runNode(node, "ab\ncd\nb\n"), "ab\nb\n");
  node.ignoreCase = false;
  EXPECT_EQ(runNode(node, "ab\ncB\n"), "cB\n");
  node.kind = 1;
  EXPECT_EQ(runNode(node, "ab\ncB\n"), "ab\n");
  node.kind = 0;
  node.ignoreCase = true;
  node.contextBefore = 1;
  EXPECT_EQ(runNode(node, "x\ny\nb\nz\n"), "y\nb\n");
}

// ---------------------------------------------------------------------------
// In a filter list

TEST(SearchNodesInAList, ChildrenWorkOnlyOnWhatTheParentSelects) {
  auto grep = std::make_unique<TGrepObject>();
  grep->pattern = "^keep";
  grep->includeLineNumbers = grep->includeFileName = false;
  auto child = std::make_unique<TSearchObject>();
  child->searchString = "e";
  child->replaceString = "E";
  std::vector<std::pair<std::unique_ptr<TListObject>, int>> nodes;
  nodes.emplace_back(std::move(grep), 1);
  nodes.emplace_back(std::move(child), 2);
  TFilterList list;
  fillList(list, std::move(nodes));
  const std::string text = "keep me\nleave me\nkeeper\n";
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(runList(list, text, chunk), "kEEp mE\nleave me\nkEEpEr\n");
  }

  // A search node's children work on the replacement of each found text.
  auto search = std::make_unique<TSearchObject>();
  search->patternType = 1;
  search->searchString = "<[a-z]+>";
  search->replaceString = "$0";
  auto upper = std::make_unique<TSearchObject>();
  upper->searchString = "a";
  upper->replaceString = "A";
  nodes.clear();
  nodes.emplace_back(std::move(search), 1);
  nodes.emplace_back(std::move(upper), 2);
  TFilterList tags;
  fillList(tags, std::move(nodes));
  EXPECT_EQ(runList(tags, "a <abba> a <cab>"), "a <AbbA> a <cAb>");
}

TEST(SearchNodesInAList, ABuildErrorNamesTheNode) {
  auto search = std::make_unique<TSearchObject>();
  std::vector<std::pair<std::unique_ptr<TListObject>, int>> nodes;
  nodes.emplace_back(std::make_unique<TCommentObject>(), 1);
  nodes.emplace_back(std::move(search), 1);
  TFilterList list;
  fillList(list, std::move(nodes));
  int errorIndex = -1;
  EXPECT_THROW(list.createFilters(false, true, errorIndex), Exception);
  EXPECT_EQ(errorIndex, 3);
}

TEST(SearchNodesInAList, SaveLoadSaveIsByteIdentical) {
  TempFolder dir;
  auto search = TSearchObject::CreateWithPrompt(6);
  search->ignoreCase = false;
  search->threshold = 70000;
  auto grep = TGrepObject::CreateDefault(1);
  grep->pattern = std::string("x\0y", 3);
  grep->contextAfter = 2;
  auto odd = std::make_unique<TSearchObject>();
  odd->patternType = 9;
  odd->setEnabled(false);
  std::vector<std::pair<std::unique_ptr<TListObject>, int>> nodes;
  nodes.emplace_back(std::move(grep), 1);
  nodes.emplace_back(std::move(search), 2);
  nodes.emplace_back(std::move(odd), 3);
  TFilterList list;
  fillList(list, std::move(nodes));

  TFilterList loaded;
  const std::string first = saveAndLoad(list, dir, loaded);
  ASSERT_EQ(loaded.count(), list.count());
  auto *search2 = dynamic_cast<TSearchObject *>(&loaded.node(3));
  ASSERT_NE(search2, nullptr);
  EXPECT_FALSE(search2->ignoreCase);
  EXPECT_EQ(search2->patternType, 6);
  EXPECT_EQ(search2->threshold, 70000);
  auto *odd2 = dynamic_cast<TSearchObject *>(&loaded.node(4));
  ASSERT_NE(odd2, nullptr);
  EXPECT_EQ(odd2->patternType, 9);
  EXPECT_FALSE(odd2->getEnabled());
  expectSavedAgainTheSame(loaded, dir, first);
}

TEST(SearchNodesInAList, OldFilesLoadAndSaveInTheCurrentLayoutForGood) {
  // A type-26 file: no level pairs, the line selection's kind a Boolean.
  std::string disabledGrep = grepData(26, 1, false);
  disabledGrep[0] = 0x08;
  const std::string file =
      fileStart() + versionRecord(int8(26) + str("") + str("") + str("") + bytes({0x01, 0x00})) +
      nodeRecord("TSearchObject", "SearchObject", true, searchData(26, false)) +
      nodeRecord("TGrepObject", "GrepObject", false, disabledGrep) + fileEnd();
  TempFolder dir;
  const std::string old = dir.file("old.fll");
  writeFile(old, file);
  TFilterList list;
  list.loadFromFile(old);
  const TSearchObject *search = nullptr;
  const TGrepObject *grep = nullptr;
  for (int i = 0; i < list.count(); ++i) {
    if (auto *s = dynamic_cast<const TSearchObject *>(&list.node(i)))
      search = s;
    if (auto *g = dynamic_cast<const TGrepObject *>(&list.node(i)))
      grep = g;
  }
  ASSERT_NE(search, nullptr);
  ASSERT_NE(grep, nullptr);
  EXPECT_TRUE(search->ignoreCase);
  EXPECT_EQ(search->patternType, 3);
  EXPECT_EQ(search->bufferSize, 4096);
  EXPECT_EQ(grep->kind, 1);
  EXPECT_FALSE(grep->getEnabled());

  TFilterList again;
  expectSavedAgainTheSame(again, dir, saveAndLoad(list, dir, again));
}

} // namespace

// ---------------------------------------------------------------------------
// The filter files that bench/README.md runs through chainbench

namespace bench {

std::string listFolder() {
  return (std::filesystem::path(MARROWEN_SOURCE_DIR) / "bench" / "lists").string();
}

// Pattern [0-9]+ replaced by itself in angle brackets.
void searchList(TFilterList &list) {
  auto search = std::make_unique<TSearchObject>();
  search->patternType = 1;
  search->searchString = "[0-9]+";
  search->replaceString = "<$0>";
  std::vector<std::pair<std::unique_ptr<TListObject>, int>> nodes;
  nodes.emplace_back(std::move(search), 1);
  fillList(list, std::move(nodes));
}

// The lines holding three digits in a row, and in them only, "the" becomes
// "THE"; every other line passes unchanged.
void grepChildList(TFilterList &list) {
  auto grep = std::make_unique<TGrepObject>();
  grep->pattern = "[0-9][0-9][0-9]";
  grep->includeLineNumbers = grep->includeFileName = false;
  auto search = std::make_unique<TSearchObject>();
  search->searchString = "the";
  search->replaceString = "THE";
  search->ignoreCase = false;
  std::vector<std::pair<std::unique_ptr<TListObject>, int>> nodes;
  nodes.emplace_back(std::move(grep), 1);
  nodes.emplace_back(std::move(search), 2);
  fillList(list, std::move(nodes));
}

} // namespace bench

TEST(BenchLists, AreTheListsTheReadmeDescribes) {
  TempFolder dir;
  struct Case {
    const char *file;
    void (*make)(TFilterList &);
    const char *in, *out;
  };
  for (const Case &c : std::initializer_list<Case>{
           {"search.fll", bench::searchList, "a 12 b\r\n345\n", "a <12> b\r\n<345>\n"},
           {"grep-child.fll", bench::grepChildList, "the 123 the\nthe 12\nthe1234\n",
            "THE 123 THE\nthe 12\nTHE1234\n"},
       }) {
    SCOPED_TRACE(c.file);
    TFilterList made;
    c.make(made);
    const std::string stored = bench::listFolder() + "/" + c.file;
    made.saveToFile(dir.file(c.file));
    EXPECT_EQ(readFile(stored), readFile(dir.file(c.file)));

    TFilterList loaded;
    loaded.loadFromFile(stored);
    EXPECT_EQ(runList(loaded, c.in), c.out);
  }
}
