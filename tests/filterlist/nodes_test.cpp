#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "filterlist/commentnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/settings.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// ---------------------------------------------------------------------------
// Node base

TEST(ListObject, VeryOldBaseNodeLoadsWithItsCaptionAndExportsItAsAComment) {
  // Type 5: a text before the (absent) enabled flag.
  auto node =
      readNodeRecord<TListObject>(nodeRecord("TListObject", "ListObject", true, str("old")), 5);
  EXPECT_TRUE(node->getEnabled());
  EXPECT_EQ(node->getTitle(), "Error - very old filter loaded");
  EXPECT_EQ(node->printText("  "), "Error - very old filter loaded\r\n");
  EXPECT_EQ(node->generateCmdLine(), "/{=Error - very old filter loaded");
}

TEST(ListObject, DisabledNodeBuildsNothingEvenWithInvalidSettings) {
  TFilterList list;
  TEOLObject eol;
  eol.convertFrom = 4;
  eol.fixedLength = 0; // refused when built
  EXPECT_ANY_THROW(eol.add_filter(list));
  eol.setEnabled(false);
  EXPECT_EQ(eol.add_filter(list), nullptr);
}

// A hundred characters, a UTF-8 letter one of them and never cut in half.
TEST(ListObject, ShortTitleCutsAfterOneHundredCharacters) {
  TCommentObject comment;
  comment.text = std::string(100, 'a');
  EXPECT_EQ(shortTitle(comment), std::string(100, 'a'));
  comment.text = std::string(100, 'a') + "b";
  EXPECT_EQ(shortTitle(comment), std::string(100, 'a') + " ...");
  comment.text = std::string(98, 'a') + "\xE6\x97\xA5\xE6\x9C\xAC";
  EXPECT_EQ(shortTitle(comment), comment.text);
  comment.text = std::string(99, 'a') + "\xE6\x97\xA5\xE6\x9C\xAC";
  EXPECT_EQ(shortTitle(comment), std::string(99, 'a') + "\xE6\x97\xA5 ...");
  comment.text = std::string(99, 'a') + "e\xCC\x81";
  EXPECT_EQ(shortTitle(comment), std::string(99, 'a') + " ...") << "a letter keeps its accent";
}

TEST(ListObject, HeadingShowsControlBytesAsBlanksWhileTheCaptionKeepsThem) {
  TCommentObject comment;
  comment.text = "a\tb\x7f"
                 "c";
  EXPECT_EQ(shortTitle(comment), "a\tb\x7f"
                                 "c");
  EXPECT_EQ(comment.headingText(), " a b c");
}

TEST(ListObject, LocalPathTurnsWindowsPathsIntoOnesThisSystemOpens) {
  EXPECT_EQ(localPath("c:\\windows\\temp"), "/windows/temp");
  EXPECT_EQ(localPath("D:\\a b\\x.map"), "/a b/x.map");
  EXPECT_EQ(localPath("maps\\x.map"), "maps/x.map");
  EXPECT_EQ(localPath("/home/u/x"), "/home/u/x");
  EXPECT_EQ(localPath("1:x"), "1:x");
}

// ---------------------------------------------------------------------------
// Input node

TEST(InputObject, NewNodeFromAnEmptyStoreReadsFilesAndPromptsOnReadOnly) {
  auto node = TInputObject::CreateDefault();
  EXPECT_TRUE(node->inputFromFile);
  EXPECT_FALSE(node->promptEachFile);
  EXPECT_EQ(node->skipBinary, 0);
  EXPECT_EQ(node->binarySampleSize, 100);
  EXPECT_TRUE(node->promptOnReadOnly);
  EXPECT_FALSE(node->deleteInput);
}

TEST(InputObject, RemembersItsDefaultsButNeverStartsDeletingInputs) {
  TInputObject node;
  node.promptEachFile = true;
  node.skipBinary = 2;
  node.inputFromFile = false;
  node.binarySampleSize = 512;
  node.deleteInput = true;
  node.rememberDefaults();
  EXPECT_TRUE(readBoolSetting("deleteInputFiles", false));
  auto fresh = TInputObject::CreateDefault();
  EXPECT_TRUE(fresh->promptEachFile);
  EXPECT_EQ(fresh->skipBinary, 2);
  EXPECT_FALSE(fresh->inputFromFile);
  EXPECT_EQ(fresh->binarySampleSize, 512);
  EXPECT_FALSE(fresh->promptOnReadOnly);
  EXPECT_FALSE(fresh->deleteInput);
}

