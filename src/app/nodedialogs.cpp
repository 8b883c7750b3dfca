#include "app/nodedialogs.h"

#include "app/commentdialogs.h"
#include "app/descriptiondialogs.h"
#include "app/eoldialogs.h"
#include "app/filedialogs.h"
#include "app/iodialogs.h"
#include "app/linedialogs.h"
#include "app/scriptdialogs.h"
#include "app/searchdialogs.h"
#include "app/unicodemapform.h"
#include "app/utilitydialogs.h"

namespace marrowen {

void registerNodeDialogs() {
  registerInputOutputDialogs();
  registerDescriptionDialogs();
  registerLineDialogs();
  registerUnicodeMapDialog();
  registerSearchDialogs();
  registerEOLDialogs();
  registerFileDialogs();
  registerUtilityDialogs();
  registerCommentDialogs();
  registerScriptDialogs();
}

} // namespace marrowen
