#include "classlib/exceptions.h"

#include "classlib/codepage.h"
#include "classlib/format.h"

namespace marrowen {

EFOpenError::EFOpenError(const std::string &fileName)
    : EStreamError(Format("Cannot open file %s", {fileNameText(fileName)})) {}

EFOpenError::EFOpenError(const std::string &fileName, const std::string &reason)
    : EStreamError(Format("Cannot open file %s. %s", {fileNameText(fileName), reason})) {}

EFCreateError::EFCreateError(const std::string &fileName)
    : EStreamError(Format("Cannot create file %s", {fileNameText(fileName)})) {}

// With no name, "file ." would stand there with nothing to name.
EFCreateError::EFCreateError(const std::string &fileName, const std::string &reason)
    : EStreamError(fileName.empty()
                       ? Format("Cannot create file. %s", {reason})
                       : Format("Cannot create file %s. %s", {fileNameText(fileName), reason})) {}

EFReadError::EFReadError(const std::string &fileName, const std::string &reason)
    : EStreamError(Format("Cannot read file %s. %s", {fileNameText(fileName), reason})) {}

EFWriteError::EFWriteError(const std::string &fileName, const std::string &reason)
    : EStreamError(Format("Cannot write file %s. %s", {fileNameText(fileName), reason})) {}

} // namespace marrowen
