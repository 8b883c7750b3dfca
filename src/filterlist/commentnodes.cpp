#include "filterlist/commentnodes.h"

#include "classlib/program.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filterlist/settings.h"

#include <vector>

namespace marrowen {

using namespace std::string_view_literals;

namespace {

// The lines of a memo text: ends CR LF, LF or CR; a final line end makes no
// empty line after it.
std::vector<std::string_view> textLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

using CommentField = NodeField<TCommentObject>;
// Files before type 28 kept the text in two parts, joined on load beside the
// table.
const CommentField commentFields[] = {
    {"text", &TCommentObject::text, ""sv, "", 28},
};

} // namespace

std::span<const CommentField> TCommentObject::fields() { return commentFields; }

std::unique_ptr<TCommentObject> TCommentObject::CreateWith(std::string text) {
  auto node = std::make_unique<TCommentObject>();
  node->text = std::move(text);
  return node;
}

std::string TCommentObject::getTitle() const {
  const auto lines = textLines(text);
  return lines.empty() ? std::string("Comment") : std::string(lines.front());
}

std::string TCommentObject::printText(std::string_view indent) const {
  std::string report = "Comment...\r\n";
  for (std::string_view line : textLines(text)) {
    report += indent;
    report += "  ";
    report += line;
    report += "\r\n";
  }
  return report;
}

std::string TCommentObject::generateCmdLine() const { return commentCmdLine(text); }

void TCommentObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TCommentObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  if (reader.fileTypeRead() >= 28) {
    readFields(*this, reader, fields());
    return;
  }
  // Older files kept a braced heading and a body apart.
  std::string first = reader.readString();
  if (!first.empty() && first.front() == '{')
    first.erase(0, 1);
  if (!first.empty() && first.back() == '}')
    first.pop_back();
  text = first + "\r\n" + reader.readString();
}

// ---------------------------------------------------------------------------

std::unique_ptr<TFilterCommentObject> TFilterCommentObject::CreateDefault() {
  auto node = std::make_unique<TFilterCommentObject>();
  readFieldSettings(node->log, logOptionFields());
  return node;
}

void TFilterCommentObject::rememberDefaults() const { writeFieldSettings(log, logOptionFields()); }

std::string TFilterCommentObject::getTitle() const { return translate(5840, "Filter options"); }

std::string TFilterCommentObject::printText(std::string_view indent) const {
  return translateFormat(5850,
                         "%s\r\n%s%sLog to file\r\n%s%sAppend to logfile\r\n%s  Log filename: "
                         "%s\r\n%s  Threshold %d\r\n",
                         {getTitle(), indent, outputOption(log.enabled), indent,
                          outputOption(log.append), indent, log.fileName, indent,
                          log.lineThreshold});
}

std::string TFilterCommentObject::generateCmdLine() const { return "/LOG=" + log.fileName; }

} // namespace marrowen