TEST(InputObject, TitlesReportsAndCommandLines) {
  TInputObject node;
  node.inputFromFile = true;
  node.skipBinary = 1;
  EXPECT_EQ(node.getTitle(), "File input:skip binary");
  EXPECT_EQ(node.generateCmdLine(), "/BS");
  node.promptEachFile = node.promptOnReadOnly = node.deleteInput = true;
  node.skipBinary = 2;
  node.binarySampleSize = 64;
  EXPECT_EQ(node.getTitle(), "File input:confirm each,confirm r/o,delete,confirm binary");
  EXPECT_EQ(node.printText("> "),
            "Input from file(s)\r\n>   [X] Confirm before processing each file\r\n>   [X] "
            "Confirm before processing read/only files\r\n>   [X] Delete input files after "
            "processing\r\n>   Confirm each binary file\r\n>     Sample size 64 characters\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/BC");
  node.skipBinary = 0;
  node.promptOnReadOnly = false;
  EXPECT_EQ(node.printText(""), "Input from file(s)\r\n  [X] Confirm before processing each "
                                "file\r\n  [ ] Confirm before processing read/only files\r\n  "
                                "[X] Delete input files after processing\r\n  Process binary "
                                "files\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/BP");
  node.skipBinary = 5; // no word, no line, no code
  EXPECT_EQ(node.getTitle(), "File input:confirm each,delete,");
  EXPECT_EQ(node.generateCmdLine(), "");
  node.inputFromFile = false;
  EXPECT_EQ(node.generateCmdLine(), "/INPUTCLIPBOARD");
  node.skipBinary = 1;
  EXPECT_EQ(node.generateCmdLine(), "/BS\r\n/INPUTCLIPBOARD");
  EXPECT_EQ(node.getTitle(), "Clipboard input");
  EXPECT_EQ(node.printText("  "), "Input from clipboard\r\n");
  EXPECT_EQ(node.iconIndex(), 13);
}

TEST(InputObject, AutomationCheckAsksInOrderAndStopsAtCancel) {
  TInputObject node;
  node.promptEachFile = node.promptOnReadOnly = true;
  node.skipBinary = 2;
  std::vector<std::string> asked;
  std::vector<Answer> answers{Answer::Yes, Answer::No, Answer::Yes};
  auto ask = [&](const std::string &q) {
    asked.push_back(q);
    Answer a = answers.front();
    answers.erase(answers.begin());
    return a;
  };
  EXPECT_TRUE(node.automationCheck(ask));
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], "Input Filter: Prompt on Each File is enabled. Disable it?");
  EXPECT_EQ(asked[1], "Input Filter: Prompt on Read Only is enabled. Disable it?");
  EXPECT_EQ(asked[2], "Input Filter: Prompt on Binary is enabled. Change to Skip Binary?");
  EXPECT_FALSE(node.promptEachFile);
  EXPECT_TRUE(node.promptOnReadOnly);
  EXPECT_EQ(node.skipBinary, 1);

  asked.clear();
  answers = {Answer::Cancel};
  EXPECT_FALSE(node.automationCheck(ask));
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_TRUE(node.promptOnReadOnly);
}

TEST(InputObject, OldFileTypesLoadWithTheirDefaults) {
  // Type 7: no enabled flag, an extra Boolean after promptEachFile, no
  // inputFromFile.
  std::string data = boolean(true) + boolean(false) + int8(1);
  auto old = readNodeRecord<TInputObject>(nodeRecord("TInputObject", "InputObject", true, data), 7);
  EXPECT_TRUE(old->promptEachFile);
  EXPECT_EQ(old->skipBinary, 1);
  EXPECT_TRUE(old->inputFromFile);
  EXPECT_EQ(old->binarySampleSize, 100);
  EXPECT_TRUE(old->promptOnReadOnly);
  EXPECT_FALSE(old->deleteInput);

  data = boolean(true) + boolean(false) + boolean(true) + int8(2) + boolean(false) + int8(50);
  auto t20 =
      readNodeRecord<TInputObject>(nodeRecord("TInputObject", "InputObject", true, data), 20);
  EXPECT_EQ(t20->skipBinary, 2);
  EXPECT_FALSE(t20->inputFromFile);
  EXPECT_EQ(t20->binarySampleSize, 50);

  // Type 21 has no dropped Boolean.
  data = boolean(true) + boolean(false) + int8(2) + boolean(true) + int8(50);
  auto t21 =
      readNodeRecord<TInputObject>(nodeRecord("TInputObject", "InputObject", true, data), 21);
  EXPECT_FALSE(t21->promptEachFile);
  EXPECT_EQ(t21->skipBinary, 2);
  EXPECT_TRUE(t21->inputFromFile);
}

