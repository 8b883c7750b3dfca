#include "app/main/helpaccess.h"

#include "app/automation/updateform.h"
#include "app/jobs/statusform.h"
#include "app/listwindow/childform.h"
#include "app/main/appsettings.h"
#include "app/main/mainform.h"
#include "app/main/taskmenu.h"
#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/linedialogs.h"
#include "app/nodedialogs/nodedialogs.h"
#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "qtext/qtext.h"
#include "support/chunk_harness.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace marrowen::testing {
namespace {

// The help pages as the build ships them, in a program folder of the test's
// own (the program writes its language file there).
class HelpPages : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    std::filesystem::copy(MARROWEN_SOURCE_DIR "/share", dir.file("program"),
                          std::filesystem::copy_options::recursive);
    overrideProgramFolder(dir.file("program") + "/");
  }
  void TearDown() override {
    delete THelpViewer::instance();
    AppTest::TearDown();
  }
  static void collect(const QObject &root, std::set<int> &contexts) {
    QList<const QObject *> objects{&root};
    for (const QObject *child : root.findChildren<QObject *>())
      objects << child;
    for (const QObject *object : objects)
      if (const QVariant context = object->property("helpContext"); context.isValid())
        contexts.insert(context.toInt());
  }
};

TEST_F(HelpPages, EveryContextTheProgramOpensHasAPageOfItsOwn) {
  std::set<int> contexts{
      1300, // the tutorial: Help > Tutorial and /TUTORIAL
      600,  // the map files listed under the Maps menu
  };
  // Every node dialog, as each kind of node shows it.
  registerNodeDialogs();
  RecordingSite site;
  auto look = [&](TListObject &node) {
    contexts.insert(node.helpContext());
    if (TNodeEditor *editor = site.editorFor(node, nullptr)) {
      editor->putToScreen(node);
      if (auto *form = dynamic_cast<TdefaultForm1 *>(editor)) {
        contexts.insert(form->helpContext());
        collect(*form, contexts);
      }
    }
  };
  std::vector<std::unique_ptr<TListObject>> nodes;
  for (const NodeCatalogEntry &entry : nodeCatalog())
    if (entry.createDefault)
      nodes.push_back(entry.createDefault(entry.kind));
  for (const NodeClassEntry &entry : nodeClasses())
    nodes.push_back(entry.createBlank());
  for (auto &node : nodes)
    look(*node);
  // The windows, their pages, menus and fields.
  TchildForm::install();
  installTaskMenu();
  {
    TmainForm main(QStringList{"marrowen"});
    main.CreateMDIChild();
    collect(main, contexts);
    // F1 in the dialog of a filter chosen from a menu opens a page that names
    // the item or its submenu, not the page of the window around the dialog.
    auto *list = dynamic_cast<TchildForm *>(main.activeChildForm());
    ASSERT_NE(list, nullptr);
    const QStringList windowPages{helpPageFor(10), helpPageFor(20)};
    auto named = [](QString text) { return text.remove('&').simplified().toLower(); };
    int ownPages = 0;
    std::function<void(QMenu &, const QString &)> walk = [&](QMenu &menu, const QString &submenu) {
      for (QAction *item : menu.actions()) {
        if (!item->isVisible())
          continue;
        if (item->menu()) {
          walk(*item->menu(), item->text());
          continue;
        }
        if (!item->property("nodeClass").isValid())
          continue;
        item->trigger();
        auto *dialog = list->blankPanel->findChild<TdefaultForm1 *>();
        if (!dialog || dialog->helpContext() == 0)
          continue; // the list window's page
        ++ownPages;
        const QString page = helpPageFor(main.helpContextAt(dialog));
        const std::string what = named(item->text()).toStdString();
        EXPECT_FALSE(windowPages.contains(page)) << what << ": " << page.toStdString();
        QString text = QString::fromStdString(readFile(page.toStdString()));
        text.remove(QRegularExpression("<[^>]*>")).replace("&gt;", ">").replace("&amp;", "&");
        text = named(text);
        const QString caption = named(item->text());
        const QString bare = named(item->text().section(" (", 0, 0));
        EXPECT_TRUE(text.contains(caption) || text.contains(bare) ||
                    (!submenu.isEmpty() && text.contains(named(submenu))))
            << what << ": " << page.toStdString();
      }
    };
    for (QMenu *menu : list->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
      if (menu->property("groupIndex").isValid())
        walk(*menu, {});
    EXPECT_GT(ownPages, 70);
    TTstatusForm status;
    collect(status, contexts);
    MainSettings settings;
    auto *update = new TupdateForm(settings);
    collect(*update, contexts);
    delete update;
  }
  mainFormHooks() = MainFormHooks();
  contexts.erase(0);

  EXPECT_GT(contexts.size(), 60u);
  for (int context : contexts) {
    const QString page = helpPageFor(context);
    EXPECT_FALSE(page.isEmpty()) << "no page for help context " << context;
    EXPECT_TRUE(QFileInfo(page).isFile()) << page.toStdString();
  }
  // The contents and the index reach every page, those without a context too.
  const std::string contents = readFile(dir.file("program/help/index.html"));
  const std::string index = readFile(dir.file("program/help/keywords.html"));
  for (const auto &entry : std::filesystem::directory_iterator(dir.file("program/help"))) {
    const std::string link = "href=\"" + entry.path().filename().string() + "\"";
    if (entry.path().extension() != ".html" || entry.path().filename() == "index.html")
      continue;
    EXPECT_NE(contents.find(link), std::string::npos) << link << " from the contents";
    if (entry.path().filename() != "keywords.html") {
      EXPECT_NE(index.find(link), std::string::npos) << link << " from the index";
    }
  }
}

TEST_F(HelpPages, TheWindowShowsTheContentsIndexAndTopicsAndTheWebGoesToTheBrowser) {
  EXPECT_EQ(showHelpContext(1300), 1);
  THelpViewer *viewer = THelpViewer::instance();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->page().endsWith("/help/tutorial.html"));
  EXPECT_TRUE(viewer->browser().toPlainText().contains("Trial run"));
  EXPECT_EQ(showHelpIndex(), 1);
  EXPECT_TRUE(viewer->page().endsWith("/help/keywords.html"));
  // A context without a page of its own shows the contents.
  EXPECT_EQ(showHelpContext(77), 1);
  EXPECT_TRUE(viewer->page().endsWith("/help/index.html"));
  EXPECT_THROW(showHelpContext(-1), std::exception);
  emit viewer->browser().anchorClicked(QUrl(QStringLiteral("search.html")));
  EXPECT_TRUE(viewer->page().endsWith("/help/search.html"));
  emit viewer->browser().anchorClicked(QUrl(QStringLiteral("https://www.ostrevan.com/")));
  EXPECT_EQ(launcher->opened, QStringList{"https://www.ostrevan.com/"});
  EXPECT_TRUE(boxTexts.empty());
  // Escape closes it, as it does a dialog.
  QApplication::setActiveWindow(viewer);
  QTest::keyClick(&viewer->browser(), Qt::Key_Escape);
  EXPECT_FALSE(viewer->isVisible());

  // Without the folder a box says so.
  overrideProgramFolder(dir.path());
  EXPECT_EQ(showHelpContents(), 0);
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_TRUE(boxTexts[0].starts_with("The help pages are missing"));
}

