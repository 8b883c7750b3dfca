#include "filters/codecs_hexescape.h"

#include "engine/messages.h"

namespace marrowen {

void THexEscapeDecoder::warnBadDigit(int message, char c) {
  logWarning(translateFormat(message, "Invalid hex digit '%s'", {byteText(c)}));
}

} // namespace marrowen