TEST(InputObject, IsAlwaysEnabled) {
  const std::string data = boolean(false) + boolean(false) + int8(0) + boolean(true) + int8(100) +
                           boolean(true) + boolean(false);
  auto node =
      readNodeRecord<TInputObject>(nodeRecord("TInputObject", "InputObject", false, data), 47);
  EXPECT_FALSE(node->enabledField());
  EXPECT_TRUE(node->getEnabled());
  // Saved again, the published property holds what getEnabled answers, as
  // the Windows program wrote it; the common part keeps the flag.
  const std::string saved = recordOf(*node);
  EXPECT_EQ(saved, nodeRecord("TInputObject", "InputObject", true, data));
  auto again = readNodeRecord<TInputObject>(saved, 47);
  EXPECT_FALSE(again->enabledField());
  EXPECT_EQ(recordOf(*again), saved);

  TOutputObject output;
  output.setEnabled(false);
  EXPECT_EQ(recordOf(output).substr(0, 1 + 13 + 1 + 1 + 7 + 1),
            name("TOutputObject") + bytes({0}) + name("enabled") + boolean(true));
}

// ---------------------------------------------------------------------------
// Output node

TEST(OutputObject, NewNodeDefaultsWithTheSystemsTemporaryFolder) {
  auto node = TOutputObject::CreateDefault();
  EXPECT_TRUE(node->testMode);
  EXPECT_TRUE(node->retainDate);
  EXPECT_EQ(node->outputToFile, 1);
  EXPECT_EQ(node->newExtension, ".txt");
  EXPECT_EQ(node->newBaseDir, std::filesystem::temp_directory_path().string());
  EXPECT_EQ(node->singleFilename, "mergefilename.txt");
  EXPECT_FALSE(node->appendMode);
  EXPECT_TRUE(node->showsTestMode());
}

TEST(OutputObject, Titles) {
  TOutputObject node;
  node.outputToFile = 1;
  EXPECT_EQ(node.getTitle(), "File output ");
  node.retainDate = true;
  EXPECT_EQ(node.getTitle(), "File output:retain date ");
  node.testMode = node.changeExtension = node.changeBaseDir = true;
  node.newExtension = ".out";
  node.newBaseDir = "c:\\x";
  EXPECT_EQ(node.getTitle(),
            "File output:test mode,retain date,new extension .out,new base dir c:\\x ");
  node.outputToFile = 2;
  node.singleFilename = "all.txt";
  EXPECT_EQ(node.getTitle(), "Merge to file all.txt");
  node.outputToFile = 0;
  EXPECT_EQ(node.getTitle(), "Clipboard output");
  node.outputToFile = 7;
  EXPECT_EQ(node.getTitle(), "");
}

TEST(OutputObject, ReportsAndCommandLines) {
  TOutputObject node;
  node.outputToFile = 1;
  node.testMode = true;
  node.changeExtension = false;
  node.newExtension = ".txt";
  EXPECT_EQ(node.printText("-"),
            "Output to file(s)\r\n-  [X] Test mode\r\n-  [ ] Keep original file's date and "
            "time\r\n-  [ ] Append mode\r\n-  [ ] Change extension to: .txt\r\n");
  node.changeBaseDir = node.keepStructure = true;
  node.newBaseDir = "/out";
  EXPECT_EQ(node.printText("-").substr(node.printText("-").find("-  Output")),
            "-  Output folder: /out\r\n-  [X] Maintain folder structure\r\n");
  // What decides which files are written goes into the command line too.
  EXPECT_EQ(node.generateCmdLine(),
            "/N-\r\n/T+\r\n/OUTPUTFOLDER=/out\r\n/KEEPSTRUCTURE+\r\n/APPEND-\r\n");
  node.changeBaseDir = false;
  node.changeExtension = node.appendMode = true;
  EXPECT_EQ(node.generateCmdLine(), "/N-\r\n/T+\r\n/EXTENSION=.txt\r\n/APPEND+\r\n");
  node.outputToFile = 2;
  node.singleFilename = "m.txt";
  node.retainDate = true;
  node.testMode = false;
  EXPECT_EQ(node.printText(""), "Merge output to file m.txt\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/N+\r\n/T-\r\n/MERGETOFILE=m.txt\r\n/APPEND+\r\n");
  node.outputToFile = 0;
  EXPECT_EQ(node.printText(""), "Output to clipboard\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/N+\r\n/T-\r\n/OUTPUTCLIPBOARD\r\n");
}

