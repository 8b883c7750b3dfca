#include "app/automation/commandline.h"
#include "app/automation/exports.h"
#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/filtertreemodel.h"
#include "app/nodedialogs/nodedialogs.h"
#include "app_testing.h"
#include "dbfilter/databasemaker.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/filtermakers.h"
#include "filterlist/ionodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/utilitynodes.h"
#include "grid/widget/customgrid.h"
#include "qtext/qtext.h"
#include "scriptfilter/scriptmakers.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>

namespace marrowen::testing {
namespace {

namespace fs = std::filesystem;

// What a window shows for a name: a UTF-8 letter as itself and a byte that no
// UTF-8 holds as U+DC00 plus the byte, never as a letter.
QString asListed(const std::string &bytes) { return fileNameToQString(bytes); }
// How an export on the clipboard writes a name or text: a byte that no UTF-8
// holds as $'\ooo'.
QString asExported(const std::string &bytes) {
  return QString::fromStdString(commandFileText(bytes));
}

// A name of letters from several scripts, a blank, an emoji and, now and
// then, bytes no UTF-8 holds, as a Windows disk or archive leaves them (a
// lone continuation byte among them).
std::string randomName(std::mt19937 &random, bool allowInvalid) {
  static const char *const atoms[] = {"\xC3\xA9",
                                      "\xC3\xBC",
                                      "\xC3\x9F",
                                      " ",
                                      "\xCE\xA9\xCE\xB1",
                                      "\xE6\x97\xA5\xE6\x9C\xAC",
                                      "\xF0\x9F\x98\x80",
                                      "a",
                                      "\xE9",
                                      "\xFC",
                                      "\xFF",
                                      "\x80\xBF"};
  std::string name = "n";
  for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n) {
    const std::size_t atom = random() % (std::size(atoms) - (allowInvalid ? 0 : 4));
    name += atoms[atom];
  }
  return name + "z";
}

// Every file below `folder` with its bytes, by its path below it.
std::map<std::string, std::string> filesBelow(const std::string &folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (const auto &entry : fs::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), folder).string()] = readFile(entry.path().string());
  return files;
}

// A name a node holds, the dialog control that shows it (none: the dialog
// has no field for it), what of it the node's caption shows (none: its
// report alone), and whether the exported command line names it.
struct NameField {
  TListObject *node;
  std::function<std::string &(TListObject &)> field;
  const char *control;
  std::string value;
  std::string captioned;
  bool exported = true;
};

template <class Node> std::function<std::string &(TListObject &)> member(std::string Node::*m) {
  return [m](TListObject &node) -> std::string & { return dynamic_cast<Node &>(node).*m; };
}

// The texts of a grid's message column, as the window shows them.
QStringList lines(TdgGrid &grid) {
  QStringList shown;
  for (int row = 1; row <= grid.Rows(); ++row)
    shown << fileNameToQString(grid.GetCell(3, row).toString());
  return shown;
}

class FileNames : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    TchildForm::install();
    registerNodeDialogs();
    registerScriptFilterMakers();
    registerDatabaseFilterMaker();
  }
  void TearDown() override {
    installScriptFilterMakers({});
    installDatabaseFilterMaker({});
    AppTest::TearDown();
  }

  // Runs the program as a user runs it with no screen; its standard error.
  std::string runProgram(const QStringList &arguments) {
    QProcess process;
    prepareProgram(process, dir.path());
    process.start(QStringLiteral(MARROWEN_BINARY), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return process.readAllStandardError().toStdString();
  }
};

