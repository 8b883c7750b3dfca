#include "app/nodedialogs/nodedialogs.h"

#include "app/nodedialogs/commentdialogs.h"
#include "app/nodedialogs/descriptiondialogs.h"
#include "app/nodedialogs/eoldialogs.h"
#include "app/nodedialogs/filedialogs.h"
#include "app/nodedialogs/iodialogs.h"
#include "app/nodedialogs/linedialogs.h"
#include "app/nodedialogs/scriptdialogs.h"
#include "app/nodedialogs/searchdialogs.h"
#include "app/nodedialogs/unicodemapform.h"
#include "app/nodedialogs/utilitydialogs.h"

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