// A kind no output answers to (a damaged or later file) would let the job
// read every file, write nothing and report success.
TEST(OutputObject, UnknownKindStopsTheBuild) {
  TFilterList list;
  makeList(list);
  auto &output = dynamic_cast<TOutputObject &>(list.node(list.count() - 1));
  output.outputToFile = 3;
  int errorIndex = -1;
  EXPECT_THROW(list.createFilters(false, false, errorIndex), Exception);
  EXPECT_EQ(errorIndex, list.count() - 1);
  EXPECT_EQ(output.outputToFile, 3);
}

std::string accents(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "\xC3\xA9";
  return text;
}

TEST(OutputObject, OldFileTypesLoadWithTheirDefaults) {
  // Type 39: the kind is a Boolean; no merged file name, no append mode.
  const std::string data = boolean(true) + boolean(true) + boolean(false) + boolean(true) +
                           boolean(true) + bytes({0x0C, 44, 1, 0, 0}) + std::string(300, 'e') +
                           boolean(false) + bytes({0x0C, 44, 1, 0, 0}) + accents(150) +
                           boolean(true);
  auto t39 =
      readNodeRecord<TOutputObject>(nodeRecord("TOutputObject", "OutputObject", true, data), 39);
  EXPECT_TRUE(t39->testMode);
  EXPECT_EQ(t39->outputToFile, 1);
  EXPECT_TRUE(t39->changeExtension);
  EXPECT_EQ(t39->newExtension, std::string(255, 'e'));
  // Cut to 255 bytes between letters, not inside one.
  EXPECT_EQ(t39->newBaseDir, accents(127));
  EXPECT_TRUE(t39->keepStructure);
  EXPECT_EQ(t39->singleFilename, "mergefilename.txt");
  EXPECT_FALSE(t39->appendMode);

  // Type 7: only the two flags.
  auto t7 = readNodeRecord<TOutputObject>(
      nodeRecord("TOutputObject", "OutputObject", true, boolean(false) + boolean(true)), 7);
  EXPECT_FALSE(t7->testMode);
  EXPECT_TRUE(t7->retainDate);
  EXPECT_EQ(t7->outputToFile, 1);
  EXPECT_EQ(t7->newExtension, ".txt");
  EXPECT_EQ(t7->newBaseDir, "c:\\windows\\temp");
  EXPECT_FALSE(t7->changeBaseDir);

  // Type 8 with the kind false: the clipboard.
  auto t8 =
      readNodeRecord<TOutputObject>(nodeRecord("TOutputObject", "OutputObject", true,
                                               boolean(false) + boolean(true) + boolean(false)),
                                    8);
  EXPECT_EQ(t8->outputToFile, 0);
}

// ---------------------------------------------------------------------------
// End-of-line node

TEST(EOLObject, DefaultsTitlesAndCommandLines) {
  auto node = TEOLObject::CreateDefault();
  EXPECT_EQ(node->convertFrom, 0);
  EXPECT_EQ(node->convertTo, 2);
  EXPECT_EQ(node->fixedLength, 80);
  EXPECT_TRUE(node->removeBad);
  EXPECT_EQ(node->getTitle(), "Convert End of Lines - Unix to DOS");
  EXPECT_EQ(node->generateCmdLine(), "/ERUD");
  EXPECT_EQ(node->printText("  "),
            "Convert End of Lines - Unix to DOS\r\n    [X] Remove bad EOL\r\n");

  struct Case {
    int from, to;
    bool removeBad;
    const char *title, *cmd;
  };
  for (const Case &c : std::initializer_list<Case>{
           {1, 0, false, "Convert End of Lines - Mac to Unix", "/EMU"},
           {2, 1, true, "Convert End of Lines - DOS to Mac", "/ERDM"},
           {3, 3, false, "Convert End of Lines - Auto to None", "/EAN"},
           {4, 4, false, "Convert End of Lines - Fixed (132) to String [\\r\\n]",
            "/{=Convert End of Lines - Fixed (132) to String [\\\\r\\\\n]"},
           {4, 2, true, "Convert End of Lines - Fixed (132) to DOS", "/ERF132D"},
           {9, 9, false, "Convert End of Lines -  to ", "/{=Convert End of Lines -  to "},
       }) {
    TEOLObject eol;
    eol.convertFrom = c.from;
    eol.convertTo = c.to;
    eol.removeBad = c.removeBad;
    eol.fixedLength = 132;
    eol.outputText = "\\r\\n";
    EXPECT_EQ(eol.getTitle(), c.title);
    EXPECT_EQ(eol.generateCmdLine(), c.cmd);
  }
}

