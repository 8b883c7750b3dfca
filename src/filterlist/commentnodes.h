#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <span>
#include <string>

namespace marrowen {

// A free text that makes no filter. Its children are built inline as if it
// were not there, so a comment can head a group of filters.
class TCommentObject : public TListObject {
public:
  std::string text;

  // The stored fields, in stored order.
  static std::span<const NodeField<TCommentObject>> fields();
  static std::unique_ptr<TCommentObject> CreateDefault() {
    return std::make_unique<TCommentObject>();
  }
  static std::unique_ptr<TCommentObject> CreateWith(std::string text);

  int iconIndex() const override { return 5; }
  bool canParent() const override { return true; }
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;

  std::string_view className() const override { return "TCommentObject"; }
  std::string_view definedPropertyName() const override { return "CommentObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// The top node of every filter list ("Filter options"): the list's log
// options while a window shows the list. Always enabled. Its own record
// holds only the common part; the log options travel in the file's version
// record.
class TFilterCommentObject : public TListObject {
public:
  LogOptions log;

  static std::unique_ptr<TFilterCommentObject> CreateDefault();
  void rememberDefaults() const override;

  bool canParent() const override { return true; }
  bool getEnabled() const override { return true; }
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;

  std::string_view className() const override { return "TFilterCommentObject"; }
};

} // namespace marrowen