// The pages describe what the windows offer and only that: every menu path
// they name is an item a person finds, the find types are the dialog's, and
// the line-number format is given where its error sends the user.
TEST_F(HelpPages, ThePagesNameOnlyWhatTheWindowsOffer) {
  QString pages;
  for (const auto &entry : std::filesystem::directory_iterator(dir.file("program/help")))
    if (entry.path().extension() == ".html")
      pages += QString::fromStdString(readFile(entry.path().string()));
  EXPECT_FALSE(pages.contains("Perl")) << "neither an export nor a find type offers it";

  registerNodeDialogs();
  RecordingSite site;
  std::unique_ptr<TListObject> numbers = findCatalogEntry("TLineNumberObject", 0)->createDefault(0);
  auto *form = dynamic_cast<TlineNumberForm *>(site.editorFor(*numbers, nullptr));
  ASSERT_NE(form, nullptr);
  form->putToScreen(*numbers);
  form->lineNumberFormat->setEditText("%s ");
  ASSERT_EQ(form->exampleLineNumber->text(), "Invalid format - please check help");
  const QString page =
      QString::fromStdString(readFile(helpPageFor(form->helpContext()).toStdString()));
  EXPECT_TRUE(page.contains("Invalid format - please check help") && page.contains("%5.5d"));

  std::unique_ptr<TListObject> search = findCatalogEntry("TSearchObject", 0)->createDefault(0);
  QWidget *searchForm = dynamic_cast<QWidget *>(site.editorFor(*search, nullptr));
  auto *types = searchForm->findChild<QComboBox *>("patternType");
  const QString searchPage = QString::fromStdString(readFile(dir.file("program/help/search.html")));
  for (int i = 0; i < types->count(); ++i)
    EXPECT_TRUE(searchPage.contains("<b>" + types->itemText(i) + "</b>")) << i;

  // "<b>Menu &gt; Item</b>": an item that is shown, its caption starting so.
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    main.CreateMDIChild();
    auto caption = [](QString text) { return text.remove('&').remove("..."); };
    std::function<bool(const QList<QAction *> &, QStringList)> found =
        [&](const QList<QAction *> &items, QStringList path) {
          for (QAction *a : items) {
            if (!a->isVisible() || a->isSeparator())
              continue;
            const bool named = caption(a->text()).startsWith(caption(path.front()));
            if (named && path.size() == 1)
              return true;
            if (a->menu() && found(a->menu()->actions(), named ? path.mid(1) : path))
              return true;
          }
          return false;
        };
    const QRegularExpression menuPath("<b>([^<]*&gt;[^<]*)</b>");
    for (auto match = menuPath.globalMatch(pages); match.hasNext();) {
      const QStringList path =
          match.next().captured(1).simplified().replace("&gt;", ">").split(" > ");
      EXPECT_TRUE(found(main.menuBar()->actions(), path)) << path.join(" > ").toStdString();
    }
  }
  mainFormHooks() = MainFormHooks();
}