TEST(EOLObject, RemembersItsDefaults) {
  TEOLObject node;
  node.convertFrom = 3;
  node.convertTo = 4;
  node.fixedLength = 10;
  node.outputText = "\\t";
  node.rememberDefaults();
  auto fresh = TEOLObject::CreateDefault();
  EXPECT_EQ(fresh->convertFrom, 3);
  EXPECT_EQ(fresh->convertTo, 4);
  EXPECT_EQ(fresh->fixedLength, 10);
  EXPECT_FALSE(fresh->removeBad);
  EXPECT_EQ(fresh->outputText, "\\t");
}

TEST(EOLObject, BuildsTheConversionItsSettingsName) {
  TEOLObject node;
  node.removeBad = true;
  node.convertFrom = 0;
  node.convertTo = 2;
  EXPECT_EQ(runNode(node, "a\nb\r\n"), "a\r\nb\r\n");
  node.convertFrom = 2;
  node.convertTo = 0;
  EXPECT_EQ(runNode(node, "a\r\nb\rc\n"), "a\nbc");
  node.convertFrom = 3;
  node.convertTo = 3;
  EXPECT_EQ(runNode(node, "a\r\nb\rc\n"), "abc");
  // The output text is cut to its first two bytes once decoded.
  node.convertTo = 4;
  node.outputText = "\\r\\n\\t";
  EXPECT_EQ(runNode(node, "a\nb\n"), "a\r\nb\r\n");
  node.convertFrom = 4;
  node.fixedLength = 2;
  node.outputText = "|";
  EXPECT_EQ(runNode(node, "abcde"), "ab|cd|e");
  // An unknown source builds no filter, so the chain passes the text on untouched.
  node.convertFrom = 8;
  TFilterList list;
  EXPECT_EQ(node.add_filter(list), nullptr);
}

TEST(EOLObject, UnknownTargetIsRefusedRatherThanDroppingLineEnds) {
  TEOLObject node;
  node.convertTo = 5;
  TFilterList list;
  EXPECT_THROW(node.add_filter(list), ERangeError);
}

TEST(EOLObject, FileOfType30HasATabAsOutputText) {
  const std::string data = boolean(true) + int8(4) + int8(20) + boolean(false) + int8(4);
  auto node = readNodeRecord<TEOLObject>(nodeRecord("TEOLObject", "EOLObject", true, data), 30);
  EXPECT_EQ(node->convertFrom, 4);
  EXPECT_EQ(node->fixedLength, 20);
  EXPECT_EQ(node->convertTo, 4);
  EXPECT_EQ(node->outputText, "\\009");
}

// ---------------------------------------------------------------------------
// Character-map node

TEST(UserObject, NewNodeIsTheIdentityMapInEscapedForm) {
  auto node = TUserObject::CreateDefault();
  EXPECT_EQ(node->entries[65], "A");
  EXPECT_EQ(node->entries[10], encodeEscapes("\n"));
  EXPECT_EQ(node->getTitle(), "Map");
  EXPECT_EQ(node->printText("  "), "Map\r\n");
  EXPECT_EQ(node->generateCmdLine(), "/{=Map");
  EXPECT_EQ(runNode(*node, std::string("Ab\0\xff", 4)), std::string("Ab\0\xff", 4));
}

TEST(UserObject, RemembersEachEntryUnderItsOwnName) {
  auto node = TUserObject::CreateDefault();
  node->entries[66] = "\\067";
  node->rememberDefaults();
  EXPECT_EQ(readStringSetting("rUser_66", ""), "\\067");
  EXPECT_EQ(TUserObject::CreateDefault()->entries[66], "\\067");
}

TEST(UserObject, ReportListsOnlyChangedEntriesAndTheFilterDecodesThem) {
  auto node = TUserObject::CreateDefault();
  node->entries[65] = "\\066";
  node->entries[7] = "";
  EXPECT_EQ(node->printText(">"), "Map\r\n>  007 []\r\n>  065 [\\066]\r\n");
  EXPECT_EQ(runNode(*node, "AA\aA"), "BBB");
}

TEST(UserObject, TitleIsTheMapFilesNameWithoutItsExtension) {
  TUserObject node;
  node.mapFileName = "c:\\maps\\Upper.MAP";
  EXPECT_EQ(node.getTitle(), "Upper - Map");
  node.mapFileName = "/home/u/maps/a.map.map";
  EXPECT_EQ(node.getTitle(), "a.map - Map");
}

