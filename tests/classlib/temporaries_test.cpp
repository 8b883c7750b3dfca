#include "classlib/temporaries.h"

#include "support/temp_folder.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marrowen;
using namespace marrowen::testing;

// A process killed with temporary files in flight leaves them; a later run
// removes them, but never while that process runs, never a file let go on
// purpose, and never a file that is not named as a temporary one, whatever a
// journal says.
TEST(TemporariesInFlight, TheNextRunRemovesWhatAKilledOneLeft) {
  TempFolder folder;
  const std::string journals = folder.file("journals");
  std::string inFlight = folder.file("KVBXXXXXX"), saving = folder.file("list.fll.~XXXXXX"),
              letGo = folder.file("KVBXXXXXX");
  int made[2];
  ASSERT_EQ(::pipe(made), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    recordTemporariesIn(journals);
    int fd = -1;
    const TemporaryEntry first = TemporaryEntry::createFile(inFlight, 0, fd);
    const TemporaryEntry second = TemporaryEntry::createFile(saving, 0, fd);
    TemporaryEntry::createFile(letGo, 0, fd); // kept for the user
    const std::string names = inFlight + '\n' + saving + '\n' + letGo + '\n';
    if (::write(made[1], names.data(), names.size()) != static_cast<ssize_t>(names.size()))
      std::_Exit(1);
    for (;;)
      ::pause();
  }
  ::close(made[1]);
  std::string names;
  char block[4096];
  for (ssize_t n; std::count(names.begin(), names.end(), '\n') < 3 &&
                  (n = ::read(made[0], block, sizeof block)) > 0;)
    names.append(block, static_cast<std::size_t>(n));
  ::close(made[0]);
  std::istringstream lines(names);
  std::getline(lines, inFlight);
  std::getline(lines, saving);
  std::getline(lines, letGo);

  // A journal of a process that has gone, written by hand.
  writeFile(folder.file("important.txt"), "keep");
  writeFile(folder.file("KVBabc123"), "left");
  writeFile(journals + "/inflight-1-abcdef", std::string("+") + folder.file("important.txt") +
                                                 '\0' + "+" + folder.file("KVBabc123") + '\0' +
                                                 "+" + folder.file("KVBcut"));
  EXPECT_EQ(removeTemporariesOfEndedRuns(journals), 1);
  EXPECT_TRUE(fileExists(folder.file("important.txt")));
  EXPECT_FALSE(fileExists(folder.file("KVBabc123")));
  EXPECT_TRUE(fileExists(inFlight) && fileExists(saving)) << "their process still runs";

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(removeTemporariesOfEndedRuns(journals), 2);
  EXPECT_FALSE(fileExists(inFlight));
  EXPECT_FALSE(fileExists(saving));
  EXPECT_TRUE(fileExists(letGo));
  EXPECT_TRUE(std::filesystem::is_empty(journals));
}
