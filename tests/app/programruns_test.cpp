// The program run as a user runs it, with other programs and signals at work
// on the same files.

#include "fakewindow.h"
#include "filterlist/filenodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "programrun.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>

namespace marrowen::testing {
namespace {

constexpr auto npos = std::string::npos;

// A list of one node between a file input and the output, saved as `name`.
template <class Node> QString savedList(TempFolder &dir, const char *name, Node node) {
  TFilterList list;
  list.resetToDefault();
  list.insertNode(2, std::make_unique<Node>(std::move(node)), 1, true);
  for (int i = 0; i < list.count(); ++i) {
    if (auto *input = dynamic_cast<TInputObject *>(&list.node(i)))
      input->inputFromFile = true;
    if (auto *output = dynamic_cast<TOutputObject *>(&list.node(i)))
      output->outputToFile = TOutputObject::files;
  }
  list.saveToFile(dir.file(name));
  return QString::fromStdString(dir.file(name));
}

// Two inputs whose outputs meet in one name, however the job names its
// outputs: the later input is an error and the first output stays. Appending
// and merging put both in one file, as they are for.
TEST_F(ProgramRun, TwoInputsNeverShareAnOutput) {
  for (const char *folder : {"src/x", "src/y", "src/z", "fold"})
    std::filesystem::create_directories(dir.file(folder));
  writeFile(dir.file("src/x/readme.txt"), "x text\n");
  writeFile(dir.file("src/y/readme.txt"), "y text\n");
  writeFile(dir.file("src/z/README.TXT"), "z text\n");
  writeFile(dir.file("a.txt"), "a text\n");
  writeFile(dir.file("a.dat"), "a data\n");
  // Two names of one file, as a file system that folds case gives them.
  std::filesystem::create_symlink("readme.txt", dir.file("fold/README.TXT"));
  TSplitObject split;
  split.size = 4;
  const QString splitList = savedList(dir, "split.fll", split);
  const QString x = file("src/x/readme.txt"), y = file("src/y/readme.txt");
  struct Case {
    QStringList arguments;
    std::string later, target, first, kept;
  };
  const Case cases[] = {
      {{"/CU", "/OUTPUTFOLDER=" + file("out"), x, y},
       "src/y/readme.txt",
       "out/readme.txt",
       "src/x/readme.txt",
       "X TEXT\n"},
      {{"/CU", "/EXTENSION=out", file("a.txt"), file("a.dat")},
       "a.dat",
       "a.out",
       "a.txt",
       "A TEXT\n"},
      {{"/CU", "/T+", "/OUTPUTFOLDER=" + file("test"), x, y},
       "src/y/readme.txt",
       "test/readme.txt.dCv",
       "src/x/readme.txt",
       "X TEXT\n"},
      {{"/CU", "/OUTPUTFOLDER=" + file("fold"), x, file("src/z/README.TXT")},
       "src/z/README.TXT",
       "fold/README.TXT",
       "src/x/readme.txt",
       "X TEXT\n"},
      {{"/F=" + splitList, "/OUTPUTFOLDER=" + file("parts"), x, y},
       "src/y/readme.txt",
       "parts/readme.txt.000",
       "src/x/readme.txt",
       "x te"},
  };
  for (const Case &c : cases) {
    Result run = start(QStringList{"/I-"} + c.arguments + QStringList{"/G", "/Q"});
    SCOPED_TRACE(c.target);
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_NE(run.errors.find("Not writing the output of [" + dir.file(c.later.c_str()) +
                              "] over [" + dir.file(c.target.c_str()) +
                              "]: this job wrote it for [" + dir.file(c.first.c_str()) + "]"),
              npos)
        << run.errors;
    EXPECT_EQ(readFile(dir.file(c.target.c_str())), c.kept);
  }
  EXPECT_EQ(readFile(dir.file("parts/readme.txt.001")), "xt\n") << "the first input's parts stay";
  EXPECT_FALSE(fileExists(dir.file("parts/readme.txt.002")));

  const std::string appended = dir.file("app/readme.txt");
  for (const QStringList &many : {QStringList{"/APPEND+", "/OUTPUTFOLDER=" + file("app")},
                                  QStringList{"/MERGETOFILE=" + file("merged.txt")}}) {
    Result run = start(QStringList{"/I-"} + many + QStringList{x, y, "/G", "/Q"});
    EXPECT_EQ(run.status, 0) << run.errors;
  }
  EXPECT_EQ(readFile(appended), "x text\ny text\n");
  EXPECT_EQ(readFile(dir.file("merged.txt")), "x text\ny text\n");

  // In place, one file reached by two names is rewritten once.
  std::filesystem::create_symlink(dir.file("src/x/readme.txt"), dir.file("src/y/link.txt"));
  Result twice = start({"/CU", "/I-", x, file("src/y/link.txt"), "/G", "/Q"});
  EXPECT_EQ(twice.status, 0) << twice.errors;
  EXPECT_EQ(readFile(dir.file("src/x/readme.txt")), "X TEXT\n");
}

// Memory that runs out while a command file is read is an error naming the
// file and its line, and the run ends with status 2 as a wrong command line
// does.
TEST_F(ProgramRun, MemoryRunningOutNamesTheCommandFileAndLine) {
  TFilterList large;
  large.resetToDefault();
  large.trialInput = std::string(4 << 20, 't');
  large.saveToFile(dir.file("large.fll"));
  writeFile(dir.file("run.cmd"), "/CU\n\n/F=" + dir.file("large.fll") + "\n/G\n");
  Result run = start({"/Z=" + file("run.cmd"), "/Q"}, {"MARROWEN_FAIL_NEW_OVER=2097152"});
  EXPECT_EQ(run.status, 2) << run.errors;
  EXPECT_NE(
      run.errors.find("Out of memory at line 3 of the command file [" + dir.file("run.cmd") + "]"),
      npos)
      << run.errors;
}

// A second program appending to the same file with ">>", which takes no lock,
// while a job appends to it: their lines never mix, and a job that fails or
// is stopped cuts away nothing the other program wrote.
TEST_F(ProgramRun, AnotherProgramAppendingWithoutALockKeepsItsLines) {
  const auto jobLine = [](int k) {
    return "job " + std::to_string(k) + " " + std::string(static_cast<std::size_t>(k % 97), 'j');
  };
  constexpr int jobLines = 40000;
  std::string input;
  for (int k = 0; k < jobLines; ++k)
    input += jobLine(k) + "\n";
  writeFile(dir.file("in.txt"), input);
  enum End { Finishes, Fails, Stopped };
  for (End end : {Finishes, Fails, Stopped}) {
    SCOPED_TRACE(end);
    writeFile(dir.file("t.txt"), "before\n");
    std::filesystem::remove(dir.file("stop"));
    std::filesystem::remove(dir.file("go"));
    QProcess other;
    prepare(other);
    other.start("bash", {"-c", "i=0; while [ ! -e stop ]; do i=$((i+1)); echo \"other $i\" >> "
                               "t.txt; done; echo $i > count.tmp; mv count.tmp count"});
    ASSERT_TRUE(waitFor([&] { return readFile(dir.file("t.txt")).size() > 20; }, 10000));
    QStringList faults{"MARROWEN_SLOW_WRITE=t.txt"};
    if (end == Fails)
      faults << "MARROWEN_FAIL_WRITE=t.txt"
             << "MARROWEN_WRITES_BEFORE_FAILURE=1";
    // Failed or stopped, the job is held after its first write until the
    // other program has written after it, however the machine schedules them.
    if (end != Finishes)
      faults << "MARROWEN_HOLD_WRITE=t.txt"
             << "MARROWEN_HOLD_UNTIL=" + file("go");
    QProcess job;
    launch(job, {"/MERGETOFILE=" + file("t.txt"), "/APPEND+", "/I-", file("in.txt"), "/G", "/Q"},
           faults);
    if (end != Finishes) {
      EXPECT_TRUE(waitFor(
          [&] {
            const std::string text = readFile(dir.file("t.txt"));
            const std::size_t first = text.find("\njob 0 \n");
            return first != npos && text.find("\nother ", first) != npos;
          },
          60000));
      if (end == Stopped)
        terminateProgram(job);
      writeFile(dir.file("go"), "");
    }
    const bool jobEnded = job.waitForFinished(60000);
    writeFile(dir.file("stop"), "");
    ASSERT_TRUE(other.waitForFinished(10000));
    ASSERT_TRUE(jobEnded);
    const std::string errors = job.readAllStandardError().toStdString();
    EXPECT_EQ(job.exitCode(), end == Finishes ? 0 : 1) << errors;

    // Each line is the other program's next one or the job's next one.
    std::istringstream lines(readFile(dir.file("t.txt")));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "before");
    int others = 0, jobs = 0;
    while (std::getline(lines, line)) {
      if (line == "other " + std::to_string(others + 1))
        ++others;
      else if (line == jobLine(jobs))
        ++jobs;
      else
        ADD_FAILURE() << "a mixed line after other " << others << " and job " << jobs << ": "
                      << line.substr(0, 40);
    }
    EXPECT_EQ(std::to_string(others) + "\n", readFile(dir.file("count")))
        << "the other program's lines are all there";
    if (end == Finishes) {
      EXPECT_EQ(jobs, jobLines);
      EXPECT_EQ(errors, "");
    } else {
      EXPECT_LT(jobs, jobLines);
      EXPECT_NE(errors.find("another program wrote to it while this job appended, and its text "
                            "is left to it"),
                npos)
          << errors;
      EXPECT_NE(errors.find("part of this job's text among them"), npos) << errors;
      EXPECT_EQ(errors.find("Success"), npos) << errors;
    }
  }
}

// No job takes a file away from another input or another program: a later
// part of a split that meets another input, a merged file whose only input
// failed, and a file another job appends to (under its lock) stay; an append
// whose file another program renames a file over fails, and the file the
// other program put there stays.
TEST_F(ProgramRun, NoJobTakesAwayAFileThatIsNotItsOwn) {
  TSplitObject split;
  split.size = 64;
  const QString splitList = savedList(dir, "split.fll", split);
  writeFile(dir.file("a"), std::string(200, 'a'));
  writeFile(dir.file("a.002"), "another input\n");
  Result parts = start({"/F=" + splitList, "/I-", file("a"), file("a.002"), "/G", "/Q"});
  EXPECT_EQ(parts.status, 1) << parts.errors;
  EXPECT_NE(parts.errors.find("Not writing the output of [" + dir.file("a") + "] over [" +
                              dir.file("a.002") + "]: that file is an input of this job"),
            npos)
      << parts.errors;
  EXPECT_EQ(readFile(dir.file("a.002")), "another input\n");
  EXPECT_FALSE(fileExists(dir.file("a.000")));

  writeFile(dir.file("merged.txt"), "yesterday\n");
  Result merged =
      start({"/CU", "/MERGETOFILE=" + file("merged.txt"), "/I-", file("a.002"), "/G", "/Q"},
            {"MARROWEN_FAIL_READ=a.002"});
  EXPECT_EQ(merged.status, 1) << merged.errors;
  EXPECT_EQ(readFile(dir.file("merged.txt")), "yesterday\n");

  std::string input;
  for (int k = 0; k < 20000; ++k)
    input += "job line " + std::to_string(k) + "\n";
  const std::string target = dir.file("in.out");
  // The appending job is held still (SIGSTOP) once it has written, while
  // another program works on its file.
  const auto appendWhile = [&](const std::function<void()> &meanwhile) {
    writeFile(dir.file("in.txt"), input);
    QProcess job;
    launch(job, {"/EXTENSION=out", "/APPEND+", "/I-", file("in.txt"), "/G", "/Q"},
           {"MARROWEN_SLOW_WRITE=in.out", "MARROWEN_SLOW_WRITE_MS=100"});
    EXPECT_TRUE(waitFor([&] { return readFile(target).find("job line 1\n") != npos; }, 30000));
    terminateProgram(job, SIGSTOP);
    meanwhile();
    terminateProgram(job, SIGCONT);
    EXPECT_TRUE(job.waitForFinished(60000));
    return Result{job.exitCode(), job.readAllStandardError().toStdString()};
  };
  writeFile(target, "before\n");
  std::filesystem::create_directories(dir.file("src"));
  writeFile(dir.file("src/in.out"), "a second copy's\n");
  writeFile(dir.file("mine.txt"), "another program's\n");
  Result replaced = appendWhile([&] {
    Result second = start({"/CU", "/OUTPUTFOLDER=" + QString::fromStdString(dir.path()), "/I-",
                           file("src/in.out"), "/G", "/Q"});
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(
        second.errors.find("Couldn't replace file [" + target + "]: another program is writing it"),
        npos)
        << second.errors;
    std::filesystem::rename(dir.file("mine.txt"), target);
  });
  EXPECT_EQ(replaced.status, 1) << "the appended text is gone";
  EXPECT_NE(replaced.errors.find("Couldn't append to file [" + target +
                                 "]: another program replaced or removed it"),
            npos)
      << replaced.errors;
  EXPECT_EQ(readFile(target), "another program's\n");

  // The file the append made is taken back only while it is still there.
  std::filesystem::remove(target);
  writeFile(dir.file("mine.txt"), "another program's\n");
  Result failed = appendWhile([&] {
    std::filesystem::rename(dir.file("mine.txt"), target);
    std::ofstream(dir.file("in.txt"), std::ios::app) << "more\n";
  });
  EXPECT_EQ(failed.status, 1) << failed.errors;
  EXPECT_EQ(readFile(target), "another program's\n");
}

// The temporary files in `folder`, by name: "KVB" ones beside outputs and
// ".~" ones beside files replaced whole.
std::set<std::string> temporaryFiles(const std::string &folder) {
  std::set<std::string> found;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("KVB") || name.find(".~") != npos)
      found.insert(name);
  }
  return found;
}