TEST(UserObject, MapFileSavesAndLoadsBackTheSameEntries) {
  TempFolder dir;
  auto node = TUserObject::CreateDefault();
  node->entries[7] = "";
  node->entries[65] = "\\066";
  node->entries[255] = "end of \\r\\n";
  // Raw line ends (a pasted cell) must not break the entry's line.
  node->entries[10] = "\r\n";
  node->entries[11] = "a\\\rb\\c\n";
  const std::string file = dir.file("x.map");
  ASSERT_TRUE(node->saveToTextFile(file));
  EXPECT_EQ(node->mapFileName, file);

  const std::string text = readFile(file);
  EXPECT_EQ(text.rfind(";Marrowen map file\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\n7 \r\n8 "), std::string::npos);
  EXPECT_NE(text.find("\r\n65 \\066\r\n66 B\r\n"), std::string::npos);
  EXPECT_EQ(text.find('\n'), text.find('\r') + 1);

  TUserObject loaded;
  loaded.loadFromTextFile(file);
  for (int n = 0; n < 256; ++n)
    if (n == 10 || n == 11)
      EXPECT_EQ(decodeEscapes(loaded.entries[n]), decodeEscapes(node->entries[n]));
    else
      EXPECT_EQ(loaded.entries[n], node->entries[n]);
  EXPECT_EQ(loaded.getTitle(), "x - Map");
}

TEST(UserObject, MapFileLinesMayEndInCrLfLfOrCr) {
  TempFolder dir;
  const std::string file = dir.file("ends.map");
  writeFile(file, ";c\r\n65 a\r\n66 b\n\n67 c\r68 d");
  TUserObject node;
  node.loadFromTextFile(file);
  EXPECT_EQ(node.entries[65], "a");
  EXPECT_EQ(node.entries[66], "b");
  EXPECT_EQ(node.entries[67], "c");
  EXPECT_EQ(node.entries[68], "d");
  EXPECT_EQ(node.entries[69], ""); // CreateWith-like: untouched entries stay
}

TEST(UserObject, BadCodesStopTheLoadNamingFileAndLine) {
  TempFolder dir;
  const std::string file = dir.file("bad.map");
  writeFile(file, "65 a\n300 x\n66 b\n");
  TUserObject node;
  try {
    node.loadFromTextFile(file);
    FAIL();
  } catch (const ERangeError &e) {
    EXPECT_EQ(e.message(), "Range check error (" + file + ", line 2)");
  }
  EXPECT_EQ(node.entries[65], "a");
  EXPECT_EQ(node.entries[66], "");

  writeFile(file, ";x\nAB c\n");
  try {
    node.loadFromTextFile(file);
    FAIL();
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.message(), "'AB' is not a valid integer value (" + file + ", line 2)");
  }
  // A code of five digits is cut to four: 00065 -> 0006.
  writeFile(file, "00065 z\n");
  node.loadFromTextFile(file);
  EXPECT_EQ(node.entries[6], "z");
}

TEST(UserObject, MissingMapFileRaises9730AndKeepsTheName) {
  TUserObject node;
  try {
    node.loadFromTextFile("/no/such/x.map");
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(), "Couldn't open /no/such/x.map");
  }
  EXPECT_EQ(node.mapFileName, "/no/such/x.map");
  EXPECT_THROW(TUserObject::CreateWith("/no/such/x.map"), Exception);
}

TEST(UserObject, FailedSaveGoesToTheStatusLineAndRaisesNothing) {
  TUserObject node;
  std::string status;
  EXPECT_FALSE(
      node.saveToTextFile("/no/such/folder/x.map", [&](const std::string &s) { status = s; }));
  EXPECT_EQ(status, "Couldn't open /no/such/folder/x.map");
  EXPECT_EQ(node.mapFileName, "/no/such/folder/x.map");
}

