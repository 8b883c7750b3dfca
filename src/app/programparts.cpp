#include "app/programparts.h"

#include "app/automation/commandlinehelper.h"
#include "app/automation/exports.h"
#include "app/automation/shellextensions.h"
#include "app/automation/updateform.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/wizard.h"
#include "app/main/mainform.h"
#include "app/main/taskmenu.h"
#include "app/nodedialogs/nodedialogs.h"

namespace marrowen {

void installProgramParts() {
  TchildForm::install();
  installExportCommands();
  installWizard();
  installPatternMenu();
  registerNodeDialogs();
  installTaskMenu();
  installUpdateCheck();
  installShellExtensions();
  installCommandLineHelper();
}

} // namespace marrowen
