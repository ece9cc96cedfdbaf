// The backend contract kept by libusb against the simulated remote on a
// simulated USB bus; every case also leaves no claim or URB behind.
#include <gtest/gtest.h>

#include <sstream>

#include "backend_contract.h"
#include "link/libusb/libusb_backend.h"
#include "usb_remote_testbed.h"

namespace corvane {
namespace {

class UsbBed final : public contract::Bed {
 public:
  link::Backend& backend() override { return backend_; }
  sim::SimRemote& remote() override { return remote_; }
  void Unplug() override { bus_.Unplug(); }
  usbtest::UsbRemoteTestbed& bus() { return bus_; }

 private:
  sim::SimRemote remote_;
  usbtest::UsbRemoteTestbed bus_{remote_};
  std::ostringstream diagnostics_;
  link::LibusbBackend backend_{diagnostics_};
};

class UsbContract : public testing::TestWithParam<contract::Case> {};

TEST_P(UsbContract, Holds) {
  UsbBed bed;
  contract::Check(bed, GetParam());
  const auto holds = bed.bus().Holds();
  EXPECT_EQ(holds.claimedInterfaces, 0);
  EXPECT_EQ(holds.urbsInFlight, 0u);
}

INSTANTIATE_TEST_SUITE_P(Libusb, UsbContract, testing::ValuesIn(contract::Cases()),
                         contract::CaseName);

}  // namespace
}  // namespace corvane