// SIGKILL, which no program can catch, at a random moment of a split into
// more parts than wait without a name, and in the middle of a settings save:
// the next run removes the temporary files they left, and keeps the one an
// earlier run left for the user on purpose.
TEST_F(ProgramRun, TheNextRunRemovesWhatAKilledRunLeft) {
  const std::string out = dir.file("out"), settings = dir.file("config/Ostrevan/Marrowen");
  std::filesystem::create_directories(out);
  writeFile(dir.file("out/kept.txt"), "old\n");
  ::chmod(dir.file("out/kept.txt").c_str(), 0444);
  writeFile(dir.file("kept.txt"), "new\n");
  Result keeping =
      start({"/OUTPUTFOLDER=" + QString::fromStdString(out), "/I-", file("kept.txt"), "/G", "/Q"});
  EXPECT_EQ(keeping.status, 1) << keeping.errors;
  const std::set<std::string> kept = temporaryFiles(out);
  ASSERT_EQ(kept.size(), 1u) << "the new text of a read-only target stays for the user";

  TSplitObject split;
  split.size = 64;
  const QString splitList = savedList(dir, "split.fll", split);
  writeFile(dir.file("big.txt"), std::string(2000 * 64, 'b'));
  for (unsigned seed : {1u, 2u}) {
    // The run removes what the one before it left; the kill comes once this
    // one has named a random number of parts.
    const std::size_t named = 1 + std::mt19937(seed)() % 500;
    const std::set<std::string> before = temporaryFiles(out);
    const auto made = [&] {
      std::size_t count = 0;
      for (const std::string &name : temporaryFiles(out))
        count += !before.contains(name);
      return count;
    };
    QProcess job;
    launch(job, {"/F=" + splitList, "/OUTPUTFOLDER=" + QString::fromStdString(out), "/I-",
                 file("big.txt"), "/G", "/Q"});
    EXPECT_TRUE(waitFor([&] { return made() >= named; }, 60000)) << seed;
    terminateProgram(job, SIGKILL);
    ASSERT_TRUE(job.waitForFinished(30000));
  }
  EXPECT_GT(temporaryFiles(out).size(), kept.size());

  // The settings are saved anew when the file has gone; each write of it
  // waits here until the kill.
  std::filesystem::remove(settings + "/settings.ini");
  QProcess saving;
  launch(saving, {"/Q"}, {"MARROWEN_SLOW_WRITE=settings.ini.~", "MARROWEN_SLOW_WRITE_MS=60000"});
  EXPECT_TRUE(waitFor([&] { return !temporaryFiles(settings).empty(); }, 60000));
  terminateProgram(saving, SIGKILL);
  ASSERT_TRUE(saving.waitForFinished(30000));
  EXPECT_FALSE(temporaryFiles(settings).empty());

  Result next = start({"/Q"});
  EXPECT_EQ(next.status, 0) << next.errors;
  EXPECT_EQ(temporaryFiles(out), kept);
  EXPECT_EQ(temporaryFiles(settings), std::set<std::string>());
  EXPECT_TRUE(fileExists(settings + "/settings.ini")) << "the next run saves its own";
}

} // namespace
} // namespace marrowen::testing
