#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/device_search.h"
#include "link/port_names.h"
#include "link/usb_comm_kanshi.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// A sysfs tree as the kernel lays it out for USB serial adapters.
class FakeSysfs {
 public:
  FakeSysfs() {
    fs::create_directories(Devices());
    fs::create_directories(Driver());
    WriteBytes(Driver() + "/bind", "");
  }
  std::string root() const { return folder_.path(); }
  std::string Devices() const { return folder_.path() + "/bus/usb/devices"; }
  std::string Driver() const { return folder_.path() + "/bus/usb/drivers/ftdi_sio"; }
  std::string Device(const std::string& name) const { return Devices() + "/" + name; }
  std::string Interface(const std::string& name) const { return Device(name) + "/" + name + ":1.0"; }

  // A USB device with its attributes; tty is "" for a device without a port yet.
  void AddDevice(const std::string& name, const std::string& vendor, const std::string& product,
                 const std::string& tty, const std::string& authorized = "1\n",
                 bool driverBound = true) {
    fs::create_directories(Device(name));
    WriteBytes(Device(name) + "/idVendor", vendor + "\n");
    WriteBytes(Device(name) + "/idProduct", product + "\n");
    WriteBytes(Device(name) + "/authorized", authorized);
    fs::create_directories(Interface(name));
    if (driverBound) fs::create_directory_symlink(Driver(), Interface(name) + "/driver");
    if (!tty.empty()) fs::create_directories(Interface(name) + "/" + tty + "/tty/" + tty);
  }
  void AddUnit(const std::string& name, const std::string& tty) { AddDevice(name, "0403", "6001", tty); }

  LinkConfig Config() const {
    LinkConfig config;
    config.sysfsRoot = root();
    return config;
  }

 private:
  TempFolder folder_;
};

TEST(DeviceSearch, TwoUnitsAreFoundInUsbEnumerationOrder) {
  FakeSysfs sysfs;
  // Created out of order on purpose: directory order must not decide.
  sysfs.AddUnit("1-1.10", "ttyUSB0");
  sysfs.AddUnit("1-1.2", "ttyUSB3");
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{4, 1}));

  UnitLinkState state;
  EXPECT_EQ(SearchUnitPorts(state, sysfs.Config()), 2);
  EXPECT_EQ(state.detectedCount.load(), 2);
  EXPECT_EQ(state.detectedPorts[0].load(), 4);
  EXPECT_EQ(state.detectedPorts[1].load(), 1);
}

TEST(DeviceSearch, BusNumberOrdersBeforePortPath) {
  FakeSysfs sysfs;
  sysfs.AddUnit("10-1", "ttyUSB0");
  sysfs.AddUnit("2-4", "ttyUSB1");
  sysfs.AddUnit("2-1.3.1", "ttyUSB2");
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{3, 2, 1}));
}

TEST(DeviceSearch, OtherUsbDevicesAndRootHubsAreSkipped) {
  FakeSysfs sysfs;
  sysfs.AddDevice("usb1", "1d6b", "0002", "");
  sysfs.AddDevice("1-1", "0403", "6010", "ttyUSB0");  // another FTDI chip
  sysfs.AddDevice("1-2", "067b", "2303", "ttyUSB1");  // another maker's bridge
  sysfs.AddDevice("1-3", "0403", "6001", "ttyUSB2");
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{3}));
}

TEST(DeviceSearch, AttributesWithTrailingBlanksOrNoLineEndStillMatch) {
  FakeSysfs sysfs;
  sysfs.AddDevice("1-1", "0403", "6001", "ttyUSB0");
  sysfs.AddDevice("1-2", "0403", "6001", "ttyUSB1");
  WriteBytes(sysfs.Device("1-2") + "/idProduct", "6001  \n");
  sysfs.AddDevice("3-1", "0403", "6001", "ttyUSB7");
  WriteBytes(sysfs.Device("3-1") + "/idVendor", "0403");  // no line end
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{1, 2, 8}));
}

TEST(DeviceSearch, DeauthorisedUnitIsAuthorisedAndItsPortFound) {
  FakeSysfs sysfs;
  sysfs.AddDevice("1-1", "0403", "6001", "ttyUSB0", "0\n");
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{1}));
  EXPECT_EQ(ReadBytes(sysfs.Device("1-1") + "/authorized"), "1");
}

TEST(DeviceSearch, InterfaceWithoutDriverIsBoundToFtdiSio) {
  FakeSysfs sysfs;
  sysfs.AddDevice("1-4", "0403", "6001", "", "1\n", /*driverBound=*/false);
  // The kernel makes the port only after the bind; until then the search has
  // nothing to report and stops.
  EXPECT_TRUE(FindUnitPorts(sysfs.Config()).empty());
  EXPECT_EQ(ReadBytes(sysfs.Driver() + "/bind"), "1-4:1.0");
}

TEST(DeviceSearch, UnitThatCannotBeBoundEndsTheSearchWithoutCrashing) {
  FakeSysfs sysfs;
  fs::remove(sysfs.Driver() + "/bind");  // driver not loaded
  sysfs.AddDevice("1-1", "0403", "6001", "", "1\n", false);
  sysfs.AddUnit("1-2", "ttyUSB1");
  EXPECT_TRUE(FindUnitPorts(sysfs.Config()).empty());
  // Nothing is created where the kernel has no attribute.
  EXPECT_FALSE(fs::exists(sysfs.Driver() + "/bind"));
}