// Random lists whose every name-holding field names files with letters
// beyond ASCII, each field given through its dialog, either typed or stored
// before (as a filter file from elsewhere holds it, bytes no UTF-8 holds
// among them: E9, FC, FF, lone continuation bytes). Dialogs and window
// captions show each name apart from any other, the report and the exported
// command line carry its bytes; a save and a load keep them; Go reads and
// writes the files it names, its status lines, log and standard error name
// them by their bytes, as `ls` writes them, and a script builds each name
// from the script object's texts; the exported command line (or, where a
// command file cannot carry a filter, the saved list run from the command
// line) writes the very files Go wrote.
TEST_F(FileNames, EveryFieldNamesItsFileAsListedFromDialogToDisk) {
  const WorkingFolder here(dir.path());
  // More rounds: MARROWEN_NAME_ROUNDS=200.
  const char *more = std::getenv("MARROWEN_NAME_ROUNDS");
  const unsigned rounds = more ? static_cast<unsigned>(std::atoi(more)) : 3;
  for (unsigned round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    std::mt19937 random(round + 21);
    const auto chance = [&](unsigned in) { return random() % in == 0; };
    // Every other list only names its files: the exported command line runs
    // it whole; the first of them with no byte that text cannot carry.
    const bool plain = round % 2 == 0;
    const auto name = [&] { return randomName(random, round > 0); };
    for (const auto &entry : fs::directory_iterator(dir.path()))
      if (entry.path().filename() != "settings.ini")
        fs::remove_all(entry.path());
    fs::create_directories(dir.file("out"));

    // The inputs, and the files the filters read.
    const bool full = !plain;
    const std::string inFolder = "in/" + name();
    const std::vector<std::string> inputs = {inFolder + "/f" + name() + ".txt",
                                             inFolder + "/" + name() + "/g" + name() + ".txt"};
    for (const std::string &input : inputs) {
      fs::create_directories(fs::path(input).parent_path());
      writeFile(input, full ? "SELECT v FROM t;\n" : "a\nb\n");
    }

    TchildForm window(1);
    std::vector<NameField> fields;
    const auto add = [&](std::unique_ptr<TListObject> made) {
      TListObject *node = made.get();
      window.addFilter(std::move(made));
      return node;
    };
    const auto itemOf = [&](const TListObject *node) {
      for (int item = 0; item < window.filterTree().count(); ++item)
        if (&window.filterTree().node(item) == node)
          return item;
      return -1;
    };
    if (full) {
      // A table only this file holds, so a database made afresh under another
      // name has none; its name holds a byte no UTF-8 holds, which Qt cannot
      // spell.
      const std::string file = name() + "\xFC.db";
      sqlite3 *made = nullptr;
      ASSERT_EQ(sqlite3_open(file.c_str(), &made), SQLITE_OK);
      sqlite3_exec(made, "CREATE TABLE t(v); INSERT INTO t VALUES ('a'), ('b');", nullptr, nullptr,
                   nullptr);
      sqlite3_close(made);
      auto db = TDatabaseObject::CreateDefault();
      db->generateHeader = false;
      db->textQualifier.clear();
      const std::string connection = "Driver=SQLite3;Database=" + file;
      fields.push_back({add(std::move(db)), member(&TDatabaseObject::connection), "dbConnection",
                        connection, connection});
    }
    if (full) {
      const std::string file = name() + ".lst";
      const int kind = static_cast<int>(random() % 2);
      writeFile(file, kind == 0 ? "zzz\n" : "a\nb\nLa\n");
      auto text = TStringObject::CreateWith(4 + kind, "");
      text->useString = false;
      // Its option text names no file.
      fields.push_back({add(std::move(text)), member(&TStringObject::fileName), "stringFilename",
                        file, file, false});
    }
    if (full) {
      const std::string file = name() + ".lst";
      writeFile(file, "a\nb\nLa\n");
      fields.push_back(
          {add(TMergeObject::CreateWith(TMergeObject::OnlyShowLinesFoundIn, "merge.txt")),
           member(&TMergeObject::fileName), "mergeFilename", file, file});
    }
    if (full) {
      // A linked list, now and then as the subfilter of a selecting node.
      const std::string file = name() + ".fll";
      TFilterList linked;
      linked.resetToDefault();
      linked.insertNode(linked.count() - 1, TStringObject::CreateWith(1, "L"), 1, true);
      linked.saveToFile(file);
      TListObject *link = add(TMergeObject::CreateWith(TMergeObject::LinkFilterFile, "merge.txt"));
      fields.push_back({link, member(&TMergeObject::fileName), "mergeFilename", file, file});
      if (chance(2)) {
        auto search = TSearchObject::CreateDefault();
        search->searchString = search->replaceString = "a";
        TListObject *parent = add(std::move(search));
        window.MoveTreeNode(itemOf(link), itemOf(parent));
        window.selectItem(itemOf(parent));
      }
    }
    if (full) {
      const std::string program = name() + ".sh", data = name() + ".in", result = name() + ".out";
      writeFile(program, "cat \"$1\" > \"$2\"\n");
      const std::string command = "sh \"" + program + "\" \"" + data + "\" \"" + result + "\"";
      TListObject *run = add(TExecuteObject::CreateDefault());
      fields.push_back(
          {run, member(&TExecuteObject::commandLine), "commandLine", command, command});
      fields.push_back(
          {run, member(&TExecuteObject::programOutputFilename), "programOutputFilename", data, {}});
      fields.push_back(
          {run, member(&TExecuteObject::programInputFilename), "programInputFilename", result, {}});
    }
    if (full) {
      const std::string map = name();
      TUserObject::CreateDefault()->saveToTextFile(map + ".map");
      fields.push_back({add(TUserObject::CreateWith(map + ".map")),
                        member(&TUserObject::mapFileName), nullptr, map + ".map", map});
    }
    if (full) {
      auto node = TScriptObject::CreateDefault();
      node->language = "JScript";
      node->script =
          "function startJob() {}\nfunction endJob() {}\nfunction endFile() { return ''; }\n"
          "function processLine(line, eol) { return line + eol; }\n"
          "function startFile() { return '@@' + Marrowen.inputFilename + '|' +"
          " Marrowen.fullInputFilename + '\\n'; }\n";
      add(std::move(node));
    }
    const bool split = full && chance(2);
    if (split) {
      auto node = TSplitObject::CreateDefault();
      node->type = 1;
      node->character = '\n';
      node->position = 1;
      node->count = 2;
      add(std::move(node));
    }

    // The output: a folder, with a new extension or without, or one file,
    // now and then where a file stands in the way of its folder.
    TOutputObject &output = *window.OutputFilter();
    output.testMode = output.retainDate = output.appendMode = false;
    output.changeExtension = output.changeBaseDir = output.keepStructure = false;
    std::string blocker;
    if (split || round == 0 || chance(2)) {
      output.outputToFile = TOutputObject::files;
      output.changeBaseDir = true;
      output.keepStructure = chance(2);
      const std::string folder = "out/" + name();
      fields.push_back({&output, member(&TOutputObject::newBaseDir), "newBaseDir", folder, folder});
      if ((output.changeExtension = round == 0 || chance(2))) {
        const std::string extension = "." + name();
        fields.push_back(
            {&output, member(&TOutputObject::newExtension), "newExtension", extension, extension});
      }
    } else {
      output.outputToFile = TOutputObject::mergedFile;
      const std::string folder = "out/" + name();
      const std::string merged = folder + "/m " + name() + ".txt";
      if (chance(2))
        blocker = folder;
      fields.push_back(
          {&output, member(&TOutputObject::singleFilename), "singleFilename", merged, merged});
    }
    auto &options = dynamic_cast<TFilterCommentObject &>(window.filterTree().node(0));
    options.log = {true, "", false, 0};
    const std::string logName = name() + ".log";
    fields.push_back({&options,
                      [](TListObject &node) -> std::string & {
                        return dynamic_cast<TFilterCommentObject &>(node).log.fileName;
                      },
                      "logFilename",
                      logName,
                      {}});
    window.addFileFromActiveX(inFolder + "/*.txt", 1, 1);
    const bool erring = round % 2 == 1 || chance(2);
    const std::string missing = inFolder + "/" + name() + ".none";
    if (erring)
      window.addFileFromActiveX(missing, 0, 1);
    // The merged file's folder, or a file where it would be.
    const auto makeOutputFolders = [&] {
      fs::create_directories(dir.file("out"));
      if (!blocker.empty())
        writeFile(blocker, "");
      else if (output.outputToFile == TOutputObject::mergedFile)
        fs::create_directories(fs::path(fields[fields.size() - 2].value).parent_path());
    };
    makeOutputFolders();

    // Each name through its dialog: typed, or stored and left as it is.
    for (NameField &named : fields) {
      window.selectItem(1);
      // Only text that is UTF-8 can be typed.
      const bool typed = named.control &&
                         QString::fromUtf8(named.value).toStdString() == named.value &&
                         (round == 0 || chance(2));
      if (!typed)
        named.field(*named.node) = named.value;
      window.selectItem(itemOf(named.node));
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      if (!named.control)
        continue;
      auto *edit = window.blankPanel->findChild<QLineEdit *>(named.control);
      ASSERT_NE(edit, nullptr) << named.control;
      if (typed) {
        edit->selectAll();
        edit->insert(QString::fromUtf8(named.value));
      }
      EXPECT_EQ(edit->text(), asListed(named.value)) << "the dialog shows the name";
    }
    window.selectItem(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QString report = getTextRepresentation(window);
    const QString commands = getCmdLineRepresentation(window);
    for (NameField &named : fields) {
      SCOPED_TRACE(named.value);
      EXPECT_EQ(named.field(*named.node), named.value) << "the dialog kept the bytes";
      const std::string &captioned = named.captioned.empty() ? named.value : named.captioned;
      EXPECT_TRUE(report.contains(asExported(captioned))) << report.toStdString();
      if (named.captioned.empty())
        continue;
      // A caption that names a file shows it apart from its UTF-8 twin.
      const int item = itemOf(named.node);
      const QString caption = window.treeModel().indexOf(item).data().toString();
      EXPECT_TRUE(caption.contains(asListed(captioned))) << caption.toStdString();
      window.selectItem(item);
      EXPECT_EQ(window.filterHeading->text(), ' ' + caption);
      if (named.exported) {
        EXPECT_TRUE(commands.contains(asExported(captioned))) << commands.toStdString();
      }
    }
    EXPECT_TRUE(commands.contains(asExported(inFolder))) << commands.toStdString();

    // Saved and loaded, the same bytes.
    const std::string listName = name();
    window.saveFilterListAs(dir.file(listName + ".fll"));
    EXPECT_EQ(window.windowTitle(), asListed(listName));
    {
      TchildForm loaded(2);
      loaded.loadFilterList(dir.file(listName + ".fll"), {});
      ASSERT_EQ(loaded.filterTree().count(), window.filterTree().count());
      for (NameField &named : fields)
        EXPECT_EQ(named.field(loaded.filterTree().node(itemOf(named.node))), named.value);
      EXPECT_EQ(loaded.fileNameAt(1), window.fileNameAt(1));
    }

    window.beginButtonClick(false);
    ASSERT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 20000));
    const auto written = filesBelow(dir.file("out"));
    // The list's own status window: its first line names the list.
    TTstatusForm *status = nullptr;
    for (TTstatusForm *window : TchildForm::jobHost().statusWindows())
      if (window->resText().Rows() > 0 &&
          window->resText().GetCell(3, 1).toString() == "Filter name [" + listName + "]")
        status = window;
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->windowTitle().startsWith(asListed(listName) + " - "));
    const QString results = lines(status->resText()).join('\n');
    const QStringList errors = lines(status->errors());
    for (const QString &error : errors)
      EXPECT_TRUE((erring && error.contains(asListed(missing))) ||
                  (!blocker.empty() && error.contains(asListed(output.singleFilename))))
          << "no other error: " << error.toStdString();
    const std::string log = readFile(dir.file(logName));
    for (const std::string &input : inputs) {
      EXPECT_TRUE(results.contains(asListed(input) + "]")) << results.toStdString();
      EXPECT_NE(log.find((input) + "]"), std::string::npos) << log;
    }
    for (const auto &[file, text] : written) {
      if (dir.file("out/" + file) != dir.file(blocker)) {
        EXPECT_TRUE(results.contains(asListed(file))) << results.toStdString();
      }
    }
    for (const std::string &message : {erring ? missing : std::string(), blocker}) {
      if (message.empty())
        continue;
      const std::string &file = message == blocker ? output.singleFilename : message;
      EXPECT_TRUE(errors.join('\n').contains(asListed(file))) << errors.join('\n').toStdString();
      EXPECT_NE(log.find(file), std::string::npos) << log;
    }
    if (full && blocker.empty()) {
      // The names a script built from the script object's texts name the
      // very files.
      std::set<std::string> seen, expected;
      for (const auto &[file, text] : written)
        for (std::size_t at = text.find("@@"); at != std::string::npos;
             at = text.find("@@", at + 1)) {
          const std::string line = text.substr(at + 2, text.find('\n', at) - at - 2);
          const std::string shortName = line.substr(0, line.find('|'));
          const std::string fullName = line.substr(line.find('|') + 1);
          EXPECT_TRUE(fullName.ends_with('/' + shortName)) << fullName;
          EXPECT_EQ(readFile(fullName), "SELECT v FROM t;\n") << fullName;
          seen.insert(shortName);
        }
      for (const std::string &input : inputs)
        expected.insert(fs::path(input).filename().string());
      EXPECT_EQ(seen, expected);
    }

    // The same list from the command line: exported where a command file can
    // carry every filter and name, else the saved list.
    fs::remove_all(dir.file("out"));
    makeOutputFolders();
    // A command file, as a name holding bytes no UTF-8 holds cannot pass as
    // an argument through Qt; the export as the clipboard carries it.
    writeFile(dir.file("cmd.txt"),
              plain ? clipboardBytes(commands) : "/F=" + dir.file(listName + ".fll"));
    const std::string messages =
        runProgram({"/Z=" + QString::fromStdString(dir.file("cmd.txt")), "/G", "/Q"});
    EXPECT_EQ(filesBelow(dir.file("out")), written) << commands.toStdString();
    if (erring) {
      EXPECT_NE(messages.find(missing), std::string::npos) << messages;
    }
    if (!blocker.empty()) {
      EXPECT_NE(messages.find(output.singleFilename), std::string::npos) << messages;
    }
  }
}

