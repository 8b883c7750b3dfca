#include "classlib/exceptions.h"

#include "classlib/format.h"

namespace marrowen {

EFOpenError::EFOpenError(const std::string &fileName)
    : EStreamError(Format("Cannot open file %s", {fileName})) {}

EFOpenError::EFOpenError(const std::string &fileName, const std::string &reason)
    : EStreamError(Format("Cannot open file %s. %s", {fileName, reason})) {}

EFCreateError::EFCreateError(const std::string &fileName)
    : EStreamError(Format("Cannot create file %s", {fileName})) {}

EFCreateError::EFCreateError(const std::string &fileName, const std::string &reason)
    : EStreamError(Format("Cannot create file %s. %s", {fileName, reason})) {}

} // namespace marrowen