TEST(DeviceSearch, AtMostTwentyPortsAreReported) {
  FakeSysfs sysfs;
  for (int i = 1; i <= 23; ++i) sysfs.AddUnit("1-" + std::to_string(i), "ttyUSB" + std::to_string(i - 1));
  const std::vector<int> ports = FindUnitPorts(sysfs.Config());
  ASSERT_EQ(ports.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ports[i], i + 1);
  UnitLinkState state;
  EXPECT_EQ(SearchUnitPorts(state, sysfs.Config()), 20);
}

TEST(DeviceSearch, UnitWithoutPortStopsTheSearchAsTheLoopDoes) {
  FakeSysfs sysfs;
  sysfs.AddUnit("1-1", "ttyUSB0");
  sysfs.AddUnit("1-2", "");
  sysfs.AddUnit("1-3", "ttyUSB2");
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{1}));
}

TEST(DeviceSearch, MissingOrGarbageAttributesAreSkippedWithoutCrashing) {
  FakeSysfs sysfs;
  sysfs.AddUnit("1-1", "ttyUSB0");
  fs::remove(sysfs.Device("1-1") + "/idVendor");               // unreadable vendor: skipped
  sysfs.AddUnit("1-2", "ttyUSB1");
  WriteBytes(sysfs.Device("1-2") + "/idProduct", std::string(5000, 'x'));  // garbage: skipped
  sysfs.AddUnit("1-3", "ttyUSB2");
  WriteBytes(sysfs.Device("1-3") + "/authorized", "maybe\n");  // cannot tell: passed over
  sysfs.AddUnit("1-4", "ttyUSB3");
  fs::remove(sysfs.Device("1-4") + "/authorized");             // cannot read: passed over
  sysfs.AddUnit("1-5", "ttyUSBx");                             // not a port name: stops
  sysfs.AddUnit("1-6", "ttyUSB5");
  EXPECT_TRUE(FindUnitPorts(sysfs.Config()).empty());
  EXPECT_EQ(ReadBytes(sysfs.Device("1-3") + "/authorized"), "maybe\n");

  fs::remove_all(sysfs.Interface("1-5"));  // no interface at all: also stops
  EXPECT_TRUE(FindUnitPorts(sysfs.Config()).empty());
  fs::remove_all(sysfs.Device("1-5"));
  EXPECT_EQ(FindUnitPorts(sysfs.Config()), (std::vector<int>{6}));
}

TEST(DeviceSearch, MissingSysfsTreeFindsNothing) {
  LinkConfig config;
  config.sysfsRoot = "/nonexistent/velrix/sysfs";
  EXPECT_TRUE(FindUnitPorts(config).empty());
  TempFolder folder;
  WriteBytes(folder.File("bus"), "a file where a folder must be");
  config.sysfsRoot = folder.path();
  EXPECT_TRUE(FindUnitPorts(config).empty());
}

TEST(DeviceSearch, PortNamedOnTheCommandLineIsTheOnlyPortWhileItExists) {
  FakeSysfs sysfs;
  sysfs.AddUnit("1-1", "ttyUSB0");
  LinkConfig config = sysfs.Config();
  config.overridePort = sysfs.root() + "/myunit";
  EXPECT_TRUE(FindUnitPorts(config).empty());  // USB devices are not searched then
  WriteBytes(config.overridePort, "");
  EXPECT_EQ(FindUnitPorts(config), (std::vector<int>{kOverridePortNumber}));
  fs::remove(config.overridePort);
  fs::create_symlink(sysfs.root() + "/gone", config.overridePort);  // dangling link
  EXPECT_TRUE(FindUnitPorts(config).empty());
}

TEST(SupervisionSearch, StoredPortNumberThatVanishedFallsBackToAutomatic) {
  FakeSysfs sysfs;
  sysfs.AddUnit("1-1", "ttyUSB0");
  UnitLinkState state;
  state.comNumber.store(5);  // ttyUSB4, no longer attached
  EXPECT_EQ(SearchForLinkStart(state, sysfs.Config()), 1);
  EXPECT_EQ(state.comNumber.load(), 0);

  state.comNumber.store(1);  // still there: kept
  EXPECT_EQ(SearchForLinkStart(state, sysfs.Config()), 1);
  EXPECT_EQ(state.comNumber.load(), 1);
}

TEST(SupervisionSearch, NoUnitSetsLinkNgAndClearsTheExchangeHealth) {
  FakeSysfs sysfs;
  UnitLinkState state;
  state.linkStatus.store(kLinkOk);
  state.detectedCount.store(1);
  state.detectedPorts[0].store(3);
  state.echoConfirmed.store(1);
  state.responseError.store(1);
  state.activityCount.store(7);
  EXPECT_EQ(SearchForLinkStart(state, sysfs.Config()), 0);
  EXPECT_EQ(state.linkStatus.load(), kLinkNg);
  EXPECT_EQ(state.detectedCount.load(), 0);
  EXPECT_EQ(state.echoConfirmed.load(), 0);
  EXPECT_EQ(state.responseError.load(), 0);
  EXPECT_EQ(state.activityCount.load(), 0);
}

}  // namespace
}  // namespace velrix