// View, where the desktop has no program for the file, hands the default
// editor the name's own bytes, so it opens that file and not a new one.
TEST_F(FileNames, ViewHandsTheEditorTheNamesOwnBytes) {
  struct NoAssociation : Launcher {
    std::shared_ptr<Launcher> desktop;
    bool openUrl(const QString &) override { return false; }
    bool startProgram(const QString &program, const QStringList &arguments) override {
      return desktop->startProgram(program, arguments);
    }
    QString findProgram(const QStringList &) override { return {}; }
  };
  const std::string name = dir.file("Bericht\xFF \x80\xE9 \xC3\xA9.txt");
  writeFile(name, "x");
  fs::create_directories(dir.file("bin"));
  const std::string opener = dir.file("bin/xdg-open");
  writeFile(opener, "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n");
  fs::permissions(opener, fs::perms::owner_all);
  const QByteArray path = qgetenv("PATH"), visual = qgetenv("VISUAL"), editor = qgetenv("EDITOR");
  qputenv("PATH", QByteArray::fromStdString(dir.file("bin") + ":") + path);
  qunsetenv("VISUAL");
  qunsetenv("EDITOR");
  installLauncher(nullptr);
  auto noAssociation = std::make_shared<NoAssociation>();
  noAssociation->desktop = installLauncher(noAssociation);
  {
    TchildForm window(1);
    window.addFile(name);
    window.viewButtonClick();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(opener + ".args"); }, 20000));
  EXPECT_EQ(readFile(opener + ".args"), name);
  qputenv("PATH", path);
  if (!visual.isNull())
    qputenv("VISUAL", visual);
  if (!editor.isNull())
    qputenv("EDITOR", editor);
}

} // namespace
} // namespace marrowen::testing
