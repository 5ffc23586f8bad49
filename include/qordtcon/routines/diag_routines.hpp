// Diagnostic and configuration commands (CMD 0): the sign's clock, type, version and
// statistics, brightness, groups, tests, switches, temperature, name, serial number, the
// block-check mode, and the reset into the loader.
#pragma once

#include <cstdint>
#include <string>

#include "qordtcon/payloads/diag.hpp"
#include "qordtcon/payloads/stats.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

class classrDiagTransRoutines : private CommandRoutine {
 public:
  explicit classrDiagTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 0) {}

  bool SetSignTime(const classDIAG_STIME& tTime);
  // Filled only when the transaction succeeded.
  classDIAG_GTIME GetSignTime();
  // Always decoded, from an empty text when the transaction failed.
  classDIAG_SIGNTYPE GetSignType();
  bool SetSignBrightness(const classDIAG_BRIGHTNESS& tBrightness);
  bool SetSignGroups(const classDIAG_GROUPS& tGroups);
  // Decoded from the whole reply frame.
  classDIAG_VERSION GetSignVersion();
  bool SetSignTest(const classDIAG_TEST& tTest);
  bool SetSignScan(bool ScanOn);
  bool SetSignBrightnessRange(const classDIAG_BRIGHTNESS_RANGE& tRange);
  bool SetSignBrightnessSchedule(const classDIAG_BRIGHTNESS_SCHEDULE& tSchedule);
  bool SetSignTempAdjust(const classDIAG_TEMP_CALIBRATION& tCalibration);
  bool SetSignSoftSwitches(const classDIAG_SOFT_SWITCHES& tSwitches);
  bool SetSignDST(bool DSTEnabled);
  bool SetSignHWTemp(const classDIAG_HWTEMP& tHWTemp);
  // The object's group_ids come back padded, as they were sent.
  bool SetSignGroupMaster(classDIAG_GROUP_MASTERS& tMasters);
  classDIAG_STATS GetSignStats();
  bool ClearSign_RXTX_Counts();
  bool SetSignScrollOptions(const classDIAG_SCROLL_OPTIONS& tOptions);
  bool SetSignPixel_Control(const classDIAG_PIXEL_CONTROL& tPixels);
  bool SetSignDefault(bool EnableDefault);
  std::string GetSerialNumber();
  // strDisplayName becomes its first 32 characters in upper case, which are sent.
  bool SetDisplayName(std::string& strDisplayName);
  std::string GetDisplayName();
  // 2: the sign took the newer block check; 1: it answered with an error report; 0: else.
  std::int16_t SetBCCMode();
  // Sent without waiting for a reply: the sign restarts at once.
  bool ResetSign();
  bool PrepareForDownload();
  // strSerialNum becomes its first 32 characters in upper case, which are sent.
  bool SetSerialNumber(std::string& strSerialNum);
};

}  // namespace qordtcon
