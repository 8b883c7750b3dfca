#include "filters/mailfilters.h"

#include "support/all_bytes.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;

TEST(ExtractEmails, FindsAddressesOneALine) {
  expectCases(factory<TExtractEmails>(),
              {
                  {"Write to john.smith@example.com today", "john.smith@example.com\r\n"},
                  {"<a@b.org>,c_d@e.co.uk;", "a@b.org\r\nc_d@e.co.uk\r\n"},
                  // No dot after the "@": no address.
                  {"user@localhost and x@y", ""},
                  // Complete at the very end of the file.
                  {"mail me@host.net", "me@host.net\r\n"},
                  // A byte not allowed before "@" drops the candidate; the
                  // next word starts a new one.
                  {"john smith@x.com", "smith@x.com\r\n"},
                  {"[x]y@z.w", "y@z.w\r\n"},
                  {"!x@y.z", "x@y.z\r\n"},
              });
}

TEST(ExtractEmails, AFullStopEndingTheSentenceStaysWithTheAddress) {
  expectCases(factory<TExtractEmails>(), {
                                             {"Ask bob@example.com.", "bob@example.com.\r\n"},
                                             {"Ask bob@example. Or", "bob@example.\r\n"},
                                             {"Ask bob@example Or", ""},
                                         });
}

TEST(ExtractEmails, AnAddressAcrossChunksAndFilesIsFoundWhole) {
  std::string text = std::string(4090, ' ') + "someone@example.org\n";
  EXPECT_EQ(expectChunkInvariant(factory<TExtractEmails>(), text), "someone@example.org\r\n");
  // A candidate does not run on into the next file.
  auto files = testing::runFilesInChunks(factory<TExtractEmails>(), {"abc", "@d.e x"}, 0);
  EXPECT_EQ(files, (std::vector<std::string>{"", ""}));
}

TEST(ExtractURLs, SchemesInLowerCaseAndTheRestAsWritten) {
  expectCases(factory<TExtractURLs>(),
              {
                  {"see HTTP://Example.COM/Path?q=1 now", "http://Example.COM/Path?q=1\r\n"},
                  {"HttpS://x.org/A\"", "https://x.org/A\r\n"},
                  {"<ftp://f.net/a>", "ftp://f.net/a\r\n"},
                  {"Gopher://g.h\tMailTo:a@b.c\nnntp://n/g",
                   "gopher://g.h\r\nmailto:a@b.c\r\nnntp://n/g\r\n"},
                  // A false start does not hide the real one.
                  {"hhttp://a.b", "http://a.b\r\n"},
                  {"httpx http:/ http//", ""},
                  // Other schemes are not URLs.
                  {"file://x/y telnet://h", ""},
                  // A scheme alone is no URL.
                  {"http:// mailto:", ""},
              });
}

TEST(ExtractURLs, AUrlAcrossChunksIsFoundWhole) {
  std::string text = std::string(4093, '.') + "http://split.example/" + std::string(5000, 'p');
  EXPECT_EQ(expectChunkInvariant(factory<TExtractURLs>(), text),
            "http://split.example/" + std::string(5000, 'p') + "\r\n");
}

TEST(RemoveEmailHeaders, KeepsTheBodiesOnly) {
  expectCases(
      factory<TRemoveEmailHeaders>(),
      {
          {"From: a\r\nSubject: s\r\n\r\nbody 1\r\nline 2\r\n.\r\nFrom: b\r\n\r\nbody 2\r\n",
           "body 1\r\nline 2\r\nbody 2\r\n"},
          {"no body ever\n", ""},
          {"H\n\n..\n. \n", "..\n. \n"},
      });
  // Each file starts in its header.
  auto files = testing::runFilesInChunks(factory<TRemoveEmailHeaders>(), {"H\n\nb\n", "c\n\nd"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"b\n", "d"}));
}

TEST(ROT13, RotatesLettersOnlyAndTwiceGivesTheInputBack) {
  expectCases(factory<TROT13>(), {{"Hello, World! z", "Uryyb, Jbeyq! m"}});
  std::string all = testing::allBytes();
  auto twice = [] {
    auto head = std::make_unique<TROT13>();
    head->setNext(std::make_unique<TROT13>());
    return head;
  };
  EXPECT_EQ(expectChunkInvariant(twice, all), all);
}

} // namespace
} // namespace marrowen