// Each example on a filter's page is what the filters write. An example is
//   <table class="example" data-filters="CLASS:KIND[:LEVEL] ..." data-settings="NAME=VALUE; ...">
//   ... <pre class="in">...</pre> ... <pre class="out">...</pre> ... </table>
// whose filters are made as the menus make them, from those remembered
// settings, and run between an input and an output; `data-crlf` says that
// each line the filters write ends in CR LF.
TEST_F(HelpPages, TheExamplesOnThePagesAreWhatTheFiltersWrite) {
  const QRegularExpression exampleBlock(
      "<table class=\"example\"((?:[^>\"]|\"[^\"]*\")*)>.*?<pre class=\"in\">(.*?)</pre>.*?"
      "<pre class=\"out\">(.*?)</pre>.*?</table>",
      QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpression attribute("(data-[a-z]+)(?:=\"([^\"]*)\")?");
  auto text = [](QString html) {
    html.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&#13;", "\r");
    html.replace("&amp;", "&");
    return fromQString(html);
  };
  int examples = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir.file("program/help"))) {
    const QString page = QString::fromStdString(readFile(entry.path().string()));
    for (auto match = exampleBlock.globalMatch(page); match.hasNext(); ++examples) {
      const QRegularExpressionMatch example = match.next();
      std::map<QString, QString> attributes;
      for (auto a = attribute.globalMatch(example.captured(1)); a.hasNext();) {
        const QRegularExpressionMatch m = a.next();
        attributes[m.captured(1)] = m.captured(2);
      }
      // Each example from settings of its own.
      SettingsStore settings(dir.file("example" + std::to_string(examples) + ".ini"));
      useSettingsStore(&settings);
      for (const QString &setting : attributes["data-settings"].split("; ", Qt::SkipEmptyParts)) {
        const QString name = setting.section('=', 0, 0), value = setting.section('=', 1);
        bool number = false;
        const int integer = value.toInt(&number);
        if (value == "true" || value == "false")
          writeBoolSetting(fromQString(name), value == "true");
        else if (number)
          writeIntegerSetting(fromQString(name), integer);
        else
          writeStringSetting(fromQString(name), text(value));
      }
      TFilterList list;
      list.resetToTopNode();
      list.addNode(std::make_shared<TInputObject>(), 1);
      for (const QString &filter : attributes["data-filters"].split(' ', Qt::SkipEmptyParts)) {
        const QStringList part = filter.split(':');
        const NodeCatalogEntry *made =
            findCatalogEntry(fromQString(part[0]), part.value(1).toInt());
        EXPECT_NE(made, nullptr) << filter.toStdString();
        if (made)
          list.addNode(made->createDefault(part.value(1).toInt()), part.value(2, "1").toInt());
      }
      list.addNode(std::make_shared<TOutputObject>(), 1);
      QString expected = example.captured(3);
      if (attributes.contains("data-crlf"))
        expected.replace("\n", "\r\n");
      std::string written;
      try {
        int errorIndex = -1;
        written = runInChunks([&] { return list.createFilters(false, true, errorIndex); },
                              text(example.captured(2)), 0);
      } catch (const std::exception &error) {
        written = error.what();
      }
      EXPECT_EQ(printable(written), printable(text(expected)))
          << entry.path().filename() << ": " << attributes["data-filters"].toStdString();
      useSettingsStore(store.get());
    }
  }
  EXPECT_GE(examples, 40);
}

TEST_F(HelpPages, TheTipsAndReleaseNotesShipBesideTheProgram) {
  const QString folder = QStringLiteral(MARROWEN_SOURCE_DIR "/share/");
  EXPECT_TRUE(QFileInfo(folder + "TIPS.TXT").isFile());
  EXPECT_TRUE(QFileInfo(folder + "whatsnew.txt").isFile());
  // The build copies them beside the program it makes; About > Other
  // products opens the text about the program's family.
  const QString built = QFileInfo(QStringLiteral(MARROWEN_BINARY)).path();
  for (const char *file :
       {"TIPS.TXT", "whatsnew.txt", "Products.Txt", "help/index.html", "help/contexts.txt"})
    EXPECT_TRUE(QFileInfo(built + '/' + file).isFile()) << file;
}

} // namespace
} // namespace marrowen::testing
