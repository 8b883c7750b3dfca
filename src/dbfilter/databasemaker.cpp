#include "dbfilter/databasemaker.h"

#include "dbfilter/databasefilter.h"
#include "filterlist/filtermakers.h"

namespace marrowen {

void registerDatabaseFilterMaker() {
  installDatabaseFilterMaker([](const DatabaseFilterSettings &settings) {
    return std::make_unique<TODBCFilter>(settings.connection, settings.userName, settings.password,
                                         static_cast<TDatabaseOutputFormat>(settings.outputFormat),
                                         settings.fieldDelimiter, settings.textQualifier,
                                         settings.generateHeader, settings.insertTable);
  });
}

} // namespace marrowen
