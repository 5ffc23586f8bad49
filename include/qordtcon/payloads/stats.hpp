// The sign's statistics record: application name and clock, configuration (type, size,
// switches, master/slave arrangement, modem, dimming, temperatures, fonts, play state) and
// the communication counters. The diagnostic routine fills it from the statistics answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qordtcon {

// Result of the statistics request. Each communication counter comes twice from the same
// 16-bit slot: read unsigned into its `u...` Long twin and signed into the Integer field.
class classDIAG_STATS {
 public:
  std::string appl_name;
  std::int16_t numberbadframes = 0;
  std::int16_t resets_noinit = 0;
  std::string cur_datetime;  // six bytes as the sign sent them
  std::int16_t sign_type = 0;
  std::int16_t module_type = 0;
  std::int16_t modules_wide = 0;
  std::int16_t modules_high = 0;
  std::int16_t scan_enabled = 0;
  std::int16_t dst_enabled = 0;
  std::int16_t dst_status = 0;
  std::int16_t def_enabled = 0;
  std::int16_t def_loaded = 0;
  std::int16_t node_address = 0;
  std::string group_addresses;
  std::string GROUP_MASTERS;
  std::int16_t pixels_wide = 0;
  std::int16_t pixels_high = 0;
  std::int16_t totpixels_wide = 0;
  std::int16_t totpixels_high = 0;
  std::int16_t mem_pages = 0;
  std::int16_t totframes = 0;
  std::int16_t totplay_entries = 0;
  std::int16_t framesize = 0;
  std::int16_t switch1 = 0;
  std::int16_t switch2 = 0;
  std::int16_t switch3 = 0;
  std::int16_t switch4 = 0;
  std::int16_t switch5 = 0;
  std::int16_t soft_enabled = 0;
  std::int16_t softswitch1 = 0;
  std::int16_t softswitch2 = 0;
  std::int16_t softswitch3 = 0;
  std::int16_t softswitch4 = 0;
  std::int16_t softswitch5 = 0;
  std::int16_t master_slave = 0;
  std::int16_t ismaster = 0;
  std::int16_t isslave = 0;
  std::int16_t slaveswide = 0;
  std::int16_t slaveshigh = 0;
  std::int16_t masteraddress = 0;
  std::int16_t myx = 0;
  std::int16_t myendx = 0;
  std::int16_t myy = 0;
  std::int16_t myendy = 0;
  std::int16_t myscroll_delay = 0;
  std::int16_t modemsign = 0;
  std::string initstring;
  std::int16_t autodim_enabled = 0;
  std::int16_t dimlevel = 0;
  std::int16_t dim_lowrange = 0;
  std::int16_t dim_highrange = 0;
  std::int16_t tempf = 0;
  std::int16_t tempc = 0;
  std::int16_t temp_adjust = 0;
  std::int16_t dimsched_default = 0;
  std::int16_t dimsched_periods = 0;
  std::string dimschedule;  // 55 bytes as the sign sent them
  std::int16_t current_fontwidth = 0;
  std::int16_t current_fontheight = 0;
  std::int16_t font2432loaded = 0;
  std::int16_t customfonts_loaded = 0;
  std::int16_t running = 0;
  std::int16_t autoplay = 0;
  std::int16_t playing = 0;
  std::int16_t scrolling = 0;
  std::int16_t scrollspeed = 0;
  std::int16_t indelay = 0;
  std::int32_t delay = 0;
  std::int16_t blinkenabled = 0;
  std::int16_t blinkrate = 0;
  std::int16_t numberframesloaded = 0;
  std::int16_t numberplayentries = 0;
  std::int16_t currentplayentrynum = 0;
  std::string currentplayentry;
  std::string datetimelastload;  // six bytes as the sign sent them
  std::int16_t msgrec_notme = 0;
  std::int16_t msgrec_me = 0;
  std::int16_t msgrec_nakbadcrc = 0;
  std::int16_t msgrec_nakbadcmdfnc = 0;
  std::int16_t msgrec_nakbadsize = 0;
  std::int16_t msgrec_acked = 0;
  std::int16_t msgrec_respokcmd = 0;
  std::int16_t msgrec_respdata = 0;
  std::int16_t msgrec_duplicate = 0;
  std::int16_t msgrec_enq = 0;
  std::int16_t msgrec_timeout = 0;
  std::int16_t msgtr = 0;
  std::int16_t msgtr_naked = 0;
  std::int16_t msgtr_acked = 0;
  std::int16_t msgtr_retried = 0;
  std::int16_t msgtr_timeout = 0;
  std::int16_t play_enabled = 0;
  std::int16_t play_loopctr = 0;
  std::int16_t scr_clear = 0;
  std::int16_t scr_repeat = 0;
  std::int16_t default_loaded = 0;
  std::int16_t default_enabled = 0;
  std::string loader_rev;
  std::string DateTimeLastVarUD;
  std::string serial_num;
  std::int16_t play_counter = 0;
  std::int16_t autotext = 0;
  std::int16_t Z2Board = 0;
  std::string display_name;  // up to 32 bytes from offset 412: begins with the Z2Board byte
  std::int32_t umsgrec_notme = 0;
  std::int32_t umsgrec_me = 0;
  std::int32_t umsgrec_nakbadcrc = 0;
  std::int32_t umsgrec_nakbadcmdfnc = 0;
  std::int32_t umsgrec_nakbadsize = 0;
  std::int32_t umsgrec_acked = 0;
  std::int32_t umsgrec_respokcmd = 0;
  std::int32_t umsgrec_respdata = 0;
  std::int32_t umsgrec_duplicate = 0;
  std::int32_t umsgrec_enq = 0;
  std::int32_t umsgrec_timeout = 0;
  std::int32_t umsgtr = 0;
  std::int32_t umsgtr_naked = 0;
  std::int32_t umsgtr_acked = 0;
  std::int32_t umsgtr_retried = 0;
  std::int32_t umsgtr_timeout = 0;

  // The record is 444 bytes (display_name's 32 bytes from offset 412). False and nothing
  // set below 353 bytes. Otherwise the fields are decoded in record order until a number
  // lies past the end of the answer or does not fit its field (numberbadframes of 32768 or
  // more, an absolute count of 32768): then False, with the fields before it set and the
  // rest unchanged. True when every field was decoded (413 bytes or more).
  bool SetDataByStr(std::string_view sSetStr);

  bool operator==(const classDIAG_STATS&) const = default;
};

}  // namespace qordtcon
