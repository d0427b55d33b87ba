#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/media/WebEngine.h"

namespace fs = std::filesystem;

namespace {

class AddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("media-address-" + std::to_string(::getpid()));
    fs::create_directories(Dir / "Pages");
    std::ofstream(Dir / "Pages" / "Start Page.htm") << "<html></html>";
    OldDir = fs::current_path();
    fs::current_path(Dir);
  }
  void TearDown() override {
    fs::current_path(OldDir);
    fs::remove_all(Dir);
  }
  fs::path Dir, OldDir;
};

TEST_F(AddressTest, AddressesBecomeUrls) {
  const std::string here = "file://" + Dir.string();
  const struct {
    const char* Address;
    std::string URL;
  } cases[] = {
      {"http://example.org/a?b=c", "http://example.org/a?b=c"},
      {"about:blank", "about:blank"},
      {"mailto:someone@example.org", "mailto:someone@example.org"},
      {"  www.example.com  ", "http://www.example.com"},
      {"example.com/path/page.htm", "http://example.com/path/page.htm"},
      {"localhost:8080/x", "http://localhost:8080/x"},  // a port, not a scheme
      {"", "about:blank"},
      {"   ", "about:blank"},
      {"pages\\START PAGE.HTM", here + "/Pages/Start%20Page.htm"},
      {"Pages/Start Page.htm", here + "/Pages/Start%20Page.htm"},
      {"pages", here + "/Pages/"},
      {"./pages/", here + "/Pages/"},
      {"/nonexistent/x.htm", "file:///nonexistent/x.htm"},
      {"../none.htm", "file://" + Dir.parent_path().string() + "/none.htm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Address);
    EXPECT_EQ(WebAddressToURL(c.Address), c.URL);
  }
}

}  // namespace
