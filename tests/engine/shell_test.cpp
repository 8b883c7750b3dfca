#include "engine/shell.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <chrono>
#include <sys/stat.h>
#include <thread>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {

void makeScript(const std::string &file, const std::string &body) {
  writeFile(file, "#!/bin/sh\n" + body);
  ::chmod(file.c_str(), 0755);
}

// A started program runs on its own; wait for the file it writes last.
std::string waitForFile(const std::string &file) {
  for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return readFile(file);
}

std::string errorText() {
  std::string text = "unchanged";
  shellErrorText(text);
  return text;
}

} // namespace

TEST(Shell, SplitsParametersAsTheShellDoes) {
  using Words = std::vector<std::string>;
  const std::pair<const char *, Words> cases[] = {
      {"", {}},
      {"  a  b\tc ", {"a", "b", "c"}},
      {"\"C:\\Program Files\\x\" /g", {"C:\\Program Files\\x", "/g"}},
      {"'it''s' here", {"its", "here"}},
      {"\"say \\\"hi\\\"\" \\$HOME", {"say \"hi\"", "$HOME"}},
      {"a\\ b \"\" ''", {"a b", "", ""}},
      {"pre\"fix suf\"fix", {"prefix suffix"}},
      {"\"unterminated text", {"unterminated text"}},
      {"$HOME *.txt", {"$HOME", "*.txt"}},
  };
  for (const auto &[text, words] : cases)
    EXPECT_EQ(splitShellWords(text), words) << text;
}

TEST(Shell, MissingFilesAndFolders) {
  TempFolder folder;
  EXPECT_EQ(shellExecute(folder.file("missing.txt"), "", "", swShow), seErrFileNotFound);
  EXPECT_EQ(errorText(), "The specified file was not found.");
  EXPECT_EQ(shellExecute(folder.file("no/such/file.txt"), "", "", swShow), seErrPathNotFound);
  EXPECT_EQ(errorText(), "The specified path was not found.");
  EXPECT_EQ(shellExecute("ls", "", folder.file("no-folder"), swShow), seErrPathNotFound);
  EXPECT_EQ(shellExecute("no-such-program-anywhere-42", "", "", swShow), seErrFileNotFound);
  EXPECT_FALSE(shellOpen(""));
}

TEST(Shell, StartsProgramsWithTheirParametersWhole) {
  TempFolder folder;
  const std::string dir = folder.path().substr(0, folder.path().size() - 1); // as pwd shows it
  std::string script = folder.file("record.sh");
  makeScript(script, "for a in \"$@\"; do printf '%s|' \"$a\"; done > args.tmp\n"
                     "pwd >> args.tmp\nmv args.tmp args.txt\n");
  // Well beyond the 255 bytes that the texts were once cut to.
  std::string longWord(400, 'w');
  EXPECT_TRUE(execFile(script, "one 'two words' " + longWord, dir, swShow));
  EXPECT_EQ(waitForFile(folder.file("args.txt")), "one|two words|" + longWord + "|" + dir + "\n");
  EXPECT_EQ(errorText(), "unchanged") << "a success leaves the text as it was";

  // A relative name is found in the working folder.
  std::filesystem::remove(folder.file("args.txt"));
  EXPECT_TRUE(execFile("record.sh", "x", dir, swShow));
  EXPECT_EQ(waitForFile(folder.file("args.txt")), "x|" + dir + "\n");
}

TEST(Shell, DocumentsGoToTheOpener) {
  TempFolder folder;
  std::string document = folder.file("notes.txt");
  writeFile(document, "text");
  std::string opener = folder.file("opener.sh");
  struct Case {
    int exitCode;
    int result;
    const char *text;
  };
  const Case cases[] = {
      {0, shellSuccess, "unchanged"},
      {3, seErrNoAssoc, "There is no application associated with the given filename extension."},
      {4, seErrNoAssoc, "There is no application associated with the given filename extension."},
      {2, seErrFileNotFound, "The specified file was not found."},
      {1, seErrAssocIncomplete, "The filename association is incomplete or invalid."},
  };
  for (const Case &c : cases) {
    makeScript(opener, "printf '%s' \"$1\" > " + folder.file("opened.txt") + "\nexit " +
                           std::to_string(c.exitCode) + "\n");
    setDocumentOpener(opener);
    EXPECT_EQ(shellExecute(document, "", "", swShow), c.result) << c.exitCode;
    EXPECT_EQ(errorText(), c.text);
    EXPECT_EQ(readFile(folder.file("opened.txt")), document);
  }
  makeScript(opener, "printf '%s' \"$1\" > " + folder.file("opened.txt") + "\n");
  EXPECT_TRUE(shellOpen("https://example.org/page?q=1"));
  EXPECT_EQ(readFile(folder.file("opened.txt")), "https://example.org/page?q=1");
  // A text file marked executable is no program: it is opened as a document.
  std::string marked = folder.file("marked.txt");
  writeFile(marked, "just text\n");
  ::chmod(marked.c_str(), 0755);
  EXPECT_TRUE(shellOpen(marked));
  EXPECT_EQ(readFile(folder.file("opened.txt")), marked);

  setDocumentOpener(folder.file("no-opener"));
  EXPECT_EQ(shellExecute(document, "", "", swShow), seErrNoAssoc);
  setDocumentOpener("xdg-open");
}

TEST(Shell, ErrorTextLeavesUnknownCodesAlone) {
  EXPECT_EQ(shellExecute("true", "", "", swShow), shellSuccess);
  EXPECT_EQ(lastShellResult(), 42);
  EXPECT_EQ(errorText(), "unchanged");
}
