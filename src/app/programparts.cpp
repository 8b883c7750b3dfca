#include "app/programparts.h"

#include "app/childform.h"
#include "app/commandlinehelper.h"
#include "app/exports.h"
#include "app/nodedialogs.h"
#include "app/patternmenu.h"
#include "app/shellextensions.h"
#include "app/taskmenu.h"
#include "app/updateform.h"
#include "app/wizard.h"

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