// A text limited in bytes, filled with letters of 2, 3 and 4 bytes (and a
// letter with marks, and escapes of a UTF-8 letter), is cut before the
// letter that does not fit: what the filters write stays valid UTF-8.
TEST(UserObject, LimitsInBytesCutBeforeTheLetterThatDoesNotFit) {
  TEOLObject eol;
  eol.convertTo = 4;
  const std::pair<const char *, const char *> lineEnds[] = {
      {"\xC2\xB6", "a\xC2\xB6"
                   "b\xC2\xB6"},
      {"\xC2\xB6\xE2\x86\x92", "a\xC2\xB6"
                               "b\xC2\xB6"},
      {"\\r\\n\xE2\x86\x92", "a\r\nb\r\n"},
      // Nothing fits: no line end at all would run the lines together.
      {"\xE2\x86\x92", nullptr},
      {"\xF0\x9F\x98\x80", nullptr},
      {"e\xCC\x81", nullptr},
  };
  for (const auto &[text, converted] : lineEnds) {
    eol.outputText = text;
    if (converted) {
      EXPECT_EQ(runNode(eol, "a\nb\n"), converted) << text;
      continue;
    }
    TFilterList list;
    try {
      eol.add_filter(list);
      ADD_FAILURE() << "a line end of nothing was built for " << text;
    } catch (const Exception &e) {
      EXPECT_NE(e.message().find(std::string("the line end [") + text + "] is longer than 2 bytes"),
                std::string::npos)
          << e.message();
    }
  }

  TempFolder dir;
  const std::string file = dir.file("letters.map");
  auto times = [](std::string_view letter, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
      out += letter;
    return out;
  };
  writeFile(file, "97 " + times("\xC3\xA4", 200) + "\r\n98 " + times("\xE2\x86\x92", 100) +
                      "\r\n99 " + times("\xF0\x9F\x98\x80", 70) + "\r\n100 " +
                      times("\\195\\164", 40) + "\r\n101 " +
                      times("e\xCC\x81\xCC\x82\xCC\x83", 40) + "\r\n");
  TUserObject map;
  map.loadFromTextFile(file);
  EXPECT_EQ(map.entries[97], times("\xC3\xA4", 127));
  EXPECT_EQ(map.entries[98], times("\xE2\x86\x92", 85));
  EXPECT_EQ(map.entries[99], times("\xF0\x9F\x98\x80", 63));
  EXPECT_EQ(map.entries[100], times("\\195\\164", 31)) << "no escape, and no letter, in half";
  EXPECT_EQ(map.entries[101], times("e\xCC\x81\xCC\x82\xCC\x83", 36));
  EXPECT_TRUE(utf8::isValid(runNode(map, "abcde")));
}

TEST(UserObject, LongEntriesAreCutTo255WhenRead) {
  std::string data = boolean(true) + str("m.map");
  for (int n = 0; n < 256; ++n)
    data += n == 3 ? bytes({0x0C, 44, 1, 0, 0}) + std::string(300, 'x') : str("");
  auto node = readNodeRecord<TUserObject>(nodeRecord("TUserObject", "UserObject", true, data), 47);
  EXPECT_EQ(node->entries[3], std::string(255, 'x'));
  EXPECT_EQ(node->mapFileName, "m.map");
}

// ---------------------------------------------------------------------------
// Comment and options nodes

TEST(CommentObject, TitlesReportsAndCommandLines) {
  TCommentObject empty;
  EXPECT_EQ(empty.getTitle(), "Comment");
  EXPECT_EQ(empty.printText("  "), "Comment...\r\n");
  EXPECT_TRUE(empty.canParent());
  EXPECT_EQ(empty.iconIndex(), 5);

  auto two = TCommentObject::CreateWith("first\r\nsecond");
  EXPECT_EQ(two->getTitle(), "first");
  EXPECT_EQ(two->printText(">"), "Comment...\r\n>  first\r\n>  second\r\n");
  EXPECT_EQ(two->generateCmdLine(), "/{=" + escapeControlChars("first\r\nsecond"));
  EXPECT_EQ(two->generateCmdLine().find('\n'), std::string::npos);
  EXPECT_EQ(two->generateCmdLine().find("/{=", 1), std::string::npos);
}

TEST(CommentObject, OldFilesJoinHeadingAndBody) {
  auto node =
      readNodeRecord<TCommentObject>(nodeRecord("TCommentObject", "CommentObject", true,
                                                boolean(true) + str("{Note}") + str("more")),
                                     27);
  EXPECT_EQ(node->text, "Note\r\nmore");
  auto bare = readNodeRecord<TCommentObject>(
      nodeRecord("TCommentObject", "CommentObject", true, boolean(true) + str("") + str("x")), 27);
  EXPECT_EQ(bare->text, "\r\nx");
  auto current = readNodeRecord<TCommentObject>(
      nodeRecord("TCommentObject", "CommentObject", false, boolean(false) + str("{a}")), 28);
  EXPECT_EQ(current->text, "{a}");
  EXPECT_FALSE(current->getEnabled());
}

