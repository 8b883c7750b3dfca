// Saved filter files must keep their bytes whatever the node code looks like
// inside: the files under data/ were written by an earlier build, and every
// build must read them and write them again unchanged.

#include "engine/escapes.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/unicodenodes.h"
#include "filterlist/utilitynodes.h"
#include "filterlist_testing.h"
#include "node_records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace marrowen::testing {
namespace {

std::filesystem::path sourceRoot() { return std::filesystem::path(MARROWEN_SOURCE_DIR); }

std::string dataPath(std::string_view file) {
  return (sourceRoot() / "tests" / "filterlist" / "data" / file).string();
}

// The stored bytes; MARROWEN_WRITE_STORED_LISTS=1 writes them first, which is
// only ever right when a stored layout changes on purpose.
std::string storedBytes(const std::string &path, const std::string &bytes) {
  if (const char *write = std::getenv("MARROWEN_WRITE_STORED_LISTS"); write && *write == '1')
    writeFile(path, bytes);
  return readFile(path);
}

// Every node class, each field away from its default where the layout
// allows, some classes twice where a kind changes what is stored.
void fillEveryNodeClass(TFilterList &list) {
  list.nodes.clear();
  auto top = std::make_unique<TFilterCommentObject>();
  top->log.enabled = true;
  top->log.fileName = "job.log";
  top->log.append = true;
  top->log.lineThreshold = 77;
  list.addNode(std::move(top), 0);

  auto in = std::make_unique<TInputObject>();
  in->promptEachFile = true;
  in->skipBinary = 2;
  in->inputFromFile = true;
  in->binarySampleSize = 333;
  in->promptOnReadOnly = true;
  in->deleteInput = true;
  list.addNode(std::move(in), 1);

  list.addNode(std::make_unique<TListObject>(), 1);
  list.addNode(TDescriptionObject::CreateWith(TDescriptionKind::TitleCase), 1, false);
  auto disabled = TDescriptionObject::CreateWith(TDescriptionKind::Rot13);
  disabled->setEnabled(false);
  list.addNode(std::move(disabled), 1);
  list.addNode(TNumberObject::CreateWith(3, 17), 1);
  auto text = TStringObject::CreateWith(2, "pre\\tfix");
  text->fileName = "c:\\lines.txt";
  text->useString = false;
  list.addNode(std::move(text), 1);
  auto search = std::make_unique<TSearchObject>();
  search->searchString = "a(b)c";
  search->replaceString = "x$1y";
  search->ignoreCase = false;
  search->wholeWord = true;
  search->caseSensitiveReplace = true;
  search->patternType = 4;
  search->promptOnReplace = true;
  search->skipPromptIdentical = true;
  search->firstOnly = true;
  search->bufferSize = 9000;
  search->threshold = 5;
  search->greedy = false;
  search->allowComments = true;
  search->dotMatchesNewLines = false;
  list.addNode(std::move(search), 1);
  auto grep = std::make_unique<TGrepObject>();
  grep->includeLineNumbers = false;
  grep->includeFileName = false;
  grep->ignoreCase = false;
  grep->countMatches = true;
  grep->pattern = "^[a-z]+$";
  grep->contextBefore = 2;
  grep->contextAfter = 3;
  grep->kind = 1;
  list.addNode(std::move(grep), 1);
  auto child = std::make_unique<TSearchObject>();
  child->searchString = "e";
  child->replaceString = "E";
  list.addNode(std::move(child), 2);
  auto extract = std::make_unique<TGrepObject>();
  extract->kind = 2;
  extract->pattern = "[0-9]+";
  list.addNode(std::move(extract), 1);

  auto eol = std::make_unique<TEOLObject>();
  eol->convertFrom = 3;
  eol->convertTo = 2;
  eol->fixedLength = 80;
  eol->removeBad = true;
  eol->outputText = "\\r";
  list.addNode(std::move(eol), 1);
  auto map = std::make_unique<TUserObject>();
  for (int n = 0; n < 256; ++n)
    map->entries[n] = encodeEscapes(std::string(1, static_cast<char>(255 - n)));
  map->entries['z'] = "zz";
  map->mapFileName = "c:\\maps\\rev.map";
  list.addNode(std::move(map), 1);

  auto lineNumbers = std::make_unique<TLineNumberObject>();
  lineNumbers->start = 10;
  lineNumbers->increment = 5;
  lineNumbers->skipBlankIncrement = true;
  lineNumbers->dontNumberBlank = true;
  lineNumbers->format = "%3d: ";
  list.addNode(std::move(lineNumbers), 1);
  auto headTail = std::make_unique<THeadTailObject>();
  headTail->include = 1;
  headTail->count = 25;
  headTail->units = 1;
  headTail->fromEnd = 1;
  list.addNode(std::move(headTail), 1);
  auto sort = std::make_unique<TSortObject>();
  sort->removeDuplicates = true;
  sort->reverseOrder = true;
  sort->sortType = 4;
  list.addNode(std::move(sort), 1);
  auto maths = std::make_unique<TMathsObject>();
  maths->operation = 2;
  maths->operand = 9;
  list.addNode(std::move(maths), 1);
  auto columns = std::make_unique<TDeleteColumnsObject>();
  columns->method = 3;
  columns->param1 = 4;
  columns->param2 = 9;
  columns->kind = TDeleteColumnsObject::SelectCSVFields;
  list.addNode(std::move(columns), 1);
  list.addNode(TDescriptionObject::CreateWith(TDescriptionKind::UpperCase), 2);

  auto merge = std::make_unique<TMergeObject>();
  merge->fileName = "c:\\parts\\other.fll";
  merge->kind = 1;
  list.addNode(std::move(merge), 1);
  auto split = std::make_unique<TSplitObject>();
  split->size = 5000;
  split->type = 2;
  split->character = 10;
  split->count = 3;
  split->position = 1;
  list.addNode(std::move(split), 1);
  auto duplicates = std::make_unique<TDuplicateObject>();
  duplicates->ignoreCase = false;
  duplicates->ignoreLeading = 4;
  duplicates->kind = 1;
  list.addNode(std::move(duplicates), 1);
  auto program = std::make_unique<TExecuteObject>();
  program->commandLine = "tool.exe -x";
  program->programInputFilename = "in.dat";
  program->programOutputFilename = "out.dat";
  list.addNode(std::move(program), 1);
  auto insert = std::make_unique<TInsertColumnObject>();
  insert->position = 12;
  insert->text = "| ";
  list.addNode(std::move(insert), 1);
  auto concordance = std::make_unique<TConcordanceObject>();
  concordance->wordMode = false;
  concordance->wordsBefore = 3;
  concordance->wordsAfter = 4;
  concordance->format = "%s [%s] %s";
  concordance->dictionary = {"alpha", "beta", "two words"};
  list.addNode(std::move(concordance), 1);

  list.addNode(TCommentObject::CreateWith("first line\r\nsecond line"), 1);
  auto script = std::make_unique<TScriptObject>();
  script->script = "function f(s) { return s; }";
  script->language = "JScript";
  list.addNode(std::move(script), 1);
  auto database = std::make_unique<TDatabaseObject>();
  database->connection = "Driver=x;Dbq=y";
  database->userName = "me";
  database->password = "secret";
  database->outputFormat = 2;
  database->fieldDelimiter = ";";
  database->textQualifier = "'";
  database->generateHeader = false;
  database->insertTable = "Rows";
  list.addNode(std::move(database), 1);
  auto unicode = std::make_unique<TUnicodeMapObject>();
  unicode->startValue = 128;
  unicode->endValue = 255;
  unicode->entries = {{"00E9", "e"}, {"00C0", "A"}};
  list.addNode(std::move(unicode), 1);

  auto out = std::make_unique<TOutputObject>();
  out->testMode = true;
  out->retainDate = true;
  out->outputToFile = TOutputObject::mergedFile;
  out->changeExtension = true;
  out->newExtension = ".new";
  out->changeBaseDir = true;
  out->newBaseDir = "c:\\out";
  out->keepStructure = true;
  out->singleFilename = "all.txt";
  out->appendMode = true;
  list.addNode(std::move(out), 1);

  list.comments = "comments";
  list.scratchPad = "scratch";
  list.trialInput = "trial 123";
  list.files = {{"/data/*.txt", "2 levels", "Add"}, {"old", "All", "Ignore"}};
  list.log.enabled = true;
  list.log.fileName = "job.log";
  list.log.append = true;
  list.log.lineThreshold = 77;
}

TEST(StoredLists, EveryNodeClassKeepsItsBytes) {
  TFilterList list;
  fillEveryNodeClass(list);
  const std::string bytes = filterFileBytes(list);
  const std::string stored = storedBytes(dataPath("every-node-class.fll"), bytes);
  EXPECT_EQ(bytes, stored);

  TFilterList loaded;
  loaded.loadFromBytes(stored, "every-node-class.fll");
  EXPECT_EQ(loaded.count(), list.count());
  EXPECT_EQ(filterFileBytes(loaded), stored);
}

// Texts typed in the code page, as the original and earlier builds stored
// them: an exact search without case, a pattern with a range of the code
// page's letters and a line selection.
void fillCodePageTexts(TFilterList &list) {
  list.resetToDefault();
  auto exact = std::make_unique<TSearchObject>();
  exact->searchString = "caf\xE9";
  exact->replaceString = "\xC9T\xC9";
  exact->ignoreCase = true;
  exact->wholeWord = true;
  auto pattern = std::make_unique<TSearchObject>();
  pattern->patternType = 1;
  pattern->searchString = "[\xE0-\xFF]+s";
  pattern->replaceString = "<$0>";
  pattern->ignoreCase = false;
  auto grep = std::make_unique<TGrepObject>();
  grep->pattern = "\xFC";
  grep->includeLineNumbers = grep->includeFileName = false;
  grep->ignoreCase = true;
  list.insertNode(2, std::move(exact), 1, true);
  list.insertNode(3, std::move(pattern), 1, true);
  list.insertNode(4, std::move(grep), 1, true);
}

// A filter file with texts of the code page loads with their bytes and runs
// over text of the code page as it did; its letters find themselves in
// UTF-8 text too, where the replacement's are written in UTF-8.
TEST(StoredLists, CodePageTextsRunAsBefore) {
  TFilterList list;
  fillCodePageTexts(list);
  const std::string stored = storedBytes(dataPath("code-page-texts.fll"), filterFileBytes(list));
  TFilterList loaded;
  loaded.loadFromBytes(stored, "code-page-texts.fll");
  EXPECT_EQ(filterFileBytes(loaded), stored);
  EXPECT_EQ(runList(loaded, "un CAF\xC9 \xFC"
                            "ber\nnada\n\xDC \xE0\xE9s caf\xE9s\n"),
            "un \xC9T\xC9 \xFC"
            "ber\n\xDC <\xE0\xE9s> caf<\xE9s>\n");
  EXPECT_EQ(runList(loaded, "un caf\u00e9 \u00fcber\n\u00e0\u00e9s \u00fc\n"),
            "un \u00c9T\u00c9 \u00fcber\n<\u00e0\u00e9s> \u00fc\n");
}

// The benchmark lists were saved by an earlier build; loaded and saved again
// they must come out as they are (ctest runs each through the benchmark
// driver and compares its output with the expected text).
TEST(StoredLists, BenchListsSaveAgainUnchanged) {
  for (const char *name : {"search", "grep-child", "builtin-nodes", "line-numbers", "csv-field"}) {
    SCOPED_TRACE(name);
    const std::string path =
        (sourceRoot() / "bench" / "lists" / (std::string(name) + ".fll")).string();
    TFilterList list;
    list.loadFromFile(path);
    EXPECT_EQ(filterFileBytes(list), readFile(path));
  }
}

} // namespace
} // namespace marrowen::testing
