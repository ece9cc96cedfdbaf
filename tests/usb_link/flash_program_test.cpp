// corvane-flash as a service desk runs it, with two remotes on a simulated
// USB bus that it reaches through libusb: it lists them (the second with
// its serial number), tells one's identity, refuses to guess, and updates
// the one chosen by its serial number. Run under
// umockdev-wrapper; the program inherits it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "firmware/images.h"
#include "usb_remote_testbed.h"

namespace corvane {
namespace {

struct Ran {
  int status = -1;
  std::string output;  // standard output and error together
};

Ran Flash(const std::string& arguments) {
  const std::string file = testing::TempDir() + "/flash-output";
  const int waited =
      std::system((std::string(CORVANE_FLASH) + ' ' + arguments + " >" + file + " 2>&1").c_str());
  std::ifstream in(file);
  return {WIFEXITED(waited) ? WEXITSTATUS(waited) : -1,
          {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
}

TEST(FlashWithTwoRemotes, ListsTellsRefusesToGuessAndUpdatesTheOneChosen) {
  sim::SimRemote first;
  sim::SimRemote second;
  second.identityReply = sim::IdentityReplyWith({0x01, 0x0A, 0x00, 0x00});
  second.serialNumber = "CRV0042A7";
  usbtest::UsbRemoteTestbed bus({&first, &second});

  const Ran list = Flash("--list");
  EXPECT_EQ(list.status, 0) << list.output;
  for (const char* line : {"1-1.4  -          USB EC4B:7A10 on bus 1 port 1.4\n",
                           "1-1.3  CRV0042A7  USB EC4B:7A10 on bus 1 port 1.3\n"}) {
    EXPECT_NE(list.output.find(line), std::string::npos) << list.output;
  }

  const Ran unchosen = Flash("");
  EXPECT_EQ(unchosen.status, 2) << unchosen.output;

  const Ran json = Flash("--list --json");
  EXPECT_NE(json.output.find(R"("id":"1-1.3","serial":"CRV0042A7")"), std::string::npos)
      << json.output;

  const Ran info = Flash("--info --device 1-1.3");
  EXPECT_EQ(info.status, 0) << info.output;
  EXPECT_NE(info.output.find("serial number CRV0042A7\n"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("01 0A 00 00"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("direct path, header flag 1"), std::string::npos) << info.output;

  const Ran update = Flash("--device=crv0042a7");
  EXPECT_EQ(update.status, 0) << update.output;
  EXPECT_TRUE(update.output.ends_with("Send completed\n")) << update.output;
  const auto images = firmware::Images::Embedded().value();
  bus.WithRemote([](const sim::SimRemote& r) { EXPECT_TRUE(r.images().empty()); }, 0);
  bus.WithRemote(
      [&](const sim::SimRemote& r) {
        ASSERT_EQ(r.images().size(), 1u);
        EXPECT_TRUE(std::ranges::equal(r.images()[0].bytes, images.Main()));
        EXPECT_EQ(r.images()[0].headerFlag, 1);
        EXPECT_EQ(r.violations(), std::vector<std::string>{});
      },
      1);
  for (std::size_t remote = 0; remote < 2; ++remote) {
    EXPECT_EQ(bus.Holds(remote).claimedInterfaces, 0);
  }
}

}  // namespace
}  // namespace corvane
