#include "engine/clipboard.h"

#include <gtest/gtest.h>

using namespace marrowen;

namespace {

class FakeClipboard : public Clipboard {
public:
  std::string getText() override { return text; }
  void setText(std::string_view t) override { text.assign(t); }
  std::string text;
};

} // namespace

TEST(Clipboard, TextStopsAtFirstNul) {
  clipboard()->setText(std::string("ab\0cd", 5));
  EXPECT_EQ(getClipboardText(), "ab");
  clipboard()->setText("");
  EXPECT_EQ(getClipboardText(), "");
}

TEST(Clipboard, HostSuppliesItsOwn) {
  auto fake = std::make_shared<FakeClipboard>();
  fake->text = "from host";
  setClipboard(fake);
  EXPECT_EQ(getClipboardText(), "from host");
  clipboard()->setText("back");
  EXPECT_EQ(fake->text, "back");
  setClipboard(nullptr);
  EXPECT_EQ(getClipboardText(), "");
}
