// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the device the user names with --device.

#include "audio/capture_devices.h"

#include <gtest/gtest.h>

namespace sonlet {

namespace {

CaptureDeviceInfo Device(const std::string& name, bool is_default = false) {
  CaptureDeviceInfo d;
  d.name = name;
  d.is_default = is_default;
  return d;
}

// Names as a desktop with two cards and a sound server shows them.
const std::vector<CaptureDeviceInfo> kDesktop = {
    Device("HDA Intel PCH: ALC892 Analog (hw:0,0)"),
    Device("USB Audio Device: - (hw:1,0)"),
    Device("pulse"),
    Device("pipewire"),
    Device("default", true),
};

TEST(CaptureDeviceChoice, NamesPartsAndTheDefault) {
  std::string why;
  EXPECT_EQ(ChooseCaptureDevice(kDesktop, "", &why), 4);  // the default input
  EXPECT_EQ(ChooseCaptureDevice(kDesktop, "pulse", &why), 2);
  EXPECT_EQ(ChooseCaptureDevice(kDesktop, "usb", &why), 1);     // part of a name, any case
  EXPECT_EQ(ChooseCaptureDevice(kDesktop, "hw:0,0", &why), 0);  // as --list-devices shows it
}

TEST(CaptureDeviceChoice, AWholeNameWinsOverLongerNamesThatContainIt) {
  std::vector<CaptureDeviceInfo> devices = {Device("pulse monitor"), Device("pulse")};
  std::string why;
  EXPECT_EQ(ChooseCaptureDevice(devices, "pulse", &why), 1);
}

TEST(CaptureDeviceChoice, UnknownAmbiguousOrMissingNamesAreRefusedWithTheReason) {
  std::string why;
  EXPECT_EQ(ChooseCaptureDevice(kDesktop, "bluetooth", &why), -1);
  EXPECT_NE(why.find("'bluetooth'"), std::string::npos) << why;

  EXPECT_EQ(ChooseCaptureDevice(kDesktop, "hw:", &why), -1);  // both cards
  EXPECT_NE(why.find("HDA Intel"), std::string::npos) << why;
  EXPECT_NE(why.find("USB Audio"), std::string::npos) << why;

  EXPECT_EQ(ChooseCaptureDevice({}, "", &why), -1);
  EXPECT_NE(why.find("no sound input device"), std::string::npos) << why;

  EXPECT_EQ(ChooseCaptureDevice({Device("pulse")}, "", &why), -1);  // none is the default
  EXPECT_NE(why.find("--device"), std::string::npos) << why;
}

}  // namespace

}  // namespace sonlet
