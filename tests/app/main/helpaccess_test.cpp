#include "app/main/helpaccess.h"

#include "app/automation/updateform.h"
#include "app/jobs/statusform.h"
#include "app/listwindow/childform.h"
#include "app/main/appsettings.h"
#include "app/main/mainform.h"
#include "app/main/taskmenu.h"
#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/nodedialogs.h"
#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/nodecatalog.h"

#include <QFileInfo>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>
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

TEST_F(HelpPages, TheTipsAndReleaseNotesShipBesideTheProgram) {
  const QString folder = QStringLiteral(MARROWEN_SOURCE_DIR "/share/");
  EXPECT_TRUE(QFileInfo(folder + "TIPS.TXT").isFile());
  EXPECT_TRUE(QFileInfo(folder + "whatsnew.txt").isFile());
  // The build copies them beside the program it makes.
  const QString built = QFileInfo(QStringLiteral(MARROWEN_BINARY)).path();
  for (const char *file : {"TIPS.TXT", "whatsnew.txt", "help/index.html", "help/contexts.txt"})
    EXPECT_TRUE(QFileInfo(built + '/' + file).isFile()) << file;
}

} // namespace
} // namespace marrowen::testing