TEST(FilterCommentObject, OptionsNode) {
  auto node = TFilterCommentObject::CreateDefault();
  EXPECT_TRUE(node->log.enabled);
  EXPECT_EQ(node->log.fileName, "marrowen.log");
  EXPECT_TRUE(node->log.append);
  EXPECT_EQ(node->log.lineThreshold, 500);
  EXPECT_EQ(node->getTitle(), "Filter options");
  EXPECT_EQ(node->generateCmdLine(), "/LOG=marrowen.log");
  node->log.append = false;
  EXPECT_EQ(node->printText("-"), "Filter options\r\n-  [X] Log to file\r\n-  [ ] Append to "
                                  "logfile\r\n-  Log filename: marrowen.log\r\n-  Threshold "
                                  "500\r\n");
  node->setEnabled(false);
  EXPECT_TRUE(node->getEnabled());
  // The published property says what getEnabled says; the common part keeps the flag.
  EXPECT_EQ(recordOf(*node),
            nodeRecord("TFilterCommentObject", "ListObject", true, boolean(false)));
  node->log.lineThreshold = 9;
  node->rememberDefaults();
  EXPECT_EQ(TFilterCommentObject::CreateDefault()->log.lineThreshold, 9);
}

// ---------------------------------------------------------------------------
// Stored records, byte for byte as the Windows program wrote them

TEST(StoredRecords, InputAndOutputNodes) {
  TInputObject in;
  in.promptEachFile = true;
  in.skipBinary = 2;
  in.inputFromFile = false;
  in.binarySampleSize = 1000;
  in.promptOnReadOnly = true;
  in.deleteInput = false;
  EXPECT_EQ(recordOf(in),
            nodeRecord("TInputObject", "InputObject", true,
                       boolean(true) + boolean(true) + int8(2) + boolean(false) +
                           bytes({0x03, 0xE8, 0x03}) + boolean(true) + boolean(false)));

  TOutputObject out;
  out.testMode = false;
  out.retainDate = true;
  out.outputToFile = 2;
  out.changeExtension = true;
  out.newExtension = ".e";
  out.changeBaseDir = false;
  out.newBaseDir = "c:\\d";
  out.keepStructure = true;
  out.singleFilename = "m";
  out.appendMode = false;
  EXPECT_EQ(recordOf(out),
            nodeRecord("TOutputObject", "OutputObject", true,
                       boolean(true) + boolean(false) + boolean(true) + int8(2) + boolean(true) +
                           str(".e") + boolean(false) + str("c:\\d") + boolean(true) + str("m") +
                           boolean(false)));
}

TEST(StoredRecords, EndOfLineMapAndCommentNodes) {
  TEOLObject eol;
  eol.convertFrom = 4;
  eol.fixedLength = 132;
  eol.removeBad = false;
  eol.convertTo = 1;
  eol.outputText = "\\t";
  EXPECT_EQ(recordOf(eol), nodeRecord("TEOLObject", "EOLObject", true,
                                      boolean(true) + int8(4) + bytes({0x03, 132, 0}) +
                                          boolean(false) + int8(1) + str("\\t")));

  TUserObject map;
  map.mapFileName = "c:\\maps\\x.map";
  map.entries[1] = "\\001";
  map.entries[255] = std::string(255, 'z');
  map.setEnabled(false);
  std::string entries;
  for (int n = 0; n < 256; ++n)
    entries += n == 255 ? bytes({0x06, 0xFF}) + std::string(255, 'z') : str(map.entries[n]);
  EXPECT_EQ(recordOf(map), nodeRecord("TUserObject", "UserObject", false,
                                      boolean(false) + str("c:\\maps\\x.map") + entries));

  auto comment = TCommentObject::CreateWith(std::string(300, 'c'));
  EXPECT_EQ(recordOf(*comment),
            nodeRecord("TCommentObject", "CommentObject", true,
                       boolean(true) + bytes({0x0C, 44, 1, 0, 0}) + std::string(300, 'c')));
}

// ---------------------------------------------------------------------------
// Placeholders of classes not built yet

TEST(PlaceholderObject, KeepsItsValuesAndRefusesToBuild) {
  registerLaterNodeClass();
  const std::string record =
      nodeRecord("TLaterObject", "LaterObject", true, boolean(true) + str("pat") + int8(3));
  auto node = readNodeRecord<TPlaceholderObject>(record, 47);
  EXPECT_EQ(recordOf(*node), record);
  EXPECT_EQ(node->getTitle(), "LaterObject");
  TFilterList list;
  try {
    node->add_filter(list);
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(), "The filter 'LaterObject' cannot be run by this version");
  }
  node->setEnabled(false);
  EXPECT_EQ(node->add_filter(list), nullptr);
}

TEST(PlaceholderObject, FromAnOlderFileItCannotBeSavedInTheCurrentLayout) {
  registerLaterNodeClass();
  auto node = readNodeRecord<TPlaceholderObject>(
      nodeRecord("TLaterObject", "LaterObject", true, boolean(true) + str("q")), 30);
  EXPECT_THROW(recordOf(*node), EWriteError);
}

} // namespace
